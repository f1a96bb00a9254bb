#include "engine/parser/support_streams.h"

#include <algorithm>
#include <cstring>

#include "engine/core/allocator.h"

namespace vistrel {

// ---------------------------------------------------------------- LengthLimitedStream

LengthLimitedStream::LengthLimitedStream(InputStream* inner, uint64_t limit)
    : inner_(inner), limit_(limit) {
    openFlag_ = inner_ != nullptr && inner_->isOpen();
}

void LengthLimitedStream::close() {
    openFlag_ = false;
}

void LengthLimitedStream::setLimit(uint64_t limit) {
    if (openFlag_)
        limit_ = limit;
}

uint16_t LengthLimitedStream::getByte() {
    if (!openFlag_)
        return kEndOfData;
    uint16_t byte;
    if (takePushedBack(byte)) {
        ++count_;
        return byte;
    }
    if (left() == 0)
        return kEndOfData;
    byte = inner_->nextByte();
    if (byte != kEndOfData)
        ++count_;
    return byte;
}

int64_t LengthLimitedStream::read(void* buffer, size_t count) {
    if (!openFlag_ || count == 0)
        return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int64_t delivered = 0;
    uint16_t byte;
    if (takePushedBack(byte)) {
        if (out)
            *out++ = uint8_t(byte);
        ++count_;
        ++delivered;
        --count;
    }
    size_t want = size_t(std::min<uint64_t>(count, left()));
    if (want > 0) {
        int64_t got = out ? inner_->read(out, want) : inner_->skip(want);
        if (got > 0) {
            count_ += uint64_t(got);
            delivered += got;
        }
    }
    return delivered;
}

int64_t LengthLimitedStream::skip(size_t count) {
    if (!openFlag_)
        return 0;
    int64_t skipped = 0;
    uint16_t byte;
    if (count > 0 && takePushedBack(byte)) {
        ++count_;
        ++skipped;
        --count;
    }
    size_t want = size_t(std::min<uint64_t>(count, left()));
    if (want > 0) {
        int64_t got = inner_->skip(want);
        if (got > 0) {
            count_ += uint64_t(got);
            skipped += got;
        }
    }
    return skipped;
}

void LengthLimitedStream::unread(uint16_t byte) {
    if (byte == kEndOfData)
        return;
    InputStream::unread(byte);
    if (count_ > 0)
        --count_;
}

bool LengthLimitedStream::atEnd() {
    if (!openFlag_)
        return true;
    if (pushedBack_)
        return false;
    if (left() == 0)
        return true;
    return inner_->atEnd();
}

// ---------------------------------------------------------------- Rc4Stream

Rc4Stream::Rc4Stream(InputStream* inner, const uint8_t key[kObjectKeyLength]) : inner_(inner) {
    openFlag_ = inner_ != nullptr && inner_->isOpen();
    Rc4SetKey(rc4_, key, kObjectKeyLength);
}

void Rc4Stream::close() {
    openFlag_ = false;
}

uint16_t Rc4Stream::getByte() {
    if (!openFlag_)
        return kEndOfData;
    uint16_t byte;
    if (takePushedBack(byte))
        return byte;
    byte = inner_->getByte();
    if (byte == kEndOfData)
        return byte;
    return Rc4CryptByte(rc4_, uint8_t(byte));
}

int64_t Rc4Stream::read(void* buffer, size_t count) {
    if (!openFlag_ || buffer == nullptr || count == 0)
        return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int64_t delivered = 0;
    uint16_t byte;
    if (takePushedBack(byte)) {
        *out++ = uint8_t(byte);
        ++delivered;
        --count;
    }
    if (count > 0) {
        int64_t got = inner_->read(out, count);
        if (got > 0) {
            Rc4Crypt(rc4_, out, size_t(got));
            delivered += got;
        }
    }
    return delivered;
}

uint64_t Rc4Stream::size() {
    return inner_ ? inner_->size() : 0;
}

uint64_t Rc4Stream::position() {
    if (!inner_)
        return 0;
    uint64_t p = inner_->position();
    return pushedBack_ && p > 0 ? p - 1 : p;
}

bool Rc4Stream::atEnd() {
    if (!openFlag_)
        return true;
    if (pushedBack_)
        return false;
    return inner_->atEnd();
}

// ---------------------------------------------------------------- ObjectDataStream

ObjectDataStream::ObjectDataStream(const WString* text) : text_(text) {
    openFlag_ = text_ != nullptr;
}

bool ObjectDataStream::open() {
    position_ = 0;
    pushedBack_ = false;
    return true;
}

uint16_t ObjectDataStream::getByte() {
    if (!openFlag_ || position_ >= size_t(text_->size()))
        return kEndOfData;
    return uint16_t(text_->at(int32_t(position_++)));
}

uint64_t ObjectDataStream::size() {
    return openFlag_ ? uint64_t(text_->size()) : 0;
}

void ObjectDataStream::unread(uint16_t byte) {
    if (byte != kEndOfData && position_ > 0)
        --position_;
}

bool ObjectDataStream::atEnd() {
    return !openFlag_ || position_ >= size_t(text_->size());
}

int64_t ObjectDataStream::skip(size_t count) {
    if (!openFlag_)
        return 0;
    size_t left = size_t(text_->size()) - position_;
    size_t n = count < left ? count : left;
    position_ += n;
    return int64_t(n);
}

bool ObjectDataStream::seek(uint64_t position) {
    if (!openFlag_ || position > uint64_t(text_->size()))
        return false;
    position_ = size_t(position);
    return true;
}

// ---------------------------------------------------------------- TextWriter

TextWriter::TextWriter(OutputStream* inner) : inner_(inner) {
    openFlag_ = inner_ != nullptr && inner_->isOpen();
}

TextWriter::~TextWriter() {
    openFlag_ = false;
}

void TextWriter::close() {
    openFlag_ = false;
}

size_t TextWriter::write(const void* buffer, size_t count) {
    return openFlag_ ? inner_->write(buffer, count) : 0;
}

int TextWriter::putByte(uint16_t c) {
    return openFlag_ ? inner_->putByte(c) : 0;
}

bool TextWriter::flush() {
    return openFlag_ && inner_->flush();
}

bool TextWriter::write(const WString& text) {
    if (!openFlag_)
        return false;
    char* narrow = NarrowDupFromWide(text.chars());
    if (!narrow)
        return false;
    size_t n = size_t(text.size());
    bool ok = n == 0 || inner_->write(narrow, n) == n;
    blockPool().free(narrow);
    return ok;
}

bool TextWriter::newLine() {
    static const char kLineEnd[2] = {'\r', '\n'};
    return openFlag_ && inner_->write(kLineEnd, 2) == 2;
}

}  // namespace vistrel
