#include "viewer/app/info_dialogs.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>

#include "viewer/app/app_test_util.h"

namespace brevant {
namespace {

TEST(SecurityInfo, TextsForEachFieldCombination) {
    using Texts = std::array<QString, 8>;
    struct Case {
        const char* record;
        Texts texts;
    };
    const Case cases[] = {
        {"0,1,1,0,0,0,0,1", {"None", "No", "No", "None", "Allowed", "Allowed", "Allowed", "Allowed"}},
        {"1,0,0,0,0,0,0,0",
         {"Standard", "No", "No", "User", "Not Allowed", "Not Allowed", "Not Allowed", "Not Allowed"}},
        {"1,1,1,1,1,1,1,1", {"Standard", "Yes", "Yes", "Owner", "Allowed", "Allowed", "Allowed", "Allowed"}},
        {"1,1,0,1,0,1,0,0",
         {"Standard", "Yes", "No", "User", "Allowed", "Not Allowed", "Allowed", "Not Allowed"}},
        // Only the digit 1 alone counts.
        {"1,true, 1,1 ,01,1,1,1",
         {"Standard", "No", "No", "Owner", "Not Allowed", "Not Allowed", "Allowed", "Allowed"}},
        {"true,1,1,1,1,1,1,1", {"None", "No", "No", "None", "Allowed", "Allowed", "Allowed", "Allowed"}},
        {"", {"None", "No", "No", "None", "Allowed", "Allowed", "Allowed", "Allowed"}},
        {"1", {"Standard", "No", "No", "User", "Not Allowed", "Not Allowed", "Not Allowed", "Not Allowed"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(securityTexts(c.record), c.texts) << c.record;

    testing::testApp();
    TfSecurInfo dialog([] { return QStringLiteral("1,0,1,1,0,1,1,0"); });
    dialog.FormShow();
    EXPECT_EQ(dialog.edits[0]->objectName(), "Edit2");
    EXPECT_EQ(dialog.edits[2]->text(), "Yes");
    EXPECT_EQ(dialog.edits[5]->text(), "Not Allowed");
}

TEST(GeneralInfo, FieldsOneToEight) {
    testing::testApp();
    TfInfo dialog([] {
        return QStringLiteral("\"T, \"\"x\"\"\",\"S\",\"A\",\"K\",\"C\",\"P\",\"09 Feb 1999 15:39:25 GMT-08:00\",\"\"");
    });
    dialog.FormShow();
    const char* expected[8] = {"T, \"x\"", "S", "A", "K", "C", "P", "09 Feb 1999 15:39:25 GMT-08:00", ""};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(dialog.edits[std::size_t(i)]->text(), expected[i]);
        EXPECT_EQ(dialog.edits[std::size_t(i)]->objectName(), QStringLiteral("Edit%1").arg(i + 2));
        EXPECT_TRUE(dialog.edits[std::size_t(i)]->isReadOnly());
    }
}

QStringList fontRecords(int n) {
    QStringList records;
    for (int i = 0; i < n; ++i)
        records << QStringLiteral("%1,\" Font%2 \",%3,\"Used%2\",\"%4\"")
                       .arg(i % 4)
                       .arg(i)
                       .arg((i + 1) % 4)
                       .arg(i % 3 == 0 ? "Standard" : i % 3 == 1 ? "Standard(Modified)" : " Custom ");
    return records;
}

TEST(FontInfo, FramesPerFontHeightAndScrolling) {
    testing::testApp();
    TfFontInfo dialog;
    int runs = 0;
    struct Seen {
        int frames = 0, height = 0;
        bool scrolls = false;
        QStringList names, encodings, originals;
        std::vector<int> icons;
    } seen;
    dialog.run = [&](TfFontInfo& d) {
        ++runs;
        d.show();
        seen = {};
        const QList<TfrFontInfo*> frames = d.frames();
        seen.frames = int(frames.size());
        seen.height = d.height();
        for (TfrFontInfo* f : frames) {
            seen.names << f->objectName();
            seen.encodings << f->mEncoding->toPlainText();
            seen.originals << f->mOriginalName->toPlainText();
            seen.icons.push_back(f->fontType1);
            EXPECT_FALSE(f->Image1->pixmap().isNull());
        }
        QApplication::processEvents();
        seen.scrolls = d.ScrollBox1->verticalScrollBar()->maximum() > 0;
        d.reject();  // Esc
    };
    dialog.ShowFonts({});
    EXPECT_EQ(runs, 0);  // no fonts: no dialog

    dialog.ShowFonts(fontRecords(3));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen.frames, 3);
    EXPECT_EQ(seen.names, QStringList({"FI1", "FI2", "FI3"}));
    EXPECT_EQ(seen.encodings, QStringList({"Build-In", "Custom", "Custom"}));
    EXPECT_EQ(seen.originals, QStringList({"Font0", "Font1", "Font2"}));
    EXPECT_EQ(seen.icons, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(seen.height, 3 * TfrFontInfo::kHeight + 27);
    EXPECT_FALSE(seen.scrolls);
    EXPECT_TRUE(dialog.frames().isEmpty());  // closing frees the frames

    dialog.ShowFonts(fontRecords(20));
    EXPECT_EQ(seen.frames, 20);
    EXPECT_EQ(seen.height, 200);
    EXPECT_TRUE(seen.scrolls);
    EXPECT_TRUE(dialog.frames().isEmpty());

    EXPECT_TRUE(fontTypeIcon(4).isNull());
    EXPECT_EQ(fontTypeIcon(3).size(), QSize(15, 15));
}

}  // namespace
}  // namespace brevant
