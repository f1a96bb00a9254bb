// The drawing target of the engine. Three layers: OutputDevice keeps the
// device-independent state and reduces lines and curves to pixel runs and
// runs to pixels; DcDevice adds a device context with pen, brush, colours
// and region clipping; the concrete device (GdiDevice) adds the rest.
// Operations answer true on success.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/render/raster/device_color.h"
#include "engine/render/raster/drawable_base.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/line_style.h"
#include "engine/render/raster/pointer_stack.h"
#include "engine/render/raster/raster_settings.h"
#include "engine/render/raster/work_meter.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class Shape;
class CoverageBitmap;
class ImageView;

// Makes an empty raster image for NewImage; installed by the image code.
using ImageFactory = std::unique_ptr<DrawableBase> (*)();
void setImageFactory(ImageFactory factory);

class OutputDevice {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    OutputDevice() = default;
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;
    virtual ~OutputDevice() { setWorkMeter(nullptr); }

    virtual bool Attach(win::HDC deviceContext, IntPoint pageSize) = 0;
    virtual win::HDC Detach() = 0;
    virtual bool IsAttached() const { return attached_; }

    // Factories; null when memory runs out.
    virtual std::unique_ptr<DeviceColor> NewColor();
    virtual std::unique_ptr<DrawableBase> NewImage();
    virtual std::unique_ptr<Shape> NewShape();
    virtual std::unique_ptr<CoverageBitmap> NewCoverageBitmap(int width, int height);

    virtual bool SelectStrokePen() = 0;
    virtual bool SelectFillBrush() = 0;
    virtual bool SetStrokeColor(const DeviceColor& color) = 0;
    virtual bool SetFillColor(const DeviceColor& color) = 0;
    virtual bool GetStrokeColor(DeviceColor& color) const = 0;
    virtual bool GetFillColor(DeviceColor& color) const = 0;
    virtual std::uint32_t StrokeColorValue() const = 0;
    virtual std::uint32_t FillColorValue() const = 0;

    virtual void SetLineStyle(const LineStyle& style);
    // Replaces the dash list by the given one, turned by the phase so that
    // the list starts with an "on" length. A list whose lengths are negative
    // or add up to 0 draws solid.
    virtual void SetDash(const std::vector<std::int32_t>& dashes, int phase);
    virtual void SetLineCap(int cap);
    virtual void SetLineJoin(int join);
    virtual void SetMiterLimit(double limit);
    virtual void SetLineWidth(double width);
    virtual const LineStyle& GetLineStyle() const { return lineStyle_; }
    virtual int GetLineCap() const { return lineStyle_.cap; }
    virtual int GetLineJoin() const { return lineStyle_.join; }
    virtual double GetMiterLimit() const { return lineStyle_.miterLimit; }
    virtual double GetLineWidth() const { return lineStyle_.width; }
    virtual std::unique_ptr<LineStyle> CopyLineStyle() const {
        return std::make_unique<LineStyle>(lineStyle_);
    }

    // A stroke of whole figures: between BeginStroke and EndStroke the moves,
    // lines and curves of a path are its figures, and CloseFigure marks the
    // figure just drawn as closed (its end joins its start). BeginStroke
    // answers false when the device draws them line by line as ever; the
    // root always does.
    virtual bool BeginStroke() { return false; }
    virtual void CloseFigure() {}
    virtual void EndStroke() {}

    virtual void MoveTo(IntPoint p) { SetCurrentPoint(p); }
    virtual void MoveBy(IntPoint delta) { OffsetCurrentPoint(delta); }
    virtual const IntPoint& GetCurrentPoint() const { return currentPoint_; }

    virtual bool BeginSpans();
    virtual void EndSpans();
    virtual bool ClearPage() = 0;
    virtual bool FillRect(const IntRect& r) = 0;

    // Runs of |length| pixels from the current point (the end pixel left
    // out); the current point moves by length.
    virtual bool VerticalRun(int length);
    virtual bool HorizontalRun(int length);
    virtual bool Line(IntPoint from, IntPoint to);
    virtual bool LineTo(IntPoint p);
    virtual bool LineBy(IntPoint delta);
    virtual bool Plot(IntPoint p);
    virtual bool SetPixel(int x, int y, std::uint32_t color) = 0;
    virtual bool GetPixel(IntPoint p, DeviceColor& color) = 0;
    virtual std::uint32_t GetPixelValue(int x, int y) = 0;
    virtual bool Curve(IntPoint p0, IntPoint p1, IntPoint p2, IntPoint p3);
    virtual bool CurveBy(IntPoint d1, IntPoint d2, IntPoint d3);
    virtual bool CurveTo(IntPoint p1, IntPoint p2, IntPoint p3);
    virtual bool InvertRect(IntPoint origin, IntPoint size) = 0;
    virtual bool DrawFocusRect(IntPoint origin, IntPoint size) = 0;

    // 1 visible, 0 partly visible or undecided, -1 invisible.
    virtual int RectVisible(int x0, int y0, int x1, int y1, bool quick);
    virtual bool CombineClipRect(IntPoint origin, IntPoint size, int mode) = 0;
    virtual bool IntersectClipRect(const IntRect& r) = 0;
    // rule: 1 nonzero winding, 0 even-odd.
    virtual bool ClipToShape(Shape& shape, int rule) = 0;
    virtual bool ResetClip() = 0;
    virtual bool SaveClip() = 0;
    virtual bool RestoreClip() = 0;
    // -1 no span clip, 0 empty span clip, 1 a span clip in force.
    virtual int GetClipState() const { return -1; }
    virtual bool PointVisible(int /*x*/, int /*y*/) { return true; }

