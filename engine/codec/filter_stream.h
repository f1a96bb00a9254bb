// Decode filters: the common base of every filter link and the three
// table-free filters (ASCIIHex, ASCII85, RunLength), plus Base64.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/core/allocator.h"
#include "engine/core/streams.h"

namespace vistrel {

// The integer decode parameters of one filter link, keyed by the parameter
// name's text with its slash ("/Predictor"). Missing keys read as 0.
class FilterParams {
public:
    void set(std::u16string_view key, int32_t value);
    int32_t get(std::u16string_view key, int32_t fallback = 0) const;
    bool contains(std::u16string_view key) const;
    size_t count() const { return values_.size(); }

private:
    std::unordered_map<std::u16string, int32_t> values_;
};

// An InputStream that decodes the bytes of an inner stream. The inner
// stream is not owned; the parameter map is. A filter is open exactly when
// its inner stream is non-null and open.
class FilterStream : public InputStream {
public:
    FilterStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    ~FilterStream() override;
    FilterStream(const FilterStream&) = delete;
    FilterStream& operator=(const FilterStream&) = delete;

    bool open() override { return false; }
    void close() override;
    // Closed: kEndOfData. A pushed-back byte comes first; then decodeByte().
    uint16_t getByte() override;
    uint64_t size() override;
    uint64_t position() override;

    // Replaces the parameter map (an earlier one is destroyed); returns the
    // new one, borrowed.
    virtual FilterParams* setParameters(std::unique_ptr<FilterParams> params);
    FilterParams* parameters() const { return params_.get(); }
    InputStream* inner() const { return inner_; }

    VISTREL_GLOBAL_ALLOCATOR()

protected:
    // The next decoded byte, or kEndOfData at the end of the data. Called only
    // while open and with no pushed-back byte.
    virtual uint16_t decodeByte() = 0;
    // Reads inner bytes while they are space, tab, CR or LF and gives the
    // first other byte (kEndOfData included) back to the inner stream.
    void skipWhiteSpace();

    InputStream* inner_;
    std::unique_ptr<FilterParams> params_;
};

class AsciiHexDecodeStream : public FilterStream {
public:
    AsciiHexDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    bool atEnd() override { return ended_; }

protected:
    uint16_t decodeByte() override;

private:
    bool ended_ = false;
};

class Ascii85DecodeStream : public FilterStream {
public:
    Ascii85DecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    ~Ascii85DecodeStream() override;
    void close() override;
    bool atEnd() override;

protected:
    uint16_t decodeByte() override;

private:
    // Reads the rest of a "~>" end marker left behind, so that the inner
    // stream is positioned after it.
    void consumeEndMarker();

    bool ended_ = false;
    uint32_t group_ = 0;  // current group, most significant byte first
    uint8_t index_ = 4;   // next byte of the group; 4 = group used up
    uint8_t count_ = 0;   // bytes in the group (0 to 4)
};

class RunLengthDecodeStream : public FilterStream {
public:
    RunLengthDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    bool atEnd() override { return ended_; }

protected:
    uint16_t decodeByte() override;

private:
    enum Mode { kLengthDue = 0, kLiteral = 1, kRepeat = 2 };
    Mode mode_ = kLengthDue;
    uint32_t left_ = 0;
    int32_t byte_ = 0;
    bool ended_ = false;
};

// Base64 text (standard alphabet, white space skipped, the pad character or
// the end of the data ends it). No filter name selects it.
class Base64DecodeStream : public FilterStream {
public:
    Base64DecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    bool atEnd() override { return ended_ && index_ >= count_; }

protected:
    uint16_t decodeByte() override;

private:
    bool ended_ = false;
    uint8_t bytes_[3] = {0, 0, 0};
    uint8_t index_ = 0;
    uint8_t count_ = 0;
};

}  // namespace vistrel
