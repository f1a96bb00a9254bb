#include "engine/render/function/packed_samples.h"

#include <algorithm>

#include "engine/core/bit_reader.h"
#include "engine/core/streams.h"

namespace vistrel {

bool readPackedSamples(InputStream* data, int bitsPerSample, uint64_t count,
                       std::vector<uint32_t>& samples) {
    samples.clear();
    BitReader reader(data);
    if (!reader.isOpen() || reader.endFlag)
        return false;
    // Grow with the data actually read rather than trusting the count.
    samples.reserve(size_t(std::min<uint64_t>(count, 1u << 16)));
    for (uint64_t s = 0; s < count; ++s) {
        uint32_t value = 0;
        for (int left = bitsPerSample; left > 0;) {
            int piece = left < 8 ? left : 8;
            uint16_t bits = reader.readBits(piece);
            // A piece of at most 8 bits is kEndOfData only when no byte came; a
            // further byte that is missing leaves the reader's byte at the
            // end value.
            if (bits == kEndOfData || reader.currentByte == kEndOfData)
                return false;
            value = (value << piece) | bits;
            left -= piece;
        }
        samples.push_back(value);
    }
    return true;
}

}  // namespace vistrel