    virtual bool Draw(IntPoint position, DrawableBase& item) { return item.Draw(position, *this); }
    virtual bool BlitImage(ImageView& image, IntPoint position) = 0;
    virtual bool ReservedOp1(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) = 0;
    virtual bool ReservedOp2(std::uint32_t, std::uint32_t, std::uint32_t) = 0;
    virtual bool ReservedOp3(std::uint32_t, std::uint32_t, std::uint32_t) = 0;

    virtual const IntPoint& GetPageSize() const { return pageSize_; }
    virtual std::uint32_t Capabilities(std::uint32_t /*asked*/) const { return 0; }
    virtual void SetCurrentPoint(IntPoint p) { currentPoint_ = p; }
    virtual void OffsetCurrentPoint(IntPoint delta) { currentPoint_ = currentPoint_ + delta; }

    // The device context handed to Attach, as a number; 0 when detached.
    std::uint32_t deviceHandle() const { return deviceHandle_; }
    // How coverage bitmaps are composited onto the device: the setting
    // "FontSystem"/"AAMethod" as it stood when the device was made or last
    // attached (once a page, not once a glyph).
    const IntegerSetting& coverageMethod() const { return coverageMethod_; }

    // The page's work meter, charged for the spans and pixels the device
    // paints; once it is spent the device paints nothing more. A meter
    // charges one device at a time: handed to this one, it leaves the one
    // it had. Null takes the meter away (nothing counts the work then).
    void setWorkMeter(WorkMeter* meter) {
        if (meter_)
            meter_->device_ = nullptr;
        if (meter && meter->device_ && meter->device_ != this)
            meter->device_->meter_ = nullptr;
        meter_ = meter;
        if (meter_)
            meter_->device_ = this;
    }
    WorkMeter* workMeter() const { return meter_; }
    // Charges the meter `units` (see WorkMeter); false, when the page's
    // work is spent, for the caller to paint nothing.
    bool chargeWork(std::uint64_t units) {
        if (!meter_)
            return true;
        meter_->charge(units);
        return !meter_->spent();
    }

protected:
    void readCoverageMethod() {
        coverageMethod_ = readRasterSetting(settings::FontSystem, settings::AAMethod);
    }

    std::uint32_t deviceHandle_ = 0;
    IntegerSetting coverageMethod_ = readRasterSetting(settings::FontSystem, settings::AAMethod);
    IntPoint pageSize_;
    IntPoint currentPoint_;
    LineStyle lineStyle_;
    bool penDirty_ = true;
    bool brushDirty_ = true;
    bool miterDirty_ = true;
    bool attached_ = false;

private:
    WorkMeter* meter_ = nullptr;
};

// The device-context layer.
class DcDevice : public OutputDevice {
public:
    DcDevice();
    ~DcDevice() override;

    bool Attach(win::HDC deviceContext, IntPoint pageSize) override;
    win::HDC Detach() override;
    bool IsAttached() const override { return bool(dc_); }
    std::unique_ptr<CoverageBitmap> NewCoverageBitmap(int width, int height) override;

    bool SelectFillBrush() override;
    bool SetStrokeColor(const DeviceColor& color) override;
    bool SetFillColor(const DeviceColor& color) override;
    bool GetStrokeColor(DeviceColor& color) const override;
    bool GetFillColor(DeviceColor& color) const override;
    std::uint32_t StrokeColorValue() const override { return strokeColor_; }
    std::uint32_t FillColorValue() const override { return fillColor_; }

    bool ClearPage() override;
    bool FillRect(const IntRect& r) override;
    bool GetPixel(IntPoint p, DeviceColor& color) override;
    std::uint32_t GetPixelValue(int x, int y) override;
    bool InvertRect(IntPoint origin, IntPoint size) override;
    bool DrawFocusRect(IntPoint origin, IntPoint size) override;

    bool CombineClipRect(IntPoint origin, IntPoint size, int mode) override;
    bool IntersectClipRect(const IntRect& r) override;
    bool ClipToShape(Shape& shape, int rule) override;
    bool ResetClip() override;
    bool SaveClip() override;
    bool RestoreClip() override;

    win::HDC deviceContext() const { return dc_; }

protected:
    // Makes the fill brush anew when it is flagged and selects it.
    bool UpdateBrush();
    // Selects the device's own pen back out and deletes it.
    void ReleasePen();
    // Selects a freshly created pen, keeping the context's original pen the
    // first time.
    void SelectOwnPen(win::HPEN pen);

    win::HDC dc_;
    win::HPEN pen_;
    win::HGDIOBJ oldPen_;
    win::HBRUSH brush_;
    win::HGDIOBJ oldBrush_;
    bool penSelected_ = false;
    bool brushSelected_ = false;
    PointerStack<win::HRGN> clipStack_;
    std::uint32_t fillColor_ = 0xFFFFFF;
    std::uint32_t strokeColor_ = 0;
};

// Start-up hook of the output devices; does nothing.
bool initOutputDevices();

}  // namespace vistrel
