// The main window over the fake engine: creation, first show with the
// stored settings, the document commands reset, the view toggles, closing,
// the program's start with and without the engine, and the progress
// display.
#include "viewer/app/main_form.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "tests/viewer/fake_engine_client.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/application.h"
#include "viewer/app/engine_error.h"
#include "viewer/app/options.h"
#include "viewer/app/options_dialogs.h"
#include "viewer/app/program.h"
#include "viewer/app/progress_indicator.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"
#include "viewer/components/notifying_scroll_bar.h"
#include "viewer/components/paint_panels.h"
#include "viewer/components/transparent_button.h"

namespace brevant {
namespace {

using namespace win;

class MainForm : public testing::FakeEngineTest {
protected:
    std::unique_ptr<TBrevantForm> form;

    void SetUp() override {
        FakeEngineTest::SetUp();
        testing::testApp();
    }
    void TearDown() override {
        form.reset();
        FakeEngineTest::TearDown();
    }
    TBrevantForm& showForm() {
        form = std::make_unique<TBrevantForm>();
        form->show();
        QCoreApplication::sendPostedEvents();
        return *form;
    }
    int paneWidth() const { return form->Splitter1->sizes().value(0); }
    // A progress event of the engine: 1 start, 2 set (to the percentage),
    // 3 stop.
    static void fireProgress(fake::IFakeEngine& engine, DISPID event, int percent) {
        VARIANT argument;
        argument.vt = VT_I2;
        argument.iVal = SHORT(percent);
        engine.fire(event, &argument, event == 2 ? 1 : 0);
    }
    QObject* named(const char* name) const {
        QObject* found = form->findChild<QObject*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // Enabled and checked state of an action, menu or widget.
    std::pair<bool, bool> stateOf(const char* name) const {
        QObject* object = named(name);
        if (auto* menu = qobject_cast<QMenu*>(object))
            object = menu->menuAction();
        if (auto* action = qobject_cast<QAction*>(object))
            return {action->isEnabled(), action->isChecked()};
        if (auto* button = qobject_cast<QAbstractButton*>(object))
            return {button->isEnabled(), button->isChecked()};
        return {static_cast<QWidget*>(object)->isEnabled(), false};
    }
};

TEST_F(MainForm, CreatedWithTheEngine) {
    TBrevantForm& f = showForm();
    EXPECT_TRUE(f.engineAvailable());
    EXPECT_EQ(f.objectName(), "BrevantForm");
    EXPECT_EQ(f.windowTitle(), "Lumbra for Palm OS");
    EXPECT_EQ(f.mouseTool(), 5);
    EXPECT_TRUE(f.isOnLink({1, 1}));  // the link region starts as one pixel
    EXPECT_FALSE(f.isOnLink({2, 1}));
    // The recent files go from position 9 of the File menu, before the item
    // tagged -1.
    EXPECT_EQ(f.File1->actions().indexOf(f.RecentFilesEnd), 9);
    EXPECT_EQ(f.RecentFilesEnd->data(), QVariant(-1));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainForm, FirstShowWithoutSettings) {
    TBrevantForm& f = showForm();
    EXPECT_EQ(paneWidth(), TBrevantForm::kPaneWidth);
    EXPECT_TRUE(f.ShowDocumentManagementPane1->isChecked());
    EXPECT_FALSE(f.ToolBar1->isHidden());
    EXPECT_FALSE(f.tbStatus->isHidden());
    EXPECT_FALSE(f.Panel3->isHidden());
    EXPECT_TRUE(f.Standard1->isChecked());
    EXPECT_EQ(f.cbClarity->currentIndex(), 0);
    EXPECT_TRUE(f.DisplayGraphics1->isChecked());
    EXPECT_TRUE(f.tbDisplayGraphics->isChecked());
    EXPECT_EQ(f.size(), QSize(800, 600));
    EXPECT_EQ(f.ToolBar1->height(), TBrevantForm::kToolBarHeight);
    EXPECT_EQ(f.tbStatus->height(), TBrevantForm::kStatusBarHeight);
    EXPECT_EQ(f.Panel3->width(), f.StatusPanel->width() - TBrevantForm::kStatusLeftWidth);
}

TEST_F(MainForm, FirstShowAppliesStoredSettings) {
    writeSetting(settings::kLeftPanel, false);
    writeSetting(settings::kToolBar, false);
    writeSetting(settings::kStatusBar, false);
    writeSetting(settings::kProgressIndicator, false);
    writeSetting(settings::kDisplayGraphics, false);
    writeSetting(settings::kPalmFormat, 17);
    writeSetting(settings::kFileHistory, "/d/a.pdf\r\n/d/b&c.pdf\r\n/d/c.pdf\r\n");
    WindowPlacement placement;
    placement.showState = 1;
    placement.left = 50;
    placement.top = 60;
    placement.right = 750;
    placement.bottom = 560;
    writeMainForm(placement);

    TBrevantForm& f = showForm();
    EXPECT_EQ(paneWidth(), 0);
    EXPECT_FALSE(f.ShowDocumentManagementPane1->isChecked());
    EXPECT_TRUE(f.ToolBar1->isHidden());
    EXPECT_TRUE(f.tbStatus->isHidden());
    EXPECT_TRUE(f.Panel3->isHidden());
    EXPECT_TRUE(f.MaximizeContrast1->isChecked());
    EXPECT_FALSE(f.Standard1->isChecked());
    EXPECT_EQ(f.cbClarity->currentIndex(), 2);
    EXPECT_FALSE(f.DisplayGraphics1->isChecked());
    EXPECT_FALSE(f.tbDisplayGraphics->isChecked());
    EXPECT_EQ(f.geometry(), QRect(50, 60, 700, 500));
    EXPECT_EQ(f.fileHistory(), (QStringList{"/d/a.pdf", "/d/b&c.pdf", "/d/c.pdf"}));
    // Newest first, tagged with their place in the history.
    const QList<QAction*> items = f.File1->actions();
    ASSERT_GE(items.size(), 13);
    EXPECT_EQ(items[9]->text(), "/d/c.pdf");
    EXPECT_EQ(items[9]->data(), QVariant(2));
    EXPECT_EQ(items[10]->text(), "/d/b&&c.pdf");
    EXPECT_EQ(items[11]->data(), QVariant(0));
    EXPECT_EQ(items[12], f.RecentFilesEnd);
    // Rebuilding replaces the entries.
    f.RebuildRecentFilesMenu();
    EXPECT_EQ(f.File1->actions().size(), items.size());

    // The pane comes back at its full width, and goes again.
    f.sbLPanelClick();
    EXPECT_EQ(paneWidth(), TBrevantForm::kPaneWidth);
    EXPECT_TRUE(f.ShowDocumentManagementPane1->isChecked());
    EXPECT_TRUE(readSetting(settings::kLeftPanel));
    f.Splitter1->setSizes({300, 400});
    f.ShowDocumentManagementPane1->trigger();
    EXPECT_EQ(paneWidth(), 0);
    EXPECT_FALSE(f.ShowDocumentManagementPane1->isChecked());
    EXPECT_FALSE(readSetting(settings::kLeftPanel));
    f.sbLPanelClick();
    EXPECT_EQ(paneWidth(), 300);  // the width it had
    // Dragging the splitter checks the item.
    f.ShowDocumentManagementPane1->setChecked(false);
    emit f.Splitter1->splitterMoved(120, 1);
    EXPECT_TRUE(f.ShowDocumentManagementPane1->isChecked());
}

// A stored device format other than the three offered reads as Standard
// (4): its item is checked, and a document opens previewed in it.
TEST_F(MainForm, UnknownStoredPalmFormatReadsAsStandard) {
    writeSetting(settings::kPalmFormat, 5);
    TBrevantForm& f = showForm();
    EXPECT_EQ(f.deviceFormat(), 4);
    EXPECT_TRUE(f.Standard1->isChecked());
    EXPECT_EQ(f.cbClarity->currentIndex(), 0);
    f.OpenDocument("/tmp/sample.pdf");
    EXPECT_EQ(f.GetDeviceFormat(), 4);
    EXPECT_EQ(f.lastRendered().format, 4);
}

// The entries of the File menu's history open their own files, also while
// opening replaces the history they were read from.
TEST_F(MainForm, RecentFilesOpenTheirFiles) {
    writeSetting(settings::kFileHistory, "/d/one.pdf\r\n/d/two.pdf\r\n/d/three.pdf\r\n");
    TBrevantForm& f = showForm();
    auto fake = testing::fakeOf(f.Vistrel1);
    // Position 9 is the newest entry, 11 the oldest.
    const std::pair<int, const char*> clicks[] = {
        {11, "/d/one.pdf"}, {10, "/d/three.pdf"}, {9, "/d/three.pdf"}, {11, "/d/two.pdf"}};
    for (auto [position, file] : clicks) {
        SCOPED_TRACE(file);
        testing::takeCalls(fake.get());
        f.File1->actions().at(position)->trigger();
        EXPECT_TRUE(testing::takeCalls(fake.get()).contains(QString("open ") + file + "|\n"));
        EXPECT_EQ(f.fileHistory().last(), file);
        EXPECT_EQ(f.windowTitle(), QString("Lumbra for Palm OS - ") + file);
    }
    EXPECT_EQ(f.fileHistory(), (QStringList{"/d/one.pdf", "/d/three.pdf", "/d/two.pdf"}));
    EXPECT_TRUE(boxes.shown.empty());
}

// A document left for one that cannot be opened takes its views along:
// Previous View stays disabled without a document, also after a command
// that records the view.
TEST_F(MainForm, FailedOpenForgetsTheViewsLeft) {
    TBrevantForm& f = showForm();
    auto fake = testing::fakeOf(f.Vistrel1);
    f.OpenDocument("/tmp/sample.pdf");
    f.NextPage1->trigger();
    ASSERT_TRUE(f.PrevView1->isEnabled());
    fake->setResult(VISTRELLib::VistrelDispid::open, E_FAIL);
    f.OpenDocument("/tmp/other.pdf");
    EXPECT_FALSE(f.PrevView1->isEnabled());
    f.RecordView(true);
    EXPECT_FALSE(f.PrevView1->isEnabled());
    EXPECT_FALSE(f.NextView1->isEnabled());
}

// What a user sees of the window without a page: its title, and which
// actions and controls are enabled, checked, shown.
QSet<QString> windowState(TBrevantForm& f) {
    QSet<QString> state{f.windowTitle(), f.cbClarity->currentText()};
    for (QAction* action : f.findChildren<QAction*>()) {
        // The tree popup's Save as PDB follows the tab shown instead.
        if (!action->objectName().isEmpty() && action != f.SaveasPDB1)
            state << QStringLiteral("%1 %2 %3")
                         .arg(action->objectName())
                         .arg(action->isEnabled())
                         .arg(action->isChecked());
    }
    for (QWidget* widget : f.findChildren<QWidget*>()) {
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            state << QStringLiteral("%1 %2").arg(widget->objectName()).arg(widget->isEnabled());
    }
    for (QWidget* tab : {f.TabSheet1, f.TabSheet2, f.TabSheet3, f.TabSheet4}) {
        state << QStringLiteral("%1 shown %2")
                     .arg(tab->objectName())
                     .arg(f.PageControl1->isTabVisible(f.PageControl1->indexOf(tab)));
    }
    return state;
}

// After an open that fails, with the document before it closed by the
// engine, the window reads as at a fresh start: its title, the clarity
// list, the menus and the tabs, whether the open failed outright or the
// password prompt was cancelled.
TEST_F(MainForm, FailedOpenLeavesTheWindowAsAtAFreshStart) {
    writeSetting(settings::kPreviewInPalm, true);
    for (HRESULT failure : {E_FAIL, HRESULT(0x80070005u)}) {
        SCOPED_TRACE(failure);
        TBrevantForm& f = showForm();
        f.setPasswordPrompt([](const QString&, QString&) { return false; });
        const QSet<QString> fresh = windowState(f);
        auto fake = testing::fakeOf(f.Vistrel1);
        f.OpenDocument("/tmp/sample.pdf");
        ASSERT_TRUE(f.cbClarity->isEnabled());
        ASSERT_NE(f.windowTitle(), "Lumbra for Palm OS");
        fake->setResult(VISTRELLib::VistrelDispid::open, failure);
        f.OpenDocument("/tmp/other.pdf");
        const QSet<QString> after = windowState(f);
        EXPECT_EQ(QStringList((after - fresh).values()).join(", ").toStdString(), "");
        EXPECT_EQ(QStringList((fresh - after).values()).join(", ").toStdString(), "");
        auto* app = dynamic_cast<BrevantApplication*>(QCoreApplication::instance());
        ASSERT_TRUE(app);
        EXPECT_EQ(app->title(), "Lumbra for Palm OS");
        form.reset();
    }
}

// The history keeps absolute, normalised paths: a path typed relative to
// the current folder opens from anywhere later. Names differing only in
// case are different files.
TEST_F(MainForm, FileHistoryStoresAbsolutePaths) {
    TBrevantForm& f = showForm();
    const QString kept = QDir::currentPath();
    QTemporaryDir folder;
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const QString root = QDir::currentPath();
    for (const char* typed : {"docs/x.pdf", "./docs/../docs/x.pdf", "Docs/X.pdf"})
        f.OpenDocument(typed);
    f.OpenDocument(root + "//docs/./x.pdf");
    QDir::setCurrent(kept);
    EXPECT_EQ(f.fileHistory(), (QStringList{root + "/Docs/X.pdf", root + "/docs/x.pdf"}));
    EXPECT_EQ(readFileHistory(), f.fileHistory());
}

// The forms made at start-up but never shown are there; the splash stays
// for the options dialog's seconds.
TEST_F(MainForm, StartUpForms) {
    TBrevantForm& f = showForm();
    for (const char* name : {"fAddBookmark", "fTest"}) {
        auto* form = f.findChild<QDialog*>(name);
        ASSERT_TRUE(form) << name;
        EXPECT_TRUE(form->isHidden()) << name;
    }
    for (int seconds : {3, 7}) {
        f.fOptions->SpinEdit1->setValue(seconds);
        f.fSplash->show();
        EXPECT_EQ(f.fSplash->Timer1.interval(), seconds * 1000);
        f.fSplash->close();
    }
}

// A placement block of another size than 44 bytes is ignored.
TEST_F(MainForm, ShortPlacementIgnored) {
    WindowPlacement placement;
    placement.left = 50;
    placement.top = 60;
    placement.right = 750;
    placement.bottom = 560;
    auto bytes = placement.toBytes();
    TOptions().WriteBinary(QString::fromUtf16(settings::kMainForm), std::span(bytes.data(), 40));
    TBrevantForm& f = showForm();
    EXPECT_EQ(f.size(), QSize(800, 600));
}

TEST_F(MainForm, ResetDocumentUI) {
    TBrevantForm& f = showForm();
    // Everything on, as with a document open, and the zoom box tool chosen.
    for (QAction* action : f.findChildren<QAction*>())
        action->setEnabled(true);
    for (QWidget* widget : f.findChildren<QWidget*>())
        widget->setEnabled(true);
    f.ZoomBox1->setChecked(true);
    f.ePageNum->setText("3 of 12");
    f.eZOOM->setText("100%");
    f.frScroll1->SetPageVisible(true);
    f.tvBookmarks->addTopLevelItem(new QTreeWidgetItem({"Mark"}));

    f.ResetDocumentUI();
    struct Case {
        const char* name;
        bool enabled, checked;
    };
    const Case cases[] = {
        {"DocumentInfo1", false, false},
        {"PreparepagesforPalm1", false, false},
        {"tbPreparePages", false, false},
        {"GeneralInfo1", false, false},
        {"SecurityInfo1", false, false},
        {"FontInfo1", false, false},
        {"PreviewPageIn1", false, false},
        {"PreviewPageIn2", false, false},
        {"PreviewPages1", false, false},
        {"tbPreviewPages", false, false},
        {"GoToPage1", false, false},
        {"ShowOnDeviceAct1", false, false},
        {"tbShowOnDevice", false, false},
        {"FitWidth", false, false},
        {"tbFitWidth", false, false},
        {"Fullpage1", false, false},
        {"tbFullPage", false, false},
        {"Fitheight1", false, false},
        {"tbFitHeight", false, false},
        {"FirstPage1", false, false},
        {"sbFirstPage", false, false},
        {"PrevPage1", false, false},
        {"sbPrevPage", false, false},
        {"NextPage1", false, false},
        {"sbNextPage", false, false},
        {"LastPage1", false, false},
        {"sbLastPage", false, false},
        {"PrevView1", false, false},
        {"tbPrevView", false, false},
        {"NextView1", false, false},
        {"tbNextView", false, false},
        {"tbZoomLevels", false, false},
        {"bAddBM", false, false},
        {"bAddPalm", false, false},
        {"ePageNum", false, false},
        {"eZOOM", false, false},
        {"ActualSize1", false, false},
        {"tbActualSize", false, false},
        {"Zoom1", false, false},
        {"HandTool1", true, true},
        {"tbHandTool", true, true},
        {"ZoomBox1", true, false},
        {"tbZoomTool", true, false},
        {"sbVert", false, false},
        {"sbHorz", false, false},
        // The tree buttons follow their trees; Save As is Save As PDB.
        {"FileSave1", false, false},
        {"FileSaveAs1", false, false},
        {"bSavePDB", false, false},
        {"bRenamePalm", false, false},
        {"bDelPalm", false, false},
        {"bDelAllPalm", false, false},
        {"bRenameBM", true, false},
        {"bDelBM", true, false},
        {"bDelAllBM", true, false},
        // Untouched.
        {"FileOpen1", true, false},
        {"Options1", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(stateOf(c.name), std::make_pair(c.enabled, c.checked));
    }
    EXPECT_EQ(f.mouseTool(), 5);
    EXPECT_TRUE(f.ePageNum->text().isEmpty());
    EXPECT_TRUE(f.eZOOM->text().isEmpty());
    EXPECT_FALSE(f.frScroll1->PageVisible());
}

// Commands needing a document start disabled, those of FormCreate too.
TEST_F(MainForm, CommandsDisabledAtStart) {
    showForm();
    for (const char* name :
         {"DocumentInfo1", "PreparepagesforPalm1", "PreviewPageIn1", "PreviewPageIn2",
          "GeneralInfo1", "SecurityInfo1", "FontInfo1", "GoToPage1", "FirstPage1", "Zoom1"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(stateOf(name).first);
    }
}

TEST_F(MainForm, ViewToggles) {
    TBrevantForm& f = showForm();
    f.ToolBar3->trigger();
    f.StatusBar1->trigger();
    EXPECT_TRUE(f.ToolBar1->isHidden());
    EXPECT_TRUE(f.tbStatus->isHidden());
    f.ToolBar1->show();
    emit f.View1->aboutToShow();  // the items follow the bars
    EXPECT_TRUE(f.ToolBar3->isChecked());
    EXPECT_FALSE(f.StatusBar1->isChecked());
    f.StatusBar1Click();
    EXPECT_FALSE(f.tbStatus->isHidden());
    // Not stored.
    EXPECT_TRUE(readSetting(settings::kStatusBar));

    // Entering the page or zoom box selects its text.
    for (QLineEdit* box : {f.ePageNum, f.eZOOM}) {
        box->setEnabled(true);
        box->setText("3 of 12");
        box->deselect();
        QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(box, &focus);
        QCoreApplication::processEvents();
        EXPECT_EQ(box->selectedText(), "3 of 12");
    }

    // Docking ends at the bars' heights.
    f.ToolBar1->setFixedHeight(40);
    emit f.ToolBar1->topLevelChanged(false);
    EXPECT_EQ(f.ToolBar1->height(), TBrevantForm::kToolBarHeight);
    f.tbStatus->setFixedHeight(40);
    emit f.tbStatus->topLevelChanged(false);
    EXPECT_EQ(f.tbStatus->height(), TBrevantForm::kStatusBarHeight);

    // The progress panel takes the status bar but its first 243 pixels.
    for (int width : {1000, 500}) {
        f.resize(width, 600);
        QCoreApplication::processEvents();
        EXPECT_EQ(f.width(), width);
        EXPECT_EQ(f.Panel3->width(), f.StatusPanel->width() - TBrevantForm::kStatusLeftWidth);
    }

    // Drop-down buttons open their menus at their own top-left corner (the
    // window placed so that the menus fit on the screen there).
    f.resize(800, 600);
    for (auto [button, menu, top] : {std::tuple{f.tbOptions, f.pmOptions, 0},
                                     {f.tbDocInfo, f.pmDocInfo, 0},
                                     {f.tbZoomLevels, f.pmZOOM, -400}}) {
        f.move(0, top);
        QCoreApplication::processEvents();
        button->setEnabled(true);
        button->click();
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(menu->pos(), button->mapToGlobal(QPoint(0, 0)));
        menu->hide();
    }
}

// The glyph bar: hidden and not offered, eight glyph buttons whose glyphs
// keep their key colour transparent, each giving a command.
TEST_F(MainForm, GlyphBar) {
    TBrevantForm& f = showForm();
    EXPECT_TRUE(f.ToolBar4->isHidden());
    EXPECT_FALSE(f.ToolBar4->toggleViewAction()->isVisible());
    ASSERT_EQ(f.toolBar4Buttons.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        TransparentButton* button = f.toolBar4Buttons[i];
        EXPECT_EQ(button->objectName(), QStringLiteral("TransparentButton%1").arg(i + 1));
        EXPECT_EQ(button->numGlyphs(), 1);
        const QImage& glyph = button->images().front();
        EXPECT_EQ(qAlpha(glyph.pixel(0, 15)), 0);
        EXPECT_EQ(qAlpha(glyph.pixel(8, 8)), 255) << i;  // the picture itself
    }
    int pages = 0;
    QObject::connect(f.FirstPage1, &QAction::triggered, [&] { ++pages; });
    f.toolBar4Buttons[0]->click();  // disabled without a document
    f.FirstPage1->setEnabled(true);
    f.toolBar4Buttons[0]->click();
    EXPECT_EQ(pages, 1);
    f.toolBar4Buttons[7]->click();
    EXPECT_TRUE(f.ZoomBox1->isChecked());
}

TEST_F(MainForm, CloseStoresPlacementAndTreePath) {
    writeSetting(settings::kTreePath, "C:\\Docs\\a.pdf");
    TBrevantForm& f = showForm();
    f.setGeometry(20, 30, 640, 480);
    EXPECT_TRUE(f.close());
    std::optional<WindowPlacement> stored = readMainForm();
    ASSERT_TRUE(stored);
    WindowPlacement expected;
    expected.showState = 1;
    expected.minX = expected.minY = expected.maxX = expected.maxY = -1;
    expected.left = 20;
    expected.top = 30;
    expected.right = 660;
    expected.bottom = 510;
    EXPECT_EQ(*stored, expected);
    EXPECT_EQ(readSetting(settings::kTreePath), "C:\\Docs\\a.pdf");
    // Destroying the window closes the document.
    auto fake = testing::fakeOf(f.Vistrel1);
    testing::takeCalls(fake.get());
    form.reset();
    EXPECT_EQ(testing::takeCalls(fake.get()), "close\n");
}

// The program's start: title and help file, the main form, and the loop
// only with the engine. Closing the window ends the loop.
TEST_F(MainForm, ProgramRunsWithTheEngine) {
    BrevantApplication& app = testing::testApp();
    QString title;
    // Closes the main window once the loop has shown it; gives up after
    // five seconds rather than hang.
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == "BrevantForm" && window->isVisible()) {
                title = window->windowTitle();
                window->close();
                return;
            }
        }
        if (++polls > 500)
            QCoreApplication::exit(99);
    });
    poll.start(10);
    EXPECT_EQ(runProgram(app), 0);
    EXPECT_EQ(title, "Lumbra for Palm OS");
    EXPECT_EQ(app.title(), "Lumbra for Palm OS");
    EXPECT_EQ(app.helpFile(), QCoreApplication::applicationDirPath() + "/lumbra.chm");
    EXPECT_TRUE(readMainForm());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainForm, ProgramEndsWithoutTheEngine) {
    ASSERT_EQ(vistrel::test::runRegsvr(VISTREL_REGSVR, std::string("-u ") + BREVANT_FAKE_ENGINE),
              0);
    form = std::make_unique<TBrevantForm>();
    EXPECT_FALSE(form->engineAvailable());
    EXPECT_FALSE(form->pageEngine());
    form.reset();  // and nothing asked of an engine on the way out
    EXPECT_EQ(runProgram(testing::testApp()), 1);
    const MessageRequest error{"Error", "Class not registered (0x80040154)", MessageIcon::Error};
    EXPECT_EQ(boxes.shown, (std::vector<MessageRequest>{error, error}));
    EXPECT_FALSE(readMainForm());
}

// The progress display through the engine's events: one bar per nesting
// level, the page frozen on a snapshot while the outermost level runs.
TEST_F(MainForm, ProgressThroughNestedReports) {
    TBrevantForm& f = showForm();
    auto fake = testing::fakeOf(f.Vistrel1);
    TPntPanel* surface = f.frScroll1->PntPanel1;
    f.frScroll1->SetPageVisible(true);
    QCoreApplication::processEvents();
    const auto fill = [&](COLORREF colour) {
        surface->drawDirect([&](HDC dc) {
            HBRUSH brush = CreateSolidBrush(colour);
            RECT all{0, 0, surface->width(), surface->height()};
            FillRect(dc, &all, brush);
            DeleteObject(brush);
        });
    };
    fill(RGB(255, 0, 0));  // what the page view showed
    const size_t dcs = LiveObjectCount(HandleKind::DC);
    const size_t bitmaps = LiveObjectCount(HandleKind::Bitmap);

    ProgressIndicator& progress = f.progress();
    // Every report comes after the quiet time.
    std::int64_t now = 0;
    progress.setClock([&] { return now += ProgressIndicator::kQuietTime; });
    QProgressBar* none = nullptr;
    const auto fire = [&](DISPID event, int percent = 0) {
        fireProgress(*fake.get(), event, percent);
    };
    struct Step {
        DISPID event;  // 1 start, 2 set, 3 stop
        int percent;
        QProgressBar* current;
        int depth;
        int firstBarHeight;
        bool frozen;
    };
    const Step steps[] = {
        {3, 0, none, 0, 16, false},  // a stop at idle changes nothing
        {1, 0, f.ProgressBar1, 1, 16, true},
        {2, 40, f.ProgressBar1, 1, 16, true},
        {1, 0, f.ProgressBar2, 2, 7, true},
        {2, 30, f.ProgressBar2, 2, 7, true},
        {1, 0, f.ProgressBar3, 3, 7, true},
        {1, 0, f.ProgressBar3, 4, 7, true},  // a fourth level keeps the third bar
        {2, 90, f.ProgressBar3, 4, 7, true},
        {3, 0, f.ProgressBar3, 3, 7, true},
        {3, 0, f.ProgressBar2, 2, 7, true},
        {3, 0, f.ProgressBar1, 1, 7, true},
        {3, 0, none, 0, 16, false},
        {3, 0, none, 0, 16, false},
    };
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(n++);
        fire(s.event, s.percent);
        EXPECT_EQ(progress.currentBar(), s.current);
        EXPECT_EQ(progress.depth(), s.depth);
        EXPECT_EQ(f.ProgressBar1->height(), s.firstBarHeight);
        EXPECT_EQ(f.isPageFrozen(), s.frozen);
        if (s.event == 2) {
            EXPECT_EQ(s.current->value(), s.percent);
        }
        if (s.event == 1) {
            EXPECT_EQ(s.current->value(), 0);
        }
        if (n == 2) {
            // Frozen: the surface is copied only once something is about
            // to draw on it; a paint of the page view then shows the copy
            // and asks the engine for nothing.
            EXPECT_EQ(LiveObjectCount(HandleKind::DC), dcs);
            fill(RGB(0, 0, 255));
            EXPECT_EQ(LiveObjectCount(HandleKind::DC), dcs + 1);
            testing::takeCalls(fake.get());
            surface->repaint();
            EXPECT_FALSE(testing::takeCalls(fake.get()).contains("draw"));
            EXPECT_EQ(GetPixel(surface->surfaceDC(), 5, 5), RGB(255, 0, 0));
        }
    }
    EXPECT_EQ(LiveObjectCount(HandleKind::DC), dcs);
    EXPECT_EQ(LiveObjectCount(HandleKind::Bitmap), bitmaps);

