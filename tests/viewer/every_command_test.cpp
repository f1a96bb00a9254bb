// Every command of the main window driven in turn over the sample, as a new
// user tries them: each enabled item of every menu, tool bar, popup and tab
// button, the dialogs they open answered or cancelled, the file history
// holding three real files, the To Device tree empty and then filled and
// saved, a bookmark added, renamed and deleted. Then the document is closed
// (a file that cannot be opened takes its place) and every command is
// driven again. Nothing may crash (the sanitizer suite runs this too, where
// nothing may leak either), and the commands that need a document are
// disabled without one.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/shell/recording_programs_test_util.h"
#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/device_format_dialog.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/go_to_page_dialog.h"
#include "viewer/app/main_form.h"
#include "viewer/app/options_dialogs.h"
#include "viewer/app/page_range_dialog.h"
#include "viewer/app/settings_table.h"

namespace brevant {
namespace {

void pressKey(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
}

// Answers every modal dialog a command opens, as soon as it shows: the
// Save dialog names the database file, the Open dialog is cancelled, the
// page, format and option dialogs are confirmed with a choice, the others
// are closed. The names of the dialogs answered are kept.
class DialogAnswers {
public:
    explicit DialogAnswers(QString database) : database_(std::move(database)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }

    std::set<std::string> answered;

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        answered.insert(modal->objectName().toStdString());
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            if (files->acceptMode() == QFileDialog::AcceptSave) {
                // selectFile leaves the name box alone while it has the
                // focus, so the name is typed into the box itself.
                if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(database_);
                else
                    files->selectFile(database_);
                static_cast<QDialog*>(files)->accept();
            } else {
                files->reject();
            }
        } else if (auto* range = qobject_cast<TfPrepPage*>(modal)) {
            range->rbAll->click();
            range->BitBtn1->click();
        } else if (auto* format = qobject_cast<TfPalmFormat*>(modal)) {
            format->rbAdvanced->click();
            format->rbPalmVb->click();
            format->BitBtn1->click();
        } else if (auto* goTo = qobject_cast<TGoToPage*>(modal)) {
            goTo->BitBtn2->click();
        } else if (auto* options = qobject_cast<TfOptions*>(modal)) {
            options->BitBtn2->click();
        } else if (auto* quality = qobject_cast<TQMemOpt*>(modal)) {
            quality->BitBtn2->click();
        } else {
            modal->close();
        }
    }

    QString database_;
    QTimer poll_;
};

