// Small shared building blocks: a bit reader over an InputStream, a fixed-size
// bit set, the sample-row cursor record, the mathematical functions of the
// colour and function code, and byte-order helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

class InputStream;

// Reads bits, most significant first, from an InputStream it does not own.
// Users may also take bits through the fields themselves.
class BitReader {
public:
    explicit BitReader(InputStream* source = nullptr);
    virtual ~BitReader() = default;

    // Attaches to source and clears the bit state.
    void reset(InputStream* source);

    // The next n bits (n below 16) as an unsigned value. Returns kEndOfData when n
    // is 16 or more, the reader is not open or at its end, or the first byte the
    // call needs cannot be read; a further byte of the same call that is missing
    // reads as all ones, so every bit of the result is set. n = 0 gives 0.
    std::uint16_t readBits(int n);

    bool isOpen() const { return sourceOpen; }
    // Whether no further bits can come.
    bool atEnd();

    bool endFlag = true;
    InputStream* source = nullptr;
    bool sourceOpen = false;
    std::uint16_t currentByte = 0;  // the partly used byte (kEndOfData once the data ran out)
    int bitsUsed = 0;               // bits of currentByte already taken (0 to 7)
};

// Fixed-size set of bits; bit b is bit (b & 31) of word b / 32.
class BitSet {
public:
    explicit BitSet(std::size_t bitCount);

    bool test(std::size_t b) const;
    void assignBit(std::size_t b, bool on);
    // Word by word over this set's words; words the other set lacks count as 0.
    void xorWith(const BitSet& other);
    void orWith(const BitSet& other);
    void andWith(const BitSet& other);
    // Complements every word, the bits beyond the bit count included.
    void invert();

    std::size_t bitCount() const { return bitCount_; }
    std::size_t wordCount() const { return words_.size(); }
    std::uint32_t word(std::size_t i) const { return words_[i]; }

private:
    std::vector<std::uint32_t> words_;
    std::size_t bitCount_;
};

// State of a reader of packed samples over one image row: init stores the
// three given values and clears the bit position and the end flag.
struct RowCursor {
    // Marks the end of the row in readSample.
    static constexpr std::uint16_t kEndOfRow = 0xFFFF;

    void init(int bitsPerSampleIn, const std::uint8_t* dataIn, std::size_t byteCount) {
        data = dataIn;
        currentByte = 0;
        bitsPerSample = bitsPerSampleIn;
        bitPosition = 0;
        bytesLeft = byteCount;
        endFlag = false;
    }

    // The next sample of bitsPerSample bits (1 to 16), most significant bit
    // first; kEndOfRow (and the end flag set) when fewer bits are left.
    std::uint16_t readSample();

    const std::uint8_t* data = nullptr;
    std::uint32_t currentByte = 0;
    int bitsPerSample = 0;
    int bitPosition = 0;  // bits of currentByte not read yet
    std::size_t bytesLeft = 0;
    bool endFlag = false;
};

// Mathematical functions of the colour spaces and calculator functions.
double cieGammaNumerator();
double Sqrt(double x);
double Pow(double x, double y);
double Acos(double x);
double Atan(double x);
double Cos(double x);
double Sin(double x);
double Ln(double x);
double Log10(double x);
double DegToRad(double x);
double RadToDeg(double x);

// Rewrites word so that its bytes lie least significant first in memory.
void toLittleEndian32(std::uint32_t& word);
// Reverses the four bytes of word.
void reverseBytes32(std::uint32_t& word);

// Compare two two-word values by their first words only.
inline bool firstWordEqual(const std::int32_t* a, const std::int32_t* b) {
    return a[0] == b[0];
}
inline bool firstWordDiffers(const std::int32_t* a, const std::int32_t* b) {
    return a[0] != b[0];
}

}  // namespace vistrel
