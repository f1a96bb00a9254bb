#include "engine/codec/image_stream.h"

namespace vistrel {

uint32_t ImageStream::bytesPerRow() {
    if (bytesPerRow_ == 0 && width_ > 0 && bitsPerComponent_ > 0 && components_ > 0) {
        uint64_t bits = uint64_t(width_) * uint64_t(bitsPerComponent_) * uint64_t(components_);
        uint64_t bytes = (bits + 7) / 8;
        bytesPerRow_ = bytes > 0x7FFFFFFFu ? 0 : uint32_t(bytes);
    }
    return bytesPerRow_;
}

bool ImageStream::readRow(uint8_t* buffer) {
    if (!started_ || buffer == nullptr)
        return false;
    uint32_t n = bytesPerRow();
    if (n == 0)
        return false;
    return read(buffer, n) == int64_t(n);
}

}  // namespace vistrel
