// What the fuzz targets share: leading input bytes taken as parameters, and
// decoded data read to its end within a budget in the ways the engine reads
// it (byte by byte, in blocks, or both in turn).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/streams.h"

namespace vistrel::fuzz {

// The input, consumed from the front.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // The next byte, 0 once the input is used up.
    uint8_t byte() {
        if (size_ == 0)
            return 0;
        --size_;
        return *data_++;
    }
    // The next two bytes, most significant first.
    uint16_t word() {
        uint16_t high = byte();
        return uint16_t(high << 8 | byte());
    }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
};

// Reads at most `limit` bytes from the stream: mode 0 byte by byte, 1 in
// blocks, 2 a byte and a block in turn. Returns the bytes read.
inline size_t drain(InputStream& in, size_t limit, unsigned mode) {
    uint8_t block[509];  // odd, so that block ends fall anywhere in the data
    size_t total = 0;
    for (unsigned round = 0; total < limit; ++round) {
        bool bytes = mode % 3 == 0 || (mode % 3 == 2 && round % 2 == 0);
        if (bytes) {
            if (in.getByte() == kEndOfData)
                break;
            ++total;
        } else {
            int64_t n = in.read(block, sizeof block);
            if (n <= 0)
                break;
            total += size_t(n);
        }
    }
    return total;
}

}  // namespace vistrel::fuzz