    // A render that fails inside two levels: the reset brings the display
    // back to idle and lets the snapshot go.
    fire(1);
    fire(1);
    fake->setResult(VISTRELLib::VistrelDispid::render, S_FALSE);
    EXPECT_EQ(f.Vistrel1.render(), S_FALSE);
    EXPECT_EQ(progress.depth(), 2);
    f.ResetProgress();
    EXPECT_EQ(progress.currentBar(), none);
    EXPECT_EQ(progress.depth(), 0);
    EXPECT_FALSE(f.isPageFrozen());
    EXPECT_EQ(f.ProgressBar1->height(), 16);
    for (QProgressBar* bar : {f.ProgressBar1, f.ProgressBar2, f.ProgressBar3})
        EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(LiveObjectCount(HandleKind::DC), dcs);
    EXPECT_EQ(LiveObjectCount(HandleKind::Bitmap), bitmaps);
    EXPECT_TRUE(boxes.shown.empty());
}

// A click on the page follows the first link of the tree that holds the
// point, bounds included: the engine's two links overlap from 40,40 to
// 60,60 (the first leads to page 3, the second to page 2).
TEST_F(MainForm, FollowsTheFirstLinkThatHoldsThePoint) {
    TBrevantForm& f = showForm();
    f.OpenDocument("/tmp/sample.pdf");
    ASSERT_EQ(f.lastRendered().page, 1);
    EXPECT_TRUE(f.linkRegion().contains(QPoint(50, 50)));
    EXPECT_FALSE(f.linkRegion().contains(QPoint(5, 5)));
    const std::pair<QPoint, int> cases[] = {
        {{50, 50}, 3}, {{40, 40}, 3}, {{60, 60}, 3}, {{61, 61}, 2},
        {{100, 100}, 2}, {{10, 61}, 1}, {{101, 50}, 1},
    };
    for (auto [at, page] : cases) {
        ASSERT_TRUE(f.BeginViewEdit());
        f.viewEdit().page = 1;
        f.CommitViewEdit(true);
        f.FollowLinkAt(at.x(), at.y());
        EXPECT_EQ(f.GetPage(), page) << at.x() << "," << at.y();
    }
}

