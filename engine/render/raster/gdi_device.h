// The output device over a memory device context. Draws with GDI pens and
// solid brushes, every horizontal or vertical run as a two-point Polyline,
// and keeps a clip of its own beside the GDI clip region: the span clip, a
// chain of scan-converted shapes that runs, rectangle fills, pixels and
// image blits honour. Paths stroked two pixels wide or more are drawn
// figure by figure with a geometric pen that has the line style's caps,
// join, miter limit and dashes.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/render/raster/output_device.h"
#include "engine/render/raster/span_list.h"

namespace vistrel {

class GdiDevice : public DcDevice {
public:
    static constexpr std::uint32_t kCapabilities = 0x60001117;

    GdiDevice(win::HDC deviceContext, IntPoint pageSize);
    ~GdiDevice() override;

    bool Attach(win::HDC deviceContext, IntPoint pageSize) override;
    std::unique_ptr<Shape> NewShape() override;
    std::unique_ptr<CoverageBitmap> NewCoverageBitmap(int width, int height) override;

    bool SelectStrokePen() override;
    bool BeginStroke() override;
    void CloseFigure() override;
    void EndStroke() override;
    bool LineBy(IntPoint delta) override;
    bool BeginSpans() override;
    void EndSpans() override;
    bool ClearPage() override;
    void MoveTo(IntPoint p) override;
    void MoveBy(IntPoint delta) override;
    bool FillRect(const IntRect& r) override;
    bool VerticalRun(int length) override;
    bool HorizontalRun(int length) override;
    bool SetPixel(int x, int y, std::uint32_t color) override;
    bool CurveBy(IntPoint d1, IntPoint d2, IntPoint d3) override;

    int RectVisible(int x0, int y0, int x1, int y1, bool quick) override;
    bool ClipToShape(Shape& shape, int rule) override;
    bool ResetClip() override;
    bool SaveClip() override;
    bool RestoreClip() override;
    int GetClipState() const override { return clipState_; }
    bool PointVisible(int x, int y) override;

    bool BlitImage(ImageView& image, IntPoint position) override;

    // The four bytes of inked pixel for each stencil value, for the ink they
    // were made for (text blits many small stencils in one colour).
    struct InkTable {
        bool made = false;
        std::uint32_t ink = 0;
        std::uint8_t bytes[256][4];
    };
    bool ReservedOp1(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
        return true;
    }
    bool ReservedOp2(std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
    bool ReservedOp3(std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
    std::uint32_t Capabilities(std::uint32_t asked) const override { return asked & kCapabilities; }
    void SetCurrentPoint(IntPoint p) override;
    void OffsetCurrentPoint(IntPoint delta) override;

    SpanList* spanClip() const { return spanClip_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    int clipMode() const { return clipMode_; }

private:
    void resetDash() {
        dashIndex_ = 0;
        dashRemainder_ = 0;
        dashOn_ = true;
    }
    // A run cut into dash pieces; each "on" piece drawn clipped.
    bool run(int length, bool horizontal);
    void walkDash(IntPoint& p, std::int64_t n, int s, bool horizontal, bool draw);
    void clippedPiece(IntPoint p, std::int64_t length, bool horizontal);
    void polyline(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    void freeSpanClip(SpanList* until);
    // The pen width in pixels: the line width rounded, at least 1.
    int penWidth() const;
    // ExtCreatePen of the line style's geometric pen in a colour; null when
    // it fails.
    win::HPEN geometricPen(std::uint32_t color) const;
    // Strokes the figure gathered since the last move and forgets it.
    void strokeFigure(bool closed);
    // The figure on a context as one path; its points shifted by -origin.
    // A content point names the pixel right of and below the exact one
    // (whole coordinates lie on that pixel's top left corner), so strokes
    // pass an origin one more than the target's.
    void strokeOn(win::HDC dc, IntPoint origin, bool closed);
    // Under a span clip: the figure stroked into a mask over the part of
    // the page the clip may show, then drawn as clipped runs.
    void strokeThroughSpanClip(bool closed);
    // How far past its points the current figure's outline may reach, and
    // the box of its points.
    std::int64_t figureReach() const;
    void figureBox(std::int64_t& x0, std::int64_t& y0, std::int64_t& x1, std::int64_t& y1) const;
    // Charges the page rows and pixels the figure may cover; false once the
    // page's work is spent.
    bool chargeFigure();
    // A DIB section selected into a memory context of its own.
    struct MemoryDib {
        win::HBITMAP bitmap;
        win::HDC dc;
        win::HGDIOBJ old;
        std::uint8_t* bits = nullptr;
        int width = 0;
        int height = 0;

        // Made from info (w x h pixels) in a context compatible with `like`;
        // false, holding nothing, when it cannot be.
        bool make(win::HDC like, const win::BITMAPINFO* info, int w, int h);
        void free();
    };

    // The mask of at least w x h pixels, made or grown; false when it
    // cannot be.
    bool maskFor(int w, int h);
    // The ink bitmap of at least w x h pixels, made or grown; false when it
    // cannot be.
    bool inkFor(int w, int h);

    bool dashOn_ = true;
    bool spanDrawing_ = false;
    // Between BeginStroke and EndStroke with a geometric pen: lines add
    // points to the figure instead of drawing.
    bool stroking_ = false;
    bool geometricPen_ = false;  // the selected stroke pen is geometric
    std::vector<win::POINT> figure_;
    // The mask strokes under a span clip are drawn into: an 8-bit DIB
    // section, index 0 where ink fell.
    MemoryDib mask_;
    // Stencils of at most kKeptInkSide pixels a side are inked in this 32-bit
    // DIB section, for AlphaBlend.
    static constexpr int kKeptInkSide = 256;
    MemoryDib ink_;
    InkTable inkTable_;
    int clipState_ = -1;
    int clipMode_ = 0;
    PointerStack<SpanList*> spanStack_;
    SpanList* spanClip_ = nullptr;
    int bitsPerPixel_ = 0;
    int dashIndex_ = 0;
    int dashRemainder_ = 0;
    // Width of the pen selected last, in pixels.
    int penWidth_ = 1;
};

}  // namespace vistrel
