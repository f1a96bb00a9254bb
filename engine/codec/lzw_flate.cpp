#include "engine/codec/lzw_flate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace vistrel {

// ---------------------------------------------------------------------------
// LzwDecodeStream

LzwDecodeStream::LzwDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params)
    : FilterStream(inner, std::move(params)) {
    if (!openFlag_)
        return;
    bits_.reset(new (std::nothrow) BitReader(inner));
    if (!bits_ || !bits_->isOpen()) {
        openFlag_ = false;
        return;
    }
    resetTable();
    predictor_ = Predictor::fromParameters(params_.get());
}

FilterParams* LzwDecodeStream::setParameters(std::unique_ptr<FilterParams> params) {
    FilterParams* set = FilterStream::setParameters(std::move(params));
    predictor_ = Predictor::fromParameters(set);
    return set;
}

void LzwDecodeStream::close() {
    bits_.reset();
    FilterStream::close();
}

void LzwDecodeStream::resetTable() {
    for (int i = 0; i < 256; ++i)
        table_[i] = Entry{-1, uint8_t(i)};
    nextCode_ = 258;
    width_ = 9;
}

int LzwDecodeStream::readCode() {
    if (!bits_)
        return -1;
    uint16_t code = bits_->readBits(width_);
    // No byte left at the start of the code; or the input ran out inside it:
    // the bits left over are the padding behind the last code, not a code.
    if (code == kEndOfData || bits_->currentByte == kEndOfData)
        return -1;
    return code;
}

void LzwDecodeStream::addEntry(int prefix, uint8_t last) {
    if (nextCode_ < kTableSize) {
        table_[nextCode_] = Entry{int16_t(prefix), last};
        ++nextCode_;
    }
    // The width changes one code early (as with /EarlyChange 1) and stays at 12.
    if (nextCode_ != 4095 && nextCode_ == (1 << width_) - 1)
        ++width_;
}

uint16_t LzwDecodeStream::expand(int code) {
    int length = 0;
    for (int c = code; c >= 0; c = table_[c].prefix)
        ++length;
    int pos = length;
    for (int c = code; c >= 0; c = table_[c].prefix)
        string_[--pos] = table_[c].last;
    firstChar_ = string_[0];
    previous_ = int16_t(code);
    stringLength_ = int16_t(length);
    stringIndex_ = 1;
    return string_[0];
}

uint16_t LzwDecodeStream::end() {
    ended_ = true;
    stringIndex_ = stringLength_ = 0;
    return kEndOfData;
}

uint16_t LzwDecodeStream::decodeByte() {
    if (!predictor_)
        return decompressedByte();
    return predictor_->nextByte([this](uint8_t* out, size_t n) {
        size_t got = 0;
        for (uint16_t c; got < n && (c = decompressedByte()) != kEndOfData;)
            out[got++] = uint8_t(c);
        return got;
    });
}

uint16_t LzwDecodeStream::decompressedByte() {
    if (stringIndex_ < stringLength_)
        return string_[stringIndex_++];
    if (ended_)
        return kEndOfData;
    int code = readCode();
    if (code < 0 || code == kEndCode)
        return end();
    if (code == kClearCode || previous_ < 0) {
        // The first code of the data and the code after a clear code: a single
        // byte, remembered, no entry added. Repeated clear codes are allowed.
        while (code == kClearCode) {
            resetTable();
            code = readCode();
        }
        if (code < 0 || code > 255)
            return end();
        stringLength_ = stringIndex_ = 0;
        previous_ = int16_t(code);
        firstChar_ = uint8_t(code);
        return uint16_t(code);
    }
    if (code > nextCode_)
        return end();
    if (code == nextCode_) {
        // The string is not in the table yet: previous string + its first byte.
        addEntry(previous_, firstChar_);
        return expand(code);
    }
    int previous = previous_;
    uint16_t first = expand(code);
    addEntry(previous, firstChar_);
    return first;
}

// ---------------------------------------------------------------------------
// FlateDecodeStream

namespace {

// zlib takes its memory from the engine's default allocator.
voidpf zlibAlloc(voidpf, uInt items, uInt size) {
    size_t bytes;
    if (!checkedMultiply(items, size, &bytes))
        return Z_NULL;
    return globalNew(bytes);
}

void zlibFree(voidpf, voidpf block) {
    globalDelete(block);
}

}  // namespace

FlateDecodeStream::FlateDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params,
                                     bool inlineImage)
    : FilterStream(inner, std::move(params)) {
    if (!openFlag_)
        return;
    bufferSize_ = inlineImage ? 1 : kBlockSize;
    in_.reset(new (std::nothrow) uint8_t[bufferSize_]);
    out_.reset(new (std::nothrow) uint8_t[bufferSize_]);
    z_.reset(new (std::nothrow) z_stream());
    if (!in_ || !out_ || !z_) {
        in_.reset();
        out_.reset();
        z_.reset();
        openFlag_ = false;
        return;
    }
    z_->zalloc = zlibAlloc;
    z_->zfree = zlibFree;
    z_->opaque = Z_NULL;
    z_->next_in = in_.get();
    z_->avail_in = 0;
    // A failed initialisation makes the first inflate fail, which ends the data.
    zopen_ = inflateInit(z_.get()) == Z_OK;
    predictor_ = Predictor::fromParameters(params_.get());
}

