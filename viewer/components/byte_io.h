// Bounds-checked reading of little-endian binary data and the matching
// writers, shared by the picture and cursor readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brevant {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Reads from a byte span; every read past the end throws StreamReadError.
class ByteReader {
public:
    explicit ByteReader(ByteSpan data) : data_(data) {}

    std::size_t position() const { return pos_; }
    std::size_t size() const { return data_.size(); }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    void seek(std::size_t pos);

    std::uint8_t u8();
    std::uint16_t le16();
    std::uint32_t le32();
    // The next n bytes, consumed.
    ByteSpan take(std::size_t n);
    void skip(std::size_t n) { take(n); }

private:
    ByteSpan data_;
    std::size_t pos_ = 0;
};

void putLe16(Bytes& out, std::uint32_t v);
void putLe32(Bytes& out, std::uint32_t v);
inline void putBytes(Bytes& out, ByteSpan b) {
    out.insert(out.end(), b.begin(), b.end());
}
inline void putText(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
}
inline std::uint16_t le16At(ByteSpan b, std::size_t at) {
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t le32At(ByteSpan b, std::size_t at) {
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) |
           (std::uint32_t(b[at + 2]) << 16) | (std::uint32_t(b[at + 3]) << 24);
}

// True when the first n bytes of a and b are equal.
bool compareBytes(const void* a, const void* b, std::size_t n);

// The whole content of a file; StreamReadError when it cannot be read.
Bytes readFileBytes(const std::string& path);

}  // namespace brevant
