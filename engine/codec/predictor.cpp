#include "engine/codec/predictor.h"

#include <cstdlib>
#include <new>
#include <string_view>

#include "engine/codec/filter_stream.h"

namespace vistrel {

namespace {

constexpr int kMaxColors = 32;

// The /DecodeParms keys a predictor reads.
constexpr std::u16string_view kPredictorKey = u"/Predictor";
constexpr std::u16string_view kColorsKey = u"/Colors";
constexpr std::u16string_view kBitsKey = u"/BitsPerComponent";
constexpr std::u16string_view kColumnsKey = u"/Columns";

// The PNG filter types a row's first byte names.
enum : std::uint8_t { kPngNone = 0, kPngSub = 1, kPngUp = 2, kPngAverage = 3, kPngPaeth = 4 };

std::uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

}  // namespace

std::unique_ptr<Predictor> Predictor::fromParameters(const FilterParams* params) {
    if (params == nullptr)
        return nullptr;
    const int predictor = params->get(kPredictorKey, 1);
    if (predictor != 2 && (predictor < 10 || predictor > 15))
        return nullptr;
    return std::unique_ptr<Predictor>(
        new (std::nothrow) Predictor(predictor, params->get(kColorsKey, 1),
                                     params->get(kBitsKey, 8), params->get(kColumnsKey, 1)));
}

Predictor::Predictor(int predictor, int colors, int bitsPerComponent, int columns)
    : png_(predictor >= 10), colors_(colors), bits_(bitsPerComponent) {
    const bool sizeKnown = bits_ == 1 || bits_ == 2 || bits_ == 4 || bits_ == 8 || bits_ == 16;
    if (!sizeKnown || colors < 1 || colors > kMaxColors || columns < 1) {
        ended_ = true;
        return;
    }
    // At most 2^31 columns of 32 colours of 16 bits: no overflow in 64 bits.
    const std::uint64_t samples = std::uint64_t(columns) * std::uint64_t(colors);
    const std::uint64_t bytes = (samples * std::uint64_t(bits_) + 7) / 8;
    if (bytes > kMaxRowBytes) {
        ended_ = true;
        return;
    }
    samples_ = std::size_t(samples);
    rowBytes_ = std::size_t(bytes);
    pixelBytes_ = std::max<std::size_t>(1, (std::size_t(colors) * std::size_t(bits_) + 7) / 8);
}

bool Predictor::allocate() {
    if (raw_)
        return true;
    if (ended_)
        return false;
    const std::size_t size = rowBytes_ + 1;
    raw_.reset(new (std::nothrow) std::uint8_t[size]());
    above_.reset(new (std::nothrow) std::uint8_t[size]());
    if (!raw_ || !above_) {
        raw_.reset();
        above_.reset();
        ended_ = true;
        return false;
    }
    return true;
}

bool Predictor::predictRow(std::size_t got) {
    index_ = available_ = 0;
    if (!png_) {
        undoTiff(raw_.get(), got);
        row_ = raw_.get();
        available_ = got;
        return got > 0;
    }
    if (got == 0)
        return false;
    const std::uint8_t filter = raw_[0];
    if (filter > kPngPaeth) {
        // No filter of that number: what follows cannot be trusted.
        ended_ = true;
        return false;
    }
    undoPng(filter, raw_.get() + 1, got - 1);
    row_ = raw_.get() + 1;
    available_ = got - 1;
    return available_ > 0;
}

void Predictor::undoPng(std::uint8_t filter, std::uint8_t* row, std::size_t n) const {
    const std::uint8_t* up = above_.get() + 1;
    const std::size_t left = pixelBytes_;
    switch (filter) {
        case kPngSub:
            for (std::size_t i = left; i < n; ++i)
                row[i] = std::uint8_t(row[i] + row[i - left]);
            break;
        case kPngUp:
            for (std::size_t i = 0; i < n; ++i)
                row[i] = std::uint8_t(row[i] + up[i]);
            break;
        case kPngAverage:
            for (std::size_t i = 0; i < n; ++i) {
                const int a = i >= left ? row[i - left] : 0;
                row[i] = std::uint8_t(row[i] + ((a + up[i]) >> 1));
            }
            break;
        case kPngPaeth:
            for (std::size_t i = 0; i < n; ++i) {
                const int a = i >= left ? row[i - left] : 0;
                const int c = i >= left ? up[i - left] : 0;
                row[i] = std::uint8_t(row[i] + paeth(a, up[i], c));
            }
            break;
        default:  // None
            break;
    }
}

void Predictor::undoTiff(std::uint8_t* row, std::size_t n) const {
    const std::size_t colors = std::size_t(colors_);
    if (bits_ == 8) {
        for (std::size_t i = colors; i < n; ++i)
            row[i] = std::uint8_t(row[i] + row[i - colors]);
        return;
    }
    if (bits_ == 16) {
        const std::size_t stride = 2 * colors;
        for (std::size_t i = stride; i + 1 < n; i += 2) {
            const unsigned sum = ((unsigned(row[i]) << 8) | row[i + 1]) +
                                 ((unsigned(row[i - stride]) << 8) | row[i - stride + 1]);
            row[i] = std::uint8_t(sum >> 8);
            row[i + 1] = std::uint8_t(sum);
        }
        return;
    }
    // Samples of 1, 2 or 4 bits, packed from the high end of each byte; the
    // padding bits of the row's last byte stay as they are.
    const unsigned bits = unsigned(bits_);
    const unsigned mask = (1u << bits) - 1;
    const std::size_t samples = std::min(samples_, n * 8 / bits);
    auto shiftOf = [bits](std::size_t s) { return 8 - bits - unsigned(s * bits % 8); };
    for (std::size_t s = colors; s < samples; ++s) {
        const std::size_t at = s * bits / 8;
        const std::size_t from = (s - colors) * bits / 8;
        const unsigned shift = shiftOf(s);
        const unsigned value =
            ((row[at] >> shift) & mask) + ((row[from] >> shiftOf(s - colors)) & mask);
        row[at] = std::uint8_t((row[at] & ~(mask << shift)) | ((value & mask) << shift));
    }
}

}  // namespace vistrel
