// The navigation trees of the main window over the engine library: the
// outline loaded lazily, the selection lock by mouse and keys, bookmarks
// stored into the document and read back, a nested tree handed back after
// an edit, the bookmark security warning, and pages prepared for the device.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTreeWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>

#include "tests/viewer/real_engine.h"
#include "tests/viewer/tree_input.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/tree_node_data.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

using namespace win;

constexpr const char* kWarning =
    "Security settings on this file do not allow saving of bookmarks. All bookmarks will be lost "
    "when the file is closed.";

class TreesRoad : public testing::RealEngineTest {
protected:
    std::unique_ptr<TBrevantForm> form;
    std::deque<QString> passwords;

    void SetUp() override {
        RealEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
        writeSetting(settings::kPreviewInPalm, false);
        form = std::make_unique<TBrevantForm>();
        form->setPasswordPrompt([this](const QString&, QString& password) {
            if (passwords.empty())
                return false;
            password = passwords.front();
            passwords.pop_front();
            return true;
        });
        form->resize(800, 600);
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        form.reset();
        RealEngineTest::TearDown();
    }

    // A copy of the tree fixture, since handing trees back writes the file.
    QString copyOf(const char* name) {
        QString copy = QString::fromStdString((home.path() / name).string());
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(fixture("trees/") + name, copy));
        QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return copy;
    }
    void open(const QString& file) {
        form->OpenDocument(file);
        QCoreApplication::processEvents();
        ASSERT_GT(form->lastRendered().page, 0);
    }
    static QStringList texts(QTreeWidget* tree, QTreeWidgetItem* parent = nullptr) {
        QStringList result;
        const int count = parent ? parent->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < count; ++i)
            result << (parent ? parent->child(i) : tree->topLevelItem(i))->text(0);
        return result;
    }
    static QTreeWidgetItem* find(QTreeWidget* tree, const QString& text) {
        const QList<QTreeWidgetItem*> found =
            tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }
    void showTab(QWidget* tab) {
        form->PageControl1->setCurrentWidget(tab);
        QCoreApplication::processEvents();
    }
};

TEST_F(TreesRoad, OutlineLoadsLazilyAndTheSelectionLocks) {
    open(copyOf("outline.pdf"));
    QTreeWidget* toc = form->tvTOC;
    showTab(form->TabSheet3);
    EXPECT_TRUE(form->PageControl1->isTabVisible(form->PageControl1->indexOf(form->TabSheet3)));
    ASSERT_EQ(texts(toc).mid(0, 4),
              (QStringList{"Chapter 1", "No destination", "URI action", "Closed"}));
    QTreeWidgetItem* chapter = toc->topLevelItem(0);
    // The kids wait behind a placeholder without a record.
    ASSERT_EQ(texts(toc, chapter), QStringList{"-"});
    EXPECT_FALSE(TBrevantForm::itemData(chapter->child(0)));
    chapter->setExpanded(true);
    EXPECT_EQ(texts(toc, chapter), (QStringList{"Section 1.1", "Both"}));
    QTreeWidgetItem* section = chapter->child(0);
    EXPECT_EQ(texts(toc, section), QStringList{"0"});
    // Expanded again: the kids are not loaded a second time.
    chapter->setExpanded(false);
    chapter->setExpanded(true);
    EXPECT_EQ(texts(toc, chapter), (QStringList{"Section 1.1", "Both"}));

    // Without input the selection does not move.
    toc->setCurrentItem(section);
    EXPECT_NE(toc->currentItem(), section);
    // A first click selects, a second goes there.
    testing::clickItem(toc, section);
    EXPECT_EQ(toc->currentItem(), section);
    EXPECT_EQ(form->ePageNum->text(), "1 of 3");
    testing::clickItem(toc, section);
    EXPECT_EQ(form->ePageNum->text(), "2 of 3");
    EXPECT_TRUE(form->PrevView1->isEnabled());

    // Keys move the selection; Enter goes to it.
    testing::pressKey(toc, Qt::Key_Down);
    ASSERT_EQ(toc->currentItem(), chapter->child(1));
    EXPECT_EQ(form->ePageNum->text(), "2 of 3");
    testing::pressKey(toc, Qt::Key_Return);
    EXPECT_EQ(form->ePageNum->text(), "3 of 3");
    // "." in the outline deletes nothing.
    testing::pressKey(toc, Qt::Key_Period, ".");
    EXPECT_EQ(texts(toc, chapter), (QStringList{"Section 1.1", "Both"}));
}

