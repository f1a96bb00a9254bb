#include "viewer/components/gif_lzw.h"

#include <algorithm>
#include <array>
#include <vector>

#include "viewer/components/graphic_errors.h"

namespace brevant {
namespace {

constexpr int kTableSize = 4096;
constexpr int kMaxCodeSize = 12;
constexpr std::uint16_t kNoCode = 0xFFFF;

// Codes from the concatenated data sub-blocks.
class CodeReader {
public:
    CodeReader(ByteSpan data, std::size_t pos) : data_(data), pos_(pos) {}

    // The next code of `size` bits; 0xFFFF once the data end (an empty
    // sub-block or the end of the bytes).
    std::uint16_t read(int size) {
        while (bits_ < size) {
            if (ended_)
                return kNoCode;
            if (blockLeft_ == 0) {
                if (pos_ >= data_.size() || data_[pos_] == 0) {
                    ended_ = true;
                    return kNoCode;
                }
                blockLeft_ = data_[pos_++];
            }
            if (pos_ >= data_.size()) {
                ended_ = true;
                return kNoCode;
            }
            buffer_ |= std::uint32_t(data_[pos_++]) << bits_;
            bits_ += 8;
            --blockLeft_;
        }
        std::uint16_t code = std::uint16_t(buffer_ & ((1u << size) - 1));
        buffer_ >>= size;
        bits_ -= size;
        return code;
    }

    std::size_t position() const { return pos_; }

private:
    ByteSpan data_;
    std::size_t pos_;
    std::uint32_t buffer_ = 0;
    int bits_ = 0;
    int blockLeft_ = 0;
    bool ended_ = false;
};

// Places decoded pixels row by row, in interlace order when asked.
class PixelSink {
public:
    PixelSink(Bitmap& out, bool interlaced) : out_(out), interlaced_(interlaced) {
        done_ = out.width() <= 0 || out.height() <= 0;
    }

    bool done() const { return done_; }

    void put(std::uint32_t v) {
        if (done_)
            return;
        out_.setIndex(x_, y_, v);
        if (++x_ < out_.width())
            return;
        x_ = 0;
        if (!interlaced_) {
            done_ = ++y_ >= out_.height();
            return;
        }
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        y_ += kStep[pass_];
        while (y_ >= out_.height()) {
            if (++pass_ == 4) {
                done_ = true;
                return;
            }
            y_ = kStart[pass_];
        }
    }

private:
    Bitmap& out_;
    bool interlaced_;
    int x_ = 0, y_ = 0, pass_ = 0;
    bool done_ = false;
};

}  // namespace

std::uint64_t maxLzwPixels(std::size_t bytes) {
    // Codes have 3 bits at least; the k-th code after a clear yields at most
    // k + 1 pixels, and no code yields more than the table holds.
    std::uint64_t codes = std::uint64_t(bytes) * 8 / 3 + 1;
    std::uint64_t ramp = std::min<std::uint64_t>(codes, kTableSize);
    return ramp * (ramp + 3) / 2 + (codes - ramp) * (kTableSize + 2);
}

bool decodeGifLzw(ByteSpan data, Bitmap& out, const LzwDecodeOptions& options) {
    if (data.empty())
        throw StreamReadError();
    int m = data[0];
    bool corrupted = false;
    if (m < 2 || m > 9) {
        if (!options.loadCorrupted)
            throw GraphicError(kSGifCodeSize);
        corrupted = true;
        m = std::clamp(m, 2, 9);
    }
    const int b = std::clamp(options.bitsPerPixel, 1, 8);
    const std::uint32_t maxPixel = (1u << b) - 1;
    const int clear = 1 << m, end = clear + 1;

    std::vector<std::uint16_t> prefix(kTableSize, 0);
    std::vector<std::uint8_t> suffix(kTableSize, 0);
    std::vector<std::uint8_t> stack;
    stack.reserve(kTableSize + 2);

    CodeReader reader(data, 1);
    PixelSink sink(out, options.interlaced);
    int size = m + 1, next = clear + 2;
    bool full = false;
    int oldCode = -1;
    std::uint8_t first = 0;
    int lastPercent = -1;
    auto report = [&] {
        if (!options.progress)
            return;
        int percent = int(reader.position() * 100 / data.size());
        if (percent != lastPercent)
            options.progress(lastPercent = percent);
    };
    auto fault = [&](auto error) {
        if (!options.loadCorrupted)
            throw error;
        corrupted = true;
    };

    while (!sink.done()) {
        std::uint16_t code = reader.read(size);
        if (code == kNoCode) {
            fault(StreamReadError());
            break;
        }
        if (code == end)
            break;
        if (code == clear) {
            size = m + 1;
            next = clear + 2;
            full = false;
            code = reader.read(size);
            if (code == kNoCode) {
                fault(StreamReadError());
                break;
            }
            oldCode = code;
            first = std::uint8_t(code & maxPixel);
            sink.put(first);
            report();
            continue;
        }
        if (oldCode < 0) {
            // Data that do not begin with a clear code: the first code is a
            // pixel of its own.
            oldCode = code;
            first = std::uint8_t(code & maxPixel);
            sink.put(first);
            continue;
        }
        stack.clear();
        int c = code;
        if (c >= next) {
            stack.push_back(first);
            c = oldCode;
        }
        // Walk the chain of table codes; codes below the clear code are
        // pixels (masked to the colour table), also when the code size
        // exceeds or falls short of the table's depth.
        int chain = 0;
        while (c >= clear && chain <= kTableSize) {
            stack.push_back(suffix[std::size_t(c)]);
            c = prefix[std::size_t(c)];
            ++chain;
        }
        if (chain > kTableSize) {
            fault(GraphicError(kSGifDecode));
            break;
        }
        first = std::uint8_t(c & int(maxPixel));
        stack.push_back(first);
        for (auto it = stack.rbegin(); it != stack.rend() && !sink.done(); ++it)
            sink.put(*it);
        if (!full) {
            prefix[std::size_t(next)] = std::uint16_t(oldCode);
            suffix[std::size_t(next)] = first;
            if (++next >= (1 << size)) {
                if (size < kMaxCodeSize)
                    ++size;
                else
                    full = true;
            }
        }
        oldCode = code;
        report();
    }
    return corrupted;
}

namespace {

// Packs codes least significant bit first into sub-blocks of 255 bytes.
class CodeWriter {
public:
    explicit CodeWriter(Bytes& out) : out_(out) {}

