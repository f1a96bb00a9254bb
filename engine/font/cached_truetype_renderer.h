// TrueType text drawn as anti-aliased coverage bitmaps: an inner renderer
// that draws through the system's fonts draws each glyph, enlarged by a
// supersampling factor F (2 for bold faces, 4 for the others), in white on
// black into an 8-bit grey bitmap of a private memory context; blocks of F x F
// pixels are reduced to one coverage value, and the glyph-caching base keeps
// the result in the glyph cache and composites it onto the page.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/font/cached_glyph_renderer.h"
#include "engine/font/gdi_truetype_renderer.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class GdiDevice;

// A GdiDevice on the context with a page of the given size, when every bit
// of the capability flags is one the device has; else null.
std::unique_ptr<GdiDevice> createGdiDevice(std::uint32_t capabilities, win::HDC dc,
                                           IntPoint pageSize);

// Coverage of an F x F block in which n pixels are lit: for F = 2 the steps
// 0, 64, 128, 192, 255; for F = 4, n x 255 / 16 rounded down.
std::uint8_t blockCoverage(int factor, int lit);

class CachedTrueTypeRenderer : public CachedGlyphRenderer {
public:
    // Glyph bitmaps larger than this many pixels a side (at F times the
    // page's size) are not rendered: the glyph draws nothing and advances.
    static constexpr std::int32_t kMaxBox = 4096;

    CachedTrueTypeRenderer(const TrueTypeFontDescription& description, OutputDevice* device);
    // With the inner renderer made beforehand by makeInner.
    CachedTrueTypeRenderer(const TrueTypeFontDescription& description, OutputDevice* device,
                           std::unique_ptr<GdiTrueTypeRenderer> inner);
    ~CachedTrueTypeRenderer() override;

    // The inner renderer for a description (without the decoration words,
    // which this renderer draws); null when memory runs out. The loader asks
    // it first, so that a face the system cannot give makes no cached
    // renderer.
    static std::unique_ptr<GdiTrueTypeRenderer> makeInner(
        const TrueTypeFontDescription& description);

    // The inner renderer's.
    bool isUsable() const override { return inner_ && inner_->isUsable(); }
    // A copy with a context, device and bitmap of its own and a copy of the
    // inner renderer.
    std::unique_ptr<DrawableBase> clone() const override;
    FontEncoding* encoding() const override { return inner_ ? inner_->encoding() : nullptr; }
    bool isReleasable() const override { return !inner_ || inner_->isReleasable(); }

    // Page pixels: the inner renderer's measures divided by F (widths
    // rounded up).
    std::int32_t roundedWidth(std::uint16_t code) override;
    std::int32_t glyphHeight(std::uint16_t code) override;
    std::int32_t stringHeight(const WString& text) override;
    double programAdvance(std::uint16_t code) override;
    void refresh() override;

    // Handed on to the inner renderer (the size times F).
    void setCharHeight(double h) override;
    void setHorizontalScale(double tz) override;
    void setFontSize(double size) override;
    void setTextMatrix(const Matrix& tm, const Matrix* lm) override;
    void setRenderMode(std::int32_t mode) override;

    // The inner renderer's (decorations left out: this renderer draws them).
    void description(WString& text) const override;
    const WString& defaultEncodingName() const override;

    bool renderGlyph(std::uint16_t code, CachedGlyph& glyph) override;
    // Works out the glyph box for the current matrix and grows the bitmap
    // to hold it; false when the bitmap cannot be made.
    bool prepareBitmap();

    int factor() const { return 1 << shift_; }
    const GdiTrueTypeRenderer* inner() const { return inner_.get(); }
    // The glyph box and origin in bitmap pixels, and the bitmap's size.
    std::int32_t boxWidth() const { return boxWidth_; }
    std::int32_t boxHeight() const { return boxHeight_; }
    IntPoint origin() const { return IntPoint(originX_, originY_); }
    IntPoint bitmapSize() const { return IntPoint(info_.header.biWidth, info_.header.biHeight); }
    // The bitmap's image row y, counted from the top: after renderGlyph it
    // holds the glyph drawn, white on black.
    const std::uint8_t* imageRow(std::int32_t y) const {
        const std::size_t stride = (std::size_t(info_.header.biWidth) + 3) & ~std::size_t(3);
        return pixels_ + std::size_t(info_.header.biHeight - 1 - y) * stride;
    }

private:
    CachedTrueTypeRenderer(const CachedTrueTypeRenderer& source);
    // The private context and its device.
    void makeContext();
    void fillBitmapInfo();
    // Blackens what the last glyph drew, straight in the bitmap's pixels.
    void clearDrawn();
    // The lit pixels of each F x F block of columns c0..c1 in block row r,
    // into out; true when there are any.
    template <int F>
    bool countBlocks(std::uint8_t* out, int c0, int c1, int r) const;

    bool dirty_ = true;
    struct GreyBitmapInfo {
        win::BITMAPINFOHEADER header;
        win::RGBQUAD colors[256];
    } info_{};
    int shift_ = 2;
    std::int32_t originX_ = 0;
    std::int32_t originY_ = 0;
    std::int32_t boxWidth_ = 0;
    std::int32_t boxHeight_ = 0;
    win::HDC dc_;
    std::unique_ptr<GdiDevice> privateDevice_;
    win::HBITMAP dib_;
    win::HGDIOBJ previousBitmap_;
    std::uint8_t* pixels_ = nullptr;
    // What the last glyph drew (the context's bounding rectangle); the rest
    // of the bitmap is black.
    win::RECT drawn_{};
    // The lit pixel counts of the blocks of what the glyph drew.
    std::vector<std::uint8_t> counts_;
    std::unique_ptr<GdiTrueTypeRenderer> inner_;
};

}  // namespace vistrel
