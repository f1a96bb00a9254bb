#include "engine/core/bit_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "engine/core/streams.h"

namespace vistrel {

// ------------------------------------------------------------------ BitReader

BitReader::BitReader(InputStream* src) {
    reset(src);
}

void BitReader::reset(InputStream* src) {
    source = src;
    sourceOpen = src != nullptr && src->isOpen();
    endFlag = !sourceOpen;
    currentByte = 0;
    bitsUsed = 0;
}

bool BitReader::atEnd() {
    if (endFlag || source == nullptr || !source->isOpen())
        return true;
    return bitsUsed == 0 && source->atEnd();
}

std::uint16_t BitReader::readBits(int n) {
    if (n < 0 || n > 15 || !sourceOpen || endFlag || source == nullptr)
        return kEndOfData;
    if (n == 0)
        return 0;
    if (bitsUsed == 0) {
        const std::uint16_t b = source->getByte();
        if (b == kEndOfData) {
            endFlag = true;
            return kEndOfData;
        }
        currentByte = b;
    }
    const int avail = 8 - bitsUsed;
    std::uint32_t result;
    if (n <= avail) {
        result = static_cast<std::uint32_t>(currentByte) >> (avail - n);
    } else if (n <= avail + 8) {
        const int k = n - avail;
        const std::uint32_t next = source->getByte();
        result = (static_cast<std::uint32_t>(currentByte) << k) | (next >> (8 - k));
        currentByte = static_cast<std::uint16_t>(next);
    } else {
        const int k = n - avail - 8;
        const std::uint32_t b1 = source->getByte();
        const std::uint32_t b2 = source->getByte();
        result = (static_cast<std::uint32_t>(currentByte) << (8 + k)) | (b1 << k) | (b2 >> (8 - k));
        currentByte = static_cast<std::uint16_t>(b2);
    }
    bitsUsed = (bitsUsed + n) % 8;
    return static_cast<std::uint16_t>(result & ((1u << n) - 1));
}

// --------------------------------------------------------------------- BitSet

BitSet::BitSet(std::size_t bitCount) : words_((bitCount + 31) / 32, 0u), bitCount_(bitCount) {}

bool BitSet::test(std::size_t b) const {
    if (b / 32 >= words_.size())
        return false;
    return (words_[b / 32] & (1u << (b & 31))) != 0;
}

void BitSet::assignBit(std::size_t b, bool on) {
    if (b / 32 >= words_.size())
        return;
    if (on) {
        words_[b / 32] |= 1u << (b & 31);
    } else {
        words_[b / 32] &= ~(1u << (b & 31));
    }
}

void BitSet::xorWith(const BitSet& other) {
    const std::size_t n = std::min(words_.size(), other.words_.size());
    for (std::size_t i = 0; i < n; ++i)
        words_[i] ^= other.words_[i];
}

void BitSet::orWith(const BitSet& other) {
    const std::size_t n = std::min(words_.size(), other.words_.size());
    for (std::size_t i = 0; i < n; ++i)
        words_[i] |= other.words_[i];
}

void BitSet::andWith(const BitSet& other) {
    for (std::size_t i = 0; i < words_.size(); ++i)
        words_[i] &= i < other.words_.size() ? other.words_[i] : 0u;
}

void BitSet::invert() {
    for (auto& w : words_)
        w = ~w;
}

// --------------------------------------------------------------- mathematics

double cieGammaNumerator() {
    return 1.43;
}
double Sqrt(double x) {
    return std::sqrt(x);
}
double Pow(double x, double y) {
    return std::pow(x, y);
}
double Acos(double x) {
    return std::acos(x);
}
double Atan(double x) {
    return std::atan2(x, 1.0);
}
double Cos(double x) {
    return std::cos(x);
}
double Sin(double x) {
    return std::sin(x);
}
double Ln(double x) {
    return std::log(x);
}
double Log10(double x) {
    return std::log10(x);
}
double DegToRad(double x) {
    return std::numbers::pi * x * (1.0 / 180.0);
}
double RadToDeg(double x) {
    return x * 180.0 / std::numbers::pi;
}

// ----------------------------------------------------------------- row cursor

std::uint16_t RowCursor::readSample() {
    const int width = bitsPerSample;
    if (width < 1 || width > 16 || endFlag ||
        std::uint64_t(bitPosition) + std::uint64_t(bytesLeft) * 8 < std::uint64_t(width)) {
        endFlag = true;
        return kEndOfRow;
    }
    std::uint32_t value = 0;
    int need = width;
    while (need > 0) {
        if (bitPosition == 0) {
            currentByte = *data++;
            --bytesLeft;
            bitPosition = 8;
        }
        const int take = need < bitPosition ? need : bitPosition;
        value = (value << take) | ((currentByte >> (bitPosition - take)) & ((1u << take) - 1));
        bitPosition -= take;
        need -= take;
    }
    return std::uint16_t(value);
}

// ----------------------------------------------------------------- byte order

void reverseBytes32(std::uint32_t& word) {
    word =
        ((word & 0xFFu) << 24) | ((word & 0xFF00u) << 8) | ((word >> 8) & 0xFF00u) | (word >> 24);
}

void toLittleEndian32(std::uint32_t& word) {
    if constexpr (std::endian::native == std::endian::big)
        reverseBytes32(word);
}

}  // namespace vistrel
