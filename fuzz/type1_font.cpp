// Embedded Type 1 programs: the input's first bytes choose the description
// (its encoding, a few /Differences) and the device size, the rest is the
// program (plain or PFB). A program that loads has its glyphs flattened and
// scan-converted upright, turned and in render mode 8, trimmed and drawn
// again.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/streams.h"
#include "engine/font/font_description.h"
#include "engine/font/font_registry.h"
#include "engine/font/type1_font.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "fuzz/fuzz_input.h"

using namespace vistrel;

namespace {

// Glyphs rendered per input, at most.
constexpr int kMaxGlyphs = 16;

const char16_t* const kEncodings[] = {u"", u"StandartEncoding", u"WinAnsiEncoding",
                                      u"MacRomanEncoding"};
const char16_t* const kNames[] = {u"/A", u"/Aacute", u"/flex", u"/.notdef", u"/space", u"/B"};

void renderSome(Type1Font& font) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = [] {
        fontStaticObjects().buildAll();
        return true;
    }();
    (void)started;

    fuzz::FuzzInput in(data, size);
    Type1FontDescription description;
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

    Type1Font font(description, nullptr);
    MemoryInputStream stream(in.data(), in.size());
    if (!font.loadProgram(&stream))
        return 0;
    font.setFontSize(deviceSize);
    font.setTextMatrix(Matrix{1, 0, 0, -1, 10, 10}, nullptr);
    renderSome(font);
    font.setTextMatrix(Matrix{0.6, 0.8, 0.8, -0.6, 10, 10}, nullptr);
    renderSome(font);
    font.setRenderMode(8);
    renderSome(font);
    font.trimCache(-1);
    font.setRenderMode(0);
    font.setHorizontalScale(40);
    renderSome(font);
    return 0;
}
