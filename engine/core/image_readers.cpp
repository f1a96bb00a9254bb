#include "engine/core/image_readers.h"

namespace vistrel {

namespace {
bool isDigit(std::uint16_t c) { return c >= '0' && c <= '9'; }
}  // namespace

// ----------------------------------------------------------- NumberTextStream

NumberTextStream::NumberTextStream(InputStream* inner) : inner_(inner) {
    openFlag_ = inner_ != nullptr && inner_->isOpen();
}

void NumberTextStream::close() {
    if (inner_) inner_->close();
    openFlag_ = false;
}

std::int64_t NumberTextStream::read(void* buffer, std::size_t count) {
    return inner_ ? inner_->read(buffer, count) : 0;
}

std::uint16_t NumberTextStream::getByte() { return inner_ ? inner_->getByte() : kEndOfData; }

std::uint64_t NumberTextStream::size() { return inner_ ? inner_->size() : 0; }

std::uint64_t NumberTextStream::position() { return inner_ ? inner_->position() : 0; }

void NumberTextStream::unread(std::uint16_t byte) {
    if (inner_) inner_->unread(byte);
}

bool NumberTextStream::atEnd() { return inner_ ? inner_->atEnd() : true; }

std::int64_t NumberTextStream::skip(std::size_t count) { return inner_ ? inner_->skip(count) : 0; }

std::int32_t NumberTextStream::readNumber() {
    std::uint16_t c = getByte();
    if (!isDigit(c)) {
        unread(c);
        return -1;
    }
    std::int32_t value = 0;
    int digits = 0;
    while (isDigit(c)) {
        // Nine digits always fit; a longer number is no picture size.
        if (++digits > kMaxDigits) return -1;
        value = value * 10 + (c - '0');
        c = getByte();
    }
    unread(c);
    return value;
}

std::int64_t NumberTextStream::skipPast(char c) {
    std::int64_t reads = 0;
    for (;;) {
        std::uint16_t b = getByte();
        ++reads;
        if (b == kEndOfData || b == static_cast<std::uint8_t>(c)) return reads;
    }
}

}  // namespace vistrel