// Counts the paints of the widgets it filters.
struct PaintCount : QObject {
    std::map<QObject*, int> paints;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints[watched];
        return false;
    }
};

// The bar that the outermost stop empties is painted with the page view's
// next paint, not in a paint of its own before it; inner bars are painted
// at once.
TEST_F(MainForm, EmptiedOuterBarIsPaintedWithTheNextPaint) {
    TBrevantForm& f = showForm();
    auto fake = testing::fakeOf(f.Vistrel1);
    f.frScroll1->SetPageVisible(true);
    QCoreApplication::processEvents();
    PaintCount count;
    for (QWidget* bar : {f.ProgressBar1, f.ProgressBar2})
        bar->installEventFilter(&count);
    std::int64_t now = 0;
    f.progress().setClock([&] { return now += ProgressIndicator::kQuietTime; });
    const auto fire = [&](DISPID event, int percent = 0) {
        fireProgress(*fake.get(), event, percent);
    };
    fire(1);
    fire(2, 50);
    fire(1);
    fire(2, 50);
    const int inner = count.paints[f.ProgressBar2];
    fire(3);
    EXPECT_EQ(count.paints[f.ProgressBar2], inner + 1);
    const int outer = count.paints[f.ProgressBar1];
    fire(3);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(count.paints[f.ProgressBar1], outer);
    f.frScroll1->PntPanel1->repaint();
    EXPECT_EQ(count.paints[f.ProgressBar1], outer + 1);
    EXPECT_TRUE(f.ProgressBar1->updatesEnabled());
}