// A link or outline entry shows its page from the top, or from the top
// its destination gives; a destination with a left and a top keeps both.
// An outline entry to a fit zooms as the fit says and puts the page's top
// edge (or the fit's own top or left) at the view's top; a link keeps the
// zoom and goes to the fit's own top or left, else to the page's top. A null
// top reads as the top of the page.
TEST_F(TreesRoad, DestinationsShowTheirPagesFromTheTop) {
    open(copyOf("destinations.pdf"));
    showTab(form->TabSheet3);
    const QSize view = form->frScroll1->PntPanel1->size();
    // The offset the page view gives a wanted one on one axis.
    const auto axis = [](int wanted, int extent, int shown) {
        return extent < shown ? (extent - shown) / 2 : std::clamp(wanted, -10, extent - shown + 10);
    };
    struct Case {
        const char* title;
        double zoom;       // percent, for the outline entry
        QPointF point;     // page point at the view's top-left, at 100 %
        QPoint linkPoint;  // the same for the link, which stays at 100 %
    };
    const double width = 100.0 * view.width() / 612, height = 100.0 * view.height() / 792;
    const Case cases[] = {
        {"XYZ", 100, {100, 92}, {100, 92}},
        {"XYZ null top", 100, {50, 0}, {50, 0}},
        {"Fit", std::min(width, height), {0, 0}, {0, 0}},
        {"FitB", std::min(width, height), {0, 0}, {0, 0}},
        {"FitH", width, {0, 292}, {0, 292}},
        {"FitBH", width, {0, 292}, {0, 292}},
        {"FitV", height, {50, 0}, {50, 0}},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        QTreeWidgetItem* entry = find(form->tvTOC, c.title);
        ASSERT_TRUE(entry);
        // The middle of the link's rectangle on page 1, as the fixture
        // places it, in pixels at 100 %.
        const QPoint link(10 + (i % 4) * 60 + 25, 792 - (700 - (i / 4) * 60 + 25));
        ++i;
        for (bool outline : {false, true}) {
            SCOPED_TRACE(outline ? "outline" : "link");
            ASSERT_TRUE(form->BeginViewEdit());
            form->viewEdit().page = 1;
            form->viewEdit().zoom = 100;
            form->CommitViewEdit(true);
            form->ScrollTo(0, 0);
            if (outline) {
                form->GoToTreeEntry(entry);
            } else {
                form->FollowLinkAt(link.x(), link.y());
            }
            QCoreApplication::processEvents();
            EXPECT_EQ(form->GetPage(), 2);
            const double zoom = outline ? c.zoom : 100;
            EXPECT_NEAR(form->GetZoomPercent(), zoom, 1e-3);
            const QPointF point = outline ? c.point : QPointF(c.linkPoint);
            const QSize extent = form->frScroll1->pageExtent();
            const QPoint wanted(int(std::lround(point.x() * zoom / 100)),
                                int(std::lround(point.y() * zoom / 100)));
            EXPECT_EQ(form->frScroll1->GetOffset(),
                      QPoint(axis(wanted.x(), extent.width(), view.width()),
                             axis(wanted.y(), extent.height(), view.height())))
                << "view " << view.width() << "x" << view.height() << ", page " << extent.width()
                << "x" << extent.height();
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TreesRoad, BookmarksAreStoredAndReadBack) {
    const QString file = copyOf("outline.pdf");
    open(file);
    showTab(form->TabSheet1);
    form->bAddBMClick(form->bAddBM);
    form->bAddBMClick(form->bAddBM);
    EXPECT_EQ(texts(form->tvBookmarks), (QStringList{"Page 1--100%", "Page 1--100%*"}));
    EXPECT_TRUE(form->bRenameBM->isEnabled());
    EXPECT_TRUE(boxes.shown.empty());
    form->tvBookmarks->topLevelItem(1)->setText(0, "Second");
    // Leaving the document hands the bookmarks to the engine, which stores
    // them in the file; the edited label goes with them.
    open(copyOf("plain.pdf"));
    EXPECT_EQ(form->tvBookmarks->topLevelItemCount(), 0);
    open(file);
    showTab(form->TabSheet3);
    showTab(form->TabSheet1);
    EXPECT_EQ(texts(form->tvBookmarks), (QStringList{"Page 1--100%", "Second"}));
}

// A nested tree handed back after its kids were loaded and one deleted:
// the kids are not doubled and the deleted one stays deleted.
TEST_F(TreesRoad, NestedTreeHandedBack) {
    const QString file = copyOf("outline.pdf");
    open(file);
    {
        TVistrel& engine = form->Vistrel1;
        const auto named = [&](const char* name) {
            ComPtr<ITreeNode> node = engine.State();
            setNodeName(node.get(), name);
            return node;
        };
        ComPtr<ITreeNode> root = named("BookMarks"), a = named("A");
        nodeAddKid(a.get(), named("B1").get());
        nodeAddKid(a.get(), named("B2").get());
        nodeAddKid(root.get(), a.get());
        nodeAddKid(root.get(), named("C").get());
        ASSERT_EQ(engine.setRoot("BookMarks", root.get()), S_OK);
    }
    open(file);
    showTab(form->TabSheet1);
    QTreeWidget* tree = form->tvBookmarks;
    ASSERT_EQ(texts(tree), (QStringList{"A", "C"}));
    tree->topLevelItem(0)->setExpanded(true);
    ASSERT_EQ(texts(tree, tree->topLevelItem(0)), (QStringList{"B1", "B2"}));
    testing::clickItem(tree, find(tree, "B2"));
    form->bDelBMClick(form->bDelBM);
    open(file);
    showTab(form->TabSheet1);
    ASSERT_EQ(texts(tree), (QStringList{"A", "C"}));
    tree->topLevelItem(0)->setExpanded(true);
    EXPECT_EQ(texts(tree, tree->topLevelItem(0)), QStringList{"B1"});
}

// Closing the document when the engine cannot store the bookmarks, by
// closing the window or by opening another document: the user is told why
// and may keep the document open with them (answering No); once the file can
// be written the close stores them. Closing anyway (Yes) loses them and
// leaves the file as it was.
TEST_F(TreesRoad, ClosingWhenTheBookmarksCannotBeStored) {
    const bool root = geteuid() == 0;
    const struct {
        const char* name;
        const char* reason;
        MessageAnswer answer;
        bool byOpening;
    } cases[] = {
        {"read-only", "the file is read-only", MessageAnswer::No, false},
        {"changed", "the file was changed by another program", MessageAnswer::Yes, false},
        {"read-only, another opened", "the file is read-only", MessageAnswer::No, true},
        {"changed, another opened", "the file was changed by another program", MessageAnswer::Yes,
         true},
    };
    const QString another = copyOf("plain.pdf");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string_view name(c.name);
        const QString file = copyOf("outline.pdf");
        const std::string path = file.toStdString();
        form->show();
        open(file);
        showTab(form->TabSheet1);
        form->bAddBMClick(form->bAddBM);
        ASSERT_EQ(texts(form->tvBookmarks), QStringList{"Page 1--100%"});
        const std::string lock = root ? "chattr +i '" + path + "' 2>/dev/null"
                                      : "chmod 0444 '" + path + "'";
        const std::string unlock = root ? "chattr -i '" + path + "'" : "chmod 0644 '" + path + "'";
        if (name.rfind("read-only", 0) == 0) {
            if (std::system(lock.c_str()) != 0)
                continue;  // no read-only file can be made here
        } else {
            QFile other(file);
            ASSERT_TRUE(other.open(QIODevice::Append));
            other.write("% another program\n");
        }
        QFile before(file);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();

        boxes.shown.clear();
        boxes.answers = {c.answer};
        bool closed;
        if (c.byOpening) {
            open(another);
            closed = form->Vistrel1.filename() == another;
        } else {
            closed = form->close();
        }
        ASSERT_EQ(boxes.texts(),
                  std::vector<QString>{"The bookmarks and device pages could not be saved into "
                                       "outline.pdf: " +
                                       QString(c.reason) + ".\rClose anyway? They will be lost."});
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(boxes.shown[0].defaultAnswer, MessageAnswer::No);
        EXPECT_EQ(boxes.shown[0].caption, "Warning");
        if (c.answer == MessageAnswer::No) {
            EXPECT_FALSE(closed);
            EXPECT_TRUE(form->isVisible());
            EXPECT_EQ(form->Vistrel1.filename(), file);
            EXPECT_EQ(texts(form->tvBookmarks), QStringList{"Page 1--100%"});
            ASSERT_EQ(std::system(unlock.c_str()), 0);
            boxes.shown.clear();
            EXPECT_TRUE(form->close());
            EXPECT_TRUE(boxes.shown.empty());
            form->show();
            open(file);
            showTab(form->TabSheet1);
            EXPECT_EQ(texts(form->tvBookmarks), QStringList{"Page 1--100%"});
        } else {
            EXPECT_TRUE(closed);
            EXPECT_EQ(form->tvBookmarks->topLevelItemCount(), 0);
            QFile after(file);
            ASSERT_TRUE(after.open(QIODevice::ReadOnly));
            EXPECT_EQ(after.readAll(), bytes);
        }
    }
}

TEST_F(TreesRoad, SecurityWarningOncePerDocumentOnTheBookmarksTab) {
    const QString file = copyOf("rc4_restricted.pdf");
    if (!QFile::exists(file))
        GTEST_SKIP() << "qpdf made no encrypted fixture";
    passwords = {"user"};
    open(file);
    // On another tab the check answers but says nothing.
    showTab(form->TabSheet3);
    EXPECT_TRUE(form->CheckBookmarksAllowed());
    EXPECT_TRUE(boxes.shown.empty());
    showTab(form->TabSheet1);
    form->bAddBMClick(form->bAddBM);
    form->bRenameBMClick(form->bRenameBM);
    form->bDelBMClick(form->bDelBM);
    ASSERT_EQ(boxes.texts(), std::vector<QString>{kWarning});
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes.shown[0].caption, "Warning");
    // The next document warns again.
    passwords = {"user"};
    open(file);
    showTab(form->TabSheet1);
    form->bAddBMClick(form->bAddBM);
    EXPECT_EQ(boxes.texts().size(), 2u);
}