class EveryCommand : public testing::RealEngineTest {
protected:
    void SetUp() override {
        RealEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
        for (const char* name : {"one.pdf", "two.pdf", "three.pdf"}) {
            files << folder() + name;
            ASSERT_TRUE(QFile::copy(BREVANT_SAMPLE, files.back()));
            QFile(files.back()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
        writeSetting(settings::kFileHistory, files.join("\r\n"));
    }

    QString folder() const { return QString::fromStdString(home.path().string()) + "/"; }

    // Runs a command when it is open to the user, then closes what popup
    // it opened and ends any label edit it began by naming the entry. The
    // view toggles go and come back, so that the pane and the bars stay.
    void run(QAction* action) {
        if (!action || !action->isEnabled() || !action->isVisible() || action->menu() ||
            action->isSeparator())
            return;
        for (int times = isViewToggle(action) ? 2 : 1; times > 0; --times) {
            action->trigger();
            settle();
        }
    }
    void run(QAbstractButton* button) {
        if (!button->isEnabled() || !button->isVisible())
            return;
        auto* tool = qobject_cast<QToolButton*>(button);
        for (int times = tool && isViewToggle(tool->defaultAction()) ? 2 : 1; times > 0; --times) {
            button->click();
            settle();
        }
    }
    bool isViewToggle(QAction* action) const {
        return action && (action == form->ShowDocumentManagementPane1 || action == form->ToolBar3 ||
                          action == form->StatusBar1);
    }
    void settle() {
        QCoreApplication::processEvents();
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        for (QTreeWidget* tree : {form->tvBookmarks, form->tvForPalm}) {
            for (QLineEdit* editor : tree->viewport()->findChildren<QLineEdit*>()) {
                if (editor->isVisible()) {
                    editor->setText("Renamed");
                    pressKey(editor, Qt::Key_Return);
                    ++labelsEdited[tree];
                }
            }
        }
        QCoreApplication::processEvents();
    }

    // The items of a menu and its submenus, read afresh as each runs (the
    // recent files are made anew by every open).
    void runMenu(QMenu* menu) {
        for (int i = 0; i < menu->actions().size(); ++i) {
            QAction* item = menu->actions()[i];
            if (item == form->FileExit1)
                continue;  // last of all
            if (!history && isRecentFile(item))
                continue;
            if (item->menu()) {
                runMenu(item->menu());
            } else {
                run(item);
            }
        }
    }

    bool isRecentFile(QAction* item) const {
        return item->parent() == form->File1 && item->data().isValid() && item->data().toInt() >= 0;
    }

    // The buttons of a navigation tab, the tab shown.
    void runTab(QWidget* tab) {
        form->PageControl1->setCurrentWidget(tab);
        QCoreApplication::processEvents();
        for (QPushButton* button : tab->findChildren<QPushButton*>())
            run(button);
    }

    // Every command of the window once.
    void runAll() {
        runTab(form->TabSheet1);
        runTab(form->TabSheet2);
        for (QAction* menu : form->menuBar()->actions())
            runMenu(menu->menu());
        for (QToolButton* button : form->ToolBar1->findChildren<QToolButton*>())
            run(button);
        QComboBox* clarity = form->cbClarity;
        for (int i = 0; i < clarity->count() && clarity->isEnabled(); ++i) {
            clarity->setCurrentIndex(i);
            emit clarity->activated(i);
            settle();
        }
        run(form->tbZoomLevels);
        for (auto [box, typed] : {std::pair{form->ePageNum, "2"}, {form->eZOOM, "150"}}) {
            if (!box->isEnabled())
                continue;
            box->setText(typed);
            pressKey(box, Qt::Key_Return);
            settle();
        }
        for (QMenu* popup : {form->pmFileList, form->pmZOOM, form->pmOptions, form->pmDocInfo,
                             form->pmTree, form->pmTOC}) {
            if (popup == form->pmFileList && !history)
                continue;
            emit popup->aboutToShow();  // the file list fills itself here
            for (int i = 0; i < popup->actions().size(); ++i)
                run(popup->actions()[i]);
        }
        runTab(form->TabSheet2);
        runTab(form->TabSheet1);
    }

    // The texts of the error boxes shown since the last look.
    std::vector<std::string> takeErrors() {
        std::vector<std::string> errors;
        for (const MessageRequest& box : boxes.shown) {
            if (box.icon == MessageIcon::Error)
                errors.push_back(box.text.toStdString());
        }
        boxes.shown.clear();
        return errors;
    }

    // The commands that need a document and are open to the user.
    std::vector<std::string> documentCommandsOpen() const {
        std::vector<std::string> open;
        for (QAction* action :
             {form->DocumentInfo1->menuAction(), form->GeneralInfo1, form->SecurityInfo1,
              form->FontInfo1, form->PreparepagesforPalm1, form->PreviewPageIn1,
              form->PreviewPageIn2, form->PreviewPages1, form->GoToPage1, form->ShowOnDeviceAct1,
              form->FitWidth, form->Fullpage1, form->Fitheight1, form->FirstPage1,
              form->PrevPage1, form->NextPage1, form->LastPage1, form->PrevView1, form->NextView1,
              form->ActualSize1, form->Zoom1->menuAction(), form->FileSave1, form->FileSaveAs1}) {
            if (action->isEnabled())
                open.push_back(action->objectName().toStdString());
        }
        for (QWidget* control : std::initializer_list<QWidget*>{
                 form->tbZoomLevels, form->ePageNum, form->eZOOM, form->bAddBM, form->bRenameBM,
                 form->bDelBM, form->bDelAllBM, form->bAddPalm, form->bRenamePalm, form->bDelPalm,
                 form->bDelAllPalm, form->bSavePDB}) {
            if (control->isEnabled())
                open.push_back(control->objectName().toStdString());
        }
        return open;
    }

    std::unique_ptr<TBrevantForm> form;
    QStringList files;
    // Whether the recent files (File menu and the Open button's list) run.
    bool history = true;
    // Entries named by a label edit, per tree.
    std::map<QTreeWidget*, int> labelsEdited;
};

TEST_F(EveryCommand, WithAndWithoutADocument) {
    win::test::RecordingPrograms programs;
    DialogAnswers dialogs(folder() + "device.pdb");
    form = std::make_unique<TBrevantForm>();
    form->setCommandLine({"Brevant", files[0]});
    form->resize(900, 700);
    form->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(form->ePageNum->text(), "1 of 4");

    runAll();
    EXPECT_EQ(takeErrors(), std::vector<std::string>{});
    // Entries were added and renamed (and then deleted) in both trees.
    EXPECT_GE(labelsEdited[form->tvBookmarks], 2);
    EXPECT_GE(labelsEdited[form->tvForPalm], 2);
    EXPECT_EQ(form->tvBookmarks->topLevelItemCount(), 0);
    for (const char* dialog :
         {"AboutBox", "GoToPage", "fPrepPage", "fPalmFormat", "fPalm", "fOptions", "QMemOpt",
          "fInfo", "fSecurInfo", "fFontInfo", "SaveDialog1"})
        EXPECT_TRUE(dialogs.answered.count(dialog)) << dialog;
    EXPECT_TRUE(QFile::exists(folder() + "device.pdb"));
    // Help and the written database went to the desktop's opener.
    EXPECT_FALSE(programs.takeArgs("xdg-open").empty());

    // The document closed: a file that cannot be opened takes its place.
    form->OpenDocument(folder() + "missing.pdf");
    ASSERT_TRUE(form->Vistrel1.filename().isEmpty());
    EXPECT_EQ(takeErrors(), std::vector<std::string>{"There was an error opening this document."});
    EXPECT_EQ(documentCommandsOpen(), std::vector<std::string>{});
    history = false;
    runAll();
    EXPECT_TRUE(form->Vistrel1.filename().isEmpty());
    EXPECT_EQ(documentCommandsOpen(), std::vector<std::string>{});
    // Only the zoom popup, which no user reaches without a page, asks for
    // renders.
    for (const std::string& error : takeErrors())
        EXPECT_EQ(error, "Page cannot be rendered at selected zoom level.");

    // The recent files open their documents again (the missing one
    // excepted), and Exit closes the window.
    for (int i = 0; i < form->File1->actions().size(); ++i) {
        if (isRecentFile(form->File1->actions()[i]))
            run(form->File1->actions()[i]);
    }
    EXPECT_EQ(takeErrors(), std::vector<std::string>{"There was an error opening this document."});
    EXPECT_FALSE(form->Vistrel1.filename().isEmpty());
    run(form->FileExit1);
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace brevant
