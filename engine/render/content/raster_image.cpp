#include "engine/render/content/raster_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Shrinking by taps: AVX2 code in functions of their own, picked when the
// processor has it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VISTREL_SHRINK_TAPS 1
#include <immintrin.h>
#else
#define VISTREL_SHRINK_TAPS 0
#endif

#include "engine/codec/dct_decode.h"
#include "engine/codec/image_readers.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/streams.h"
#include "engine/render/raster/device_color.h"
#include "engine/render/raster/output_device.h"
#include "engine/render/raster/raster_settings.h"
#include "engine/render/raster/shape.h"

namespace vistrel {

namespace {

// "Quality" settings as integers; `fallback` when missing, 0 for a value of
// an unknown kind.
std::int32_t qualityInt(const WString& key, std::int32_t fallback) {
    const IntegerSetting s = readRasterSetting(settings::Quality, key);
    return s.present ? s.value : fallback;
}

std::int64_t roundedEdge(double v) {
    return roundCoord(v);
}

// v * 255 / (2^bits - 1) for the sample widths 1, 2 and 4.
struct WideningTables {
    std::uint8_t table[3][16];
    WideningTables() {
        const int widths[3] = {1, 2, 4};
        for (int t = 0; t < 3; ++t) {
            const int top = (1 << widths[t]) - 1;
            for (int v = 0; v <= top; ++v)
                table[t][v] = std::uint8_t(v * 255 / top);
        }
    }
};

const std::uint8_t* wideningTable(int bits) {
    static const WideningTables tables;
    return tables.table[bits == 1 ? 0 : bits == 2 ? 1 : 2];
}

// The eight bytes (0 or 255, first sample first) of every byte of 1-bit
// samples.
struct BitBytes {
    std::uint8_t bytes[256][8];
    BitBytes() {
        for (int v = 0; v < 256; ++v) {
            for (int k = 0; k < 8; ++k)
                bytes[v][k] = std::uint8_t(0 - ((v >> (7 - k)) & 1));
        }
    }
};

// Widens `count` samples of `bits` bits in place to one byte each, from the
// end backwards so that the bytes never overtake the bits still unread.
void widen(std::uint8_t* row, std::size_t count, int bits) {
    const std::uint8_t* table = wideningTable(bits);
    if (bits == 1) {
        // Whole bytes from the end backwards: 8 samples each, in place.
        std::size_t i = count;
        const std::size_t whole = count / 8;
        for (std::size_t b = count % 8; b-- > 0;) {
            --i;
            row[i] = table[(row[whole] >> (7 - b)) & 1];
        }
        static const BitBytes eights;
        for (std::size_t byte = whole; byte-- > 0;)
            std::memcpy(row + byte * 8, eights.bytes[row[byte]], 8);
        return;
    }
    const unsigned mask = (1u << bits) - 1;
    for (std::size_t i = count; i-- > 0;) {
        const std::size_t bit = i * std::size_t(bits);
        const unsigned shift = unsigned(8 - bits - int(bit % 8));
        row[i] = table[(row[bit / 8] >> shift) & mask];
    }
}

int roundByte(double v) {
    return int(v > 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5));
}

double clamp01(double v) {
    if (!(v > 0))
        return 0;
    return v < 1 ? v : 1;
}

// round(255 * videoTransfer(t)) without a power per call. Below 0.02 the
// curve is a line; from there on it rises with t, so the byte is the number
// of thresholds (the least t giving each byte 1 .. 255, found once with the
// curve itself) at or below t. A table over 4096 steps of t gives the count
// at each step's start; the few thresholds within a step are tested.
class VideoBytes {
public:
    VideoBytes() {
        constexpr double kStart = 0.02;
        auto byteAt = [](double t) { return roundByte(255 * videoTransfer(t)); };
        for (int v = 1; v <= 255; ++v) {
            // The least double from 0.02 on whose byte is v or more: near
            // where the curve reaches v - 0.5, then moved to the exact place.
            double t = std::pow(((v - 0.5) / 255 + 0.1) / 1.1, 1 / 0.45);
            if (!(t > kStart))
                t = kStart;
            while (byteAt(t) < v)
                t = std::nextafter(t, 2.0);
            while (t > kStart && byteAt(std::nextafter(t, 0.0)) >= v)
                t = std::nextafter(t, 0.0);
            threshold_[v] = t;
        }
        threshold_[0] = 0;
        int n = 0;
        for (int i = 0; i <= kSteps; ++i) {
            const double t = double(i) / kSteps;
            while (n < 255 && threshold_[n + 1] <= t)
                ++n;
            atStep_[i] = std::uint8_t(n);
        }
    }

    int operator()(double t) const {
        if (!(t >= 0.02))
            return roundByte(255 * videoTransfer(t));
        if (!(t < 1))
            return 255;
        int n = atStep_[int(t * kSteps)];
        while (n < 255 && threshold_[n + 1] <= t)
            ++n;
        return n;
    }

private:
    static constexpr int kSteps = 4096;
    double threshold_[256];
    std::uint8_t atStep_[kSteps + 1];
};

}  // namespace

// CMYK to RGB for one model, with a small cache of recent results (runs of
// one colour are the rule in images).
struct RasterImage::Cmyk {
    std::int32_t model = -1;
    std::array<std::uint32_t, 1024> keys{};
    std::array<std::uint32_t, 1024> values{};
    std::array<bool, 1024> used{};

    void setModel(std::int32_t m) {
        if (m != model) {
            model = m;
            used.fill(false);
        }
    }

    // Writes red, green, blue over the first three bytes.
    void convert(std::uint8_t* p) {
        const int c = p[0], m = p[1], y = p[2], k = p[3];
        if (model != 1 && model != 2) {
            p[0] = std::uint8_t(std::max(0, 255 - k - c));
            p[1] = std::uint8_t(std::max(0, 255 - k - m));
            p[2] = std::uint8_t(std::max(0, 255 - k - y));
            return;
        }
        const std::uint32_t key = std::uint32_t(c) | std::uint32_t(m) << 8 |
                                  std::uint32_t(y) << 16 | std::uint32_t(k) << 24;
        const std::size_t slot = ((key * 2654435761u) >> 22) & 1023;
        if (!used[slot] || keys[slot] != key) {
            keys[slot] = key;
            values[slot] = compute(c, m, y, k);
            used[slot] = true;
        }
        const std::uint32_t v = values[slot];
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
        p[2] = std::uint8_t(v >> 16);
    }

    std::uint32_t compute(int c8, int m8, int y8, int k8) const {
        const double k = k8 / 255.0;
        const double c = c8 * (1 - k) / 255 + k, m = m8 * (1 - k) / 255 + k,
                     y = y8 * (1 - k) / 255 + k;
        int r, g, b;
        if (model == 1) {
            r = 255 - roundByte(255 * clamp01(1.09 * c + 0.14 * m + 0.16 * y));
            g = 255 - roundByte(255 * clamp01(0.49 * c + 0.87 * m + 0.21 * y));
            b = 255 - roundByte(255 * clamp01(0.25 * c + 0.65 * m + 0.76 * y));
        } else {
            static const VideoBytes videoByte;
            const double x1 = std::exp2(-5.38 * c - 0.48 * m - 0.98 * y);
            const double x2 = std::exp2(-3.71 * c - 2.94 * m - 0.58 * y);
            const double x3 = std::exp2(-0.7 * c - 3.29 * m - 4.5 * y);
            double lr, lg, lb;
            xyzToRgb(x1, x2, x3, lr, lg, lb);
            r = videoByte(lr);
            g = videoByte(lg);
            b = videoByte(lb);
        }
        return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
    }
};

