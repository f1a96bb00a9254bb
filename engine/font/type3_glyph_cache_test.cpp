#include "engine/font/type3_glyph_cache.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

// Which glyph procedures count as drawing one image mask and nothing else.
TEST(Type3GlyphCacheTest, StencilProcedures) {
    // Ten rows of one byte; the data may hold anything, "EI" and "Q" too.
    const std::string rows = std::string("EI Q\n\x01\x02%[/", 10);
    const std::string image = "BI /W 8 /H 10 /IM true /BPC 1 /D [1 0] ID " + rows + " EI";
    const struct {
        std::string content;
        bool stencil;
    } cases[] = {
        {"10 0 0 0 8 10 d1 q 8 0 0 10 0 0 cm " + image + " Q", true},
        {"10 0 -1 -2.5 8 10 d1\nq\n8 0 0 10 -1 -2.5 cm\n" + image + "\nQ\n", true},
        {"10 0 0 0 8 10 d1 q 1 0 0 1 0 0 cm q 8 0 0 10 0 0 cm " + image + " Q Q", true},
        {"10 0 0 0 8 10 d1 BI /Width 8 /Height 10 /ImageMask true ID " + rows + "\nEI", true},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 10 /IM true /D [0 1] ID " + rows + " EI", true},
        // Not a d1 glyph, or something else done or drawn.
        {"10 0 d0 q 8 0 0 10 0 0 cm " + image + " Q", false},
        {"q 8 0 0 10 0 0 cm " + image + " Q", false},
        {"10 0 0 0 8 10 d1 0 w q 8 0 0 10 0 0 cm " + image + " Q", false},
        {"10 0 0 0 8 10 d1 q 8 0 0 10 0 0 cm " + image + " Q 0 0 1 1 re f", false},
        {"10 0 0 0 8 10 d1 " + image + " " + image, false},
        {"10 0 0 0 8 10 d1", false},
        {"10 0 0 0 8 10 d1 q " + image, false},
        {"10 0 0 0 8 10 d1 Q " + image, false},
        {"10 0 0 0 8 10 d1 8 0 0 10 0 cm " + image, false},
        {"10 0 0 0 8 10 d1 % note\n" + image, false},
        {"1e1 0 0 0 8 10 d1 " + image, false},
        // Not a plain mask, or data of another length.
        {"10 0 0 0 8 10 d1 BI /W 8 /H 10 /IM true /F /AHx ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 10 /BPC 1 /CS /G ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 10 /IM true /BPC 2 ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 10 /IM true /D [1 1] ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 11 /IM true ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 9 /IM true ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 0 /H 10 /IM true ID " + rows + " EI", false},
        {"10 0 0 0 8 10 d1 BI /W 8 /H 10 /IM true ID " + rows, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Type3GlyphCache::isStencilProcedure(
                      reinterpret_cast<const std::uint8_t*>(c.content.data()), c.content.size()),
                  c.stencil)
            << c.content;
    }
}

}  // namespace
}  // namespace vistrel
