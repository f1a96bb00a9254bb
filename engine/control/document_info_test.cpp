#include "engine/control/document_info.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

using namespace VISTRELLib;

TEST(DocumentInfoTest, DatesInTheirReadableForm) {
    const struct {
        const char* date;
        const char* shown;
    } cases[] = {
        {"D:19990209153925-08'00'", "09 Feb 1999 15:39:25 GMT-08:00"},
        {"D:20011231235959+05'07'", "31 Dec 2001 23:59:59 GMT+05:07"},
        // A zone hour without minutes: no colon after it.
        {"D:19990209153925+05'", "09 Feb 1999 15:39:25 GMT+05"},
        // Zone Z, or none: the time ends in a blank.
        {"D:19991231235959Z", "31 Dec 1999 23:59:59 "},
        {"D:19991231235959", "31 Dec 1999 23:59:59 "},
        // The parts after the last field given stay empty, their blanks kept.
        {"D:1999123123", "31 Dec 1999 23 "},
        {"D:20010315", "15 Mar 2001  "},
        {"D:2001", "  2001  "},
        {"20010315", "15 Mar 2001  "},
        // Not a PDF date: the text as it is.
        {"D:20011315", "D:20011315"},
        {"D:19991231235959+10'00'", "D:19991231235959+10'00'"},
        {"D:19991231235959+05'30'", "D:19991231235959+05'30'"},
        {"yesterday", "yesterday"},
        {"", ""},
    };
    for (const auto& c : cases) {
        WString date = WString::fromUtf8(c.date);
        formatPdfDate(date);
        EXPECT_EQ(date.toUtf8(), c.shown) << c.date;
    }
}

TEST(DocumentInfoTest, RecordTexts) {
    DocInfo info{};
    info.title = win::SysAllocString(u"A \"b\", c");
    info.modificationDate = win::SysAllocString(u"15 Mar 2001  ");
    EXPECT_EQ(docInfoText(info),
              u"\"A \"\"b\"\", c\",\"\",\"\",\"\",\"\",\"\",\"\",\"15 Mar 2001  \"");
    clearDocInfo(info);
    EXPECT_EQ(info.title, nullptr);
    EXPECT_EQ(docInfoText(info), u"\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"");

    EXPECT_EQ(securityInfoText(SecurityInfo{1, 0, 1, 1, 0, 0, 0, 0}), u"1,0,1,1,0,0,0,0");
    EXPECT_EQ(securityInfoText(SecurityInfo{}), u"0,0,0,0,0,0,0,0");
}

}  // namespace
}  // namespace vistrel