RasterImage::RasterImage() = default;

RasterImage::~RasterImage() {
    freeDib();
}

std::unique_ptr<DrawableBase> newRasterImage() {
    return std::unique_ptr<DrawableBase>(new (std::nothrow) RasterImage);
}

// ---------------------------------------------------------------------------
// Placement

std::size_t RasterImage::begin(std::int32_t width, std::int32_t height, std::int32_t components,
                               std::int32_t bitsPerComponent, std::int32_t /*reserved*/,
                               const double* matrix) {
    rotationMode_ = qualityInt(settings::ImageRotationMode, 2);
    if (rotationMode_ > 2) {
        const IntegerSetting limit = readRasterSetting(settings::Quality, settings::ImageSizeLimit);
        if (limit.present && limit.value == 0)
            rotationMode_ = 2;
    }
    freeDib();
    if (width < 1 || height < 1 || (components != 1 && components != 3 && components != 4) ||
        (bitsPerComponent != 1 && bitsPerComponent != 2 && bitsPerComponent != 4 &&
         bitsPerComponent != 8))
        return 0;

    std::int64_t a, b, c, d;
    IntPoint corner;
    if (matrix) {
        // Terms clamped to the device range before rounding.
        const std::int64_t e = roundCoord(matrix[4]), f = roundCoord(matrix[5]);
        a = roundedEdge(matrix[0] + matrix[4]) - e;
        b = roundedEdge(matrix[1] + matrix[5]) - f;
        c = roundedEdge(matrix[2] + matrix[4]) - e;
        d = roundedEdge(matrix[3] + matrix[5]) - f;
        origin_ = IntPoint(std::int32_t(e), std::int32_t(f));
        bool edges[4] = {a != 0, b != 0, c != 0, d != 0};
        // A side whose device extent rounds to nothing but is not nothing
        // keeps the edge of its larger term with no length: the image covers
        // one pixel that way, where its exact edges lie (both round to it).
        // Drawn turned by another angle, that edge is one pixel long.
        for (int side = 0; side < 2; ++side) {
            const double x = matrix[2 * side], y = matrix[2 * side + 1];
            if (edges[2 * side] || edges[2 * side + 1] || !std::isfinite(x) || !std::isfinite(y) ||
                (x == 0 && y == 0))
                continue;
            edges[std::fabs(x) >= std::fabs(y) ? 2 * side : 2 * side + 1] = true;
        }
        orientation_ = (edges[0] ? kEdgeA : 0) | (edges[1] ? kEdgeB : 0) | (edges[2] ? kEdgeC : 0) |
                       (edges[3] ? kEdgeD : 0);
        if (orientation_ != kUpright && orientation_ != kQuarterTurn) {
            std::int64_t* terms[4] = {&a, &b, &c, &d};
            for (int i = 0; i < 4; ++i) {
                if (edges[i] && *terms[i] == 0)
                    *terms[i] = matrix[i] < 0 ? -1 : 1;
            }
        }
        corner =
            IntPoint(clampCoord(e + std::min<std::int64_t>(a, 0) + std::min<std::int64_t>(c, 0)),
                     clampCoord(f + std::min<std::int64_t>(b, 0) + std::min<std::int64_t>(d, 0)));
    } else {
        a = std::int64_t(width) - 1;
        b = c = 0;
        d = 1 - std::int64_t(height);
        origin_ = IntPoint(0, clampCoord(std::int64_t(height) - 1));
        corner = IntPoint(0, 0);
        orientation_ = kUpright;
    }
    edge_[0] = a;
    edge_[1] = b;
    edge_[2] = c;
    edge_[3] = d;
    if (rotationMode_ == 0 && orientation_ != kUpright)
        return 0;  // mode 0 draws only upright images

    width_ = width;
    height_ = height;
    components_ = components;
    bitsPerComponent_ = bitsPerComponent;

    std::int64_t dibW, dibH, dstW, dstH;
    if (orientation_ == kUpright) {
        dibW = dstW = std::llabs(a) + 1;
        dibH = dstH = std::llabs(d) + 1;
    } else if (orientation_ == kQuarterTurn) {
        dibW = std::llabs(c) + 1;
        dibH = std::llabs(b) + 1;
        if (rotationMode_ >= 2) {
            // Source rows run along the device's y axis.
            dstW = dibH;
            dstH = dibW;
        } else {
            dstW = dibW;
            dstH = dibH;
            orientation_ = kUpright;
        }
    } else {
        const double da = double(a), db = double(b), dc = double(c), dd = double(d);
        dibW = dstW = std::int64_t(std::ceil(std::sqrt(da * da + db * db)));
        dibH = dstH = std::int64_t(std::ceil(std::sqrt(dc * dc + dd * dd)));
        if (rotationMode_ >= 3) {
            orientation_ |= kRotated;
        } else {
            // Upright, centred in the bounding box.
            const std::int64_t boxW = std::llabs(a) + std::llabs(c) + 1;
            const std::int64_t boxH = std::llabs(b) + std::llabs(d) + 1;
            corner = IntPoint(clampCoord(corner.x + (boxW - dibW) / 2),
                              clampCoord(corner.y + (boxH - dibH) / 2));
            orientation_ = kUpright;
        }
    }
    position_ = corner;
    // A side of no extent has no pixels; a DIB beyond the caps is refused.
    if (dibW < 1 || dibH < 1 || dibW > kMaxDibSide || dibH > kMaxDibSide)
        return 0;
    const std::int64_t bpp = components == 1 ? 1 : 3;
    if (((dibW * bpp + 3) & ~std::int64_t(3)) * dibH > kMaxDibBytes)
        return 0;
    dibWidth_ = std::int32_t(dibW);
    dibHeight_ = std::int32_t(dibH);
    dstWidth_ = std::int32_t(dstW);
    dstHeight_ = std::int32_t(dstH);

    inBytesPerRow_ = std::size_t((std::int64_t(components) * width * bitsPerComponent + 7) / 8);
    if (!createDib())
        return 0;

    // Where the first pixel of the first row goes, and the steps from it.
    const std::ptrdiff_t px = bytesPerPixel_, stride = std::ptrdiff_t(dibStride_);
    const std::ptrdiff_t lastColumn = std::ptrdiff_t(dibWidth_ - 1) * px;
    const std::ptrdiff_t lastRow = std::ptrdiff_t(dibHeight_ - 1) * stride;
    std::ptrdiff_t start = 0;
    if (orientation_ == kUpright) {
        pixelStep_ = a >= 0 ? px : -px;
        rowStep_ = d <= 0 ? stride : -stride;
        start = (a >= 0 ? 0 : lastColumn) + (d <= 0 ? 0 : lastRow);
    } else if (orientation_ == kQuarterTurn) {
        rowStep_ = c <= 0 ? px : -px;
        pixelStep_ = b >= 0 ? stride : -stride;
        start = (c <= 0 ? 0 : lastColumn) + (b >= 0 ? 0 : lastRow);
    } else {
        pixelStep_ = px;
        rowStep_ = stride;
    }
    dibCursor_ = dibBits_ + start;
    rowsWritten_ = 0;

    yScale_ = std::int32_t(std::int64_t(dstHeight_) * 1024 / height);
    yAccumulator_ = dstHeight_ < height ? 1024 : yScale_;
    yError_ = 0;
    yErrorStep_ = std::int32_t(std::int64_t(dstHeight_) * 1024 - std::int64_t(yScale_) * height);
    if (!planColumns()) {
        freeDib();
        return 0;
    }

    const std::int64_t rowSize = (std::int64_t(width) * components + 7) & ~std::int64_t(3);
    return std::size_t(rowSize);
}

