#include "engine/font/cff_tables.h"

#include <gtest/gtest.h>

#include <string>

#include "cff_expectations.inc"

namespace vistrel {
namespace {

std::string narrow(const WString& s) {
    return s.toLatin1();
}

TEST(CffTablesTest, AgreeWithAnIndependentCopy) {
    buildCffStandardStrings();
    for (int32_t sid = 0; sid < 391; ++sid) {
        EXPECT_EQ(narrow(cffStandardString(sid)), kExpectedCffStandardStrings[sid]) << sid;
        EXPECT_EQ(cffStandardSid(cffStandardString(sid)), sid);
    }
    for (int32_t code = 0; code < 256; ++code) {
        EXPECT_EQ(narrow(cffStandardString(cffStandardEncodingSid(code))),
                  kExpectedCffStandardEncoding[code])
            << code;
    }
    for (int32_t glyph = 0; glyph < kCffIsoAdobeGlyphs; ++glyph)
        EXPECT_EQ(narrow(cffStandardString(glyph)), kExpectedCffIsoAdobeCharset[glyph]);
    struct Charset {
        std::span<const uint16_t> sids;
        const char* const* expected;
        size_t count;
    } charsets[] = {
        {cffExpertCharset(), kExpectedCffExpertCharset, std::size(kExpectedCffExpertCharset)},
        {cffExpertSubsetCharset(), kExpectedCffExpertSubsetCharset,
         std::size(kExpectedCffExpertSubsetCharset)},
    };
    for (const Charset& c : charsets) {
        ASSERT_EQ(c.sids.size(), c.count);
        for (size_t i = 0; i < c.count; ++i)
            EXPECT_EQ(narrow(cffStandardString(c.sids[i])), c.expected[i]) << i;
    }
}

TEST(CffTablesTest, LookupsOutsideTheTables) {
    buildCffStandardStrings();
    EXPECT_TRUE(cffStandardString(-1).empty());
    EXPECT_TRUE(cffStandardString(391).empty());
    EXPECT_EQ(cffStandardSid(WString(u"space")), -1);
    EXPECT_EQ(cffStandardSid(WString(u"/Alpha")), -1);
    EXPECT_EQ(cffStandardEncodingSid(256), 0);
    EXPECT_EQ(cffExpertEncodingSid(-1), 0);
    // Expert encoding spot checks (fontTools has no copy of it).
    struct Case {
        int32_t code;
        const char* name;
    } cases[] = {{32, "/space"},          {33, "/exclamsmall"},     {47, "/fraction"},
                 {87, "/fi"},             {97, "/Asmall"},          {126, "/Tildesmall"},
                 {188, "/onequarter"},    {201, "/onesuperior"},    {210, "/zeroinferior"},
                 {224, "/Agravesmall"},   {255, "/Ydieresissmall"}, {35, "/.notdef"}};
    for (const Case& c : cases)
        EXPECT_EQ(narrow(cffStandardString(cffExpertEncodingSid(c.code))), c.name) << c.code;
}

}  // namespace
}  // namespace vistrel
