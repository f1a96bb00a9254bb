#include "engine/export/byte_array_buffer.h"

#include <cstring>
#include <limits>

namespace vistrel {

namespace {

// The largest element count an array may have (its upper bound is a LONG).
constexpr std::size_t kMaxElements = std::size_t(std::numeric_limits<win::LONG>::max());

}  // namespace

ByteArrayBuffer::ByteArrayBuffer(std::uint32_t initialCount, std::uint32_t growthStep)
    : growthStep_(growthStep ? growthStep : 1) {
    win::SAFEARRAYBOUND bound{initialCount, 0};
    array_ = win::SafeArrayCreate(win::VT_UI1, 1, &bound);
    openFlag_ = array_ != nullptr;
}

ByteArrayBuffer::~ByteArrayBuffer() {
    win::SafeArrayDestroy(array_);
}

int ByteArrayBuffer::putByte(std::uint16_t c) {
    const std::uint8_t byte = std::uint8_t(c);
    return append(&byte, 1) == 1 ? 1 : 0;
}

std::size_t ByteArrayBuffer::append(const void* bytes, std::size_t count) {
    if (!array_ || !bytes || count == 0)
        return 0;
    const std::size_t capacity = array_->rgsabound[0].cElements;
    if (count > kMaxElements - used_) {
        refused_ = true;
        return 0;
    }
    const std::size_t needed = used_ + count;
    if (needed > capacity) {
        // The new size is the needed size rounded up to the growth step.
        std::size_t grown = (needed + growthStep_ - 1) / growthStep_ * growthStep_;
        if (grown > kMaxElements)
            grown = needed;
        win::SAFEARRAYBOUND bound{win::ULONG(grown), 0};
        if (win::FAILED(win::SafeArrayRedim(array_, &bound))) {
            refused_ = true;
            return 0;
        }
    }
    void* data = nullptr;
    if (win::FAILED(win::SafeArrayAccessData(array_, &data))) {
        refused_ = true;
        return 0;
    }
    std::memcpy(static_cast<std::uint8_t*>(data) + used_, bytes, count);
    win::SafeArrayUnaccessData(array_);
    used_ = needed;
    return count;
}

win::SAFEARRAY* ByteArrayBuffer::copyOut() {
    if (!array_)
        return nullptr;
    win::SAFEARRAYBOUND bound{win::ULONG(used_), 0};
    if (win::FAILED(win::SafeArrayRedim(array_, &bound)))
        return nullptr;
    win::SAFEARRAY* copy = nullptr;
    if (win::FAILED(win::SafeArrayCopy(array_, &copy)))
        return nullptr;
    return copy;
}

}  // namespace vistrel
