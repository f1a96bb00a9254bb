// The main window over the engine library: opening documents (history,
// passwords, failures), view edits and the render road with its roll-back,
// the page and zoom boxes, fits and the view history.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <memory>
#include <vector>

#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/message_test_util.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

using namespace win;

constexpr const char* kRenderFailed = "Page cannot be rendered at selected zoom level.";
constexpr const char* kOpenFailed = "There was an error opening this document.";

class ViewRoad : public testing::RealEngineTest {
protected:
    std::unique_ptr<testing::ScriptedMessages> messages;
    std::unique_ptr<TBrevantForm> form;
    // Answers of the password prompt: a password, or none for Cancel.
    std::deque<std::optional<QString>> passwords;
    std::vector<QString> prompted;

    void SetUp() override {
        RealEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
        messages = std::make_unique<testing::ScriptedMessages>();
        form = std::make_unique<TBrevantForm>();
        form->setPasswordPrompt([this](const QString& file, QString& password) {
            prompted.push_back(file);
            if (passwords.empty() || !passwords.front()) {
                passwords.clear();
                return false;
            }
            password = *passwords.front();
            passwords.pop_front();
            return true;
        });
        form->resize(800, 600);
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        form.reset();
        messages.reset();
        RealEngineTest::TearDown();
    }

    void open(const char* name) {
        messages->shown.clear();
        form->OpenDocument(fixture(name));
        QCoreApplication::processEvents();
    }
    QString stateText() { return nodeStateText(form->Vistrel1.State().get()); }
    static void enter(QLineEdit* box, const QString& text) {
        box->setText(text);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &press);
    }
    std::vector<QString> texts() const { return messages->texts(); }
};

TEST_F(ViewRoad, OpenShowsTheFirstViewFromTheSettings) {
    writeSetting(settings::kDefaultPage, 2);
    writeSetting(settings::kDefaultZoom, 50);
    open("control/pages.pdf");
    EXPECT_TRUE(texts().empty());
    EXPECT_TRUE(prompted.empty());
    EXPECT_EQ(form->windowTitle(), "Lumbra for Palm OS - " + fixture("control/pages.pdf"));
    EXPECT_EQ(form->ePageNum->text(), "2 of 11");
    EXPECT_EQ(form->eZOOM->text(), "50%");
    EXPECT_EQ(form->lastRendered().page, 2);
    EXPECT_TRUE(form->frScroll1->PageVisible());
    // Page 2 turns by 90 degrees.
    EXPECT_EQ(form->frScroll1->pageExtent(), QSize(396, 306));
    for (QAction* enabled : {form->FitWidth, form->GoToPage1, form->FirstPage1, form->NextPage1})
        EXPECT_TRUE(enabled->isEnabled()) << enabled->objectName().toStdString();
    EXPECT_TRUE(form->eZOOM->isEnabled());
    // No view to go back to yet.
    EXPECT_FALSE(form->PrevView1->isEnabled());
    EXPECT_FALSE(form->NextView1->isEnabled());
    // The engine has no outline for this file: the TOC tab is hidden.
    EXPECT_FALSE(form->PageControl1->isTabVisible(form->PageControl1->indexOf(form->TabSheet3)));
}

// Six files, a reopened one and a failed one, and what the history keeps.
TEST_F(ViewRoad, FileHistory) {
    const QString dir = QString::fromStdString(home.path().string());
    for (int i = 1; i <= 6; ++i)
        form->OpenDocument(dir + "/missing" + QString::number(i) + ".pdf");
    QStringList expected;
    for (int i = 2; i <= 6; ++i)
        expected << dir + "/missing" + QString::number(i) + ".pdf";
    EXPECT_EQ(readFileHistory(), expected);
    EXPECT_EQ(messages->shown.size(), 6u);
    for (const MessageRequest& shown : messages->shown)
        EXPECT_EQ(shown, (MessageRequest{"Error", kOpenFailed, MessageIcon::Error}));
    EXPECT_EQ(readSetting(settings::kOpenDir), dir + "/");

    form->OpenDocument(dir + "/missing3.pdf");
    expected.removeAll(dir + "/missing3.pdf");
    expected << dir + "/missing3.pdf";
    EXPECT_EQ(readFileHistory(), expected);
    // Names differing in case are different files here.
    form->OpenDocument(dir + "/MISSING3.pdf");
    EXPECT_EQ(readFileHistory().size(), 5);
    EXPECT_EQ(readFileHistory().value(3), dir + "/missing3.pdf");
    // The File menu shows them newest first.
    EXPECT_EQ(form->File1->actions().value(9)->text(), dir + "/MISSING3.pdf");
}

