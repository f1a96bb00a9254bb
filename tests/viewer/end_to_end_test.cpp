// The program's main window with the engine library, driven as a user
// drives it: the sample opened through the command line, a page number and
// a zoom typed into their boxes, a link clicked and Previous View; the page
// area on the screen is what vistrel-host renders for the same view. The
// window's screenshots are kept under the build's screenshots folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

using EndToEnd = testing::RealEngineTest;

void type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(box, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &enter);
    QCoreApplication::processEvents();
}

void click(QWidget* surface, QPoint at) {
    for (QEvent::Type type :
         {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, QPointF(at), QPointF(surface->mapToGlobal(at)), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &event);
    }
    QCoreApplication::processEvents();
}

class Screen {
public:
    explicit Screen(TBrevantForm& form) : form_(form) { QDir().mkpath(BREVANT_SCREENSHOTS); }
    // Saves the window as <name>.png and gives the page surface's pixels.
    QImage shoot(const char* name) {
        form_.repaint();
        QCoreApplication::processEvents();
        form_.grab().save(QString(BREVANT_SCREENSHOTS "/") + name + ".png");
        return form_.frScroll1->PntPanel1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private:
    TBrevantForm& form_;
};

TEST_F(EndToEnd, SampleThroughTheWindow) {
    testing::testApp();
    writeSetting(settings::kShowSplash, false);
    // The page as on the desktop, not in the handheld's format, as the host
    // renders it.
    writeSetting(settings::kPreviewInPalm, false);
    TBrevantForm form;
    form.setCommandLine({"Brevant", BREVANT_SAMPLE});
    form.resize(900, 700);
    form.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(form.windowTitle(), QString("Lumbra for Palm OS - ") + BREVANT_SAMPLE);
    EXPECT_EQ(form.ePageNum->text(), "1 of 4");
    EXPECT_EQ(form.eZOOM->text(), "100%");
    Screen screen(form);

    type(form.ePageNum, "3");
    EXPECT_EQ(form.ePageNum->text(), "3 of 4");
    type(form.eZOOM, "150");
    EXPECT_EQ(form.eZOOM->text(), "150%");
    EXPECT_EQ(form.ePageNum->text(), "3 of 4");

    // The page area equals the host's render of the same view.
    const auto showsHostPage = [&](int number, const char* name) {
        const QImage page = hostPage(BREVANT_SAMPLE, number, 1.5);
        ASSERT_FALSE(page.isNull());
        ASSERT_EQ(form.frScroll1->pageExtent(), page.size());
        const QImage shown = screen.shoot(name);
        const QPoint offset = form.frScroll1->GetOffset();
        EXPECT_EQ(testing::differences(shown,
                                       [&](int x, int y) {
                                           const QPoint p(x + offset.x(), y + offset.y());
                                           return page.pixel(p);
                                       }),
                  "")
            << name;
    };
    showsHostPage(3, "page3_150");

    // The link box of page 1 leads to page 3; Previous View comes back.
    type(form.ePageNum, "1");
    EXPECT_EQ(form.ePageNum->text(), "1 of 4");
    showsHostPage(1, "page1_150");
    ASSERT_FALSE(form.linkRegion().isEmpty());
    // The box [70 440 270 480] at 150 %, in page pixels.
    const QPoint link(170 * 3 / 2, (792 - 460) * 3 / 2);
    click(form.frScroll1->PntPanel1, link - form.frScroll1->GetOffset());
    EXPECT_EQ(form.ePageNum->text(), "3 of 4");
    screen.shoot("link_followed");
    form.PrevView1->trigger();
    EXPECT_EQ(form.ePageNum->text(), "1 of 4");
    screen.shoot("previous_view");
}

}  // namespace
}  // namespace brevant