bool RasterImage::createDib() {
    if (bytesPerPixel_ == 0)
        bytesPerPixel_ = components_ == 1 ? 1 : 3;
    if (dibStride_ == 0)
        dibStride_ = (std::size_t(dibWidth_) * std::size_t(bytesPerPixel_) + 3) & ~std::size_t(3);
    const std::size_t accumulator = std::size_t(dstWidth_) * std::size_t(bytesPerPixel_);
    rowAccumulator_.reset(new (std::nothrow) std::uint8_t[accumulator]);
    nextRowAccumulator_.reset(new (std::nothrow) std::uint8_t[accumulator]());
    if (!rowAccumulator_ || !nextRowAccumulator_)
        return false;
    if (dstHeight_ < height_) {
        rowSums_.reset(new (std::nothrow) std::uint32_t[accumulator]());
        if (!rowSums_)
            return false;
    }
    struct {
        win::BITMAPINFOHEADER header;
        win::RGBQUAD colors[256];
    } info{};
    info.header = {sizeof(win::BITMAPINFOHEADER),
                   dibWidth_,
                   -dibHeight_,
                   1,
                   win::WORD(8 * bytesPerPixel_),
                   win::BI_RGB,
                   0,
                   100,
                   100,
                   0,
                   0};
    for (int i = 0; i < 256; ++i)
        info.colors[i] = {win::BYTE(i), win::BYTE(i), win::BYTE(i), 0};
    void* bits = nullptr;
    dib_ = win::CreateDIBSection(nullptr, reinterpret_cast<win::BITMAPINFO*>(&info),
                                 win::DIB_RGB_COLORS, &bits, nullptr, 0);
    dibBits_ = static_cast<std::uint8_t*>(bits);
    if (!dib_ || !dibBits_)
        return false;
    // A stencil's pixels that no row reaches leave the page as it is.
    if (stencil_)
        std::memset(dibBits_, 0xFF, dibStride_ * std::size_t(dibHeight_));
    return true;
}

void RasterImage::freeDib() {
    if (dib_)
        win::DeleteObject(dib_);
    dib_ = nullptr;
    dibBits_ = nullptr;
    dibCursor_ = nullptr;
    rowAccumulator_.reset();
    nextRowAccumulator_.reset();
    rowSums_.reset();
    columns_.reset();
    bytesPerPixel_ = 0;
    dibStride_ = 0;
}

// ---------------------------------------------------------------------------
// Rows

void RasterImage::convertRow(std::uint8_t* row) {
    const std::size_t samples = std::size_t(width_) * std::size_t(components_);
    if (bitsPerComponent_ < 8)
        widen(row, samples, bitsPerComponent_);
    if (components_ != 4)
        return;
    if (!cmyk_) {
        cmyk_.reset(new (std::nothrow) Cmyk);
        if (!cmyk_)
            return;
    }
    // The model cannot change within a row: it is read once per row.
    cmyk_->setModel(qualityInt(settings::FullColorImageConversion, 0));
    for (std::size_t i = 0; i < samples; i += 4)
        cmyk_->convert(row + i);
}

namespace {

// The vertical scaling's row arithmetic, written so that the compiler does
// 16 or 32 bytes at a time: blocks of 32 bytes (its cheap vectoriser takes
// only loops of a known multiple of the vector length) and rows that do not
// overlap. Always inlined, so that the AVX2 versions of its callers have it
// in their own instructions.
template <typename Op>
[[gnu::always_inline]] inline void forEachByte(std::size_t n, Op op) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        for (std::size_t k = i; k < i + 32; ++k)
            op(k);
    }
    for (; i < n; ++i)
        op(i);
}

// sum += row * weight for every byte (weights up to 1024), the product of
// two 16-bit values widened, which the vectoriser does with 16-bit
// multiplications; made for processors with AVX2 too (32 bytes a step).
__attribute__((target_clones("avx2", "default"))) void addWeightedRow(
    std::uint32_t* __restrict sum, const std::uint8_t* __restrict row, std::size_t n,
    std::int32_t weight) {
    const auto w = std::uint16_t(weight);
    forEachByte(n, [=](std::size_t i) { sum[i] += std::uint32_t(std::uint16_t(row[i]) * w); });
}

// In one pass over the row that completes an output row: out = (sum + row
// * weight) / 1024 rounded, for sums whose weights add up to 1024 (at most
// 255), and sum = row * rest, the start of the next output row.
__attribute__((target_clones("avx2", "default"))) void finishWeightedRow(
    std::uint8_t* __restrict out, std::uint32_t* __restrict sum, const std::uint8_t* __restrict row,
    std::size_t n, std::int32_t weight, std::int32_t rest) {
    const auto w = std::uint16_t(weight), r = std::uint16_t(rest);
    forEachByte(n, [=](std::size_t i) {
        const auto v = std::uint16_t(row[i]);
        out[i] = std::uint8_t((sum[i] + std::uint32_t(v * w) + 512) >> 10);
        sum[i] = std::uint32_t(v * r);
    });
}

// floor(n / width) by a multiplication with ceil(2^55 / width), for n below
// 256 x width: with the reciprocal's excess e below the width, n x e stays
// below 2^55 while the width is below 2^23, so the product's top bits are
// the quotient; wider rows divide.
constexpr int kReciprocalShift = 55;
// The fewest source pixels a column must take for colour rows to shrink
// with vectors.
constexpr std::int32_t kShrinkVectorPixels = 4;
constexpr std::int64_t kMaxReciprocalWidth = std::int64_t{1} << 23;

std::uint64_t reciprocalOf(std::int32_t width) {
    if (width < 1 || width >= kMaxReciprocalWidth)
        return 0;
    const std::uint64_t d = std::uint64_t(width);
    return ((std::uint64_t{1} << kReciprocalShift) + d - 1) / d;
}

// floor(n / width) as (n x magic) >> shift for every n below 256 x width:
// with shift = 8 + 2 log2(width) rounded up and magic = ceil(2^shift /
// width), the magic number's excess over 2^shift / width adds less than
// width / 2^(2 log2 width) <= 1 / width to the quotient, too little to reach
// the next integer. The magic number is below 2^32 for widths up to 2^23.
struct Division {
    std::uint32_t magic = 0;
    std::int32_t shift = 0;
};

