#include "engine/render/color/indexed_color_space.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "engine/core/bit_reader.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/color/make_color_space.h"

namespace vistrel {
namespace {

constexpr double kByteScale = 0.00392156862745098;  // 1/255

// The bytes of a lookup string. A string that opened with FE FF was read as
// UTF-16 (a character above 0xFF shows it): its bytes are given back as they
// stood in the file.
std::vector<std::uint8_t> stringBytes(const PdfString& string) {
    const std::u16string_view text = string.textValue().view();
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    std::vector<std::uint8_t> bytes;
    if (!wide) {
        bytes.assign(text.begin(), text.end());  // one character per byte
        return bytes;
    }
    bytes.reserve(2 + 2 * text.size());
    bytes.push_back(0xFE);
    bytes.push_back(0xFF);
    for (char16_t c : text) {
        bytes.push_back(std::uint8_t(c >> 8));
        bytes.push_back(std::uint8_t(c & 0xFF));
    }
    return bytes;
}

}  // namespace

IndexedColorSpace::IndexedColorSpace(PdfObject* base, std::int32_t hival, PdfObject* lookup,
                                     int nesting)
    : ColorSpace(1), hival_(hival) {
    valid_ = false;
    if (hival < 0 || hival > 255)
        return;
    base_ = makeNestedColorSpace(base, nesting + 1);
    if (!base_)
        return;
    outputComponents_ = base_->outputComponents();
    // A base that is not usable, or is a palette itself, gives no colours.
    if (!base_->valid() || base_->family() == ColorSpaceFamily::Indexed ||
        base_->components() < 1 || outputComponents_ < 1)
        return;

    const std::size_t group = std::size_t(base_->components());
    PdfObject* data = lookup ? lookup->direct() : nullptr;
    if (data && data->kind() == kKindDict && data->classKind() == kClassStream) {
        Ref<PdfStream> stream = Ref<PdfStream>::share(asStream(data));
        if (!stream || !stream->open()) {
            base_ = nullptr;
            return;
        }
        readEntries([&](std::uint8_t* buffer) {
            std::size_t got = 0;
            while (got < group) {
                const std::int64_t n = stream->read(buffer + got, group - got);
                if (n <= 0)
                    return false;
                got += std::size_t(n);
            }
            return true;
        });
        stream->close();
    } else if (PdfString* string = asString(data)) {
        const std::vector<std::uint8_t> bytes = stringBytes(*string);
        std::size_t at = 0;
        readEntries([&](std::uint8_t* buffer) {
            if (bytes.size() - at < group)
                return false;
            std::memcpy(buffer, bytes.data() + at, group);
            at += group;
            return true;
        });
    } else {
        return;
    }
    // Entries the data did not give are all zero components.
    const std::size_t tableBytes = std::size_t(hival_ + 1) * std::size_t(outputComponents_);
    if (lookup_.size() < tableBytes)
        lookup_.resize(tableBytes, 0);
    valid_ = true;
}

template <class Source>
void IndexedColorSpace::readEntries(Source&& nextGroup) {
    const std::size_t components = std::size_t(base_->components());
    const std::size_t out = std::size_t(outputComponents_);
    std::vector<std::uint8_t> buffer(std::max(components, out));
    // Only hival + 1 entries can ever be used: the data is read no further.
    const std::size_t entries = std::size_t(hival_) + 1;
    lookup_.reserve(entries * out);
    while (lookup_.size() < entries * out && nextGroup(buffer.data())) {
        base_->convertSamples(buffer.data(), 8, 1, false);
        lookup_.insert(lookup_.end(), buffer.begin(), buffer.begin() + std::ptrdiff_t(out));
    }
}

void IndexedColorSpace::convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                       std::size_t pixelCount, bool) const {
    if (!valid_ || bitsPerComponent < 1 || bitsPerComponent > 16 || pixelCount == 0)
        return;
    const std::size_t out = std::size_t(outputComponents_);
    const std::uint8_t* table = lookup_.data();
    const unsigned top = unsigned(hival_);
    auto entry = [&](unsigned index) { return table + std::min(index, top) * out; };

    if (bitsPerComponent <= 8) {
        // In place from the last pixel back: an entry is never shorter than
        // its index, so no index is overwritten before it is read.
        const unsigned bits = unsigned(bitsPerComponent);
        const unsigned mask = (1u << bits) - 1;
        for (std::size_t i = pixelCount; i-- > 0;) {
            const std::size_t bit = i * bits;
            const std::size_t k = bit >> 3;
            const unsigned offset = unsigned(bit & 7);
            unsigned index;
            if (offset + bits <= 8) {
                index = (unsigned(bytes[k]) >> (8 - offset - bits)) & mask;
            } else {
                // The index runs into the next byte, which is still in the row.
                index = ((unsigned(bytes[k]) << 8 | bytes[k + 1]) >> (16 - offset - bits)) & mask;
            }
            std::memcpy(bytes + i * out, entry(index), out);
        }
        return;
    }

    // Wider indices are longer than one byte of output: through a second row.
    const std::size_t inBytes = (pixelCount * std::size_t(bitsPerComponent) + 7) / 8;
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[pixelCount * out]);
    if (!row)
        return;
    RowCursor cursor;
    cursor.init(bitsPerComponent, bytes, inBytes);
    for (std::size_t i = 0; i < pixelCount; ++i)
        std::memcpy(row.get() + i * out, entry(cursor.readSample()), out);
    std::memcpy(bytes, row.get(), pixelCount * out);
}

bool IndexedColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool) const {
    if (!valid_ || in.empty()) {
        if (&in != &out)
            out.clear();
        return false;
    }
    const double v = in[0];
    // NaN and values outside the table fail; truncation toward zero.
    if (!(v > -1) || !(v < double(hival_) + 1)) {
        out.clear();
        return false;
    }
    const std::size_t index = std::size_t(std::int32_t(v));
    out.clear();
    const std::size_t n = std::size_t(outputComponents_);
    for (std::size_t c = 0; c < n; ++c) {
        if (!out.append(lookup_[index * n + c] * kByteScale))
            return false;
    }
    return true;
}

}  // namespace vistrel