TEST_F(TreesRoad, PreparingAllPages) {
    open(copyOf("outline.pdf"));
    form->ePageNum->setText("2");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ePageNum, &enter);
    ASSERT_EQ(form->ePageNum->text(), "2 of 3");
    form->AddDevicePages(1);
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet2);
    QTreeWidget* tree = form->tvForPalm;
    EXPECT_EQ(texts(tree), (QStringList{"Page 1--100%", "Page 2--100%", "Page 3--100%"}));
    for (int i = 0; i < 3; ++i) {
        const QString view = nodeStateText(TBrevantForm::itemData(tree->topLevelItem(i))->node.get());
        EXPECT_EQ(GetCsvInt(view, 3), i + 1);
        EXPECT_EQ(GetCsvInt(view, 7), 4);
    }
    EXPECT_EQ(form->GetPage(), 2);
    EXPECT_EQ(form->lastRendered().page, 2);
    EXPECT_TRUE(form->deviceChoiceChanged());
    EXPECT_TRUE(form->bDelAllPalm->isEnabled());
    // An entry takes the view and its format there.
    testing::clickItem(tree, tree->topLevelItem(2));
    testing::clickItem(tree, tree->topLevelItem(2));
    EXPECT_EQ(form->ePageNum->text(), "3 of 3");
    EXPECT_EQ(form->GetDeviceFormat(), 4);
    EXPECT_TRUE(form->tbPreviewPages->isChecked());

    // Delete All asks first.
    boxes.answers = {MessageAnswer::No, MessageAnswer::Yes};
    form->DeleteAll1Click(form->bDelAllPalm);
    EXPECT_EQ(tree->topLevelItemCount(), 3);
    form->DeleteAll1Click(form->bDelAllPalm);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(boxes.texts(), std::vector<QString>(2, "Do you want to delete all records?"));
    EXPECT_FALSE(form->deviceChoiceChanged());
}

}  // namespace
}  // namespace brevant
