#include "viewer/app/files_tab.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "viewer/app/app_test_util.h"

namespace brevant {
namespace {

namespace fs = std::filesystem;

// A scratch folder tree:
//   docs/  a.pdf  B.PDF  c.Pdf  notes.txt  .hidden.pdf  fifo.pdf (a pipe)
//          sub/  deep.pdf      empty/      .git/
//   other/ x.pdf
// The application comes before the fixture's widgets.
struct WithApp {
    WithApp() { testing::testApp(); }
};

struct FilesTabTest : ::testing::Test, WithApp {
    FilesTabTest() {
        root = fs::temp_directory_path() / ("files_tab_" + std::to_string(::getpid()));
        fs::remove_all(root);
        for (const char* file : {"docs/a.pdf", "docs/B.PDF", "docs/c.Pdf", "docs/notes.txt",
                                 "docs/.hidden.pdf", "docs/sub/deep.pdf", "other/x.pdf"}) {
            fs::create_directories((root / file).parent_path());
            std::ofstream(root / file) << "x";
        }
        fs::create_directories(root / "docs" / "empty");
        fs::create_directories(root / "docs" / ".git");
        ::mkfifo((root / "docs" / "fifo.pdf").c_str(), 0600);
        mask.setEditable(true);
        mask.addItems({"*.pdf", "*.*"});
        tab = std::make_unique<FilesTab>(
            &tree, &mask, savedPath, [this](const QString& path) { opened << path; },
            QStringList{QStringLiteral("/"), QString::fromStdString(root.string())});
    }
    ~FilesTabTest() override { fs::remove_all(root); }

    QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->text(0) == text)
                return item->child(i);
        return nullptr;
    }
    static QStringList texts(QTreeWidgetItem* item) {
        QStringList list;
        for (int i = 0; i < item->childCount(); ++i)
            list << item->child(i)->text(0);
        return list;
    }
    QTreeWidgetItem* scratchRoot() { return tree.topLevelItem(1); }
    QTreeWidgetItem* docs() {
        tab->TabSheet4Show();
        scratchRoot()->setExpanded(true);
        QTreeWidgetItem* item = child(scratchRoot(), "docs");
        item->setExpanded(true);
        return item;
    }

    fs::path root;
    QTreeWidget tree;
    QComboBox mask;
    QString savedPath;
    QStringList opened;
    std::unique_ptr<FilesTab> tab;
};

TEST_F(FilesTabTest, RootsFoldersAndFilesByMask) {
    tab->TabSheet4Show();
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "/");
    EXPECT_EQ(FilesTab::imageIndex(scratchRoot()), FilesTab::kRoot);
    EXPECT_EQ(texts(scratchRoot()), QStringList{"-"});  // not read yet

    struct Case {
        const char* mask;
        QStringList listed;
    };
    const Case cases[] = {
        {"*.pdf", {".git", "empty", "sub", "a.pdf", "B.PDF", "c.Pdf"}},
        {" *.* ", {".git", "empty", "sub", "a.pdf", "B.PDF", "c.Pdf", "notes.txt"}},
        {"pdf", {".git", "empty", "sub", "a.pdf", "B.PDF", "c.Pdf"}},
        {"*.txt", {".git", "empty", "sub", "notes.txt"}},
        {"*.?DF", {".git", "empty", "sub", "a.pdf", "B.PDF", "c.Pdf"}},
    };
    for (const Case& c : cases) {
        tree.clear();
        mask.setEditText(c.mask);
        QTreeWidgetItem* folder = docs();
        EXPECT_EQ(texts(folder), c.listed) << c.mask;
    }
    QTreeWidgetItem* folder = docs();
    EXPECT_EQ(FilesTab::imageIndex(child(folder, "sub")), FilesTab::kFolder);
    EXPECT_EQ(FilesTab::imageIndex(child(folder, "B.PDF")), FilesTab::kPdfFile);
    EXPECT_EQ(tab->fullPath(child(folder, "sub")),
              QString::fromStdString((root / "docs" / "sub").string()) + "/");
}

TEST_F(FilesTabTest, EmptyFolderLosesItsButtonAndCollapseReadsAgain) {
    QTreeWidgetItem* folder = docs();
    QTreeWidgetItem* empty = child(folder, "empty");
    EXPECT_EQ(texts(empty), QStringList{"-"});
    empty->setExpanded(true);
    EXPECT_EQ(empty->childCount(), 0);

    std::ofstream(root / "docs" / "new.pdf") << "x";
    EXPECT_FALSE(texts(folder).contains("new.pdf"));
    folder->setExpanded(false);
    EXPECT_EQ(texts(folder), QStringList{"-"});
    folder->setExpanded(true);
    EXPECT_TRUE(texts(folder).contains("new.pdf"));
}

TEST_F(FilesTabTest, DoubleClickOpensPdfFilesInAnyCase) {
    mask.setEditText("*.*");
    QTreeWidgetItem* folder = docs();
    for (const char* name : {"notes.txt", "sub", "c.Pdf", "B.PDF"}) {
        tree.setCurrentItem(child(folder, name));
        tab->tvFilesDblClick();
    }
    const QString docsPath = QString::fromStdString((root / "docs").string());
    EXPECT_EQ(opened, QStringList({docsPath + "/c.Pdf", docsPath + "/B.PDF"}));
    EXPECT_EQ(savedPath, docsPath + "/B.PDF");
}

TEST_F(FilesTabTest, SavedPathUnfoldsAtTheFirstShow) {
    const QString base = QString::fromStdString(root.string());
    struct Case {
        QString saved;
        const char* selected;  // nullptr: nothing selected
        bool docsExpanded;
    };
    const Case cases[] = {
        {base + "/docs/sub/deep.pdf", "deep.pdf", true},
        {base + "/docs/gone.pdf", nullptr, true},      // file deleted: its folder open
        {base + "/missing/x.pdf", nullptr, false},     // folder gone
    };
    for (const Case& c : cases) {
        tree.clear();
        savedPath = c.saved;
        tab->TabSheet4Show();
        QTreeWidgetItem* current = tree.currentItem();
        if (c.selected == nullptr)
            EXPECT_TRUE(current == nullptr || !current->isSelected()) << c.saved.toStdString();
        else
            EXPECT_EQ(current ? current->text(0) : QString(), c.selected);
        EXPECT_TRUE(scratchRoot()->isExpanded());
        QTreeWidgetItem* folder = child(scratchRoot(), "docs");
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->isExpanded(), c.docsExpanded) << c.saved.toStdString();
    }
    // Shown again with items: nothing changes.
    tree.topLevelItem(0)->setText(0, "kept");
    tab->TabSheet4Show();
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "kept");
}

TEST(FileMask, WildcardsWithoutRegardToCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    };
    const Case cases[] = {
        {"a.pdf", "*.pdf", true},   {"A.PDF", "*.pdf", true},    {"a.pdfx", "*.pdf", false},
        {"noext", "*.*", true},     {"a.b.pdf", "*.pdf", true},  {"a.pd", "*.pd?", false},
        {"[x].pdf", "*.pdf", true}, {"ab.txt", "*.t?t", true},   {"a.txt", "*.*x*", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesFileMask(c.name, c.mask), c.match) << c.name << " " << c.mask;
}

}  // namespace
}  // namespace brevant
