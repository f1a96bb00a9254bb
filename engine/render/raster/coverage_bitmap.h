// One byte of coverage per pixel (0 nothing, 255 full) that is composited
// onto a device in one colour. The plain kind blends pixel by pixel through
// the device.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"
#include "engine/render/raster/drawable_base.h"
#include "engine/render/raster/geometry.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class CoverageBitmap : public DrawableBase {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // Largest coverage bitmap made, in bytes; larger requests are refused
    // (the bitmap is then not usable).
    static constexpr std::int64_t kMaxBytes = std::int64_t(1) << 28;

    CoverageBitmap(int width, int height);
    ~CoverageBitmap() override;

    bool isUsable() const override { return bool(buffer_); }
    bool Draw(IntPoint position, OutputDevice& device) override {
        return Composite(position, device);
    }
    std::unique_ptr<DrawableBase> clone() const override;
    virtual bool Composite(IntPoint position, OutputDevice& device);
    // A new buffer (contents not kept) only when the new size is larger.
    virtual bool Resize(int width, int height);

    std::uint8_t* data() { return buffer_.get(); }
    const std::uint8_t* data() const { return buffer_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t color() const { return color_; }
    void setColor(std::uint32_t c) { color_ = c; }
    std::uint32_t background() const { return background_; }
    void setBackground(std::uint32_t c) { background_ = c; }
    bool readBackground() const { return readBackground_; }
    void setReadBackground(bool on) { readBackground_ = on; }

protected:
    // The page work of compositing the bitmap, charged for it (see
    // WorkMeter).
    std::uint64_t compositeWork() const;
    // Blends pixel by pixel through the device's SetPixel.
    bool CompositePlain(IntPoint position, OutputDevice& device);
    static bool validSize(int width, int height);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::int64_t capacity_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::uint32_t color_ = 0;
    std::uint32_t background_ = 0xFFFFFF;
    bool readBackground_ = false;
};

// The kind made by device-context devices: composites a whole block at
// once, straight into the page's pixels when the page is a DIB section of
// 24 or 32 bits clipped to one rectangle at most, else through one
// process-wide 24-bit DIB section (copy the page area in, blend in memory,
// copy it back); both give the same pixels.
class DibCoverageBitmap : public CoverageBitmap {
public:
    DibCoverageBitmap(int width, int height);
    ~DibCoverageBitmap() override;

    bool isUsable() const override;
    std::unique_ptr<DrawableBase> clone() const override;
    bool Composite(IntPoint position, OutputDevice& device) override;
    bool Resize(int width, int height) override;

    // The shared section (for tests): its size, or 0 x 0 when none exists.
    static IntPoint sharedSize();
    static int liveCount();

private:
    // Blends into a page of 24 or 32 bits per pixel whose pixels GetObject
    // gives, when its clip is one rectangle (or nothing); false, nothing
    // done, for any other page.
    bool CompositeInPlace(IntPoint p, win::HDC page, const std::uint8_t* blue,
                          const std::uint8_t* green, const std::uint8_t* red);

    bool counted_ = false;
};

// Blends one channel d toward k by coverage c (1..250).
inline std::uint32_t blendChannel(std::uint32_t d, std::uint32_t k, std::uint32_t c) {
    return std::uint32_t(int(d) - (int(d) - int(k)) * int(c) / 255);
}

}  // namespace vistrel