Division divisionBy(std::int32_t width) {
    std::int32_t log2 = 0;
    while ((std::int64_t{1} << log2) < width)
        ++log2;
    Division division;
    division.shift = 8 + 2 * log2;
    const std::uint64_t d = std::uint64_t(width);
    division.magic = std::uint32_t(((std::uint64_t{1} << division.shift) + d - 1) / d);
    return division;
}

// Shrinking by taps: most source pixels an output pixel may take, the
// widest output (weights are 16-bit lanes, at most the output width), and
// the bytes a group of four taps reads beyond its first pixel.
constexpr std::int32_t kMaxTaps = 16;
constexpr std::int32_t kMaxTapOutputWidth = 32767;
constexpr std::int32_t kTapLoadBytes = 16;

// Bytes read from an output pixel's first source pixel on, and the lanes of
// weights for a pair of output pixels.
constexpr std::int32_t tapReach(std::int32_t groups, std::int32_t components) {
    return (groups - 1) * 4 * components + kTapLoadBytes;
}
constexpr std::int32_t kTapWeightsPerGroup = 32;

#if VISTREL_SHRINK_TAPS
// `pairs` pairs of output pixels (blue, green, red), six bytes a pair plus
// one written past them, from source pixels of Components bytes (red,
// green, blue first) at base + starts[i] - bias. A group of four source
// pixels is one 16-byte read of each pixel of the pair into the two halves;
// byte shuffles spread the pixels' channels into 16-bit lanes, pixels 0 and
// 1 of the group side by side in one vector, 2 and 3 in another, so that a
// multiply-add with the weights gives each channel's weighted sum in a
// 32-bit lane. Half the width on top, the magic number divides.
template <int Components, int Groups>
__attribute__((target("avx2"))) void shrinkPairs(const std::uint8_t* base,
                                                 const std::int32_t* starts, std::int32_t bias,
                                                 const std::int16_t* weights, std::int32_t pairs,
                                                 std::int32_t half, Division division,
                                                 std::uint8_t* out) {
    constexpr char z = char(0x80);
    // Tap t's blue (channel 0), green or red byte.
    constexpr auto at = [](int tap, int channel) { return char(tap * Components + 2 - channel); };
    const __m256i firstTwo = _mm256_broadcastsi128_si256(_mm_setr_epi8(
        at(0, 0), z, at(1, 0), z, at(0, 1), z, at(1, 1), z, at(0, 2), z, at(1, 2), z, z, z, z, z));
    const __m256i lastTwo = _mm256_broadcastsi128_si256(_mm_setr_epi8(
        at(2, 0), z, at(3, 0), z, at(2, 1), z, at(3, 1), z, at(2, 2), z, at(3, 2), z, z, z, z, z));
    // Blue and green of the low 64-bit lane, red of the high one.
    const __m256i gather =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(0, 1, 8, z, z, z, z, z, z, z, z, z, z, z, z, z));
    const __m256i halfLanes = _mm256_set1_epi32(half);
    const __m256i magic = _mm256_set1_epi32(int(division.magic));
    const __m128i shift = _mm_cvtsi32_si128(division.shift);
    for (std::int32_t p = 0; p < pairs;
         ++p, starts += 2, weights += Groups * kTapWeightsPerGroup, out += 6) {
        const std::uint8_t* first = base + (starts[0] - bias);
        const std::uint8_t* second = base + (starts[1] - bias);
        __m256i total = halfLanes;
#pragma GCC unroll 4
        for (int g = 0; g < Groups; ++g) {
            const int at4 = g * 4 * Components;
            const __m256i pixels = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + at4))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + at4)), 1);
            const auto* w = reinterpret_cast<const __m256i*>(weights + g * kTapWeightsPerGroup);
            total = _mm256_add_epi32(total, _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, firstTwo),
                                                              _mm256_loadu_si256(w)));
            total = _mm256_add_epi32(total, _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, lastTwo),
                                                              _mm256_loadu_si256(w + 1)));
        }
        // Blue and red in the even lanes, green (and the quotient 0 of half
        // the width) in the odd ones.
        const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(total, magic), shift);
        const __m256i odd =
            _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(total, 32), magic), shift);
        const __m256i q =
            _mm256_shuffle_epi8(_mm256_or_si256(even, _mm256_slli_epi64(odd, 8)), gather);
        const auto low = std::uint32_t(_mm_cvtsi128_si32(_mm256_castsi256_si128(q)));
        const auto high = std::uint32_t(_mm_cvtsi128_si32(_mm256_extracti128_si256(q, 1)));
        std::memcpy(out, &low, 4);
        std::memcpy(out + 3, &high, 4);
    }
}
#endif

}  // namespace

// The source pixels of one pixel of a scaled row. Shrinking: the source
// pixel that completes it and the units of that pixel it takes (a source
// pixel has dstWidth units, an output pixel width units; all dstWidth when
// it ends exactly there). Enlarging: the two source pixels blended and the
// first one's weight in units of 1/1024 (1024: a copy of the first).
struct RasterImage::Column {
    std::int32_t source = 0;
    std::int32_t next = 0;
    std::uint32_t weight = 0;
};

bool RasterImage::planColumns() {
    columns_.reset();
    shrinkMagic_ = 0;
    tapGroups_ = 0;
    tapStarts_.reset();
    tapWeights_.reset();
    tapTail_.reset();
    tapPairsInPlace_ = 0;
    if (width_ == dstWidth_)
        return true;
    columns_.reset(new (std::nothrow) Column[std::size_t(dstWidth_)]);
    if (!columns_)
        return false;
    Column* column = columns_.get();
    if (width_ > dstWidth_) {
        // Box filter: a source pixel supplies dstWidth units, an output
        // pixel takes width units. A pixel that straddles two output pixels
        // gives the units its output pixel still lacks (need) to it and the
        // rest to the next; one that fills its output pixel exactly or lies
        // inside gives all to it.
        xReciprocal_ = reciprocalOf(width_);
        std::int64_t need = width_;
        std::int32_t previous = -1, longest = 0, shortest = width_;
        for (std::int32_t x = 0; x < width_; ++x) {
            if (need > dstWidth_) {
                need -= dstWidth_;
                continue;
            }
            column->source = x;
            column->weight = std::uint32_t(need);
            ++column;
            need += std::int64_t(width_) - dstWidth_;
            longest = std::max(longest, x - previous);
            shortest = std::min(shortest, x - previous);
            previous = x;
        }
        planShrinkVectors(shortest, longest);
        return planShrinkTaps();
    }
    // Enlarging: where an output pixel falls between two source pixels, the
    // two are blended by the share of the first.
    const std::int32_t last = width_ - 1;
    std::int32_t source = 0;
    std::int64_t supply = dstWidth_;
    for (std::int32_t x = 0; x < dstWidth_; ++x, ++column) {
        if (supply >= width_) {
            column->source = column->next = source;
            column->weight = 1024;
            supply -= width_;
            if (supply == 0) {
                source = std::min(source + 1, last);
                supply = dstWidth_;
            }
        } else {
            column->source = source;
            column->next = std::min(source + 1, last);
            column->weight = std::uint32_t(supply * 1024 / width_);
            source = column->next;
            supply = dstWidth_ - (width_ - supply);
        }
    }
    return true;
}

