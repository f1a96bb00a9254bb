#include "viewer/components/byte_io.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "viewer/components/graphic_errors.h"

namespace brevant {

void ByteReader::seek(std::size_t pos) {
    if (pos > data_.size())
        throw StreamReadError();
    pos_ = pos;
}

std::uint8_t ByteReader::u8() {
    if (pos_ >= data_.size())
        throw StreamReadError();
    return data_[pos_++];
}

std::uint16_t ByteReader::le16() {
    ByteSpan b = take(2);
    return le16At(b, 0);
}

std::uint32_t ByteReader::le32() {
    ByteSpan b = take(4);
    return le32At(b, 0);
}

ByteSpan ByteReader::take(std::size_t n) {
    if (n > remaining())
        throw StreamReadError();
    ByteSpan b = data_.subspan(pos_, n);
    pos_ += n;
    return b;
}

void putLe16(Bytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void putLe32(Bytes& out, std::uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

bool compareBytes(const void* a, const void* b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0;
}

Bytes readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw StreamReadError();
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace brevant
