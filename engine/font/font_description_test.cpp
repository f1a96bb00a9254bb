#include "engine/font/font_description.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(FontDescriptionTest, StyleWordsOfTheKeyName) {
    const struct {
        const char16_t* name;
        bool italic, underline, strikeout, serif, monospace;
        int32_t weight;
    } cases[] = {
        {u"", false, false, false, false, false, 400},
        {u"helvetica", false, false, false, false, false, 400},
        {u"helvetica-bold-italic", true, false, false, false, false, 700},
        {u"helvetica-oblique", true, false, false, false, false, 400},
        // The out name keeps its case: nothing is found in it.
        {u"PDF_T1: Helvetica-BoldItalic", false, false, false, false, false, 400},
        {u"times-roman-serif", false, false, false, true, false, 400},
        {u"sans-serif", false, false, false, true, false, 400},
        {u"courier,monospace", false, false, false, false, true, 400},
        {u"arial underline strikeout", false, true, true, false, false, 400},
        // The first word of the weight list wins.
        {u"thin", false, false, false, false, false, 100},
        {u"extralight", false, false, false, false, false, 200},
        {u"ultralight", false, false, false, false, false, 200},
        {u"light", false, false, false, false, false, 300},
        {u"medium", false, false, false, false, false, 500},
        {u"semibold", false, false, false, false, false, 600},
        {u"demibold", false, false, false, false, false, 600},
        {u"extrabold", false, false, false, false, false, 800},
        {u"ultrabold", false, false, false, false, false, 800},
        {u"heavy", false, false, false, false, false, 900},
        {u"black", false, false, false, false, false, 900},
        {u"bold", false, false, false, false, false, 700},
        {u"bold-light", false, false, false, false, false, 300},
        {u"arial-black-bold", false, false, false, false, false, 900},
        {u"gothinbold-heavy", false, false, false, false, false, 100},
        {u"Bold", false, false, false, false, false, 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WString(c.name).toLatin1());
        auto d = makeRef<Type1FontDescription>();
        d->name().assignText(c.name);
        EXPECT_EQ(d->isItalic(), c.italic);
        EXPECT_EQ(d->isUnderline(), c.underline);
        EXPECT_EQ(d->isStrikeout(), c.strikeout);
        EXPECT_EQ(d->isSerif(), c.serif);
        EXPECT_EQ(d->isMonospace(), c.monospace);
        EXPECT_EQ(d->weight(), c.weight);
    }
}

}  // namespace
}  // namespace vistrel
