#include "engine/codec/filter_stream.h"

#include "engine/core/wstring.h"

namespace vistrel {

namespace {

bool isFilterWhiteSpace(uint16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int base64Value(uint16_t c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// FilterParams

void FilterParams::set(std::u16string_view key, int32_t value) {
    values_.insert_or_assign(std::u16string(key), value);
}

int32_t FilterParams::get(std::u16string_view key, int32_t fallback) const {
    auto it = values_.find(std::u16string(key));
    return it == values_.end() ? fallback : it->second;
}

bool FilterParams::contains(std::u16string_view key) const {
    return values_.find(std::u16string(key)) != values_.end();
}

// ---------------------------------------------------------------------------
// FilterStream

FilterStream::FilterStream(InputStream* inner, std::unique_ptr<FilterParams> params)
    : inner_(inner) {
    openFlag_ = inner != nullptr && inner->isOpen();
    if (openFlag_)
        params_ = std::move(params);
}

FilterStream::~FilterStream() = default;

void FilterStream::close() {
    openFlag_ = false;
}

uint16_t FilterStream::getByte() {
    if (!openFlag_)
        return kEndOfData;
    uint16_t c;
    if (takePushedBack(c))
        return c;
    return decodeByte();
}

uint64_t FilterStream::size() {
    return inner_ ? inner_->size() : 0;
}

uint64_t FilterStream::position() {
    return inner_ ? inner_->position() : 0;
}

FilterParams* FilterStream::setParameters(std::unique_ptr<FilterParams> params) {
    params_ = std::move(params);
    return params_.get();
}

void FilterStream::skipWhiteSpace() {
    uint16_t c;
    do {
        c = inner_->getByte();
    } while (isFilterWhiteSpace(c));
    inner_->unread(c);
}

// ---------------------------------------------------------------------------
// AsciiHexDecodeStream

AsciiHexDecodeStream::AsciiHexDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params)
    : FilterStream(inner, std::move(params)) {}

uint16_t AsciiHexDecodeStream::decodeByte() {
    if (ended_)
        return kEndOfData;
    skipWhiteSpace();
    uint16_t c = inner_->getByte();
    int high = hexDigitValue(c);
    if (high < 0) {  // ">" or any other non-digit, the end of data included
        ended_ = true;
        return kEndOfData;
    }
    skipWhiteSpace();
    c = inner_->getByte();
    if (c == '>') {  // an odd final digit is completed with 0
        ended_ = true;
        return uint16_t(high << 4);
    }
    int low = hexDigitValue(c);
    if (low < 0) {
        ended_ = true;
        return kEndOfData;
    }
    return uint16_t((high << 4) | low);
}

// ---------------------------------------------------------------------------
// Ascii85DecodeStream

Ascii85DecodeStream::Ascii85DecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params)
    : FilterStream(inner, std::move(params)) {}

Ascii85DecodeStream::~Ascii85DecodeStream() {
    if (openFlag_)
        consumeEndMarker();
}

void Ascii85DecodeStream::consumeEndMarker() {
    if (ended_)
        return;
    uint16_t c = inner_->getByte();
    if (c == '~') {
        inner_->getByte();
        ended_ = true;
    } else {
        inner_->unread(c);
    }
}

void Ascii85DecodeStream::close() {
    if (openFlag_)
        consumeEndMarker();
    FilterStream::close();
}

bool Ascii85DecodeStream::atEnd() {
    if (ended_)
        return true;
    return inner_ == nullptr || inner_->atEnd();
}

uint16_t Ascii85DecodeStream::decodeByte() {
    if (index_ >= 4) {
        if (ended_)
            return kEndOfData;
        group_ = 0;
        skipWhiteSpace();
        uint16_t c = inner_->getByte();
        if (c == '~') {
            inner_->getByte();  // the ">" of the end marker
            count_ = 0;
            ended_ = true;
            return kEndOfData;
        }
        if (c == kEndOfData) {
            count_ = 0;
            ended_ = true;
            return kEndOfData;
        }
        if (c == 'z') {
            count_ = 4;
            index_ = 0;
        } else {
            uint8_t digits[5];
            int n = 0;
            digits[n++] = uint8_t(c - 33);
            while (n < 5) {
                skipWhiteSpace();
                c = inner_->getByte();
                if (c == '~') {
                    inner_->getByte();
                    ended_ = true;
                    break;
                }
                if (c == kEndOfData) {
                    ended_ = true;
                    break;
                }
                if (c == 'z') {  // not allowed inside a group: drop the group
                    count_ = 0;
                    ended_ = true;
                    return kEndOfData;
                }
                digits[n++] = uint8_t(c - 33);
            }
            count_ = uint8_t(n - 1);
            for (int i = n; i < 5; ++i)
                digits[i] = 0;  // "!" completes a final group
            uint32_t value = 0;
            for (int i = 0; i < 5; ++i)
                value = value * 85u + digits[i];
            // Round up the cut-off bytes of a partial group so that its first
            // n - 1 bytes come out as the encoder had them.
            uint32_t roundUp = 0;
            for (int i = count_; i < 4; ++i)
                roundUp = (roundUp << 8) | 0xFF;
            group_ = value + roundUp;
            if (count_ == 0) {
                ended_ = true;
                return kEndOfData;
            }
            index_ = 0;
        }
    }
    if (index_ > count_ - 1) {  // rest of a partial group
        ended_ = true;
        index_ = 4;
        return kEndOfData;
    }
    uint16_t b = uint16_t((group_ >> (8 * (3 - index_))) & 0xFF);
    ++index_;
    return b;
}

// ---------------------------------------------------------------------------
// RunLengthDecodeStream

RunLengthDecodeStream::RunLengthDecodeStream(InputStream* inner,
                                             std::unique_ptr<FilterParams> params)
    : FilterStream(inner, std::move(params)) {}

uint16_t RunLengthDecodeStream::decodeByte() {
    if (ended_)
        return kEndOfData;
    if (mode_ == kLengthDue) {
        uint16_t length = inner_->getByte();
        if (length == kEndOfData || length == 128) {
            ended_ = true;
            return kEndOfData;
        }
        if (length < 128) {
            mode_ = kLiteral;
            left_ = length + 1u;
        } else {
            mode_ = kRepeat;
            left_ = 257u - length;
            uint16_t c = inner_->getByte();
            if (c == kEndOfData) {
                ended_ = true;
                return kEndOfData;
            }
            byte_ = c;
        }
    }
    if (--left_ == 0) {
        Mode was = mode_;
        mode_ = kLengthDue;
        if (was == kRepeat)
            return uint16_t(byte_);
    } else if (mode_ == kRepeat) {
        return uint16_t(byte_);
    }
    // Literal run: the next inner byte; at the end of the inner data each byte
    // still due gives kEndOfData and the next length byte ends the data.
    uint16_t c = inner_->getByte();
    byte_ = c == kEndOfData ? -1 : c;
    return c;
}

// ---------------------------------------------------------------------------
// Base64DecodeStream

Base64DecodeStream::Base64DecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params)
    : FilterStream(inner, std::move(params)) {}

uint16_t Base64DecodeStream::decodeByte() {
    if (index_ < count_)
        return bytes_[index_++];
    if (ended_)
        return kEndOfData;
    uint32_t bits = 0;
    int n = 0;
    while (n < 4) {
        skipWhiteSpace();
        uint16_t c = inner_->getByte();
        int v = base64Value(c);
        if (v < 0) {  // pad character, end of data or a foreign character
            ended_ = true;
            break;
        }
        bits = (bits << 6) | uint32_t(v);
        ++n;
    }
    bits <<= 6 * (4 - n);
    count_ = n > 1 ? uint8_t(n - 1) : 0;
    for (int i = 0; i < count_; ++i)
        bytes_[i] = uint8_t(bits >> (16 - 8 * i));
    index_ = 0;
    if (count_ == 0) {
        ended_ = true;
        return kEndOfData;
    }
    return bytes_[index_++];
}

}  // namespace vistrel
