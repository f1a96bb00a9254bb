// The page view as the window system shows it, on an X display
// (on_x_display.sh runs this program): after the window is resized, the
// page's pixels on the screen are where the new layout puts them, with no
// scroll in between.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QThread>

#include <memory>

#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

// Lets the window system and the program's posted work settle.
void settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

class PageViewOnScreen : public testing::RealEngineTest {
protected:
    std::unique_ptr<TBrevantForm> form;

    void SetUp() override {
        RealEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
        writeSetting(settings::kDefaultZoom, 100);
        form = std::make_unique<TBrevantForm>();
        form->setGeometry(0, 0, 800, 600);
        form->show();
        settle();
    }
    void TearDown() override {
        form.reset();
        RealEngineTest::TearDown();
    }

    // The page surface as the X server holds it.
    QImage onScreen() const {
        TPntPanel* panel = form->frScroll1->PntPanel1;
        const QPoint at = panel->mapTo(form.get(), QPoint(0, 0));
        return form->screen()
            ->grabWindow(form->winId(), at.x(), at.y(), panel->width(), panel->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(PageViewOnScreen, ResizedWindowShowsThePageWhereTheLayoutPutsIt) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    form->OpenDocument(QString::fromUtf8(BREVANT_SAMPLE));
    settle();
    ASSERT_GT(form->lastRendered().page, 0);
    // Larger: the page comes to lie inside the view and is centred; smaller
    // again: it is larger than the view and starts at the top-left corner.
    for (QSize size : {QSize(1000, 740), QSize(700, 500), QSize(1000, 740)}) {
        SCOPED_TRACE(size.width());
        // A resize by the window manager ends with an expose, which Qt
        // paints at once, before the page view's posted layout has run.
        form->resize(size);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        form->repaint();
        settle();
        const QImage shown = onScreen();
        // What the page view draws at its offsets now.
        const QImage laidOut =
            form->frScroll1->PntPanel1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), laidOut.size());
        EXPECT_EQ(testing::differences(shown, [&](int x, int y) { return laidOut.pixel(x, y); }),
                  "")
            << "offset " << form->frScroll1->GetOffset().x() << ","
            << form->frScroll1->GetOffset().y();
    }
}

}  // namespace
}  // namespace brevant
