// LZW and Flate decode filters. Both undo the predictor their /DecodeParms
// name (TIFF 2 or PNG 10 to 15) on the decompressed rows.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/codec/filter_stream.h"
#include "engine/codec/predictor.h"
#include "engine/core/bit_reader.h"

struct z_stream_s;

namespace vistrel {

class LzwDecodeStream : public FilterStream {
public:
    LzwDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    void close() override;
    bool atEnd() override { return ended_ && (!predictor_ || predictor_->drained()); }
    FilterParams* setParameters(std::unique_ptr<FilterParams> params) override;

protected:
    uint16_t decodeByte() override;

private:
    static constexpr int kTableSize = 4096;
    static constexpr int kClearCode = 256;
    static constexpr int kEndCode = 257;

    struct Entry {
        int16_t prefix;  // -1: none
        uint8_t last;
    };

    void resetTable();
    // A code of the current width, most significant bit first; -1 when no
    // byte is left at the start of the code.
    int readCode();
    void addEntry(int prefix, uint8_t last);
    // Writes the string of code into the string buffer and hands out its
    // first byte.
    uint16_t expand(int code);
    uint16_t end();
    // The next decompressed byte, before the predictor.
    uint16_t decompressedByte();

    std::unique_ptr<BitReader> bits_;
    Entry table_[kTableSize];
    uint8_t string_[kTableSize];
    int16_t stringIndex_ = 0;
    int16_t stringLength_ = 0;
    uint8_t firstChar_ = 0;
    uint8_t width_ = 9;
    int16_t nextCode_ = 258;
    int16_t previous_ = -1;  // -1: the next code is the first after a clear
    bool ended_ = false;
    std::unique_ptr<Predictor> predictor_;
};

class FlateDecodeStream : public FilterStream {
public:
    // Size of the input and output buffers, and the least a read must ask
    // for to be inflated straight into the caller's memory: zlib runs its
    // fast loop only with room to spare on both sides.
    static constexpr uint32_t kBlockSize = 16384;

    // inlineImage: buffers of one byte, so that nothing behind the compressed
    // data is consumed.
    FlateDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params, bool inlineImage);
    ~FlateDecodeStream() override;
    void close() override;
    uint16_t getByte() override;
    int64_t read(void* buffer, size_t count) override;
    uint64_t position() override;
    bool atEnd() override { return ended_ && (!predictor_ || predictor_->drained()); }
    FilterParams* setParameters(std::unique_ptr<FilterParams> params) override;

protected:
    uint16_t decodeByte() override;

private:
    // The next decompressed byte, before the predictor.
    uint16_t decompressedByte();
    // Up to count decompressed bytes into out (not null), before the
    // predictor; *failed is set on a decoding error.
    size_t readDecompressed(uint8_t* out, size_t count, bool* failed);
    // One inflate pass over the whole output buffer.
    int inflatePass();
    // One inflate pass over n bytes at out; *produced gets the bytes made.
    int inflateInto(uint8_t* out, size_t n, size_t* produced);
    // Refills the input buffer from the inner stream; returns the bytes read.
    size_t refill();

    bool ended_ = false;
    bool zopen_ = false;
    uint32_t bufferSize_ = kBlockSize;
    std::unique_ptr<z_stream_s> z_;  // zlib's state
    std::unique_ptr<uint8_t[]> in_;
    std::unique_ptr<uint8_t[]> out_;
    uint32_t available_ = 0;
    uint32_t index_ = 0;
    std::unique_ptr<Predictor> predictor_;
};

}  // namespace vistrel
