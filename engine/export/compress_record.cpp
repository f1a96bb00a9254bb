#include "engine/export/compress_record.h"

#include <cstring>

namespace vistrel {

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
