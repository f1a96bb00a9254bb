#include "engine/export/compress_record.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vistrel {

namespace {

// The first position from i on where a byte equals the one after it (a
// pair starts), or length - 1 when there is none; 16 positions at a time
// where the processor has SSE2.
std::size_t nextPair(const std::uint8_t* data, std::size_t i, std::size_t length) {
#if defined(__SSE2__)
    for (; i + 17 <= length; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        if (const unsigned equal = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(here, next))))
            return i + std::size_t(__builtin_ctz(equal));
    }
#endif
    for (; i + 1 < length; ++i) {
        if (data[i] == data[i + 1])
            return i;
    }
    return length - 1;
}

}  // namespace

std::size_t compressRecord(const std::uint8_t* data, std::size_t length, std::uint8_t* out) {
    if (!data || length == 0)
        return 0;
    if (length < 3) {
        std::memcpy(out, data, length);
        return length;
    }
    std::size_t o = 0;
    std::size_t i = 0;
    while (i < length) {
        // Bytes that differ from the next one are output as they are.
        const std::size_t pair = nextPair(data, i, length);
        std::memcpy(out + o, data + i, pair - i);
        o += pair - i;
        i = pair;
        const std::uint8_t b = data[i++];
        out[o++] = b;
        if (i < length && data[i] == b) {
            out[o++] = b;
            if (++i == length)
                break;
            std::uint8_t count = 0;
            // Long runs (the white of a page) eight bytes at a time.
            const std::uint64_t eight = b * 0x0101010101010101u;
            while (count <= 255 - 8 && length - i >= 8) {
                std::uint64_t next;
                std::memcpy(&next, data + i, 8);
                if (next != eight)
                    break;
                count = std::uint8_t(count + 8);
                i += 8;
            }
            while (i < length && count < 255 && data[i] == b) {
                ++count;
                ++i;
            }
            out[o++] = count;
        }
    }
    return o;
}

}  // namespace vistrel