TEST_F(ViewRoad, NotAPdf) {
    const QString path = QString::fromStdString((home.path() / "notes.pdf").string());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("just some text\n");
    file.close();
    open("control/pages.pdf");
    messages->shown.clear();
    form->OpenDocument(path);
    EXPECT_EQ(texts(), std::vector<QString>{kOpenFailed});
    EXPECT_FALSE(form->eZOOM->isEnabled());
    EXPECT_EQ(form->ePageNum->text(), "");
    EXPECT_FALSE(form->frScroll1->PageVisible());
}

// The empty password first, then at most three prompts, each wrong answer
// answered with "Incorrect password"; Cancel ends silently.
TEST_F(ViewRoad, Passwords) {
    if (!QFile::exists(fixture("control/rc4_pages.pdf")))
        GTEST_SKIP() << "no encrypted fixture (qpdf missing)";
    struct Case {
        std::deque<std::optional<QString>> answers;
        size_t prompts;
        size_t wrong;
        bool opened;
    };
    const Case cases[] = {
        {{QString("user")}, 1, 0, true},
        {{QString("nope"), QString("owner")}, 2, 1, true},
        {{QString("a"), QString("b"), QString("c")}, 3, 3, false},
        {{std::nullopt}, 1, 0, false},
        {{QString("a"), std::nullopt}, 2, 1, false},
    };
    for (const Case& c : cases) {
        form->Vistrel1.close();
        passwords = c.answers;
        prompted.clear();
        open("control/rc4_pages.pdf");
        EXPECT_EQ(prompted.size(), c.prompts);
        for (const QString& file : prompted)
            EXPECT_EQ(file, "rc4_pages.pdf");
        EXPECT_EQ(texts(), std::vector<QString>(c.wrong, "Incorrect password"));
        EXPECT_EQ(!form->Vistrel1.filename().isEmpty(), c.opened) << c.prompts;
        EXPECT_EQ(form->eZOOM->isEnabled(), c.opened);
    }
}

TEST_F(ViewRoad, ViewEdits) {
    open("control/links.pdf");
    const QString before = stateText();
    // x or y alone is not committed.
    ASSERT_TRUE(form->BeginViewEdit());
    form->viewEdit().x = 50;
    form->viewEdit().y = 70;
    EXPECT_FALSE(form->CommitViewEdit(true));
    EXPECT_EQ(stateText(), before);

    // A page past the last is committed as the last; the zoom's text form
    // reads back in the engine.
    ASSERT_TRUE(form->BeginViewEdit());
    form->viewEdit().page = 99;
    form->viewEdit().zoom = 150;
    EXPECT_TRUE(form->CommitViewEdit(true));
    EXPECT_EQ(GetCsvField(stateText(), 3), "3");
    EXPECT_DOUBLE_EQ(GetCsvField(stateText(), 4).toDouble(), 1.5);
    EXPECT_EQ(form->ePageNum->text(), "3 of 3");
    EXPECT_EQ(form->eZOOM->text(), "150%");
    EXPECT_EQ(form->lastRendered().page, 3);
    EXPECT_DOUBLE_EQ(form->lastRendered().zoom, 1.5);

    // The setters keep to their ranges.
    form->SetQuality(6);
    form->SetMemoryUsage(-1);
    form->SetZoomPercent(601);
    form->SetZoomPercent(0);
    form->SetPage(0);
    EXPECT_EQ(form->GetQuality(), 4);
    EXPECT_EQ(form->GetMemoryUsage(), 4);
    EXPECT_DOUBLE_EQ(form->GetZoomPercent(), 150);
    EXPECT_EQ(form->GetPage(), 3);
    form->SetZoomPercent(600);
    form->SetPage(2);
    EXPECT_DOUBLE_EQ(form->GetZoomPercent(), 600);
    EXPECT_EQ(form->GetPage(), 2);
}

