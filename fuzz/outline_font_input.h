// What the fuzz targets of outline fonts share: a Type 1 description taken
// from the input's first bytes (its encoding, the device size, a few
// /Differences), and the drawing of a loaded font's glyphs upright, turned,
// in render mode 8, trimmed and squeezed.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/font/font_base.h"
#include "engine/font/font_description.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "fuzz/fuzz_input.h"

namespace vistrel::fuzz {

// Fills the description from the input; answers the device size.
inline double describeFont(FuzzInput& in, Type1FontDescription& description) {
    static const char16_t* const kEncodings[] = {u"", u"StandartEncoding", u"WinAnsiEncoding",
                                                 u"MacRomanEncoding"};
    static const char16_t* const kNames[] = {u"/A", u"/alpha", u"/a1", u"/.notdef", u"/space",
                                             u"/B"};
    description.encodingName().assign(WString(kEncodings[in.byte() % 4]));
    const double deviceSize = 1 + in.byte() % 48;
    const unsigned pairs = in.byte() % 4;
    if (pairs > 0) {
        auto differences = std::make_unique<Differences>();
        for (unsigned i = 0; i < pairs; ++i) {
            const std::int32_t code = in.byte();
            differences->add(code, WString(kNames[in.byte() % 6]));
        }
        description.setDifferences(std::move(differences));
    }
    return deviceSize;
}

// Renders the first glyphs of the font's outline cache.
inline void renderSomeGlyphs(FontBase& font) {
    // Glyphs rendered per pass, at most.
    constexpr int kMaxGlyphs = 16;
    int rendered = 0;
    for (std::uint16_t code = 0; code < 256 && rendered < kMaxGlyphs; ++code) {
        if (!font.outlines()->lookup(code))
            continue;
        ++rendered;
        CachedGlyph glyph;
        font.renderGlyph(code, glyph);
        delete glyph.bitmap;
        (void)font.programAdvance(code);
    }
}

// Draws a loaded font's glyphs at the device size in every way above.
inline void drawLoadedFont(FontBase& font, double deviceSize) {
    font.setFontSize(deviceSize);
    font.setTextMatrix(Matrix{1, 0, 0, -1, 10, 10}, nullptr);
    renderSomeGlyphs(font);
    font.setTextMatrix(Matrix{0.6, 0.8, 0.8, -0.6, 10, 10}, nullptr);
    renderSomeGlyphs(font);
    font.setRenderMode(8);
    renderSomeGlyphs(font);
    font.trimCache(-1);
    font.setRenderMode(0);
    font.setHorizontalScale(40);
    renderSomeGlyphs(font);
}

}  // namespace vistrel::fuzz
