#include "engine/render/raster/coverage_bitmap.h"

#include <cstring>
#include <new>

#include "engine/render/raster/output_device.h"

namespace vistrel {

bool CoverageBitmap::validSize(int width, int height) {
    return width >= 0 && height >= 0 && std::int64_t(width) * height <= kMaxBytes;
}

CoverageBitmap::CoverageBitmap(int width, int height) {
    if (!validSize(width, height)) return;
    std::int64_t n = std::int64_t(width) * height;
    buffer_.reset(new (std::nothrow) std::uint8_t[n > 0 ? n : 1]());
    if (!buffer_) return;
    capacity_ = n;
    width_ = width;
    height_ = height;
}

CoverageBitmap::~CoverageBitmap() = default;

CoverageBitmap* CoverageBitmap::clone() const {
    auto* b = new CoverageBitmap(width_, height_);
    if (b->buffer_ && buffer_) std::memcpy(b->buffer_.get(), buffer_.get(), std::size_t(width_) * height_);
    return b;
}

bool CoverageBitmap::Resize(int width, int height) {
    if (!validSize(width, height)) return false;
    std::int64_t n = std::int64_t(width) * height;
    if (n > capacity_ || !buffer_) {
        buffer_.reset(new (std::nothrow) std::uint8_t[n > 0 ? n : 1]());
        if (!buffer_) {
            capacity_ = 0;
            width_ = height_ = 0;
            return false;
        }
        capacity_ = n;
    }
    width_ = width;
    height_ = height;
    return true;
}

bool CoverageBitmap::Composite(IntPoint position, OutputDevice& device) {
    return CompositePlain(position, device);
}

bool CoverageBitmap::CompositePlain(IntPoint p, OutputDevice& device) {
    if (!buffer_) return false;
    const std::uint32_t kr = color_ & 0xFF, kg = (color_ >> 8) & 0xFF, kb = (color_ >> 16) & 0xFF;
    const std::uint8_t* cov = buffer_.get();
    for (int row = 0; row < height_; ++row) {
        for (int col = 0; col < width_; ++col) {
            std::uint32_t c = *cov++;
            if (c == 0) continue;
            int x = clampCoord(std::int64_t(p.x) + col), y = clampCoord(std::int64_t(p.y) + row);
            if (c > 250) {
                device.SetPixel(x, y, color_);
                continue;
            }
            std::uint32_t b = readBackground_ ? device.GetPixelValue(x, y) : background_;
            std::uint32_t r = blendChannel(b & 0xFF, kr, c);
            std::uint32_t g = blendChannel((b >> 8) & 0xFF, kg, c);
            std::uint32_t bl = blendChannel((b >> 16) & 0xFF, kb, c);
            device.SetPixel(x, y, r | (g << 8) | (bl << 16));
        }
    }
    return true;
}

}  // namespace vistrel
