// The base of every font whose glyphs are outlines held in memory (Type 1,
// Type 1C and the engine's own outline fonts). A subclass only reads its
// program into the outline cache; the base flattens a glyph's outline for
// the text rendering matrix and scan-converts it into anti-aliased coverage,
// which the glyph cache of its own base keeps.
//
// Glyph units are 1000 per em. The flattened outline is reused while the
// rendering matrix, divided by the device size, stays within 0.0001 in each
// of its four terms; the rendered bitmap is cached per matrix by the glyph
// cache, so a glyph is scan-converted once per size and orientation.
//
// Options read from "FontSystem": "CacheEdges" and "CacheGlyphs" (kept, no
// effect on drawing), "CurveThreshold" (flatness, 13 when missing) and, at
// each glyph, "AASize" (sub-scanlines per pixel row, 2 when missing, read
// within 1 to 16).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/wstring.h"
#include "engine/font/cached_glyph_renderer.h"
#include "engine/font/outline_cache.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class FontDescription;
class InputStream;

class FontBase : public CachedGlyphRenderer {
public:
    // A glyph whose bitmap would be wider or higher than this many pixels
    // draws nothing (it still advances).
    static constexpr std::int32_t kMaxGlyphSide = 4096;

    // Takes the widths of a Type 1 or TrueType description, reads the
    // options and sets the underline and strike-out decorations the key name
    // asks for. Not loaded, no outline cache.
    FontBase(const FontDescription& description, OutputDevice* device);
    ~FontBase() override;

    // Whether the program was read.
    bool isUsable() const override { return loaded_; }
    // The glyph cache's trim, then every flattened outline but the one of
    // the glyph rendered last is dropped. True.
    bool trimCache(int level) override;
    double descent() const override { return 0.2; }
    double ascent() const override { return 0.8; }
    // The text the loader wrote ("T1: " and a name).
    void description(WString& text) const override;
    void readOptions() override;
    // The advance of the code's outline (else "/.notdef"'s) x 0.001, with
    // the horizontal scale; 0 when there is neither.
    double programAdvance(std::uint16_t code) override;
    // Scan-converts the code's outline (else "/.notdef"'s) into a coverage
    // bitmap made by the device. A code without an outline, a glyph of fewer
    // than two contours, a device size that is not a positive finite number
    // and a glyph larger than kMaxGlyphSide give no bitmap and succeed. False
    // without an outline cache or when memory runs out.
    bool renderGlyph(std::uint16_t code, CachedGlyph& glyph) override;

    // Reads the font program (or file) from the stream into the outline
    // cache; sets the loaded flag on success.
    virtual bool loadProgram(InputStream* stream) = 0;
    // Whether the program's own encoding keeps TeX's ligatures at codes 11
    // to 15 (followsTexLigatures): the text capture reads such a code the
    // font's encoding names no glyph for as that ligature.
    virtual bool hasTexLigatures() const { return false; }

    // The code's entry (else "/.notdef"'s) with its outline flattened for
    // the current matrix (upright at the device size in render modes 8 and
    // 9); null when there is none, the entry has no path or memory runs out.
    GlyphOutline* getEdges(std::uint16_t code);

    const Matrix& fontMatrix() const { return fontMatrix_; }
    std::uint16_t lastCode() const { return lastCode_; }
    bool cacheEdges() const { return cacheEdges_; }
    bool cacheGlyphs() const { return cacheGlyphs_; }
    std::int32_t curveThreshold() const { return curveThreshold_; }
    OutlineCache* outlines() const { return outlines_.get(); }
    GlyphOutline* notdef() const { return notdef_.get(); }
    // The description text, for the loaders to write.
    WString& descriptionText() { return text_; }

protected:
    void setLoaded(bool loaded) { loaded_ = loaded; }
    void setFontMatrix(const Matrix& m) { fontMatrix_ = m; }
    void setOutlines(std::unique_ptr<OutlineCache> outlines) { outlines_ = std::move(outlines); }
    void setNotdef(std::unique_ptr<GlyphOutline> notdef) { notdef_ = std::move(notdef); }

private:
    // A crossing of a sub-scanline: its x in glyph units, and its chain's
    // place in the outline's order (high half) with the chain's direction
    // (low half, signed) in one word. No two crossings of a sub-scanline
    // share a chain, so (x, key) order is (x, chain) order.
    struct Crossing {
        std::int64_t x;
        std::uint64_t key;
        int direction() const { return std::int32_t(std::uint32_t(key)); }
    };
    // Where one chain of the outline stands while the sub-scanlines go down;
    // the contour's steps, count, top and direction copied so that the walk
    // reads only the chain.
    struct Chain {
        const Outline::Step* steps;
        std::size_t stepCount;
        std::int64_t x, y;
        std::size_t step;
        std::int32_t startX, startY;
        // The key of its crossings (fewer than 2^32 chains fit in memory).
        std::uint64_t key;
    };

    // The entry of a code, else "/.notdef"'s; null when there is neither.
    GlyphOutline* entryOf(std::uint16_t code) const;
    // Fills the coverage scratch (width x height, cleared) from the outline
    // at device size s.
    void scanConvert(const Outline& outline, double s, std::int32_t width, std::int32_t height);

    Matrix fontMatrix_;
    std::uint16_t lastCode_ = 65535;
    bool cacheEdges_ = true;
    bool cacheGlyphs_ = true;
    std::int32_t curveThreshold_ = 13;
    bool loaded_ = false;
    WString text_;
    std::unique_ptr<OutlineCache> outlines_;
    std::unique_ptr<GlyphOutline> notdef_;
    // Scratch of the scan conversion, kept between glyphs.
    std::vector<Chain> chains_;
    std::vector<Chain> active_;
    std::vector<Crossing> crossings_;
    std::vector<std::uint8_t> coverage_;
};

}  // namespace vistrel
