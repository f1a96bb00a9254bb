// The device workflow over the fake engine, which records what it is handed:
// the save road of the To Device tree (the save question, the Save dialog,
// the overwrite question, writePDB and its failure, the file opened
// afterwards), Save As PDB, the record-limit answer and the image clarity.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QToolButton>
#include <QRegularExpression>
#include <QThread>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/viewer/fake_engine_client.h"
#include "tests/viewer/tree_input.h"
#include "platform/registry/registry.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/tree_node_data.h"

namespace brevant {
namespace {

using namespace win;
using namespace VISTRELLib;

constexpr const char* kEntries = "ForPalm[Page 1--100%,Page 1--100%,Page 1--100%]";

class DeviceSave : public testing::FakeEngineTest {
protected:
    std::unique_ptr<TBrevantForm> form;
    ComPtr<fake::IFakeEngine> fake;
    QString dir, document;
    // What the Save dialog answers; every name it was offered.
    QString chosen;
    std::vector<QString> proposed;
    std::vector<QString> opened;
    // The window's own way of opening a written file.
    std::function<void(const QString&)> shellOpen;

    void SetUp() override {
        FakeEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
        dir = QString::fromStdString(home.path().string());
        document = dir + "/doc.pdf";
        form = std::make_unique<TBrevantForm>();
        form->savePdbDialog = [this](const QString& name) {
            proposed.push_back(name);
            return chosen;
        };
        shellOpen = form->openWithShell;
        form->openWithShell = [this](const QString& file) { opened.push_back(file); };
        form->show();
        QCoreApplication::sendPostedEvents();
        fake = testing::fakeOf(form->Vistrel1);
        form->OpenDocument(document);
        ASSERT_EQ(form->lastRendered().page, 1);
        boxes.shown.clear();
    }
    void TearDown() override {
        boxes.answers.clear();
        // Nothing is asked at the end of a test.
        form->deviceTree().tree->clear();
        form.reset();
        FakeEngineTest::TearDown();
    }
    QStringList calls(const char* prefix) {
        QStringList lines = testing::takeCalls(fake.get()).split(u'\n');
        return lines.filter(QRegularExpression(QString("^(") + prefix + ")"));
    }
};

// Closing the window with three prepared pages: the save question and
// what each answer leads to.
TEST_F(DeviceSave, ClosingWithPreparedPages) {
    struct Case {
        const char* name;
        std::vector<MessageAnswer> answers;
        const char* chosen;    // the Save dialog's answer, relative to dir
        bool exists;           // the chosen file is there already
        HRESULT written;       // writePDB's result
        bool closes;
        std::optional<const char*> file;  // the file handed to writePDB
        std::vector<QString> texts;       // the boxes after the question
    };
    const QString question = "Save selected sections of doc.pdf as PDB file for device?";
    const QString replace = " already exist.\rDo you want to replace it?";
    const Case cases[] = {
        {"cancel", {MessageAnswer::Cancel}, "", false, S_OK, false, {}, {}},
        {"no", {MessageAnswer::No}, "", false, S_OK, true, {}, {}},
        {"dialog cancelled", {MessageAnswer::Yes}, "", false, S_OK, true, {}, {}},
        {"no extension", {MessageAnswer::Yes}, "out", false, S_OK, true, "out.pdb", {}},
        {"other extension", {MessageAnswer::Yes}, "out.bin", false, S_OK, true, "out.bin", {}},
        {"kept", {MessageAnswer::Yes, MessageAnswer::No}, "old.pdb", true, S_OK, true, {},
         {"old.pdb" + replace}},
        {"replaced", {MessageAnswer::Yes, MessageAnswer::Yes}, "old.pdb", true, S_OK, true,
         "old.pdb", {"old.pdb" + replace}},
        {"write fails", {MessageAnswer::Yes}, "out.pdb", false, E_FAIL, true, "out.pdb",
         {"Error writing PDB file."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->show();
        form->AddDevicePages(1);
        ASSERT_EQ(form->tvForPalm->topLevelItemCount(), 3);
        chosen = *c.chosen ? dir + "/" + c.chosen : "";
        if (c.exists) {
            QFile file(chosen);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        fake->setResult(VistrelDispid::writePDB, c.written);
        proposed.clear();
        opened.clear();
        boxes.shown.clear();
        boxes.answers.assign(c.answers.begin(), c.answers.end());
        testing::takeCalls(fake.get());

        EXPECT_EQ(form->close(), c.closes);
        std::vector<QString> texts = boxes.texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.front(), question);
        EXPECT_EQ(boxes.shown.front().buttons, MessageButtons::YesNoCancel);
        texts.erase(texts.begin());
        for (QString& text : texts)
            text.remove(dir + "/");
        EXPECT_EQ(texts, c.texts);
        const bool yes = c.answers.front() == MessageAnswer::Yes;
        EXPECT_EQ(proposed, yes ? std::vector<QString>{dir + "/doc.pdb"} : std::vector<QString>{});
        const QStringList handed = calls("root put|writePDB");
        if (!c.closes) {
            // Nothing handed back; the entries stay.
            EXPECT_TRUE(handed.isEmpty());
            EXPECT_EQ(form->tvForPalm->topLevelItemCount(), 3);
            form->tvForPalm->clear();
            continue;
        }
        QStringList expected{QString("root put ForPalm ") + kEntries};
        if (c.file)
            expected << "writePDB " + dir + "/" + *c.file + " " + kEntries;
        EXPECT_EQ(handed, expected);
        EXPECT_EQ(opened, c.file && c.written == S_OK
                              ? std::vector<QString>{dir + "/" + *c.file}
                              : std::vector<QString>{});
        // Cleared once a file was named, written or not.
        EXPECT_EQ(form->deviceChoiceChanged(), !*c.chosen);
        // The window went on closing: the tree is cleared.
        EXPECT_EQ(form->tvForPalm->topLevelItemCount(), 0);
        if (c.exists)
            QFile::remove(chosen);
    }
}

// Closing while the engine does not store the pages (S_FALSE or an error):
// after the save question the user learns that they could not be saved and
// may keep the window with them; closing anyway clears them.
TEST_F(DeviceSave, ClosingWhenTheEngineDoesNotStoreThePages) {
    const QString lost = "The bookmarks and device pages could not be saved into doc.pdf: ";
    for (const HRESULT refused : {S_FALSE, E_FAIL}) {
        SCOPED_TRACE(refused);
        form->show();
        form->AddDevicePages(1);
        fake->setResult(VistrelDispid::root, refused);
        boxes.shown.clear();
        boxes.answers = {MessageAnswer::No, MessageAnswer::No};
        testing::takeCalls(fake.get());
        EXPECT_FALSE(form->close());
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_TRUE(boxes.shown[1].text.startsWith(lost)) << boxes.shown[1].text.toStdString();
        EXPECT_TRUE(boxes.shown[1].text.endsWith(".\rClose anyway? They will be lost."));
        EXPECT_EQ(calls("root put"), QStringList{QString("root put ForPalm ") + kEntries});
        EXPECT_EQ(form->tvForPalm->topLevelItemCount(), 3);

        boxes.shown.clear();
        boxes.answers = {MessageAnswer::No, MessageAnswer::Yes};
        EXPECT_TRUE(form->close());
        EXPECT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(form->tvForPalm->topLevelItemCount(), 0);
        fake->setResult(VistrelDispid::root, S_OK);
    }
}

TEST_F(DeviceSave, SaveAsPdbAsksNoQuestionAndHandsBackAtTheNextClose) {
    // An empty tree: nothing asked, nothing written.
    form->FileSave1Execute();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(calls("root put|writePDB").isEmpty());

    writeSetting(settings::kAutostartPdb, false);
    form->AddDevicePages(2);
    chosen = dir + "/pages.pdb";
    testing::takeCalls(fake.get());
    form->FileSave1Execute();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(calls("root put|writePDB"),
              QStringList{"writePDB " + chosen + " ForPalm[Page 1--100%]"});
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(form->deviceTree().tag, 1);
    // Closing hands the tree to the engine without a question.
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(calls("root put|writePDB"),
              QStringList{"root put ForPalm ForPalm[Page 1--100%]"});
}

// Save As PDB from the File and Device menus, File > Save As, the tree
// popup and the To Device tab: each is open only while the tree has
// entries, and writes them without asking.
TEST_F(DeviceSave, EverySaveAsPdbCommand) {
    writeSetting(settings::kAutostartPdb, false);
    chosen = dir + "/pages.pdb";
    struct Command {
        std::string name;
        std::function<void()> run;
        std::function<bool()> enabled;
    };
    const auto action = [](QAction* a) {
        return Command{a->objectName().toStdString(), [a] { a->trigger(); },
                       [a] { return a->isEnabled(); }};
    };
    QPushButton* tabButton = form->bSavePDB;
    const Command commands[] = {
        action(form->FileSave1),
        action(form->FileSaveAs1),
        action(form->SaveasPDB1),
        {"bSavePDB", [tabButton] { tabButton->click(); },
         [tabButton] { return tabButton->isEnabled(); }},
    };
    for (const Command& c : commands) {
        SCOPED_TRACE(c.name);
        // The tree popup's item stays open.
        if (c.name != "SaveasPDB1") {
            EXPECT_FALSE(c.enabled());
        }
        form->AddDevicePages(2);
        EXPECT_TRUE(c.enabled());
        testing::takeCalls(fake.get());
        c.run();
        EXPECT_EQ(calls("root put|writePDB"),
                  QStringList{"writePDB " + chosen + " ForPalm[Page 1--100%]"});
        EXPECT_TRUE(boxes.shown.empty());
        form->deviceTree().tree->clear();
        form->UpdateTreeButtons();
    }
}

TEST_F(DeviceSave, OpeningAnotherDocumentAsksFirst) {
    form->AddDevicePages(2);
    boxes.answers = {MessageAnswer::Cancel};
    form->OpenDocument(dir + "/other.pdf");
    // Still the first document, with its entry; the history unchanged.
    EXPECT_EQ(form->Vistrel1.filename(), document);
    EXPECT_EQ(form->fileHistory(), QStringList{document});
    EXPECT_EQ(form->tvForPalm->topLevelItemCount(), 1);
}

TEST_F(DeviceSave, DeletingTheLastEntryClearsTheChoice) {
    form->AddDevicePages(1);
    EXPECT_TRUE(form->deviceChoiceChanged());
    for (int left = 2; left >= 0; --left) {
        testing::clickItem(form->tvForPalm, form->tvForPalm->topLevelItem(0));
        form->bDelBMClick(form->bDelPalm);
        EXPECT_EQ(form->tvForPalm->topLevelItemCount(), left);
        EXPECT_EQ(form->deviceChoiceChanged(), left > 0);
        EXPECT_EQ(form->FileSave1->isEnabled(), left > 0);
    }
    // Deletions still count as a change: the empty tree is handed back
    // without a question.
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(calls("root put"), QStringList{"root put ForPalm ForPalm"});
}

TEST_F(DeviceSave, RecordLimitIsAnsweredWithNormalWriting) {
    fake->fire(VistrelEventsDispid::pdbRecordsLimitExceeded, nullptr, 0);
    EXPECT_EQ(calls("writeMode"), QStringList{"writeMode 1"});
}

// The written file is opened by the desktop's opener, which gets its name
// as its one argument.
TEST_F(DeviceSave, AutostartOpensTheWrittenFile) {
    const QString bin = dir + "/bin", record = dir + "/opened.txt";
    QDir().mkpath(bin);
    {
        QFile opener(bin + "/xdg-open");
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"" +
                     record.toUtf8() + "\"\n");
        opener.setPermissions(opener.permissions() | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ":" + path);
    form->openWithShell = shellOpen;
    form->AddDevicePages(2);
    chosen = dir + "/my pages";
    // The fake engine writes nothing: the file is there already, and is
    // replaced.
    QFile written(chosen + ".pdb");
    ASSERT_TRUE(written.open(QIODevice::WriteOnly));
    written.close();
    boxes.answers = {MessageAnswer::Yes};
    form->FileSave1Execute();
    for (int i = 0; i < 500 && !QFile::exists(record); ++i)
        QThread::msleep(10);
    qputenv("PATH", path);
    QFile opened(record);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(opened.readAll(), (dir + "/my pages.pdb\n").toUtf8());
}

// The HotSync command starts the program the Palm desktop names, reading
// its key without creating it.
TEST_F(DeviceSave, HotSyncStartsTheNamedProgram) {
    std::vector<QString> started;
    form->startProgram = [&](const QString& command) { started.push_back(command); };
    const char16_t* key = u"Software\\U.S. Robotics\\Pilot Desktop\\Core";
    form->tbHotSync->click();
    HKEY opened = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &opened, nullptr),
              ERROR_SUCCESS);
    const std::u16string path = u"\"/opt/palm/hot sync\" -q";
    ASSERT_EQ(RegSetValueExW(opened, u"HotSyncPath", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(path.c_str()),
                             DWORD((path.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    form->tbHotSync->click();
    EXPECT_EQ(started, std::vector<QString>{QString::fromStdU16String(path)});
    EXPECT_TRUE(form->tbHotSync->isHidden());
}

// The image clarity from the menu and from the list, previewing or not.
TEST_F(DeviceSave, ImageClarity) {
    EXPECT_EQ(form->GetDeviceFormat(), 4);  // "Preview In Palm" is on
    form->MaximizeBrightness1->trigger();
    EXPECT_EQ(form->GetDeviceFormat(), 16);
    EXPECT_EQ(form->lastRendered().format, 16);
    EXPECT_EQ(form->cbClarity->currentIndex(), 1);
    EXPECT_EQ(readSetting(settings::kPalmFormat), 16);
    EXPECT_TRUE(form->MaximizeBrightness1->isChecked());
    EXPECT_FALSE(form->Standard1->isChecked());

    // The item already checked does nothing.
    testing::takeCalls(fake.get());
    form->MaximizeBrightness1->trigger();
    EXPECT_TRUE(calls("State put|render").isEmpty());
    EXPECT_TRUE(form->MaximizeBrightness1->isChecked());

    form->cbClarity->setCurrentIndex(2);
    form->Standard1Click(form->cbClarity);
    EXPECT_EQ(form->GetDeviceFormat(), 17);
    EXPECT_TRUE(form->MaximizeContrast1->isChecked());

    // The preview toggle turns the format off and on again.
    form->PreviewPageIn1->trigger();
    EXPECT_EQ(form->GetDeviceFormat(), 0);
    EXPECT_FALSE(form->PreviewPageIn1->isChecked());
    EXPECT_FALSE(form->cbClarity->isEnabled());
    form->PreviewPages1->trigger();
    EXPECT_EQ(form->GetDeviceFormat(), 17);
    EXPECT_TRUE(form->tbPreviewPages->isChecked());
    EXPECT_TRUE(form->cbClarity->isEnabled());

    // The format dialog's choice becomes the current format, shown by the
    // clarity list and menu; it renders only while previewing.
    form->selectFormatDialog = [](int& format) {
        format = 4;
        return true;
    };
    form->SelectPalmFormat1->trigger();
    EXPECT_EQ(form->GetDeviceFormat(), 4);
    EXPECT_EQ(readSetting(settings::kPalmFormat), 4);
    EXPECT_TRUE(form->Standard1->isChecked());
    EXPECT_FALSE(form->MaximizeContrast1->isChecked());
    EXPECT_EQ(form->cbClarity->currentIndex(), 0);
    form->PreviewPageIn1->trigger();
    form->selectFormatDialog = [](int& format) {
        format = 16;
        return true;
    };
    form->SelectPalmFormat2->trigger();
    EXPECT_EQ(form->GetDeviceFormat(), 0);
    EXPECT_TRUE(form->MaximizeBrightness1->isChecked());
    EXPECT_EQ(form->cbClarity->currentIndex(), 1);
    form->AddDevicePages(2);
    EXPECT_EQ(GetCsvField(nodeStateText(TBrevantForm::itemData(form->tvForPalm->topLevelItem(0))
                                            ->node.get()),
                          7),
              "16");
}

}  // namespace
}  // namespace brevant