    void put(int code, int size) {
        buffer_ |= std::uint32_t(code) << bits_;
        bits_ += size;
        while (bits_ >= 8) {
            block_.push_back(std::uint8_t(buffer_));
            buffer_ >>= 8;
            bits_ -= 8;
            if (block_.size() == 255)
                flushBlock();
        }
    }

    void finish() {
        if (bits_ > 0)
            block_.push_back(std::uint8_t(buffer_));
        bits_ = 0;
        flushBlock();
        out_.push_back(0);
    }

private:
    void flushBlock() {
        if (block_.empty())
            return;
        out_.push_back(std::uint8_t(block_.size()));
        out_.insert(out_.end(), block_.begin(), block_.end());
        block_.clear();
    }

    Bytes& out_;
    Bytes block_;
    std::uint32_t buffer_ = 0;
    int bits_ = 0;
};

// The encoder's string table: (prefix code, pixel) to code, in 17777 slots
// with linear probing.
class StringTable {
public:
    static constexpr int kSlots = 17777;

    StringTable() : keys_(kSlots, kEmpty), codes_(kSlots, 0) {}

    void reset() { std::fill(keys_.begin(), keys_.end(), kEmpty); }

    int find(int prefix, int pixel) const {
        std::uint32_t key = keyOf(prefix, pixel);
        for (int i = hash(key); keys_[std::size_t(i)] != kEmpty; i = i == kSlots - 1 ? 0 : i + 1)
            if (keys_[std::size_t(i)] == key)
                return codes_[std::size_t(i)];
        return -1;
    }

    void add(int prefix, int pixel, int code) {
        std::uint32_t key = keyOf(prefix, pixel);
        int i = hash(key);
        while (keys_[std::size_t(i)] != kEmpty)
            i = i == kSlots - 1 ? 0 : i + 1;
        keys_[std::size_t(i)] = key;
        codes_[std::size_t(i)] = std::uint16_t(code);
    }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    static std::uint32_t keyOf(int prefix, int pixel) { return std::uint32_t(prefix << 8 | pixel); }
    static int hash(std::uint32_t key) { return int((key * 2654435761u >> 12) % kSlots); }

    std::vector<std::uint32_t> keys_;
    std::vector<std::uint16_t> codes_;
};

}  // namespace

Bytes encodeGifLzw(const Bitmap& image, int bitsPerPixel,
                   const std::function<void(int row)>& progress) {
    const int startSize = bitsPerPixel <= 1 ? 3 : bitsPerPixel + 1;
    const int m = startSize - 1;
    const int clear = 1 << m, end = clear + 1;
    const std::uint32_t mask = (1u << m) - 1;
    Bytes out;
    out.push_back(std::uint8_t(m));
    CodeWriter writer(out);
    StringTable table;
    int size = startSize, next = clear + 2;

    // Writes a code; the size grows once the codes in use reach its capacity,
    // in step with the decoder, which adds its entries one code later.
    auto emit = [&](int code) {
        writer.put(code, size);
        if (next >= (1 << size) && size < kMaxCodeSize)
            ++size;
    };

    writer.put(clear, size);
    int prefix = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            int pixel = int(image.index(x, y) & mask);
            if (prefix < 0) {
                prefix = pixel;
                continue;
            }
            int found = table.find(prefix, pixel);
            if (found >= 0) {
                prefix = found;
                continue;
            }
            emit(prefix);
            if (next > 4093) {
                writer.put(clear, size);
                table.reset();
                size = startSize;
                next = clear + 2;
            } else {
                table.add(prefix, pixel, next++);
            }
            prefix = pixel;
        }
        if (progress)
            progress(y);
    }
    if (prefix >= 0)
        emit(prefix);
    writer.put(end, size);
    writer.finish();
    return out;
}

}  // namespace brevant