void RasterImage::planShrinkVectors(std::int32_t shortest, std::int32_t longest) {
    shrinkMagic_ = 0;
    shrinkShift_ = 0;
#if defined(__SSE2__)
    // Vectors pay where a column sums several pixels; fewer are summed as
    // fast one by one. A 16-bit lane sums at most 128 pixels of 255, a
    // 16-bit weight is at most 32767; the magic number is below 2^32 for
    // widths up to 2^23, and with the shift 8 + 2 log2(width) the product's
    // top bits are the quotient for every sum below 256 x width (as
    // reciprocalOf's).
    if (components_ == 1 || shortest < kShrinkVectorPixels || longest > 128 || dstWidth_ > 32767 ||
        width_ > (1 << 23))
        return;
    const Division division = divisionBy(width_);
    shrinkShift_ = division.shift;
    shrinkMagic_ = division.magic;
#else
    (void)shortest;
    (void)longest;
#endif
}

bool RasterImage::planShrinkTaps() {
#if VISTREL_SHRINK_TAPS
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (!avx2 || components_ == 1 || dstWidth_ > kMaxTapOutputWidth)
        return true;
    // Output pixel x takes the source pixels from the one that completed
    // pixel x - 1 (unless it gave that one all its units) to the one that
    // completes x: the units left over, dstWidth each inside, the units it
    // needs (column weight) from the last.
    const Column* columns = columns_.get();
    const std::int32_t units = dstWidth_;
    auto firstOf = [&](std::int32_t x) {
        if (x == 0)
            return std::int32_t{0};
        const Column& before = columns[x - 1];
        return before.weight == std::uint32_t(units) ? before.source + 1 : before.source;
    };
    std::int32_t most = 0;
    for (std::int32_t x = 0; x < dstWidth_; ++x)
        most = std::max(most, columns[x].source - firstOf(x) + 1);
    if (most > kMaxTaps)
        return true;
    const std::int32_t groups = (most + 3) / 4;
    const std::size_t pairs = (std::size_t(dstWidth_) + 1) / 2;
    tapStarts_.reset(new (std::nothrow) std::int32_t[std::size_t(dstWidth_) + 1]);
    tapWeights_.reset(new (std::nothrow)
                          std::int16_t[pairs * std::size_t(groups) * kTapWeightsPerGroup]());
    if (!tapStarts_ || !tapWeights_)
        return false;
    for (std::int32_t x = 0; x < dstWidth_; ++x) {
        const std::int32_t first = firstOf(x), last = columns[x].source;
        tapStarts_[std::size_t(x)] = first * components_;
        for (std::int32_t source = first; source <= last; ++source) {
            std::uint32_t weight = std::uint32_t(units);
            if (source == last)
                weight = columns[x].weight;
            else if (x > 0 && source == columns[x - 1].source)
                weight = std::uint32_t(units) - columns[x - 1].weight;
            // Taps 0 and 1 of a group in its first vector, 2 and 3 in the
            // second; the pair's first pixel in a vector's low half; a
            // channel's two taps side by side.
            const std::int32_t tap = source - first;
            const std::size_t lanes =
                ((std::size_t(x / 2) * std::size_t(groups) + std::size_t(tap / 4)) * 2 +
                 std::size_t(tap % 4 / 2)) *
                    16 +
                std::size_t(x % 2) * 8 + std::size_t(tap % 2);
            for (std::size_t ch = 0; ch < 3; ++ch)
                tapWeights_[lanes + 2 * ch] = std::int16_t(weight);
        }
    }
    tapStarts_[std::size_t(dstWidth_)] = tapStarts_[std::size_t(dstWidth_) - 1];
    // Pairs whose reads stay within the row and whose one byte written past
    // them is still in the output row are done in place.
    const std::int64_t rowBytes = std::int64_t(width_) * components_;
    const std::int32_t reach = tapReach(groups, components_);
    std::int32_t inPlace = 0;
    while (2 * inPlace + 3 <= dstWidth_ &&
           tapStarts_[2 * std::size_t(inPlace) + 1] + reach <= rowBytes)
        ++inPlace;
    const std::int64_t from = tapStarts_[2 * std::size_t(inPlace)];
    const std::int64_t tailPairs = (dstWidth_ - 2 * inPlace + 1) / 2;
    tapTail_.reset(new (std::nothrow)
                       std::uint8_t[std::size_t(rowBytes - from + reach + 6 * tailPairs + 1)]());
    if (!tapTail_)
        return false;
    const Division division = divisionBy(width_);
    shrinkMagic_ = division.magic;
    shrinkShift_ = division.shift;
    tapPairsInPlace_ = inPlace;
    tapGroups_ = groups;
#endif
    return true;
}

// Scales one row of width_ source pixels of Components bytes (grey, or
// red, green, blue first) to dstWidth_ pixels (grey, or blue, green, red).
template <int Components>
void RasterImage::scaleRowOf(const std::uint8_t* src) {
    constexpr int kChannels = Components == 1 ? 1 : 3;
    // Where output channel ch lies in a source pixel.
    constexpr int kOffset[3] = {kChannels == 1 ? 0 : 2, 1, 0};
    std::uint8_t* out = rowAccumulator_.get();
    if (width_ == dstWidth_) {
        const std::uint8_t* const end = src + std::size_t(width_) * Components;
        for (; src < end; src += Components, out += kChannels) {
#pragma GCC unroll 3
            for (int ch = 0; ch < kChannels; ++ch)
                out[ch] = src[kOffset[ch]];
        }
        return;
    }
    const Column* column = columns_.get();
    const Column* const columnsEnd = column + dstWidth_;
#if VISTREL_SHRINK_TAPS
    if constexpr (Components != 1) {
        if (tapGroups_ != 0) {
            shrinkByTaps<Components>(src);
            return;
        }
    }
#endif
#if defined(__SSE2__)
    if constexpr (Components != 1) {
        if (shrinkMagic_ != 0) {
            shrinkColourRow<Components>(src);
            return;
        }
    }
#endif
    if (width_ > dstWidth_) {
        // An output pixel is the units of the source pixel that completed
        // the one before, the pixels inside it (dstWidth units each) and the
        // units of the pixel that completes it, width units in all: their
        // sum divided by the width, rounded, so that a flat row keeps its
        // value exactly.
        const std::uint64_t units = std::uint64_t(dstWidth_);
        const std::uint64_t divisor = std::uint64_t(width_), half = divisor / 2;
        const std::uint64_t reciprocal = xReciprocal_;
        std::uint64_t rest[kChannels] = {};
        const std::uint8_t* inside = src;
        for (; column < columnsEnd; ++column, out += kChannels) {
            const std::uint8_t* last = src + std::size_t(column->source) * Components;
            std::uint64_t sum[kChannels] = {};
            for (; inside < last; inside += Components) {
#pragma GCC unroll 3
                for (int ch = 0; ch < kChannels; ++ch)
                    sum[ch] += inside[kOffset[ch]];
            }
            inside = last + Components;
            const std::uint64_t need = column->weight;
#pragma GCC unroll 3
            for (int ch = 0; ch < kChannels; ++ch) {
                const std::uint64_t v = last[kOffset[ch]];
                const std::uint64_t total = rest[ch] + sum[ch] * units + v * need + half;
                out[ch] = std::uint8_t(reciprocal ? (total * reciprocal) >> kReciprocalShift
                                                  : total / divisor);
                rest[ch] = v * (units - need);
            }
        }
        return;
    }
    for (; column < columnsEnd; ++column, out += kChannels) {
        const std::uint8_t* first = src + std::size_t(column->source) * Components;
        const std::uint8_t* next = src + std::size_t(column->next) * Components;
        const std::uint32_t w = column->weight;
#pragma GCC unroll 3
        for (int ch = 0; ch < kChannels; ++ch)
            out[ch] = std::uint8_t((first[kOffset[ch]] * w + next[kOffset[ch]] * (1024 - w)) >> 10);
    }
}