FilterParams* FlateDecodeStream::setParameters(std::unique_ptr<FilterParams> params) {
    FilterParams* set = FilterStream::setParameters(std::move(params));
    predictor_ = Predictor::fromParameters(set);
    return set;
}

FlateDecodeStream::~FlateDecodeStream() {
    close();
}

void FlateDecodeStream::close() {
    if (openFlag_ && zopen_)
        inflateEnd(z_.get());
    zopen_ = false;
    FilterStream::close();
}

uint64_t FlateDecodeStream::position() {
    return z_ ? z_->total_in : 0;
}

size_t FlateDecodeStream::refill() {
    if (!z_ || z_->avail_in != 0)
        return 0;  // input still pending: no progress possible
    int64_t n = inner_->read(in_.get(), bufferSize_);
    if (n <= 0)
        return 0;
    z_->next_in = in_.get();
    z_->avail_in = uInt(n);
    return size_t(n);
}

int FlateDecodeStream::inflatePass() {
    available_ = index_ = 0;
    size_t produced = 0;
    return inflateInto(out_.get(), bufferSize_, &produced);
}

int FlateDecodeStream::inflateInto(uint8_t* out, size_t n, size_t* produced) {
    z_->next_out = out;
    z_->avail_out = uInt(std::min<size_t>(n, UINT32_MAX));
    const uInt room = z_->avail_out;
    *produced = 0;
    if (!zopen_)
        return Z_STREAM_ERROR;
    int result = inflate(z_.get(), Z_SYNC_FLUSH);
    *produced = room - z_->avail_out;
    return result;
}

uint16_t FlateDecodeStream::getByte() {
    // Bytes of the last pass go out without the checks of a fresh pass.
    if (index_ < available_ && !pushedBack_ && openFlag_ && !predictor_)
        return out_[index_++];
    return FilterStream::getByte();
}

uint16_t FlateDecodeStream::decodeByte() {
    if (!predictor_)
        return decompressedByte();
    return predictor_->nextByte([this](uint8_t* out, size_t n) {
        bool failed = false;
        return readDecompressed(out, n, &failed);
    });
}

uint16_t FlateDecodeStream::decompressedByte() {
    for (;;) {
        if (index_ < available_)
            return out_[index_++];
        if (ended_)
            return kEndOfData;
        int result = inflatePass();
        if (result == Z_BUF_ERROR) {
            refill();
            result = inflatePass();
        }
        if (result != Z_OK) {
            ended_ = true;
            if (result != Z_STREAM_END)
                return kEndOfData;
        }
        available_ = bufferSize_ - z_->avail_out;
        index_ = 0;
    }
}

int64_t FlateDecodeStream::read(void* buffer, size_t count) {
    if (!openFlag_ || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    auto* out = static_cast<uint8_t*>(buffer);
    size_t n = 0;
    uint16_t c;
    if (takePushedBack(c))
        out[n++] = uint8_t(c);
    if (!predictor_) {
        bool failed = false;
        n += readDecompressed(out + n, count - n, &failed);
        return failed ? -1 : int64_t(n);
    }
    // A decoding error ends the data after the rows made before it.
    n += predictor_->read(out + n, count - n, [this](uint8_t* into, size_t want) {
        bool failed = false;
        return readDecompressed(into, want, &failed);
    });
    return int64_t(n);
}

size_t FlateDecodeStream::readDecompressed(uint8_t* out, size_t count, bool* failed) {
    size_t n = 0;
    while (n < count) {
        if (index_ < available_) {
            size_t take = std::min<size_t>(available_ - index_, count - n);
            std::memcpy(out + n, out_.get() + index_, take);
            index_ += uint32_t(take);
            n += take;
            continue;
        }
        if (ended_)
            break;
        // A block or more still wanted: inflated where the caller wants it,
        // without passing through the output buffer.
        const bool direct = bufferSize_ > 1 && count - n >= kBlockSize;
        size_t produced = 0;
        int result = direct ? inflateInto(out + n, count - n, &produced) : inflatePass();
        if (result == Z_BUF_ERROR) {
            n += produced;
            if (refill() == 0)
                ended_ = true;
            continue;
        }
        if (result == Z_STREAM_END) {
            ended_ = true;
        } else if (result != Z_OK) {
            ended_ = true;
            *failed = true;
            return n;
        }
        if (direct)
            n += produced;
        else
            available_ = bufferSize_ - z_->avail_out;
    }
    return n;
}

}  // namespace vistrel