// A zoom the engine cannot render shows the message and the last good view
// returns; a first render that fails resets the commands and leaves the
// document open.
TEST_F(ViewRoad, RenderFailures) {
    open("control/pages.pdf");
    enter(form->ePageNum, "3");
    messages->shown.clear();
    enter(form->eZOOM, "0");
    EXPECT_EQ(texts(), std::vector<QString>{kRenderFailed});
    EXPECT_EQ(form->GetPage(), 3);
    EXPECT_DOUBLE_EQ(form->GetZoomPercent(), 100);
    EXPECT_EQ(form->eZOOM->text(), "100%");
    EXPECT_EQ(form->ePageNum->text(), "3 of 11");
    EXPECT_EQ(form->lastRendered().page, 3);
    EXPECT_TRUE(form->frScroll1->PageVisible());

    writeSetting(settings::kDefaultZoom, 0);
    open("control/pages.pdf");
    EXPECT_EQ(texts(), std::vector<QString>{kRenderFailed});
    EXPECT_FALSE(form->frScroll1->PageVisible());
    EXPECT_FALSE(form->eZOOM->isEnabled());
    EXPECT_FALSE(form->FitWidth->isEnabled());
    EXPECT_FALSE(form->Vistrel1.filename().isEmpty());
}

TEST_F(ViewRoad, PageAndZoomBoxes) {
    open("control/links.pdf");
    struct Case {
        QLineEdit* box;
        const char* typed;
        const char* pageBox;
        const char* zoomBox;
        const char* message;  // null: none
    };
    const Case cases[] = {
        {form->ePageNum, "3 of 12", "3 of 3", "100%", nullptr},
        {form->ePageNum, "1", "1 of 3", "100%", nullptr},
        {form->ePageNum, "40", "3 of 3", "100%", nullptr},
        {form->ePageNum, "abc", "3", "100%", "There is no page numbered 'abc' in this document."},
        {form->eZOOM, "450", "3 of 3", "300%", nullptr},
        {form->eZOOM, "75 %", "3 of 3", "75%", nullptr},
        {form->eZOOM, "big", "3 of 3", "75%", "Error in Zoom numbered 'big'"},
    };
    for (const Case& c : cases) {
        messages->shown.clear();
        enter(c.box, c.typed);
        EXPECT_EQ(form->ePageNum->text(), c.pageBox) << c.typed;
        EXPECT_EQ(form->eZOOM->text(), c.zoomBox) << c.typed;
        if (c.message) {
            ASSERT_EQ(messages->shown.size(), 1u) << c.typed;
            EXPECT_EQ(messages->shown[0],
                      (MessageRequest{form->windowTitle(), c.message, MessageIcon::None}));
        } else {
            EXPECT_TRUE(messages->shown.empty()) << c.typed;
        }
    }
    // The popup's 400 is not bounded like the zoom box; its items are
    // checked by the zoom.
    for (QAction* item : form->zoomPopupItems) {
        if (item->data().toInt() == 400)
            item->trigger();
    }
    EXPECT_EQ(form->eZOOM->text(), "400%");
    for (QAction* item : form->zoomPopupItems)
        EXPECT_EQ(item->isChecked(), item->data().toInt() == 400);
}

