// RasterImage: placement by the device matrix and the rotation settings, the
// widening and CMYK conversion of rows, the box-filter and blend scaling,
// the quarter-turn and rotated drawing, stencils, and picture files.
#include "engine/render/content/raster_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/render/raster/device_color.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel {
namespace {

using test::Canvas;

// Sets "Quality" settings for one test and parks them (missing again) after.
class QualitySettings {
public:
    ~QualitySettings() {
        for (const WString* key : keys_)
            settingsStore().save(settings::Quality, *key);
    }
    void set(const WString& key, std::int32_t value) {
        settingsStore().set(settings::Quality, key, SettingValue::ofInteger(value));
        keys_.push_back(&key);
    }

private:
    std::vector<const WString*> keys_;
};

// The DIB's bytes, row by row without padding.
std::vector<int> dibBytes(RasterImage& image) {
    std::vector<int> out;
    const int rowBytes = image.dibWidth() * image.bytesPerPixel();
    for (int y = 0; y < image.dibHeight(); ++y) {
        for (int x = 0; x < rowBytes; ++x)
            out.push_back(image.dibRow(y)[x]);
    }
    return out;
}

// An image of the given rows (each row's bytes as handed to putRow), drawn
// upright at dstWidth x dstHeight pixels (at least 2 x 2, since an edge that
// rounds to 0 is not drawn), or at its own size without a matrix.
std::vector<int> scaled(int width, int components, int bits,
                        const std::vector<std::vector<std::uint8_t>>& rows, int dstWidth,
                        int dstHeight) {
    const double m[6] = {double(dstWidth - 1), 0, 0, -double(dstHeight - 1), 0,
                         double(dstHeight - 1)};
    const bool own = dstWidth == width && dstHeight == int(rows.size());
    RasterImage image;
    const std::size_t rowSize =
        image.begin(width, int(rows.size()), components, bits, 0, own ? nullptr : m);
    EXPECT_GT(rowSize, 0u);
    for (const auto& r : rows) {
        std::vector<std::uint8_t> buffer(r);
        buffer.resize(std::max(buffer.size(), rowSize));
        EXPECT_TRUE(image.putRow(buffer.data(), r.size()));
    }
    return dibBytes(image);
}

TEST(RasterImageTest, Placement) {
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        std::vector<double> matrix;  // empty: none
        std::int32_t mode;           // "ImageRotationMode", -1 missing
        std::int32_t sizeLimit;      // "ImageSizeLimit", -1 missing
        int width, height, components, bits;
        std::size_t rowSize;  // 0: refused
        int dibWidth, dibHeight, x, y, orientation, dstWidth, dstHeight;
    } cases[] = {
        {"upright", {200, 0, 0, -100, 10, 20}, -1, -1, 100, 50, 1, 8,
         104, 201, 101, 10, -80, 9, 201, 101},
        {"quarter turn, mode 2", {0, 100, -200, 0, 300, 400}, 2, -1, 100, 50, 3, 8,
         304, 201, 101, 100, 400, 6, 101, 201},
        {"quarter turn, mode 1", {0, 100, -200, 0, 300, 400}, 1, -1, 100, 50, 3, 8,
         304, 201, 101, 100, 400, 9, 201, 101},
        {"quarter turn, mode 0", {0, 100, -200, 0, 300, 400}, 0, -1, 100, 50, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        {"30 degrees, mode 2: centred", {100 * c30, 100 * s30, -50 * s30, 50 * c30, 300, 300},
         2, -1, 10, 10, 1, 8, 16, 101, 50, 281, 322, 9, 101, 50},
        {"30 degrees, mode 3: rotated", {100 * c30, 100 * s30, -50 * s30, 50 * c30, 300, 300},
         3, -1, 10, 10, 1, 8, 16, 101, 50, 275, 300, 31, 101, 50},
        {"30 degrees, mode 3 without size", {100 * c30, 100 * s30, -50 * s30, 50 * c30, 300, 300},
         3, 0, 10, 10, 1, 8, 16, 101, 50, 281, 322, 9, 101, 50},
        {"30 degrees, mode 4, size 1", {100 * c30, 100 * s30, -50 * s30, 50 * c30, 300, 300},
         4, 1, 10, 10, 1, 8, 16, 101, 50, 275, 300, 31, 101, 50},
        {"mirrored", {-20, 0, 0, 10, 40, 5}, -1, -1, 4, 2, 4, 2, 20, 21, 11, 20, 5, 9, 21, 11},
        {"no matrix", {}, -1, -1, 4, 3, 3, 4, 16, 4, 3, 0, 0, 9, 4, 3},
        // A side below a pixel covers one, a side of no extent none.
        {"side below a pixel", {0.2, 0, 0, -100, 10, 20}, -1, -1, 4, 3, 1, 8,
         8, 1, 101, 10, -80, 9, 1, 101},
        {"a point", {0.2, 0, 0, 0.3, 10, 20}, -1, -1, 4, 3, 1, 8, 8, 1, 1, 10, 20, 9, 1, 1},
        {"quarter turn below a pixel", {0, 0.3, -200, 0, 300, 400}, 2, -1, 100, 50, 3, 8,
         304, 201, 1, 100, 400, 6, 1, 201},
        {"30 degrees, mode 3, below a pixel", {100 * c30, 100 * s30, -0.3 * s30, 0.3 * c30, 300, 300},
         3, -1, 10, 10, 1, 8, 16, 101, 1, 300, 300, 27, 101, 1},
        {"no extent", {0, 0, 0, -100, 10, 20}, -1, -1, 4, 3, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        // Far beyond any page, or a DIB beyond its caps.
        {"huge", {1e12, 0, 0, -1e12, -1e12, 1e12}, -1, -1, 4, 3, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        {"wide", {40000, 0, 0, -10, 0, 0}, -1, -1, 4, 3, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        {"too many bytes", {20000, 0, 0, -20000, 0, 0}, -1, -1, 4, 3, 3, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        {"not a number", {nan, 0, 0, nan, nan, 0}, -1, -1, 4, 3, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        // Sources the rows cannot be made of.
        {"no width", {10, 0, 0, -10, 0, 0}, -1, -1, 0, 3, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        {"two components", {10, 0, 0, -10, 0, 0}, -1, -1, 4, 3, 2, 8, 0, 0, 0, 0, 0, 0, 0, 0},
        {"16 bits", {10, 0, 0, -10, 0, 0}, -1, -1, 4, 3, 1, 16, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        QualitySettings settings;
        if (c.mode >= 0)
            settings.set(settings::ImageRotationMode, c.mode);
        if (c.sizeLimit >= 0)
            settings.set(settings::ImageSizeLimit, c.sizeLimit);
        RasterImage image;
        const std::size_t got = image.begin(c.width, c.height, c.components, c.bits, 0,
                                            c.matrix.empty() ? nullptr : c.matrix.data());
        EXPECT_EQ(got, c.rowSize) << c.what;
        EXPECT_EQ(image.isReady(), c.rowSize != 0) << c.what;
        if (got == 0)
            continue;
        EXPECT_EQ(image.dibWidth(), c.dibWidth) << c.what;
        EXPECT_EQ(image.dibHeight(), c.dibHeight) << c.what;
        EXPECT_EQ(image.position(), IntPoint(c.x, c.y)) << c.what;
        EXPECT_EQ(image.orientation(), c.orientation) << c.what;
        EXPECT_EQ(image.dstWidth(), c.dstWidth) << c.what;
        EXPECT_EQ(image.dstHeight(), c.dstHeight) << c.what;
        EXPECT_EQ(image.bytesPerPixel(), c.components == 1 ? 1 : 3) << c.what;
        EXPECT_EQ(image.dibStride() % 4, 0u) << c.what;
    }
}

// Samples widen to v * 255 / (2^bits - 1); CMYK becomes RGB (written blue,
// green, red) by the model "FullColorImageConversion" names.
TEST(RasterImageTest, WideningAndCmyk) {
    const struct {
        int components, bits;
        std::int32_t model;  // -1: missing
        std::vector<std::uint8_t> row;
        std::vector<int> dib;
    } cases[] = {
        {1, 2, -1, {0x9B}, {170, 85, 170, 255}},  // samples 2, 1, 2, 3
        {1, 1, -1, {0xA0}, {255, 0, 255, 0}},
        {1, 4, -1, {0x1F, 0x80}, {17, 255, 136, 0}},
        {3, 8, -1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
        {4, 8, -1, {0, 0, 0, 0, 255, 255, 255, 255, 10, 20, 30, 40, 0, 0, 0, 0},
         {255, 255, 255, 0, 0, 0, 185, 195, 205, 255, 255, 255}},
        {4, 8, 1, {0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0},
         {255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255, 255}},
        {4, 8, 2, {0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0},
         {255, 255, 255, 3, 6, 10, 255, 255, 255, 255, 255, 255}},
        // Two bits per ink: 3 is full ink.
        {4, 2, -1, {0x00, 0xFF, 0x03, 0x00}, {255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 255}},
    };
    for (const auto& c : cases) {
        QualitySettings settings;
        if (c.model >= 0)
            settings.set(settings::FullColorImageConversion, c.model);
        EXPECT_EQ(scaled(4, c.components, c.bits, {c.row}, 4, 1), c.dib)
            << c.components << " x " << c.bits << " bits, model " << c.model;
    }
}

// One-bit rows widen byte by byte: whole bytes, a rest after them and a rest
// alone give each sample's bit, first sample in the top bit.
TEST(RasterImageTest, OneBitRowsOfAnyWidth) {
    const std::vector<std::uint8_t> row = {0xA5, 0x3C, 0xF0};
    for (int width : {3, 8, 11, 16, 21}) {
        std::vector<int> expected;
        expected.reserve(std::size_t(width));
        for (int i = 0; i < width; ++i)
            expected.push_back((row[std::size_t(i / 8)] >> (7 - i % 8)) & 1 ? 255 : 0);
        EXPECT_EQ(scaled(width, 1, 1, {row}, width, 1), expected) << width << " samples";
    }
}

// The ink models over a grid of CMYK pixels give the bytes of their
// formulas, computed here with plain powers (the conversion avoids them).
TEST(RasterImageTest, InkModelsFollowTheirFormulas) {
    auto roundByte = [](double v) { return int(std::trunc(v + 0.5)); };
    auto clamp01 = [](double v) { return v < 0 ? 0.0 : v > 1 ? 1.0 : v; };
    const int levels[] = {0, 1, 19, 64, 101, 128, 170, 222, 254, 255};
    std::vector<std::uint8_t> row;
    for (int c : levels)
        for (int m : levels)
            for (int y : levels)
                for (int k : levels)
                    row.insert(row.end(), {std::uint8_t(c), std::uint8_t(m), std::uint8_t(y),
                                           std::uint8_t(k)});
    const int count = int(row.size() / 4);
    for (int model : {1, 2}) {
        QualitySettings settings;
        settings.set(settings::FullColorImageConversion, model);
        const std::vector<int> dib = scaled(count, 4, 8, {row}, count, 1);
        ASSERT_EQ(int(dib.size()), 3 * count);
        for (int i = 0; i < count; ++i) {
            const std::uint8_t* p = row.data() + 4 * i;
            const double k = p[3] / 255.0;
            const double c = p[0] * (1 - k) / 255 + k, m = p[1] * (1 - k) / 255 + k,
                         y = p[2] * (1 - k) / 255 + k;
            int rgb[3];
            if (model == 1) {
                rgb[0] = 255 - roundByte(255 * clamp01(1.09 * c + 0.14 * m + 0.16 * y));
                rgb[1] = 255 - roundByte(255 * clamp01(0.49 * c + 0.87 * m + 0.21 * y));
                rgb[2] = 255 - roundByte(255 * clamp01(0.25 * c + 0.65 * m + 0.76 * y));
            } else {
                double lin[3];
                xyzToRgb(std::pow(2.0, -5.38 * c - 0.48 * m - 0.98 * y),
                         std::pow(2.0, -3.71 * c - 2.94 * m - 0.58 * y),
                         std::pow(2.0, -0.7 * c - 3.29 * m - 4.5 * y), lin[0], lin[1], lin[2]);
                for (int ch = 0; ch < 3; ++ch)
                    rgb[ch] = roundByte(255 * videoTransfer(lin[ch]));
            }
            // The DIB holds blue, green, red.
            ASSERT_EQ((std::vector<int>{dib[3 * i + 2], dib[3 * i + 1], dib[3 * i]}),
                      (std::vector<int>{rgb[0], rgb[1], rgb[2]}))
                << "model " << model << ", CMYK " << int(p[0]) << " " << int(p[1]) << " "
                << int(p[2]) << " " << int(p[3]);
        }
    }
}

// Shrinking sums source pixels (rows) in a box of dstWidth units per source
// pixel and rounds once; enlarging repeats them and blends where an output
// pixel falls between two.
TEST(RasterImageTest, Scaling) {
    using Rows = std::vector<std::vector<std::uint8_t>>;
    const struct {
        const char* what;
        int width;
        Rows rows;
        int dstWidth, dstHeight;
        std::vector<int> dib;
    } cases[] = {
        {"4 to 2", 4, {{0, 100, 200, 255}, {0, 100, 200, 255}}, 2, 2, {50, 228, 50, 228}},
        {"3 to 2", 3, {{30, 90, 150}, {30, 90, 150}}, 2, 2, {50, 130, 50, 130}},
        {"2 to 3", 2, {{0, 200}, {0, 200}}, 3, 2, {0, 100, 200, 0, 100, 200}},
        // The first row takes one unit of the error term's correction, so
        // the second gives one unit to the second output row.
        {"rows 4 to 2", 2, {{0, 0}, {100, 100}, {200, 200}, {255, 255}}, 2, 2, {50, 50, 227, 227}},
        {"rows 2 to 3", 2, {{0, 0}, {200, 200}}, 2, 3, {0, 0, 100, 100, 200, 200}},
        {"rows 3 to 2", 2, {{30, 30}, {90, 90}, {150, 150}}, 2, 2, {50, 50, 130, 130}},
        {"rows 3 to 4", 2, {{0, 0}, {100, 100}, {200, 200}}, 2, 4,
         {0, 0, 66, 66, 133, 133, 200, 200}},
        {"both ways", 4, {{0, 100, 200, 255}, {100, 100, 100, 100}, {0, 0, 0, 0}, {200, 200, 200, 200}},
         2, 2, {75, 164, 100, 100}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scaled(c.width, 1, 8, c.rows, c.dstWidth, c.dstHeight), c.dib) << c.what;
}

// The scaling written plainly, pixel by pixel, kept to check that the
// columns planned once per image and the rows worked on 16 bytes at a time
// give the same bytes. Shrinking takes each output pixel as the source
// pixels it overlaps, weighted by the overlap (columns in units where a
// source pixel is dstWidth and an output pixel width long; rows where an
// output row is 1024 units and a source row yScale, one more where the error
// term corrects), divided and rounded once. Rows go in converted (8 bits,
// red, green, blue first); dib() gives the rows written, top first.
class PlainScaling {
public:
    PlainScaling(int width, int height, int components, int dstWidth, int dstHeight)
        : width_(width),
          height_(height),
          components_(components),
          channels_(components == 1 ? 1 : 3),
          dstWidth_(dstWidth),
          dstHeight_(dstHeight),
          n_(std::size_t(dstWidth) * std::size_t(channels_)),
          row_(n_),
          next_(n_),
          sums_(n_ * std::size_t(dstHeight)) {
        yScale_ = std::int32_t(std::int64_t(dstHeight) * 1024 / height);
        yAccumulator_ = yScale_;
        yErrorStep_ = std::int32_t(std::int64_t(dstHeight) * 1024 - std::int64_t(yScale_) * height);
        dib_.resize(n_ * std::size_t(dstHeight));
    }

    std::vector<int> dib() const {
        if (height_ <= dstHeight_)
            return dib_;
        std::vector<int> out(sums_.size());
        for (std::size_t i = 0; i < sums_.size(); ++i)
            out[i] = int((sums_[i] + 512) >> 10);
        return out;
    }

    void putRow(const std::uint8_t* row) {
        if (channels_ == 1)
            scaleRow<1>(row, row_.data());
        else
            scaleRow<3>(row, row_.data());
        std::uint8_t* fresh = row_.data();
        if (height_ == dstHeight_) {
            writeRow(fresh);
            return;
        }
        if (height_ > dstHeight_) {
            const std::int64_t from = position_;
            position_ += yScale_;
            yError_ -= yErrorStep_;
            if (yError_ < 1) {
                ++position_;
                yError_ += height_;
            }
            for (std::int64_t j = from / 1024; j * 1024 < position_ && j < dstHeight_; ++j) {
                const std::int64_t overlap =
                    std::min(position_, (j + 1) * 1024) - std::max(from, j * 1024);
                for (std::size_t i = 0; i < n_; ++i)
                    sums_[std::size_t(j) * n_ + i] +=
                        std::uint64_t(fresh[i]) * std::uint64_t(overlap);
            }
            return;
        }
        if (yAccumulator_ < 0) {
            const std::int32_t weight = -yAccumulator_;
            if (weight >= 1024) {
                writeRow(row_.data());
            } else {
                for (std::size_t i = 0; i < n_; ++i)
                    next_[i] = std::uint8_t(next_[i] + (((int(row_[i]) - next_[i]) * weight) >> 10));
                writeRow(next_.data());
            }
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
            if (yAccumulator_ < 0)
                break;
        }
        row_.swap(next_);
    }

private:
    template <int Channels>
    void scaleRow(const std::uint8_t* src, std::uint8_t* out) const {
        constexpr int kOffset[3] = {Channels == 1 ? 0 : 2, 1, 0};
        const int width = width_, dstWidth = dstWidth_, sourceBytes = components_;
        const std::uint8_t* end = src + std::size_t(width) * std::size_t(sourceBytes);
        std::uint8_t* const outEnd = out + std::size_t(dstWidth) * Channels;
        if (width == dstWidth) {
            for (; src < end; src += sourceBytes, out += Channels) {
                for (int ch = 0; ch < Channels; ++ch)
                    out[ch] = src[kOffset[ch]];
            }
            return;
        }
        if (width > dstWidth) {
            for (std::int64_t x = 0; x < dstWidth; ++x, out += Channels) {
                const std::int64_t lo = x * width, hi = lo + width;
                for (int ch = 0; ch < Channels; ++ch) {
                    std::uint64_t total = 0;
                    for (std::int64_t k = lo / dstWidth; k * dstWidth < hi; ++k) {
                        const std::int64_t overlap =
                            std::min(hi, (k + 1) * dstWidth) - std::max(lo, k * dstWidth);
                        total += std::uint64_t(src[k * sourceBytes + kOffset[ch]]) *
                                 std::uint64_t(overlap);
                    }
                    out[ch] =
                        std::uint8_t((total + std::uint64_t(width) / 2) / std::uint64_t(width));
                }
            }
            return;
        }
        const std::uint8_t* last = end - sourceBytes;
        std::int64_t supply = dstWidth;
        for (; out < outEnd; out += Channels) {
            if (supply >= width) {
                for (int ch = 0; ch < Channels; ++ch)
                    out[ch] = src[kOffset[ch]];
                supply -= width;
                if (supply == 0) {
                    if (src < last)
                        src += sourceBytes;
                    supply = dstWidth;
                }
            } else {
                const std::uint32_t w = std::uint32_t(supply * 1024 / width);
                const std::uint8_t* next = src < last ? src + sourceBytes : src;
                for (int ch = 0; ch < Channels; ++ch) {
                    const std::uint32_t v =
                        (src[kOffset[ch]] * w + next[kOffset[ch]] * (1024 - w)) >> 10;
                    out[ch] = std::uint8_t(v > 255 ? 255 : v);
                }
                src = next;
                supply = dstWidth - (width - supply);
            }
        }
    }

    void writeRow(const std::uint8_t* row) {
        if (rows_ >= dstHeight_)
            return;
        std::copy(row, row + n_, dib_.begin() + std::ptrdiff_t(n_) * rows_);
        ++rows_;
    }

    void advance(std::int32_t correction) {
        yError_ -= yErrorStep_;
        if (yError_ < 1) {
            yAccumulator_ += correction;
            yError_ += height_;
        }
    }

    int width_, height_, components_, channels_, dstWidth_, dstHeight_;
    std::size_t n_;
    std::vector<std::uint8_t> row_, next_;
    std::vector<std::uint64_t> sums_;
    std::vector<int> dib_;
    std::int32_t yScale_, yAccumulator_, yErrorStep_;
    std::int32_t yError_ = 0;
    std::int64_t position_ = 0;
    int rows_ = 0;
};

// Every width from 1 to 40 to every width from 2 to 40 and the same for the
// heights, a photograph's sizes and scales at and beyond 1024 to 1, in grey,
// RGB and CMYK, of random samples and of white (the largest sums), give the
// bytes of the plain scaling.
TEST(RasterImageTest, ScalingGivesTheBytesOfPlainLoops) {
    struct Size {
        int width, height, dstWidth, dstHeight;
    };
    std::vector<Size> sizes;
    for (int from = 1; from <= 40; ++from) {
        for (int to = 2; to <= 40; ++to) {
            sizes.push_back({from, 2, to, 2});
            sizes.push_back({2, from, 2, to});
        }
    }
    sizes.insert(sizes.end(), {{1600, 30, 612, 12},
                               {1600, 30, 1275, 24},
                               {16, 2100, 7, 792},
                               {200, 150, 1224, 918},
                               {1025, 2, 1024, 2},
                               {2048, 2, 2, 2},
                               {3000, 3, 2, 2},
                               {5, 1024, 3, 1023},
                               {5, 3000, 3, 2},
                               // Colour rows shrunk by taps: an odd output
                               // width, 5 to 8, 9 to 12 and 13 to 16 source
                               // pixels an output pixel, the widest output.
                               {1601, 3, 611, 2},
                               {2401, 2, 612, 2},
                               {4283, 2, 612, 2},
                               {6403, 2, 611, 2},
                               {8977, 2, 613, 2},
                               {65535, 2, 32767, 2},
                               // Colour sums of 128 and 129 pixels, the
                               // widest output of 16-bit weights and one
                               // beyond.
                               {12800, 2, 100, 2},
                               {25800, 2, 200, 2},
                               {40000, 2, 32767, 2},
                               {40000, 2, 32768, 2},
                               // The widest row whose sums divide by a
                               // multiplication.
                               {(1 << 23) - 1, 2, 3, 2}});
    std::mt19937 random(50);
    for (const Size& size : sizes) {
        for (int components : {1, 3, 4}) {
            // The widest row is random grey alone, to keep the time short.
            const bool wide = size.width > 1000000;
            for (bool white : {false, true}) {
                if (wide && (components != 1 || white))
                    continue;
                RasterImage image;
                const double m[6] = {double(size.dstWidth - 1), 0, 0, -double(size.dstHeight - 1),
                                     0, double(size.dstHeight - 1)};
                const std::size_t rowSize =
                    image.begin(size.width, size.height, components, 8, 0, m);
                ASSERT_GT(rowSize, 0u);
                PlainScaling plain(size.width, size.height, components, size.dstWidth,
                                   size.dstHeight);
                std::vector<std::uint8_t> row(rowSize), converted(rowSize);
                for (int y = 0; y < size.height; ++y) {
                    for (int i = 0; i < size.width * components; ++i)
                        row[std::size_t(i)] = white ? (components == 4 ? 0 : 255) : std::uint8_t(random());
                    // CMYK goes in as 255 - k - ink, at least 0.
                    converted = row;
                    for (int x = 0; components == 4 && x < size.width; ++x) {
                        std::uint8_t* p = converted.data() + 4 * x;
                        for (int ch = 0; ch < 3; ++ch)
                            p[ch] = std::uint8_t(std::max(0, 255 - p[3] - p[ch]));
                    }
                    plain.putRow(converted.data());
                    ASSERT_TRUE(image.putRow(row.data(), rowSize));
                }
                ASSERT_EQ(dibBytes(image), plain.dib())
                    << size.width << " x " << size.height << " to " << size.dstWidth << " x "
                    << size.dstHeight << ", " << components << " components"
                    << (white ? ", white" : "");
            }
        }
    }
}

// A flat image keeps its value exactly at every reduction, across and down,
// in grey and colour, however the output pixels' weights fall; also a row
// too wide for the multiplication's division.
TEST(RasterImageTest, ShrinkingKeepsFlatValues) {
    const struct {
        int width, height, dstWidth, dstHeight, components;
    } cases[] = {
        {480, 360, 320, 240, 1},  // 1.5
        {480, 360, 240, 180, 3},  // 2
        {480, 360, 192, 144, 1},  // 2.5
        {480, 360, 100, 50, 3},   // 4.8 and 7.2, as a figure drawn small
        {480, 360, 96, 72, 1},    // 5
        {480, 360, 48, 36, 3},    // 10
        {7, 30, 3, 11, 3},        // 2.33 and 2.73
        {1000, 10, 143, 10, 1},   // 7 across only
        {10, 1000, 10, 143, 3},   // 7 down only
        {(1 << 23) + 9, 2, 5, 2, 1},
    };
    for (const auto& c : cases) {
        for (int value : {0, 1, 100, 128, 201, 254, 255}) {
            RasterImage image;
            const double m[6] = {double(c.dstWidth - 1),   0, 0,
                                 -double(c.dstHeight - 1), 0, double(c.dstHeight - 1)};
            const std::size_t rowSize = image.begin(c.width, c.height, c.components, 8, 0, m);
            ASSERT_GT(rowSize, 0u);
            std::vector<std::uint8_t> row(rowSize);
            for (int y = 0; y < c.height; ++y) {
                std::fill(row.begin(), row.end(), std::uint8_t(value));
                ASSERT_TRUE(image.putRow(row.data(), rowSize));
            }
            const std::vector<int> dib = dibBytes(image);
            ASSERT_EQ(dib.size(), std::size_t(c.dstWidth) * std::size_t(c.dstHeight) *
                                      std::size_t(c.components));
            EXPECT_EQ(std::count(dib.begin(), dib.end(), value), std::ptrdiff_t(dib.size()))
                << c.width << " x " << c.height << " to " << c.dstWidth << " x " << c.dstHeight
                << ", " << c.components << " components, value " << value;
        }
    }
}

// A quarter turn writes the source rows along the device's y axis, in the
// direction the edges give.
TEST(RasterImageTest, QuarterTurns) {
    const struct {
        std::vector<double> matrix;
        std::vector<int> dib;
    } cases[] = {
        {{0, 1, -1, 0, 1, 0}, {1, 3, 2, 4}},
        {{0, -1, 1, 0, 0, 1}, {4, 2, 3, 1}},
    };
    for (const auto& c : cases) {
        RasterImage image;
        ASSERT_GT(image.begin(2, 2, 1, 8, 0, c.matrix.data()), 0u);
        EXPECT_EQ(image.orientation(), RasterImage::kQuarterTurn);
        std::uint8_t top[4] = {1, 2}, bottom[4] = {3, 4};
        image.putRow(top, 2);
        image.putRow(bottom, 2);
        EXPECT_EQ(dibBytes(image), c.dib);
    }
}

class RasterDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.set(settings::GDCClipMode, 1);
        settings.set(settings::GDCOptimMode, 1);
    }
    QualitySettings settings;
};

// A rotated image is rasterised into its bounding box and clipped to its
// parallelogram; an upright one is blitted at its corner.
TEST_F(RasterDrawTest, UprightAndRotated) {
    for (int mode : {2, 3, 4}) {
        QualitySettings local;
        local.set(settings::ImageRotationMode, mode);
        Canvas canvas(40, 40);
        GdiDevice device(canvas.dc, IntPoint(40, 40));
        // A red 2 x 2 image turned by 45 degrees around (20, 5).
        const double m[6] = {14, 14, -14, 14, 20, 5};
        RasterImage image;
        ASSERT_GT(image.begin(2, 2, 3, 8, 0, m), 0u);
        std::uint8_t row[8] = {255, 0, 0, 255, 0, 0};
        image.putRow(row, 6);
        std::uint8_t row2[8] = {255, 0, 0, 255, 0, 0};
        image.putRow(row2, 6);
        EXPECT_TRUE(image.Draw(IntPoint(0, 0), device));
        // The centre is red in every mode; the box's corner only when the
        // image is drawn upright in the box.
        EXPECT_EQ(canvas.pixel(20, 19), 0x0000FFu) << mode;
        EXPECT_EQ(canvas.pixel(11, 10) == 0x0000FFu, mode == 2) << mode;
        EXPECT_EQ(canvas.pixel(6, 6), 0xFFFFFFu) << mode;
    }
    Canvas canvas(12, 8);
    GdiDevice device(canvas.dc, IntPoint(12, 8));
    const double m[6] = {2, 0, 0, -1, 3, 4};
    RasterImage image;
    ASSERT_GT(image.begin(3, 2, 1, 8, 0, m), 0u);
    std::uint8_t a[4] = {0, 0, 0}, b[4] = {0, 0, 0};
    image.putRow(a, 3);
    image.putRow(b, 3);
    EXPECT_TRUE(image.Draw(IntPoint(1, 1), device));
    EXPECT_EQ(canvas.picture(),
              "............\n"
              "............\n"
              "............\n"
              "............\n"
              "....###.....\n"
              "....###.....\n"
              "............\n"
              "............\n");
    RasterImage empty;
    EXPECT_FALSE(empty.Draw(IntPoint(0, 0), device));
}

// A rule drawn as a 1 x 1 image (a stencil or not) covers the device rows
// (or columns) from where its top edge rounds to where its bottom edge
// does: one that rounds to a single row covers that row, one of no extent
// nothing.
TEST_F(RasterDrawTest, ThinImagesCoverAPixel) {
    const struct {
        double from, to;  // the exact edges across the rule, device pixels
        int first, last;  // the rows (columns) covered; last < first: none
    } cases[] = {
        {3.0, 3.1, 3, 3},    // 0.1
        {3.45, 3.55, 3, 4},  // 0.1 across a pixel's edge
        {3.6, 3.9, 4, 4},    // 0.3
        {3.5, 4.0, 4, 4},    // 0.5, halves rounding up
        {3.2, 3.7, 3, 4},    // 0.5 across a pixel's edge
        {2.55, 3.45, 3, 3},  // 0.9
        {3.0, 4.0, 3, 4},    // 1
        {2.6, 4.1, 3, 4},    // 1.5
        {2.2, 3.7, 2, 4},    // 1.5
        {3.0, 3.0, 0, -1},   // nothing
    };
    for (const auto& c : cases) {
        for (bool across : {true, false}) {
            for (bool stencil : {true, false}) {
                Canvas canvas(10, 10);
                GdiDevice device(canvas.dc, IntPoint(10, 10));
                DeviceColor green(0x00FF00);
                device.SetFillColor(green);
                // Across: a rule along the rows from column 1 to 7; else one
                // down the columns from row 1 to 7.
                const double extent = c.to - c.from;
                const double m[6] = {
                    across ? 6 : extent, 0, 0, across ? -extent : -6, across ? 1 : c.from,
                    across ? c.to : 7};
                RasterImage image;
                image.setStencil(stencil);
                const bool drawn = image.begin(1, 1, stencil ? 1 : 3, stencil ? 1 : 8, 0, m) > 0;
                EXPECT_EQ(drawn, c.last >= c.first) << c.from << " to " << c.to;
                if (drawn) {
                    std::uint8_t row[4] = {0, 0, 0, 0};
                    if (!stencil)
                        row[0] = 255;  // red
                    ASSERT_TRUE(image.putRow(row, stencil ? 1 : 3));
                    EXPECT_TRUE(image.Draw(IntPoint(0, 0), device));
                }
                const std::uint32_t ink = stencil ? 0x00FF00u : 0x0000FFu;
                int first = 10, last = -1, inked = 0;
                for (int y = 0; y < 10; ++y) {
                    for (int x = 0; x < 10; ++x) {
                        if (canvas.pixel(x, y) != ink)
                            continue;
                        const int at = across ? y : x;
                        first = std::min(first, at);
                        last = std::max(last, at);
                        ++inked;
                    }
                }
                const std::string what = std::to_string(c.from) + " to " + std::to_string(c.to) +
                                         (across ? " across" : " down") +
                                         (stencil ? ", stencil" : ", colour");
                if (c.last < c.first) {
                    EXPECT_EQ(inked, 0) << what;
                    continue;
                }
                EXPECT_EQ(first, c.first) << what;
                EXPECT_EQ(last, c.last) << what;
                EXPECT_EQ(inked, 7 * (c.last - c.first + 1)) << what;
            }
        }
    }
}

// A stencil paints the fill colour where its samples are 0 and leaves the
// page elsewhere, also where no row reached; its copy is a copy.
TEST_F(RasterDrawTest, StencilsAndCopies) {
    Canvas canvas(6, 4);
    GdiDevice device(canvas.dc, IntPoint(6, 4));
    DeviceColor green(0x00FF00);
    device.SetFillColor(green);
    const double m[6] = {3, 0, 0, -2, 1, 3};
    RasterImage image;
    image.setStencil(true);
    ASSERT_GT(image.begin(4, 3, 1, 1, 0, m), 0u);
    std::uint8_t row[4] = {0x60};  // 0110: ink at the ends
    image.putRow(row, 1);
    std::unique_ptr<DrawableBase> copy(image.clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(image.Draw(IntPoint(0, 0), device));
    EXPECT_EQ(canvas.picture(),
              "......\n"
              ".g..g.\n"
              "......\n"
              "......\n");
    // The copy has its own pixels: drawing the first changed nothing of it.
    auto* copied = dynamic_cast<RasterImage*>(copy.get());
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied->dibSection(), image.dibSection());
    EXPECT_EQ(dibBytes(*copied), dibBytes(image));
    EXPECT_TRUE(copied->stencil());
}

// The first bytes choose the reader; a number-text picture gives its
// geometry and its rows come from the data stream.
TEST(RasterImageTest, PictureFiles) {
    const struct {
        std::string bytes;
        std::int32_t kind;
        bool loaded;
    } cases[] = {
        {"BM not a bitmap at all", RasterImage::kBmp, false},
        {"\xFF\xD8 not a JPEG", RasterImage::kJpeg, false},
        {"\x89PNG but nothing else", RasterImage::kPng, false},
        {"640,480,3,8>", RasterImage::kNumberText, true},
        {"640, 480,3,8>", RasterImage::kNumberText, false},
        {"640,480,3>", RasterImage::kNumberText, false},
        {"", RasterImage::kNumberText, false},
    };
    for (const auto& c : cases) {
        MemoryInputStream stream(c.bytes.data(), c.bytes.size());
        RasterImage image;
        EXPECT_EQ(image.loadImageFile(stream), c.loaded) << c.bytes;
        EXPECT_EQ(image.fileKind(), c.kind) << c.bytes;
    }
    MemoryInputStream header("640,480,3,8>", 12);
    RasterImage image;
    ASSERT_TRUE(image.loadImageFile(header));
    EXPECT_EQ(image.width(), 640);
    EXPECT_EQ(image.height(), 480);
    EXPECT_EQ(image.components(), 3);
    EXPECT_EQ(image.bitsPerComponent(), 8);

    const std::string text = "3,2,1,8>", pixels = std::string("\x00\x80\xFF\x10\x20\x30", 6);
    MemoryInputStream picture(text.data(), text.size()), data(pixels.data(), pixels.size());
    StreamPair pair{&picture, &data};
    RasterImage loaded;
    ASSERT_TRUE(loaded.loadFromStreams(pair));
    EXPECT_EQ(dibBytes(loaded), (std::vector<int>{0, 128, 255, 16, 32, 48}));
    MemoryInputStream shortData(pixels.data(), 4);
    StreamPair cut{&picture, &shortData};
    EXPECT_FALSE(RasterImage().loadFromStreams(cut));

    // A bitmap's rows come as the file stores them (the bottom row first),
    // which is how the reference holds them.
    const std::string bmp = testing::readFile(testing::sourcePath("tests/fixtures/images/bmp24.bmp"));
    const std::string ppm =
        testing::readFile(testing::sourcePath("tests/fixtures/images/bmp24.rgb.ppm"));
    MemoryInputStream file(bmp.data(), bmp.size());
    RasterImage fromFile;
    ASSERT_TRUE(fromFile.loadImageFile(file));
    EXPECT_EQ(fromFile.fileKind(), RasterImage::kBmp);
    ASSERT_TRUE(fromFile.readImageRows(file, nullptr));
    ASSERT_EQ(fromFile.dibWidth(), 13);
    ASSERT_EQ(fromFile.dibHeight(), 7);
    const std::size_t body = ppm.size() - 13 * 7 * 3;
    for (int y = 0; y < 7; ++y) {
        const auto* expected =
            reinterpret_cast<const std::uint8_t*>(ppm.data()) + body + y * 13 * 3;
        const std::uint8_t* got = fromFile.dibRow(y);
        for (int x = 0; x < 13; ++x) {
            EXPECT_EQ(got[x * 3], expected[x * 3 + 2]) << x << ", " << y;
            EXPECT_EQ(got[x * 3 + 2], expected[x * 3]) << x << ", " << y;
        }
    }
}

}  // namespace
}  // namespace vistrel