// Reports within the quiet time after the outermost start show nothing: a
// render over by then paints no bar, neither filled nor emptied; later
// reports, of any level, are shown at once.
TEST_F(MainForm, ReportsOfTheQuietTimeShowNothing) {
    TBrevantForm& f = showForm();
    auto fake = testing::fakeOf(f.Vistrel1);
    f.frScroll1->SetPageVisible(true);
    QCoreApplication::processEvents();
    std::int64_t now = 0;
    f.progress().setClock([&] { return now; });
    constexpr std::int64_t quiet = ProgressIndicator::kQuietTime;
    struct Case {
        std::int64_t innerAt;  // when a level inside the outermost starts (-1: none)
        std::int64_t at;       // when the report comes, from the outermost start
        bool shown;
    };
    const Case cases[] = {
        {-1, 0, false},
        {-1, quiet - 1, false},
        {-1, quiet, true},
        {quiet - 10, quiet - 1, false},  // counted from the outermost start
        {quiet - 10, quiet, true},
    };
    constexpr std::int64_t start = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        QProgressBar* bar = c.innerAt < 0 ? f.ProgressBar1 : f.ProgressBar2;
        PaintCount count;
        bar->installEventFilter(&count);
        now = start;
        fireProgress(*fake.get(), 1, 0);
        if (c.innerAt >= 0) {
            now = start + c.innerAt;
            fireProgress(*fake.get(), 1, 0);
        }
        now = start + c.at;
        const int before = count.paints[bar];
        fireProgress(*fake.get(), 2, 40);
        EXPECT_EQ(bar->value(), c.shown ? 40 : 0);
        EXPECT_EQ(count.paints[bar], before + (c.shown ? 1 : 0));
        f.ResetProgress();
        f.frScroll1->PntPanel1->repaint();
        EXPECT_EQ(bar->value(), 0);
        if (!c.shown) {
            EXPECT_EQ(count.paints[bar], before);
        }
        bar->removeEventFilter(&count);
    }
}

// An error raised while a render runs leaves through the render road with
// the progress display reset and the normal cursor back.
TEST_F(MainForm, RenderRoadRestoresOnAnError) {
    TBrevantForm& f = showForm();
    f.OpenDocument("/tmp/sample.pdf");
    f.Vistrel1.OnstopProgressIndicator = [](TVistrel*) { throw EngineError(E_FAIL); };
    ASSERT_TRUE(f.BeginViewEdit());
    f.viewEdit().page = 2;
    EXPECT_THROW(f.CommitViewEdit(true), EngineError);
    EXPECT_EQ(f.progress().depth(), 0);
    EXPECT_FALSE(f.isPageFrozen());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace brevant
