// Small streams the document core puts around other streams: the /Length
// window under every filter chain, RC4 decryption, a stream over the
// characters of a WString, and a writer of 8-bit text lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/parser/security.h"

namespace vistrel {

// The raw data of a stream object: the inner stream cut off after `limit`
// bytes. The inner stream is not owned.
class LengthLimitedStream : public InputStream {
public:
    static constexpr uint64_t kNoLimit = ~uint64_t{0};

    LengthLimitedStream(InputStream* inner, uint64_t limit);

    void close() override;
    int64_t read(void* buffer, size_t count) override;
    uint16_t getByte() override;
    uint64_t size() override { return limit_; }
    uint64_t position() override { return count_; }
    void unread(uint16_t byte) override;
    bool atEnd() override;
    int64_t skip(size_t count) override;

    // Sets a new limit while open.
    void setLimit(uint64_t limit);

private:
    uint64_t left() const { return count_ < limit_ ? limit_ - count_ : 0; }

    InputStream* inner_;
    uint64_t limit_;
    uint64_t count_ = 0;
};

// Decrypts its inner stream with RC4 under a stream object's key (always
// taken as 10 bytes). The inner stream is not owned.
class Rc4Stream : public InputStream {
public:
    Rc4Stream(InputStream* inner, const uint8_t key[kObjectKeyLength]);

    void close() override;
    int64_t read(void* buffer, size_t count) override;
    uint16_t getByte() override;
    uint64_t size() override;
    uint64_t position() override;
    bool atEnd() override;

private:
    InputStream* inner_;
    Rc4Context rc4_;
};

// An input stream over the characters of a WString (not owned). Characters
// are delivered as they are, 16-bit values not cut to 8 bits.
class ObjectDataStream : public InputStream, public Seekable {
public:
    explicit ObjectDataStream(const WString* text);

    bool open() override;
    void close() override {}
    uint16_t getByte() override;
    uint64_t size() override;
    uint64_t position() override { return position_; }
    // Steps back one character (the byte itself is not stored).
    void unread(uint16_t byte) override;
    bool atEnd() override;
    int64_t skip(size_t count) override;
    bool seek(uint64_t position) override;

private:
    const WString* text_;
    size_t position_ = 0;
};

// Writes WStrings as 8-bit text and line ends to an output stream (not owned).
class TextWriter : public OutputStream {
public:
    explicit TextWriter(OutputStream* inner);
    ~TextWriter() override;

    void close() override;
    size_t write(const void* buffer, size_t count) override;
    int putByte(uint16_t c) override;
    bool flush() override;

    // The text's characters narrowed to 8 bits; false when closed or short.
    bool write(const WString& text);
    // Carriage return and line feed.
    bool newLine();

private:
    OutputStream* inner_;
};

}  // namespace vistrel