TEST_F(ViewRoad, ViewHistory) {
    open("control/pages.pdf");
    EXPECT_FALSE(form->PrevView1->isEnabled());
    form->NextPage1->trigger();
    form->NextPage1->trigger();
    EXPECT_EQ(form->GetPage(), 3);
    EXPECT_TRUE(form->PrevView1->isEnabled());
    form->PrevView1->trigger();
    EXPECT_EQ(form->GetPage(), 2);
    EXPECT_TRUE(form->NextView1->isEnabled());
    form->NextView1->trigger();
    EXPECT_EQ(form->GetPage(), 3);
    form->PrevView1->trigger();
    form->PrevView1->trigger();
    EXPECT_EQ(form->GetPage(), 1);
    // A new navigation from here drops the views ahead.
    form->LastPage1->trigger();
    EXPECT_FALSE(form->NextView1->isEnabled());
    form->PrevView1->trigger();
    EXPECT_EQ(form->GetPage(), 1);

    // The ring wraps after 100 entries.
    open("control/pages.pdf");
    for (int i = 0; i < 103; ++i)
        (i % 2 ? form->PrevPage1 : form->NextPage1)->trigger();
    EXPECT_EQ(form->viewIndex(), 3);
    int valid = 0;
    for (const ViewHistoryEntry& entry : form->viewHistory())
        valid += entry.valid;
    EXPECT_EQ(valid, 98);  // the two after the newest were made invalid
    form->PrevView1->trigger();
    EXPECT_EQ(form->viewIndex(), 2);
    EXPECT_EQ(form->GetPage(), 1);
}

// The fit commands zoom the page to the surface, not bounded by the zoom
// box's 300 %.
TEST_F(ViewRoad, Fits) {
    open("control/pages.pdf");
    const QSize surface = form->frScroll1->PntPanel1->size();
    form->FitWidth->trigger();
    // The engine keeps the zoom to six decimals.
    EXPECT_NEAR(form->GetZoomPercent(), 100.0 * surface.width() / 612, 1e-3);
    form->Fitheight1->trigger();
    EXPECT_NEAR(form->GetZoomPercent(), 100.0 * surface.height() / 792, 1e-3);
    form->Fullpage1->trigger();
    EXPECT_NEAR(form->GetZoomPercent(),
                100.0 * std::min(surface.height() / 792.0, surface.width() / 612.0), 1e-3);
    EXPECT_TRUE(form->PrevView1->isEnabled());
    // Page 9 is 1 by 40 points: its height fit goes past 300 %.
    ASSERT_TRUE(form->BeginViewEdit());
    form->viewEdit().page = 9;
    form->viewEdit().zoom = 200;
    ASSERT_TRUE(form->CommitViewEdit(true));
    form->Fitheight1->trigger();
    EXPECT_NEAR(form->GetZoomPercent(), 100.0 * surface.height() / 40, 1e-3);
    EXPECT_GT(form->GetZoomPercent(), 300);
    EXPECT_TRUE(texts().empty());
}

// Each wheel message over the page view moves the page 15 pixels, down
// for a turn towards the user, whatever its size; outside the view it does
// nothing here.
TEST_F(ViewRoad, Wheel) {
    open("control/links.pdf");
    enter(form->eZOOM, "200");
    TfrScroll& view = *form->frScroll1;
    ASSERT_EQ(view.GetOffset().y(), 0);
    const auto wheel = [&](QWidget* over, int delta) {
        const QPoint at = over->mapToGlobal(over->rect().center());
        QWheelEvent event(QPointF(form->mapFromGlobal(at)), QPointF(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(form.get(), &event);
    };
    const QPoint start = view.GetOffset();
    wheel(&view, -120);
    wheel(&view, -1);
    EXPECT_EQ(view.GetOffset(), start + QPoint(0, 30));
    wheel(&view, 480);
    wheel(&view, 120);
    wheel(&view, 120);
    EXPECT_EQ(view.GetOffset(), start + QPoint(0, -10));
    wheel(form->PageControl1, -120);
    EXPECT_EQ(view.GetOffset(), start + QPoint(0, -10));
}

}  // namespace
}  // namespace brevant