#if defined(__SSE2__)
// The shrinking above with a source pixel's channels in the 16-bit lanes of
// a vector: the sums of its pixels up to and with the one that completes it
// (S) and that pixel (v) pair up, so that one multiply-add gives
// S x dstWidth - v x (units of v it leaves to the next); the units left by
// the pixel before come on top, as do half the width, and the magic number
// divides. A pixel is read as four bytes, the row's last one as its three.
template <int Components>
void RasterImage::shrinkColourRow(const std::uint8_t* src) {
    const auto widen = [](std::uint32_t v) {
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
    };
    const auto pixel = [&](const std::uint8_t* p) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return widen(v);
    };
    const auto lastOfRow = [&](const std::uint8_t* p) {
        return widen(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16);
    };
    const auto units = std::uint32_t(dstWidth_);
    const __m128i half = _mm_set1_epi32(width_ / 2);
    const __m128i magic = _mm_set1_epi32(int(shrinkMagic_));
    const __m128i shift = _mm_cvtsi32_si128(shrinkShift_);
    const std::uint8_t* const lastPixel = src + std::size_t(width_ - 1) * Components;
    const std::uint8_t* inside = src;
    std::uint8_t* out = rowAccumulator_.get();
    __m128i rest = _mm_setzero_si128();
    for (const Column *column = columns_.get(), *end = column + dstWidth_; column < end;
         ++column, out += 3) {
        const std::uint8_t* last = src + std::size_t(column->source) * Components;
        __m128i sum = _mm_setzero_si128();
        for (; inside < last; inside += Components)
            sum = _mm_add_epi16(sum, pixel(inside));
        inside = last + Components;
        const __m128i v = Components == 4 || last < lastPixel ? pixel(last) : lastOfRow(last);
        const __m128i paired = _mm_unpacklo_epi16(_mm_add_epi16(sum, v), v);
        const std::uint32_t left = units - column->weight;
        const __m128i weights = _mm_set1_epi32(int((units & 0xFFFF) | ((0u - left) << 16)));
        const __m128i total =
            _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(paired, weights), rest), half);
        rest = _mm_madd_epi16(paired, _mm_set1_epi32(int(left << 16)));
        const __m128i even = _mm_srl_epi64(_mm_mul_epu32(total, magic), shift);
        const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(total, 32), magic), shift);
        __m128i q = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
        // Blue, green, red: the source's third, second and first channel.
        q = _mm_shuffle_epi32(q, _MM_SHUFFLE(3, 0, 1, 2));
        q = _mm_packs_epi32(q, q);
        q = _mm_packus_epi16(q, q);
        const auto bytes = std::uint32_t(_mm_cvtsi128_si32(q));
        std::memcpy(out, &bytes, 3);
    }
}
#endif

#if VISTREL_SHRINK_TAPS
template <int Components>
void RasterImage::shrinkByTaps(const std::uint8_t* src) {
    const std::int32_t groups = tapGroups_;
    const Division division{shrinkMagic_, shrinkShift_};
    auto run = [&](const std::uint8_t* base, std::int32_t bias, std::int32_t firstPair,
                   std::int32_t pairs, std::uint8_t* out) {
        const std::int32_t* starts = tapStarts_.get() + 2 * std::size_t(firstPair);
        const std::int16_t* weights =
            tapWeights_.get() + std::size_t(firstPair) * std::size_t(groups) * kTapWeightsPerGroup;
        const std::int32_t half = width_ / 2;
        switch (groups) {
            case 1:
                shrinkPairs<Components, 1>(base, starts, bias, weights, pairs, half, division, out);
                break;
            case 2:
                shrinkPairs<Components, 2>(base, starts, bias, weights, pairs, half, division, out);
                break;
            case 3:
                shrinkPairs<Components, 3>(base, starts, bias, weights, pairs, half, division, out);
                break;
            default:
                shrinkPairs<Components, 4>(base, starts, bias, weights, pairs, half, division, out);
                break;
        }
    };
    std::uint8_t* out = rowAccumulator_.get();
    run(src, 0, 0, tapPairsInPlace_, out);
    // The rest from a copy of the row's end with room to read past it, into
    // room to write past them.
    const std::int32_t done = 2 * tapPairsInPlace_;
    const std::int32_t from = tapStarts_[std::size_t(done)];
    const std::size_t tailBytes = std::size_t(width_) * Components - std::size_t(from);
    std::uint8_t* copy = tapTail_.get();
    std::memcpy(copy, src + from, tailBytes);
    std::uint8_t* tailOut = copy + tailBytes + tapReach(groups, Components);
    const std::int32_t rest = dstWidth_ - done;
    run(copy, from, tapPairsInPlace_, (rest + 1) / 2, tailOut);
    std::memcpy(out + 3 * std::size_t(done), tailOut, 3 * std::size_t(rest));
}
#endif

void RasterImage::scaleRow(const std::uint8_t* row) {
    if (components_ == 1)
        scaleRowOf<1>(row);
    else if (components_ == 3)
        scaleRowOf<3>(row);
    else
        scaleRowOf<4>(row);
}

std::ptrdiff_t RasterImage::writeRow(const std::uint8_t* scaledRow) {
    // Never more rows than the DIB has, whatever the scaling steps add up to.
    if (rowsWritten_ >= dstHeight_)
        return rowStep_;
    const std::size_t px = std::size_t(bytesPerPixel_);
    if (pixelStep_ == std::ptrdiff_t(px)) {
        std::memcpy(dibCursor_, scaledRow, std::size_t(dstWidth_) * px);
    } else {
        for (std::int32_t x = 0; x < dstWidth_; ++x)
            std::memcpy(dibCursor_ + x * pixelStep_, scaledRow + std::size_t(x) * px, px);
    }
    if (++rowsWritten_ < dstHeight_)
        dibCursor_ += rowStep_;
    return rowStep_;
}

std::ptrdiff_t RasterImage::writeBlendedRow(std::int32_t weight) {
    if (weight <= 0)
        return writeRow(nextRowAccumulator_.get());
    if (weight >= 1024)
        return writeRow(rowAccumulator_.get());
    // The blend goes into the previous row's buffer, which is not needed
    // after it.
    std::uint8_t* previous = nextRowAccumulator_.get();
    const std::uint8_t* next = rowAccumulator_.get();
    const std::size_t n = std::size_t(dstWidth_) * std::size_t(bytesPerPixel_);
    for (std::size_t i = 0; i < n; ++i) {
        const int p = previous[i];
        previous[i] = std::uint8_t(p + (((int(next[i]) - p) * weight) >> 10));
    }
    return writeRow(previous);
}

