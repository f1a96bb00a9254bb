// Embedded TrueType programs through the TrueType renderers: the input after
// five parameter bytes is a document's font program. It is installed for the
// system's fonts (once, shared by a second renderer of the same program, and
// refused to a different program of the same name), and text is shown,
// measured and drawn under a text matrix and font size from the parameters,
// by the renderer that draws through the system's fonts and by the cached
// one; copies of both draw as well.
//
// Parameters: style words of the name (bits: bold, italic, underline,
// strikeout, serif, monospace), the matrix, the font size, the settings
// (bits: UseTTCache, CalculateTTExactWidth off, StrictTTSubst off, caching
// mode 2) and the encoding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/font/cached_truetype_renderer.h"
#include "engine/font/font_registry.h"
#include "engine/font/gdi_truetype_renderer.h"
#include "engine/font/truetype_loader.h"
#include "engine/render/raster/gdi_device.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/pinned_fonts.h"

using namespace vistrel;

namespace {

constexpr int kPage = 96;

const Matrix kMatrices[] = {
    {1, 0, 0, -1, 10, 60},  {0, -1, -1, 0, 40, 80}, {0, 1, 1, 0, 40, 10},
    {-1, 0, 0, 1, 80, 30},  {1, 0, 0.3, -1, 5, 60}, {-1, 0, 0, -1, 80, 60},
    {0.8, 0.6, 0.6, -0.8, 20, 60}, {0, 0, 0, 0, 10, 10},
};
const double kSizes[] = {12, 1, 0.01, 60, 20000, 1e9, -20, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN(), 5.9};
const char16_t* const kEncodings[] = {u"WinAnsiEncoding", u"MacRomanEncoding",
                                      u"StandartEncoding", u"PDFDocEncoding", u"Nothing"};
const char16_t* const kStyles[] = {u",bold", u",italic", u",underline", u",strikeout", u",serif",
                                   u",monospace"};

void set(const WString& key, bool value) {
    settingsStore().set(settings::FontSystem, key, SettingValue::ofBoolean(value));
}

Ref<TrueTypeFontDescription> describe(std::uint8_t style, std::uint8_t encoding,
                                      InputStream* program) {
    auto d = makeRef<TrueTypeFontDescription>();
    d->name().assignText(u"abcdef+fuzzface");
    for (int bit = 0; bit < 6; ++bit) {
        if (style & (1 << bit))
            d->name().appendText(kStyles[bit]);
    }
    d->encodingName().assignText(kEncodings[encoding % std::size(kEncodings)]);
    d->setProgram(program);
    return d;
}

void exercise(FontRenderer& font, const Matrix& m, double size) {
    font.setFontSize(size);
    font.setTextMatrix(m, nullptr);
    WString text;
    for (int code = 0; code < 256; code += 7)
        text.appendChar(char16_t(code));
    font.showString(text);
    font.setRenderMode(3);
    font.showString(text);
    font.setRenderMode(0);
    (void)font.stringWidth(text);
    (void)font.stringHeight(text);
    (void)font.programAdvance(300);
    font.drawString(text, IntPoint(3, 40));
    WString description;
    font.description(description);
    if (std::unique_ptr<DrawableBase> copy = font.clone()) {
        auto& clone = static_cast<FontRenderer&>(*copy);
        clone.setFontSize(size);
        clone.setTextMatrix(m, nullptr);
        clone.showString(text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    usePinnedFonts();
    fontStaticObjects().buildAll();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::uint8_t style = in.byte(), matrix = in.byte(), fontSize = in.byte(),
                       flags = in.byte(), encoding = in.byte();
    const Matrix& m = kMatrices[matrix % std::size(kMatrices)];
    const double textSize = kSizes[fontSize % std::size(kSizes)];
    set(settings::UseTTCache, flags & 1);
    set(settings::CalculateTTExactWidth, !(flags & 2));
    set(settings::StrictTTSubst, !(flags & 4));
    settingsStore().set(settings::FontSystem, settings::CacheGlyphs,
                        SettingValue::ofInteger(flags & 8 ? 2 : 0));

    win::BITMAPINFO info{};
    info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), kPage, -kPage, 1, 24, win::BI_RGB, 0, 0, 0,
                      0, 0};
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    win::HBITMAP bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    win::HGDIOBJ old = win::SelectObject(dc, bitmap);
    {
        GdiDevice device(dc, IntPoint(kPage, kPage));
        device.SetFillColor(DeviceColor(0x204080));
        // One stream per reader: a memory stream cannot be opened again once
        // closed.
        MemoryInputStream first(in.data(), in.size()), second(in.data(), in.size()),
            other(in.data(), in.size() / 2);
        std::unique_ptr<FontRenderer> a =
            loadTrueTypeFont(*describe(style, encoding, &first), &device);
        std::unique_ptr<FontRenderer> b =
            loadTrueTypeFont(*describe(style ^ 1, encoding, &second), &device);
        std::unique_ptr<FontRenderer> c =
            loadTrueTypeFont(*describe(style, encoding + 1, &other), &device);
        for (FontRenderer* font : {a.get(), b.get(), c.get()}) {
            if (font)
                exercise(*font, m, textSize);
        }
    }
    win::SelectObject(dc, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    if (GlyphCache* cache = glyphCache())
        cache->purge(0, 0, 0, 0, false);
    return 0;
}
