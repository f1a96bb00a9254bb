#include "engine/font/encoding_table.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/font/differences.h"

// kExpectedEncodings[4][256]: the tables derived from fontTools and Python's
// codecs at build time, in the order standard, Mac Roman, Windows ANSI, PDF
// document encoding.
#include "encoding_expectations.inc"

namespace vistrel {
namespace {

std::string entryText(const EncodingTable& table, int32_t code) {
    return table.entry(code).toLatin1();
}

TEST(EncodingTableTest, BuiltInTablesMatchTheDerivedOnesCodeByCode) {
    const char16_t* names[] = {u"StandartEncoding", u"MacRomanEncoding", u"WinAnsiEncoding",
                               u"PDFDocEncoding"};
    for (int t = 0; t < 4; ++t) {
        SCOPED_TRACE(WString(names[t]).toLatin1());
        const EncodingTable* table = encodingTableByName(WString(names[t]));
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->count(), 256);
        for (int32_t code = 0; code < 256; ++code) {
            const char* expected = kExpectedEncodings[t][code];
            EXPECT_EQ(entryText(*table, code), expected ? expected : "") << "code " << code;
        }
    }
}

TEST(EncodingTableTest, TheNotesOfTheBuiltInTables) {
    const struct {
        const char16_t* table;
        int32_t code;
        const char* glyph;
    } cases[] = {
        {u"StandartEncoding", 39, "/quoteright"},
        {u"StandartEncoding", 96, "/quoteleft"},
        {u"StandartEncoding", 31, ""},
        {u"StandartEncoding", 160, ""},
        {u"MacRomanEncoding", 193, "/exclam"},
        {u"MacRomanEncoding", 202, "/space"},
        {u"MacRomanEncoding", 219, "/currency"},
        {u"MacRomanEncoding", 240, ""},
        {u"WinAnsiEncoding", 127, "/bullet"},
        {u"WinAnsiEncoding", 129, "/bullet"},
        {u"WinAnsiEncoding", 157, "/bullet"},
        {u"WinAnsiEncoding", 160, "/space"},
        {u"WinAnsiEncoding", 173, "/hyphen"},
        {u"WinAnsiEncoding", 31, ""},
        {u"PDFDocEncoding", 24, "/breve"},
        {u"PDFDocEncoding", 160, "/Euro"},
        {u"PDFDocEncoding", 173, ""},
        {u"PDFDocEncoding", 159, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WString(c.table).toLatin1() + " " + std::to_string(c.code));
        EXPECT_EQ(entryText(*encodingTableByName(WString(c.table)), c.code), c.glyph);
    }
}

TEST(EncodingTableTest, OnlyTheExactNamesFindATable) {
    const struct {
        const char16_t* name;
        bool found;
    } cases[] = {
        {u"StandartEncoding", true},  {u"WinAnsiEncoding", true},
        {u"MacRomanEncoding", true},  {u"PDFDocEncoding", true},
        {u"StandardEncoding", false}, {u"MacExpertEncoding", false},
        {u"/WinAnsiEncoding", false}, {u"winansiencoding", false},
        {u"WinAnsiEncoding ", false}, {u"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WString(c.name).toLatin1());
        EXPECT_EQ(encodingTableByName(WString(c.name)) != nullptr, c.found);
    }
}

TEST(EncodingTableTest, EntriesAndDifferences) {
    EncodingTable table;
    ASSERT_EQ(table.count(), 256);
    EXPECT_EQ(table.setEntry(WString(u"/a"), 3).toLatin1(), "");
    EXPECT_EQ(table.setEntry(WString(u"/a"), 200).toLatin1(), "");
    EXPECT_EQ(table.setEntry(WString(u"/b"), 200).toLatin1(), "/a");
    EXPECT_EQ(table.setEntry(WString(u"/a"), 200).toLatin1(), "/b");
    EXPECT_EQ(table.indexOf(WString(u"/a")), 3);
    EXPECT_EQ(table.indexOf(WString(u"/b")), -1);
    EXPECT_EQ(table.indexOf(WString()), -1);

    // Codes outside the table change nothing.
    for (int32_t code : {-1, 256, 1000}) {
        EXPECT_EQ(table.setEntry(WString(u"/z"), code).toLatin1(), "");
        EXPECT_EQ(table.entry(code).toLatin1(), "");
    }
    EXPECT_EQ(table.indexOf(WString(u"/z")), -1);
    EXPECT_EQ(table.count(), 256);

    // A later pair for the same code wins; hostile codes never reach the
    // table.
    Differences d;
    d.add(65, WString(u"/B"));
    d.add(65, WString(u"/C"));
    for (int64_t code = 250; code < 258; ++code)
        d.add(code, WString(u"/x"));
    d.add(1000, WString(u"/y"));
    d.add(-3, WString(u"/y"));
    table.applyDifferences(d);
    EXPECT_EQ(entryText(table, 65), "/C");
    EXPECT_EQ(entryText(table, 250), "/x");
    EXPECT_EQ(entryText(table, 255), "/x");
    EXPECT_EQ(table.indexOf(WString(u"/y")), -1);
    EXPECT_EQ(table.count(), 256);
}

}  // namespace
}  // namespace vistrel