void RasterImage::advance(std::int32_t correction) {
    yError_ -= yErrorStep_;
    if (yError_ < 1) {
        yAccumulator_ += correction;
        yError_ += height_;
    }
}

bool RasterImage::putRow(std::uint8_t* row, std::size_t /*byteCount*/) {
    if (!dibBits_ || !row)
        return false;
    convertRow(row);
    scaleRow(row);
    std::uint8_t* fresh = rowAccumulator_.get();
    const std::size_t n = std::size_t(dstWidth_) * std::size_t(bytesPerPixel_);
    if (height_ == dstHeight_) {
        writeRow(fresh);
        return true;
    }
    if (height_ > dstHeight_) {
        // Shrinking: an output row is 1024 units and a source row takes
        // yScale of them, one more where the error term corrects; each row
        // is summed, weighted by the units it takes, into the output row
        // under way, so that the weights of every output row add up to
        // exactly 1024. A row that completes an output row gives it the
        // units it still lacks and the rest to the next.
        std::uint32_t* sums = rowSums_.get();
        std::uint8_t* out = nextRowAccumulator_.get();
        const std::int32_t lacking = yAccumulator_;
        yAccumulator_ -= yScale_;
        advance(-1);
        if (yAccumulator_ > 0) {
            addWeightedRow(sums, fresh, n, lacking - yAccumulator_);
            return true;
        }
        finishWeightedRow(out, sums, fresh, n, lacking, -yAccumulator_);
        writeRow(out);
        yAccumulator_ += 1024;
        return true;
    }
    // Enlarging: each row is written yScale / 1024 times, with a blend of
    // the previous row and this one where an output row falls between.
    if (yAccumulator_ < 0) {
        writeBlendedRow(-yAccumulator_);
        yAccumulator_ += yScale_;
        advance(1);
    }
    yAccumulator_ -= 1024;
    while (yAccumulator_ >= 0) {
        writeRow(fresh);
        if (yAccumulator_ == 0) {
            yAccumulator_ += yScale_;
            advance(1);
            break;
        }
        yAccumulator_ -= 1024;
        if (yAccumulator_ < 0) {
            rowAccumulator_.swap(nextRowAccumulator_);
            return true;
        }
    }
    rowAccumulator_.swap(nextRowAccumulator_);
    return true;
}

// ---------------------------------------------------------------------------
// Drawing

bool RasterImage::Draw(IntPoint origin, OutputDevice& device) {
    IntPoint at = origin + position_;
    if (orientation_ & kRotated) {
        const std::int64_t boxW = std::llabs(edge_[0]) + std::llabs(edge_[2]) + 1;
        const std::int64_t boxH = std::llabs(edge_[1]) + std::llabs(edge_[3]) + 1;
        RasterImage box;
        box.setStencil(stencil_);
        if (dibBits_ && boxW <= kMaxDibSide && boxH <= kMaxDibSide &&
            box.begin(std::int32_t(boxW), std::int32_t(boxH), bytesPerPixel_, 8, 0, nullptr)) {
            drawRotated(origin, device, box);
            return true;
        }
        at = IntPoint(clampCoord(at.x + (boxW - dibWidth_) / 2),
                      clampCoord(at.y + (boxH - dibHeight_) / 2));
    }
    if (!dibBits_)
        return false;
    return device.BlitImage(*this, at);
}

void RasterImage::drawRotated(IntPoint origin, OutputDevice& device, RasterImage& box) {
    const std::int64_t a = edge_[0], b = edge_[1], c = edge_[2], d = edge_[3];
    std::int64_t det = a * d - b * c;
    if (det == 0)
        det = 1;
    const std::int64_t w = std::max(dibWidth_ - 1, 1), h = std::max(dibHeight_ - 1, 1);
    // Source coordinates as fractions u * det, v * det of the unit square,
    // kept with a positive denominator.
    const std::int64_t sign = det < 0 ? -1 : 1;
    det *= sign;
    const std::int64_t uStepX = sign * d * w, uStepY = -sign * c * w;
    const std::int64_t vStepX = -sign * b * h, vStepY = sign * a * h;
    // Blends follow the source axis the walk along a destination row moves
    // fastest on.
    const bool alongRows = std::llabs(uStepX) >= std::llabs(vStepX);
    const int px = bytesPerPixel_;
    const bool blend = rotationMode_ >= 4;
    // A coordinate as q * det + r with 0 <= r < det; stepping it adds the
    // step's q and r, with a carry, so that the walk needs no division.
    struct Fraction {
        std::int64_t q, r;
        void step(const Fraction& by, std::int64_t det) {
            q += by.q;
            r += by.r;
            if (r >= det) {
                r -= det;
                ++q;
            }
        }
    };
    auto split = [det](std::int64_t n) {
        std::int64_t q = n / det;
        if (n % det != 0 && n < 0)
            --q;
        return Fraction{q, n - q * det};
    };
    // r * 1024 / det by a multiplication, corrected to the exact quotient.
    const double perUnit = 1024.0 / double(det);
    auto weightOf = [det, perUnit](std::int64_t r) {
        std::int64_t weight = std::int64_t(double(r) * perUnit);
        while (weight > 0 && weight * det > r * 1024)
            --weight;
        while ((weight + 1) * det <= r * 1024)
            ++weight;
        return std::int32_t(weight);
    };
    const Fraction uStep = split(uStepX), vStep = split(vStepX);
    const std::int64_t x0 = std::int64_t(box.position_.x) + position_.x - origin_.x;
    const std::int64_t y0 = std::int64_t(box.position_.y) + position_.y - origin_.y;
    for (std::int32_t row = 0; row < box.dibHeight_; ++row) {
        std::uint8_t* out = box.dibRow(row);
        const std::int64_t y = y0 + row;
        Fraction u = split(uStepX * x0 + uStepY * y);
        Fraction v = split(vStepX * x0 + vStepY * y);
        for (std::int32_t col = 0; col < box.dibWidth_; ++col, u.step(uStep, det), v.step(vStep, det)) {
            std::int64_t sx = u.q, sy = v.q;
            // Pixels of the parallelogram's far edges map up to one pixel
            // past the source: they take the edge's pixel. Beyond that the
            // source lies outside and nothing is written.
            if (sx < -1 || sy < -1 || sx > dibWidth_ || sy > dibHeight_)
                continue;
            const bool before = alongRows ? sx < 0 : sy < 0;
            sx = std::clamp<std::int64_t>(sx, 0, dibWidth_ - 1);
            sy = std::clamp<std::int64_t>(sy, 0, dibHeight_ - 1);
            const std::uint8_t* p = dibRow(dibHeight_ - 1 - std::int32_t(sy)) + sx * px;
            std::uint8_t* q = out + std::size_t(col) * px;
            const bool border = sx + 1 >= dibWidth_ || sy + 1 >= dibHeight_;
            // Before the first source pixel the blend takes that pixel alone.
            if (!blend || border || before) {
                std::memcpy(q, p, std::size_t(px));
                continue;
            }
            const std::uint8_t* n = alongRows ? p + px : p - dibStride_;
            const std::int32_t weight = weightOf(alongRows ? u.r : v.r);
            for (int ch = 0; ch < px; ++ch)
                q[ch] = std::uint8_t((p[ch] * (1024 - weight) + n[ch] * weight) >> 10);
        }
    }
    std::unique_ptr<Shape> shape = device.NewShape();
    if (!shape)
        return;
    device.SaveClip();
    const IntPoint p = origin + origin_;
    const IntPoint ab(clampCoord(a), clampCoord(b)), cd(clampCoord(c), clampCoord(d));
    shape->MoveTo(p);
    shape->LineTo(p + ab);
    shape->LineTo(p + ab + cd);
    shape->LineTo(p + cd);
    shape->ClosePath();
    device.ClipToShape(*shape, 1);
    box.Draw(origin + position_, device);
    device.RestoreClip();
}

