// The output device over a memory device context. Draws with GDI pens and
// solid brushes, every horizontal or vertical run as a two-point Polyline,
// and keeps a clip of its own beside the GDI clip region: the span clip, a
// chain of scan-converted shapes that runs, rectangle fills, pixels and
// image blits honour.
#pragma once

#include <cstdint>

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

    bool dashOn_ = true;
    bool spanDrawing_ = false;
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
