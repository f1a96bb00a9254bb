// The font renderer for fonts whose glyphs the engine renders itself into
// coverage bitmaps. Before rendering a glyph it asks the process-wide glyph
// cache for one rendered under the same matrix; it composites the glyph's
// bitmap onto the device in the text colour, draws underline and strike-out
// lines when the subclass asks for them, and advances like the base class.
//
// Whether rendered glyphs stay in the cache is the setting
// "FontSystem"/"CacheGlyphs": 2 draws them without keeping them, any other
// value (0 when missing) keeps them.
//
// A subclass implements renderGlyph. It may set the decoration flags.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/font/glyph_cache.h"
#include "engine/render/content/font_renderer.h"

namespace vistrel {

class CoverageBitmap;

class CachedGlyphRenderer : public FontRenderer {
public:
    // Decoration flags.
    static constexpr std::uint8_t kUnderline = 1;
    static constexpr std::uint8_t kStrikeout = 2;

    // The base part; then the text colour is taken from the device and the
    // options are read.
    explicit CachedGlyphRenderer(const DoubleArray* widths = nullptr,
                                 OutputDevice* device = nullptr);
    // Drops this font's glyphs from the cache (those of other fonts stay),
    // so that a font made later at the same address finds none of them.
    ~CachedGlyphRenderer() override;

    // Level 0 drops the cached glyphs of the current rendering matrix (of
    // every font), any other level every cached glyph. True.
    bool trimCache(int level) override;
    // Render modes 3 and 7 only advance. Otherwise the glyph is composited
    // at the text position, decorated, and the position advances. False,
    // without advancing, when the glyph cannot be rendered.
    bool showGlyph(std::uint16_t code) override;
    // Composites the glyph at a device position (keyed by the device size
    // alone) and decorates it; the text position does not move.
    bool drawGlyph(std::uint16_t code, IntPoint point) override;
    // Takes the device's fill colour as the text colour (not in render modes
    // 8 and 9, which draw in the foreground colour).
    void fillColorChanged() override;
    // Reads the caching mode; mode 1 then drops the glyphs of the current
    // matrix, mode 2 every cached glyph.
    void readOptions() override;

    // Renders the glyph of a code under the current rendering matrix (for
    // drawGlyph: a matrix of the device size) into a new coverage bitmap and
    // sets the record's bitmap, left and top offsets of the bitmap's
    // top-left corner from the glyph origin and the baseline's depth below
    // the bitmap's top, in device pixels. The record comes in empty; a
    // bitmap left in it belongs to the caller whatever the answer. False
    // when the glyph cannot be rendered; true without a bitmap draws
    // nothing.
    virtual bool renderGlyph(std::uint16_t code, CachedGlyph& glyph) = 0;

    std::uint32_t textColor() const { return textColor_; }
    std::int32_t cachingMode() const { return cachingMode_; }
    std::uint8_t decorations() const { return decorations_; }

protected:
    void setDecorations(std::uint8_t flags) { decorations_ = flags; }

private:
    // The glyph from the cache (its bitmap lent) or freshly rendered and
    // handed to the cache; a rendered bitmap the cache did not take is put
    // in `owned`. False when rendering failed.
    bool obtainGlyph(const GlyphKey& key, std::uint16_t code, CachedGlyph& glyph,
                     std::unique_ptr<CoverageBitmap>& owned);
    // Composites the glyph's bitmap at p in the text colour over the page;
    // true when there is no bitmap.
    bool composite(const CachedGlyph& glyph, IntPoint p);
    // Draws the underline and strike-out lines from x0 to x1 in a colour,
    // the device's stroke colour put back afterwards and its fill colour
    // left at the colour or put back.
    void drawDecorations(std::int32_t x0, std::int32_t x1, std::int32_t underlineY,
                         std::int32_t strikeoutY, std::uint32_t color, bool restoreFill);
    GlyphKey matrixKey(std::uint16_t code) const;

    std::uint32_t textColor_ = 0;
    std::int32_t cachingMode_ = 0;
    std::uint8_t decorations_ = 0;
};

}  // namespace vistrel