bool RasterImage::copyPixelsFrom(const RasterImage& drawn) {
    if (!dibBits_ || !drawn.dibBits_ || drawn.dibWidth_ != dibWidth_ ||
        drawn.dibHeight_ != dibHeight_ || drawn.bytesPerPixel_ != bytesPerPixel_ ||
        drawn.dibStride_ != dibStride_ || drawn.dstWidth_ != dstWidth_ ||
        drawn.dstHeight_ != dstHeight_ || drawn.orientation_ != orientation_ ||
        drawn.position_ != position_ || drawn.stencil_ != stencil_ ||
        !std::equal(std::begin(edge_), std::end(edge_), std::begin(drawn.edge_)))
        return false;
    std::memcpy(dibBits_, drawn.dibBits_, dibStride_ * std::size_t(dibHeight_));
    rowsWritten_ = drawn.rowsWritten_;
    return true;
}

std::unique_ptr<DrawableBase> RasterImage::clone() const {
    std::unique_ptr<RasterImage> copy(new (std::nothrow) RasterImage);
    if (!copy)
        return nullptr;
    copy->width_ = width_;
    copy->height_ = height_;
    copy->components_ = components_;
    copy->bitsPerComponent_ = bitsPerComponent_;
    copy->inBytesPerRow_ = inBytesPerRow_;
    copy->fileKind_ = fileKind_;
    copy->dibWidth_ = dibWidth_;
    copy->dibHeight_ = dibHeight_;
    copy->yScale_ = yScale_;
    std::copy(std::begin(edge_), std::end(edge_), copy->edge_);
    copy->origin_ = origin_;
    copy->rowsWritten_ = rowsWritten_;
    copy->position_ = position_;
    copy->rotationMode_ = rotationMode_;
    copy->orientation_ = orientation_;
    copy->dstWidth_ = dstWidth_;
    copy->dstHeight_ = dstHeight_;
    copy->pixelStep_ = pixelStep_;
    copy->rowStep_ = rowStep_;
    copy->yAccumulator_ = yAccumulator_;
    copy->yError_ = yError_;
    copy->yErrorStep_ = yErrorStep_;
    copy->stencil_ = stencil_;
    if (dibBits_) {
        if (!copy->createDib() || !copy->planColumns())
            return nullptr;
        const std::size_t n = std::size_t(dstWidth_) * std::size_t(bytesPerPixel_);
        std::memcpy(copy->dibBits_, dibBits_, dibStride_ * std::size_t(dibHeight_));
        std::memcpy(copy->rowAccumulator_.get(), rowAccumulator_.get(), n);
        std::memcpy(copy->nextRowAccumulator_.get(), nextRowAccumulator_.get(), n);
        if (rowSums_)
            std::memcpy(copy->rowSums_.get(), rowSums_.get(), n * sizeof(std::uint32_t));
        copy->dibCursor_ = copy->dibBits_ + (dibCursor_ - dibBits_);
    }
    return copy;
}

// ---------------------------------------------------------------------------
// Picture files

bool RasterImage::loadImageFile(InputStream& stream) {
    auto* seekable = dynamic_cast<Seekable*>(&stream);
    if (!seekable)
        return false;
    const std::uint64_t position = stream.position();
    std::uint8_t head[4] = {};
    const bool started = seekable->seek(0);
    const std::int64_t got = started ? stream.read(head, 4) : 0;
    seekable->seek(position);
    if (!started)
        return false;
    reader_.reset();
    static const std::uint8_t kPngSignature[4] = {0x89, 'P', 'N', 'G'};
    if (got >= 2 && head[0] == 'B' && head[1] == 'M')
        fileKind_ = kBmp;
    else if (got >= 2 && head[0] == 0xFF && head[1] == 0xD8)
        fileKind_ = kJpeg;
    else if (got == 4 && std::memcmp(head, kPngSignature, 4) == 0)
        fileKind_ = kPng;
    else
        fileKind_ = kNumberText;

    if (fileKind_ == kNumberText) {
        auto* text = new (std::nothrow) NumberTextStream(&stream);
        reader_.reset(text);
        if (!text)
            return false;
        std::int32_t values[4];
        for (int i = 0; i < 4; ++i) {
            values[i] = text->readNumber();
            if (values[i] < 0)
                return false;
            text->skipPast(i < 3 ? ',' : '>');
        }
        width_ = values[0];
        height_ = values[1];
        components_ = values[2];
        bitsPerComponent_ = values[3];
        return true;
    }
    ImageStream* picture = nullptr;
    if (fileKind_ == kBmp)
        picture = new BmpReadStream(&stream, nullptr);
    else if (fileKind_ == kJpeg)
        picture = new DctDecodeStream(&stream, nullptr, false);
    else
        picture = new PngReadStream(&stream, nullptr);
    reader_.reset(picture);
    if (!picture || !picture->open())
        return false;
    width_ = picture->width();
    height_ = picture->height();
    components_ = picture->components();
    bitsPerComponent_ = picture->bitsPerComponent();
    return true;
}

bool RasterImage::readImageRows(InputStream& stream, const double* matrix) {
    if (!reader_)
        return false;
    const std::int32_t width = width_, height = height_;
    const std::size_t rowSize =
        begin(width, height, components_, bitsPerComponent_, 0, matrix);
    if (rowSize == 0)
        return false;
    const std::size_t rowBytes = inBytesPerRow_;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow)
                                               std::uint8_t[std::max(rowBytes, rowSize)]);
    if (!buffer)
        return false;
    auto* picture = fileKind_ == kNumberText ? nullptr : static_cast<ImageStream*>(reader_.get());
    for (std::int32_t y = 0; y < height; ++y) {
        if (picture) {
            if (!picture->readRow(buffer.get()))
                return false;
        } else {
            std::size_t got = 0;
            while (got < rowBytes) {
                const std::int64_t n = stream.read(buffer.get() + got, rowBytes - got);
                if (n <= 0)
                    return false;
                got += std::size_t(n);
            }
        }
        if (!putRow(buffer.get(), rowBytes))
            return false;
    }
    return true;
}

bool RasterImage::loadFromStreams(StreamPair& streams) {
    if (!streams.image || !streams.data)
        return false;
    streams.image->open();
    if (!streams.image->isOpen())
        return false;
    streams.data->open();
    if (!streams.data->isOpen()) {
        streams.image->close();
        return false;
    }
    const bool ok = loadImageFile(*streams.image) && readImageRows(*streams.data, nullptr);
    reader_.reset();
    streams.image->close();
    streams.data->close();
    return ok;
}

}  // namespace vistrel
