#include "engine/export/base64_encode_stream.h"

namespace vistrel {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

Base64EncodeStream::Base64EncodeStream(OutputStream* inner) : inner_(inner) {
    openFlag_ = inner_ != nullptr;
}

bool Base64EncodeStream::writeGroup(int bytes) {
    // bytes (1 to 3) of the group are real; the rest of the four characters
    // are padding.
    const std::uint32_t g = group_ << (8 * (3 - bytes));
    char text[4];
    for (int i = 0; i < 4; ++i)
        text[i] = i <= bytes ? kAlphabet[(g >> (18 - 6 * i)) & 63] : '=';
    group_ = 0;
    pending_ = 0;
    return inner_ && inner_->write(text, 4) == 4;
}

std::size_t Base64EncodeStream::write(const void* buffer, std::size_t count) {
    if (!buffer)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::size_t groupStart = 0;  // this call's first byte of the group being gathered
    for (std::size_t i = 0; i < count; ++i) {
        group_ = (group_ << 8) | bytes[i];
        if (++pending_ == 3) {
            if (!writeGroup(3))
                return groupStart;
            groupStart = i + 1;
        }
    }
    return count;
}

int Base64EncodeStream::putByte(std::uint16_t c) {
    const std::uint8_t byte = std::uint8_t(c);
    return write(&byte, 1) == 1 ? 1 : 0;
}

bool Base64EncodeStream::flush() {
    return pending_ == 0 || writeGroup(pending_);
}

void Base64EncodeStream::close() {
    flush();
    if (inner_)
        inner_->close();
}

}  // namespace vistrel
