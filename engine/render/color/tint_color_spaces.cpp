#include "engine/render/color/tint_color_spaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "engine/core/allocator.h"
#include "engine/core/bit_reader.h"
#include "engine/core/streams.h"
#include "engine/render/color/make_color_space.h"

namespace vistrel {
namespace {

// v truncated toward zero and held within lo to hi (NaN gives 0).
int truncatedWithin(double v, int lo, int hi) {
    if (!(v == v))
        return 0;
    if (v <= lo)
        return lo;
    if (v >= hi)
        return hi;
    return int(v);
}

}  // namespace

TintColorSpace::TintColorSpace(std::int32_t components, PdfObject* alternate, PdfObject* function,
                               int nesting)
    : ColorSpace(components) {
    valid_ = false;
    alternate_ = makeNestedColorSpace(alternate, nesting + 1);
    PdfFunction* tint = asFunction(function);
    if (!alternate_ || !tint || !tint->isValid())
        return;
    outputComponents_ = alternate_->outputComponents();
    if (components_ < 1 || tint->inputCount != components_ ||
        tint->outputCount != outputComponents_ || !alternate_->valid()) {
        alternate_ = nullptr;
        outputComponents_ = 0;
        return;
    }
    function_ = Ref<PdfFunction>::share(tint);
    valid_ = true;
}

TintColorSpace::~TintColorSpace() = default;

struct TintColorSpace::TintCache {
    static constexpr std::size_t kSlots = 1024;  // the key's hash takes 10 bits
    static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
    std::unique_ptr<std::uint64_t[]> keys;
    std::unique_ptr<std::uint8_t[]> bytes;  // kSlots entries of outputComponents bytes
};

TintColorSpace::TintCache* TintColorSpace::tintCache() const {
    if (!cache_) {
        std::unique_ptr<TintCache> cache(new (std::nothrow) TintCache);
        if (!cache)
            return nullptr;
        cache->keys.reset(new (std::nothrow) std::uint64_t[TintCache::kSlots]);
        cache->bytes.reset(new (std::nothrow)
                               std::uint8_t[TintCache::kSlots * std::size_t(outputComponents_)]);
        if (!cache->keys || !cache->bytes)
            return nullptr;
        std::fill_n(cache->keys.get(), TintCache::kSlots, TintCache::kEmpty);
        cache_ = std::move(cache);
    }
    return cache_.get();
}

bool TintColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool) const {
    DoubleArray tints;
    if (!valid_ || in.count() < components_ || !function_->evaluate(in, tints)) {
        out.clear();
        return false;
    }
    for (double& v : tints)
        v = finiteOrZero(v);
    return alternate_->convertColor(tints, out, false);
}

void TintColorSpace::convertRow(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                std::size_t pixelCount, bool decoded, bool separation) const {
    if (!valid_ || bitsPerComponent < 1 || pixelCount == 0)
        return;
    const std::size_t components = std::size_t(components_);
    const std::size_t out = std::size_t(outputComponents_);
    // The packed input: components samples per pixel.
    std::size_t inBits;
    if (!checkedMultiply(pixelCount, components, &inBits) ||
        !checkedMultiply(inBits, std::size_t(bitsPerComponent), &inBits))
        return;
    const std::size_t inBytes = inBits / 8 + (inBits % 8 != 0);
    // The outputs, out bytes per pixel; room as well for the alternate's
    // input should it take more components than it gives.
    const std::size_t stride = std::max(out, std::size_t(alternate_->components()));
    std::size_t rowBytes;
    if (!checkedMultiply(pixelCount, stride, &rowBytes))
        return;
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[rowBytes]());
    if (!row)
        return;

    MemoryInputStream stream(bytes, inBytes);
    BitReader reader(&stream);
    DoubleArray tints(components_ > 8 ? components_ : 8);
    DoubleArray outputs(outputComponents_ > 8 ? outputComponents_ : 8);
    if (!tints.setSize(components_))
        return;
    const double maxSample = std::ldexp(1.0, bitsPerComponent) - 1;
    // The tint of every sample value of up to 8 bits, divided once.
    double tintOf[256];
    const bool small = bitsPerComponent <= 8;
    for (int s = 0; small && s <= int(maxSample); ++s)
        tintOf[s] = s / maxSample;
    const bool lab = separation && alternate_->family() == ColorSpaceFamily::Lab;
    // Pixels of the same samples give the same bytes: the function's results
    // are kept by their samples, when these fit in a key.
    TintCache* cache = nullptr;
    if (bitsPerComponent <= 15 && components * std::size_t(bitsPerComponent) <= 56)
        cache = tintCache();
    double* tint = tints.data();
    std::uint8_t* target = row.get();
    for (std::size_t i = 0; i < pixelCount; ++i, target += out) {
        // The depth leads the key, so keys of different depths differ.
        std::uint64_t key = std::uint64_t(bitsPerComponent);
        bool keyed = cache != nullptr;
        for (std::size_t c = 0; c < components; ++c) {
            const std::uint16_t s = reader.readBits(bitsPerComponent);
            if (s == kEndOfData) {
                if (!separation)
                    return;
                tint[c] = -1.0 / maxSample;
                keyed = false;
            } else {
                tint[c] = small ? tintOf[s] : s / maxSample;
                key = key << bitsPerComponent | s;
            }
        }
        std::size_t slot = 0;
        if (keyed) {
            slot = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 54);
            if (cache->keys[slot] == key) {
                std::memcpy(target, cache->bytes.get() + slot * out, out);
                continue;
            }
        }
        if (!function_->evaluate(tints, outputs))
            return;
        for (std::size_t c = 0; c < out; ++c) {
            const double v = outputs[std::int32_t(c)];
            if (lab) {
                // L as an unsigned byte, a and b as signed ones.
                const int b = c == 0 ? truncatedWithin(v, 0, 255) : truncatedWithin(v, -128, 127);
                target[c] = std::uint8_t(b & 0xFF);
            } else {
                target[c] = std::uint8_t(truncatedWithin(v * 255, 0, 255));
            }
        }
        if (keyed) {
            std::memcpy(cache->bytes.get() + slot * out, target, out);
            cache->keys[slot] = key;
        }
    }
    alternate_->convertSamples(row.get(), 8, pixelCount, lab ? true : decoded);
    std::memcpy(bytes, row.get(), pixelCount * out);
}

// ------------------------------------------------------------- Separation

SeparationColorSpace::SeparationColorSpace(const PdfName& colorant, PdfObject* alternate,
                                           PdfObject* function, int nesting)
    : TintColorSpace(1, alternate, function, nesting), colorant_(makeRef<PdfName>(colorant)) {}

// ---------------------------------------------------------------- DeviceN

DeviceNColorSpace::DeviceNColorSpace(const PdfArray& colorants, PdfObject* alternate,
                                     PdfObject* function, PdfDict* attributes, int nesting)
    : TintColorSpace(colorants.count(), alternate, function, nesting),
      colorants_(makeRef<PdfArray>(colorants)),
      attributes_(attributes ? makeRef<PdfDict>(*attributes) : makeRef<PdfDict>()) {}

}  // namespace vistrel
