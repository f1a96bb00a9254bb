#include "viewer/app/help_topics.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/shell/recording_programs_test_util.h"
#include "viewer/app/app_test_util.h"
#include "viewer/components/message_test_util.h"

namespace brevant {
namespace {

// The help set the build puts beside the program (and this test program).
QDir helpSet() {
    testing::testApp();
    return QDir(helpFileName());
}

// The pages a page links to, as file names of the help set.
QStringList linksOf(const QString& file) {
    QFile page(helpSet().filePath(file));
    EXPECT_TRUE(page.open(QIODevice::ReadOnly)) << file.toStdString();
    const QString text = QString::fromUtf8(page.readAll());
    QStringList links;
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    for (auto it = href.globalMatch(text); it.hasNext();)
        links << QUrl::fromPercentEncoding(it.next().captured(1).toUtf8());
    return links;
}

TEST(HelpTopics, EveryTopicPageExistsAndNoLinkIsDead) {
    const QDir set = helpSet();
    ASSERT_TRUE(set.exists()) << set.path().toStdString();
    QSet<QString> topics;
    for (int n = 0; n < kHelpTopicLines; ++n) {
        const QString page = helpTopicLine(n);
        const bool unused = n == 0 || n == 6 || n == 28;
        EXPECT_EQ(page.isEmpty(), unused) << n;
        if (!page.isEmpty()) {
            // The contents file of the table is held as a web page.
            const QString shown = QString::fromStdString(win::helpSetPage(page.toStdString()));
            EXPECT_TRUE(set.exists(shown)) << page.toStdString();
            topics << shown;
        }
    }
    EXPECT_EQ(topics.size(), kHelpTopicLines - 3);  // no page named twice

    // Every page's links lead to pages of the set; the contents page leads
    // to every page but itself; the set holds nothing else.
    const QStringList files = set.entryList(QDir::Files);
    for (const QString& file : files) {
        EXPECT_TRUE(topics.contains(file)) << "not a topic: " << file.toStdString();
        for (const QString& link : linksOf(file))
            EXPECT_TRUE(set.exists(link)) << file.toStdString() << " -> " << link.toStdString();
    }
    QSet<QString> listed;
    for (const QString& link : linksOf(QString::fromLatin1(win::kHelpContentsPage)))
        listed << link;
    QSet<QString> others = topics;
    others.remove(QString::fromLatin1(win::kHelpContentsPage));
    EXPECT_EQ(listed, others);
}

TEST(HelpTopics, ContextsOpenTheirPagesInTheBrowser) {
    testing::testApp();
    win::test::RecordingPrograms programs;
    const QString set = QUrl::fromLocalFile(helpFileName()).toString(QUrl::FullyEncoded);
    struct Case {
        int context;
        const char* page;
    };
    const Case cases[] = {
        {9, "Font%20Info.htm"},
        {0, "desktop.htm"},
        {2, "desktop.htm"},
        {21, "Introduction.htm"},
        {42, "TOC%20%28Table%20of%20Contents%29%20Pane.htm"},
        {59, "About.htm"},
        // Outside the table, or on a line without a page: the contents.
        {1100, "Table%20of%20Contents.htm"},
        {60, "Table%20of%20Contents.htm"},
        {-1, "Table%20of%20Contents.htm"},
        {6, "Table%20of%20Contents.htm"},
    };
    for (const Case& c : cases) {
        FormHelp(c.context);
        EXPECT_EQ(programs.takeArgs("xdg-open"),
                  std::vector<std::string>{(set + "/" + c.page).toStdString()})
            << c.context;
    }
    EXPECT_NE(ShowHelpContents(), 0u);
    EXPECT_EQ(programs.takeArgs("xdg-open"),
              std::vector<std::string>{(set + "/Table%20of%20Contents.htm").toStdString()});
}

// Without a desktop opener on the path, help says so and where its pages
// are, for the contents and for a topic alike.
TEST(HelpTopics, WithoutAnOpenerAMessageGivesTheHelpFolder) {
    testing::testApp();
    testing::ScriptedMessages boxes;
    const QByteArray path = qgetenv("PATH");
    const QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());
    EXPECT_EQ(ShowHelpContents(), 0u);
    FormHelp(9);
    qputenv("PATH", path);
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const MessageRequest& box : boxes.shown) {
        EXPECT_EQ(box.caption, "Help");
        EXPECT_TRUE(box.text.endsWith("\n" + helpFileName())) << box.text.toStdString();
    }
}

TEST(HelpTopics, F1AsksForTheFocusedControlsContextOrTheFormsOwn) {
    testing::testApp();
    win::test::RecordingPrograms programs;
    QDialog form;
    auto* layout = new QVBoxLayout(&form);
    auto* plain = new QLineEdit(&form);
    auto* own = new QLineEdit(&form);
    layout->addWidget(plain);
    layout->addWidget(own);
    setHelpContext(&form, 22);
    setHelpContext(own, 13);
    bindFormHelp(&form);
    form.show();
    QApplication::setActiveWindow(&form);
    struct Case {
        QWidget* focus;
        const char* page;
    };
    const Case cases[] = {{plain, "options.htm"}, {own, "Go%20To%20Page.htm"}};
    for (const Case& c : cases) {
        c.focus->setFocus();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(c.focus, &key);
        std::vector<std::string> args = programs.takeArgs("xdg-open");
        ASSERT_EQ(args.size(), 1u);
        EXPECT_TRUE(QString::fromStdString(args[0]).endsWith(QString("/") + c.page)) << args[0];
    }
}

}  // namespace
}  // namespace brevant
