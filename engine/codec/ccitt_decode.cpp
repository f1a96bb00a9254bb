#include "engine/codec/ccitt_decode.h"

#include "engine/codec/decode_param_keys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace vistrel {

namespace {

// One code of the T.4 tables: the run length (or mode) it stands for, its
// length in bits and its bits.
struct RunCode {
    int16_t value;
    int8_t length;
    uint16_t bits;
};

// Terminating (0 to 63) and make-up (64 to 1728) codes of each colour, then
// the extended make-up codes both colours share. The end-of-line code sits
// in both run tables with the value -2, so that one met where a run code is
// expected reads as a terminating run of -2.
constexpr RunCode kWhiteCodes[] = {
    {0, 8, 0b00110101},     {1, 6, 0b000111},       {2, 4, 0b0111},         {3, 4, 0b1000},
    {4, 4, 0b1011},         {5, 4, 0b1100},         {6, 4, 0b1110},         {7, 4, 0b1111},
    {8, 5, 0b10011},        {9, 5, 0b10100},        {10, 5, 0b00111},       {11, 5, 0b01000},
    {12, 6, 0b001000},      {13, 6, 0b000011},      {14, 6, 0b110100},      {15, 6, 0b110101},
    {16, 6, 0b101010},      {17, 6, 0b101011},      {18, 7, 0b0100111},     {19, 7, 0b0001100},
    {20, 7, 0b0001000},     {21, 7, 0b0010111},     {22, 7, 0b0000011},     {23, 7, 0b0000100},
    {24, 7, 0b0101000},     {25, 7, 0b0101011},     {26, 7, 0b0010011},     {27, 7, 0b0100100},
    {28, 7, 0b0011000},     {29, 8, 0b00000010},    {30, 8, 0b00000011},    {31, 8, 0b00011010},
    {32, 8, 0b00011011},    {33, 8, 0b00010010},    {34, 8, 0b00010011},    {35, 8, 0b00010100},
    {36, 8, 0b00010101},    {37, 8, 0b00010110},    {38, 8, 0b00010111},    {39, 8, 0b00101000},
    {40, 8, 0b00101001},    {41, 8, 0b00101010},    {42, 8, 0b00101011},    {43, 8, 0b00101100},
    {44, 8, 0b00101101},    {45, 8, 0b00000100},    {46, 8, 0b00000101},    {47, 8, 0b00001010},
    {48, 8, 0b00001011},    {49, 8, 0b01010010},    {50, 8, 0b01010011},    {51, 8, 0b01010100},
    {52, 8, 0b01010101},    {53, 8, 0b00100100},    {54, 8, 0b00100101},    {55, 8, 0b01011000},
    {56, 8, 0b01011001},    {57, 8, 0b01011010},    {58, 8, 0b01011011},    {59, 8, 0b01001010},
    {60, 8, 0b01001011},    {61, 8, 0b00110010},    {62, 8, 0b00110011},    {63, 8, 0b00110100},
    {64, 5, 0b11011},       {128, 5, 0b10010},      {192, 6, 0b010111},     {256, 7, 0b0110111},
    {320, 8, 0b00110110},   {384, 8, 0b00110111},   {448, 8, 0b01100100},   {512, 8, 0b01100101},
    {576, 8, 0b01101000},   {640, 8, 0b01100111},   {704, 9, 0b011001100},  {768, 9, 0b011001101},
    {832, 9, 0b011010010},  {896, 9, 0b011010011},  {960, 9, 0b011010100},  {1024, 9, 0b011010101},
    {1088, 9, 0b011010110}, {1152, 9, 0b011010111}, {1216, 9, 0b011011000}, {1280, 9, 0b011011001},
    {1344, 9, 0b011011010}, {1408, 9, 0b011011011}, {1472, 9, 0b010011000}, {1536, 9, 0b010011001},
    {1600, 9, 0b010011010}, {1664, 6, 0b011000},    {1728, 9, 0b010011011},
};
constexpr RunCode kBlackCodes[] = {
    {0, 10, 0b0000110111},
    {1, 3, 0b010},
    {2, 2, 0b11},
    {3, 2, 0b10},
    {4, 3, 0b011},
    {5, 4, 0b0011},
    {6, 4, 0b0010},
    {7, 5, 0b00011},
    {8, 6, 0b000101},
    {9, 6, 0b000100},
    {10, 7, 0b0000100},
    {11, 7, 0b0000101},
    {12, 7, 0b0000111},
    {13, 8, 0b00000100},
    {14, 8, 0b00000111},
    {15, 9, 0b000011000},
    {16, 10, 0b0000010111},
    {17, 10, 0b0000011000},
    {18, 10, 0b0000001000},
    {19, 11, 0b00001100111},
    {20, 11, 0b00001101000},
    {21, 11, 0b00001101100},
    {22, 11, 0b00000110111},
    {23, 11, 0b00000101000},
    {24, 11, 0b00000010111},
    {25, 11, 0b00000011000},
    {26, 12, 0b000011001010},
    {27, 12, 0b000011001011},
    {28, 12, 0b000011001100},
    {29, 12, 0b000011001101},
    {30, 12, 0b000001101000},
    {31, 12, 0b000001101001},
    {32, 12, 0b000001101010},
    {33, 12, 0b000001101011},
    {34, 12, 0b000011010010},
    {35, 12, 0b000011010011},
    {36, 12, 0b000011010100},
    {37, 12, 0b000011010101},
    {38, 12, 0b000011010110},
    {39, 12, 0b000011010111},
    {40, 12, 0b000001101100},
    {41, 12, 0b000001101101},
    {42, 12, 0b000011011010},
    {43, 12, 0b000011011011},
    {44, 12, 0b000001010100},
    {45, 12, 0b000001010101},
    {46, 12, 0b000001010110},
    {47, 12, 0b000001010111},
    {48, 12, 0b000001100100},
    {49, 12, 0b000001100101},
    {50, 12, 0b000001010010},
    {51, 12, 0b000001010011},
    {52, 12, 0b000000100100},
    {53, 12, 0b000000110111},
    {54, 12, 0b000000111000},
    {55, 12, 0b000000100111},
    {56, 12, 0b000000101000},
    {57, 12, 0b000001011000},
    {58, 12, 0b000001011001},
    {59, 12, 0b000000101011},
    {60, 12, 0b000000101100},
    {61, 12, 0b000001011010},
    {62, 12, 0b000001100110},
    {63, 12, 0b000001100111},
    {64, 10, 0b0000001111},
    {128, 12, 0b000011001000},
    {192, 12, 0b000011001001},
    {256, 12, 0b000001011011},
    {320, 12, 0b000000110011},
    {384, 12, 0b000000110100},
    {448, 12, 0b000000110101},
    {512, 13, 0b0000001101100},
    {576, 13, 0b0000001101101},
    {640, 13, 0b0000001001010},
    {704, 13, 0b0000001001011},
    {768, 13, 0b0000001001100},
    {832, 13, 0b0000001001101},
    {896, 13, 0b0000001110010},
    {960, 13, 0b0000001110011},
    {1024, 13, 0b0000001110100},
    {1088, 13, 0b0000001110101},
    {1152, 13, 0b0000001110110},
    {1216, 13, 0b0000001110111},
    {1280, 13, 0b0000001010010},
    {1344, 13, 0b0000001010011},
    {1408, 13, 0b0000001010100},
    {1472, 13, 0b0000001010101},
    {1536, 13, 0b0000001011010},
    {1600, 13, 0b0000001011011},
    {1664, 13, 0b0000001100100},
    {1728, 13, 0b0000001100101},
};
constexpr RunCode kSharedCodes[] = {
    {1792, 11, 0b00000001000},  {1856, 11, 0b00000001100},  {1920, 11, 0b00000001101},
    {1984, 12, 0b000000010010}, {2048, 12, 0b000000010011}, {2112, 12, 0b000000010100},
    {2176, 12, 0b000000010101}, {2240, 12, 0b000000010110}, {2304, 12, 0b000000010111},
    {2368, 12, 0b000000011100}, {2432, 12, 0b000000011101}, {2496, 12, 0b000000011110},
    {2560, 12, 0b000000011111}, {-2, 12, 0b000000000001},
};

// Two-dimensional mode codes: pass 0, horizontal 1, vertical 0 as 2, VR1 3,
// VL1 4, VR2 5, VL2 6, VR3 7, VL3 8. The extension codes are not in the table.
enum Mode { kPass = 0, kHorizontal = 1, kV0 = 2, kVR1, kVL1, kVR2, kVL2, kVR3, kVL3 };
constexpr RunCode kModeCodes[] = {
    {kPass, 4, 0b0001},  {kHorizontal, 3, 0b001}, {kV0, 1, 0b1},
    {kVR1, 3, 0b011},    {kVL1, 3, 0b010},        {kVR2, 6, 0b000011},
    {kVL2, 6, 0b000010}, {kVR3, 7, 0b0000011},    {kVL3, 7, 0b0000010},
};
// Pixel offset of each vertical mode from b1.
constexpr int kVerticalOffset[] = {0, 0, 0, 1, -1, 2, -2, 3, -3};

constexpr int kModeBits = 7;
constexpr int kWhiteBits = 12;
constexpr int kBlackBits = 13;
constexpr int kEndOfLine = 0x001;  // eleven 0 bits and a 1
constexpr int kEndOfLineBits = 12;

// A direct lookup table indexed by the next W bits: every slot whose
// leading bits are a code holds that code's value and length; the codes
// are prefix-free, so each slot holds at most one.
struct Entry {
    int16_t value = 0;
    int8_t length = -1;  // -1: no code
};

template <int W>
struct LookupTable {
    std::array<Entry, (1 << W)> slots{};

    constexpr void add(const RunCode& code) {
        int shift = W - code.length;
        int first = code.bits << shift;
        for (int i = 0; i < (1 << shift); ++i) {
            slots[first + i].value = code.value;
            slots[first + i].length = code.length;
        }
    }
    template <size_t N>
    constexpr void addAll(const RunCode (&codes)[N]) {
        for (const RunCode& c : codes)
            add(c);
    }
};

constexpr LookupTable<kModeBits> makeModeTable() {
    LookupTable<kModeBits> t;
    t.addAll(kModeCodes);
    return t;
}
constexpr LookupTable<kWhiteBits> makeWhiteTable() {
    LookupTable<kWhiteBits> t;
    t.addAll(kWhiteCodes);
    t.addAll(kSharedCodes);
    return t;
}
constexpr LookupTable<kBlackBits> makeBlackTable() {
    LookupTable<kBlackBits> t;
    t.addAll(kBlackCodes);
    t.addAll(kSharedCodes);
    return t;
}

constexpr LookupTable<kModeBits> kModeTable = makeModeTable();
constexpr LookupTable<kWhiteBits> kWhiteTable = makeWhiteTable();
constexpr LookupTable<kBlackBits> kBlackTable = makeBlackTable();

// Run sums are capped well beyond any accepted row width, so that endless
// make-up codes cannot overflow them.
constexpr int32_t kRunCap = 1 << 24;

}  // namespace

CcittFaxDecoder::CcittFaxDecoder(ReadByteFn read, void* context) : read_(read), context_(context) {}

bool CcittFaxDecoder::start(const CcittParams& params) {
    release();
    params_ = params;
    if (params_.rows < 0)
        params_.rows = 0;
    ended_ = true;
    if (params_.columns < 1 || params_.columns > kCcittMaxColumns)
        return false;

    // A valid row has at most Columns + 2 entries (the start, a zero-length
    // first white run and one change per pixel); one more is allowed for a
    // horizontal mode that closes the row with an empty run. The reference
    // line adds two closing entries to what it copies.
    const size_t size = static_cast<size_t>(params_.columns) + 4;
    coding_.reset(new (std::nothrow) int32_t[size]);
    reference_.reset(new (std::nothrow) int32_t[size]);
    if (!coding_ || !reference_) {
        release();
        return false;
    }
    maxCount_ = params_.columns + 3;

    const int32_t columns = params_.columns;
    twoD_ = params_.k < 0;
    bits_ = 0;
    bitCount_ = 0;
    sourceEnded_ = false;
    coding_[0] = 0;
    coding_[1] = columns;
    codingCount_ = 2;
    reference_[0] = 0;
    reference_[1] = columns;
    reference_[2] = columns;
    rowCounter_ = 0;
    run_ = 0;
    x_ = columns;  // the current row is used up: the first getByte decodes one
    ended_ = false;
    pendingStart_ = true;
    return true;
}

void CcittFaxDecoder::release() {
    coding_.reset();
    reference_.reset();
    codingCount_ = 0;
    maxCount_ = 0;
    ended_ = true;
}

// The start of the data, read with the first row: an end-of-line code in
// front of the first row is skipped (it can be neither a run code nor a mode
// code, so skipping it never changes valid data), then the tag bit of the
// first row is read for mixed coding (0: two-dimensional).
void CcittFaxDecoder::beginData() {
    pendingStart_ = false;
    if (peekBits(kEndOfLineBits) == kEndOfLine)
        eatBits(kEndOfLineBits);
    if (params_.k > 0)
        twoD_ = readBit() == 0;
}

bool CcittFaxDecoder::fill(int n) {
    while (bitCount_ < n && !sourceEnded_) {
        int b = read_(context_);
        if (b < 0) {
            sourceEnded_ = true;
            break;
        }
        bits_ = (bits_ << 8) | static_cast<uint8_t>(b);
        bitCount_ += 8;
    }
    return bitCount_ >= n;
}

int CcittFaxDecoder::peekBits(int n) {
    if (bitCount_ < n)
        fill(n);
    if (bitCount_ == 0)
        return -1;
    const uint64_t mask = (uint64_t{1} << n) - 1;
    if (bitCount_ >= n)
        return static_cast<int>((bits_ >> (bitCount_ - n)) & mask);
    return static_cast<int>((bits_ << (n - bitCount_)) & mask);
}

void CcittFaxDecoder::eatBits(int n) {
    bitCount_ = n < bitCount_ ? bitCount_ - n : 0;
}

int CcittFaxDecoder::readBit() {
    int bit = peekBits(1);
    if (bit >= 0)
        eatBits(1);
    return bit;
}

void CcittFaxDecoder::alignToByte() {
    bitCount_ -= bitCount_ % 8;
}

int CcittFaxDecoder::lookupMode() {
    int v = peekBits(kModeBits);
    if (v < 0)
        return -1;
    const Entry& e = kModeTable.slots[v];
    if (e.length < 0)
        return -1;
    eatBits(e.length);
    return e.value;
}

int CcittFaxDecoder::lookupWhite() {
    int v = peekBits(kWhiteBits);
    if (v < 0)
        return -1;
    const Entry& e = kWhiteTable.slots[v];
    if (e.length < 0)
        return -1;
    eatBits(e.length);
    return e.value;
}

int CcittFaxDecoder::lookupBlack() {
    int v = peekBits(kBlackBits);
    if (v < 0)
        return -1;
    const Entry& e = kBlackTable.slots[v];
    if (e.length < 0)
        return -1;
    eatBits(e.length);
    return e.value;
}

bool CcittFaxDecoder::readRun(bool white, int32_t& run) {
    int32_t sum = 0;
    for (;;) {
        int code = white ? lookupWhite() : lookupBlack();
        if (code == -1)
            return false;
        sum = std::min(sum + code, kRunCap);
        if (code < 64)
            break;
    }
    run = sum;
    return true;
}

// Appends a changing element, kept within 0 to Columns (positions outside
// have no pixel to stand for). False when the line is full: data whose
// positions do not advance cannot grow it beyond its capacity.
bool CcittFaxDecoder::append(int32_t position) {
    if (codingCount_ >= maxCount_)
        return false;
    coding_[codingCount_++] = std::clamp(position, 0, params_.columns);
    return true;
}

bool CcittFaxDecoder::decodeRow1D() {
    const int32_t columns = params_.columns;
    coding_[0] = 0;
    codingCount_ = 1;
    bool white = true;
    while (coding_[codingCount_ - 1] < columns) {
        int32_t run;
        if (!readRun(white, run))
            return false;
        if (!append(coding_[codingCount_ - 1] + run))
            return false;
        white = !white;
    }
    return true;
}

bool CcittFaxDecoder::decodeRow2D() {
    const int32_t columns = params_.columns;
    // The previous row becomes the reference line: its positions up to the
    // first not below Columns, then Columns twice.
    int32_t n = 0;
    for (int32_t i = 0; i < codingCount_ && coding_[i] < columns; ++i)
        reference_[n++] = coding_[i];
    reference_[n++] = columns;
    reference_[n++] = columns;
    // Every entry before the two closing ones is below Columns, so b1 only
    // advances from an entry below Columns and stays within the line.
    const int32_t* ref = reference_.get();

    int32_t b1 = 1;
    int32_t a0pos = 0;  // the running position a0'
    coding_[0] = 0;
    codingCount_ = 1;
    while (coding_[codingCount_ - 1] < columns) {
        // a0 is the last entry of the coding line; even means a white run.
        const bool white = ((codingCount_ - 1) & 1) == 0;
        int mode = lookupMode();
        switch (mode) {
            case kPass:
                if (ref[b1] < columns) {
                    a0pos = ref[b1 + 1];
                    b1 += 2;
                }
                break;
            case kHorizontal: {
                int32_t run1, run2;
                if (!readRun(white, run1) || !readRun(!white, run2))
                    return false;
                if (!append(a0pos + run1))
                    return false;
                if (!append(coding_[codingCount_ - 1] + run2))
                    return false;
                a0pos = coding_[codingCount_ - 1];
                while (ref[b1] <= a0pos && ref[b1] < columns)
                    b1 += 2;
                break;
            }
            case kV0:
            case kVR1:
            case kVL1:
            case kVR2:
            case kVL2:
            case kVR3:
            case kVL3: {
                const int d = kVerticalOffset[mode];
                if (!append(ref[b1] + d))
                    return false;
                a0pos = coding_[codingCount_ - 1];
                if (d >= 0) {
                    if (ref[b1] < columns)
                        ++b1;
                } else {
                    if (b1 == 0)
                        return false;
                    --b1;
                }
                while (ref[b1] <= a0pos && ref[b1] < columns)
                    b1 += 2;
                break;
            }
            default:  // no code, or no data left
                return false;
        }
    }
    return true;
}

void CcittFaxDecoder::failRow() {
    ended_ = true;
    coding_[0] = params_.columns;
    codingCount_ = 1;
    x_ = params_.columns;
}

// After a row: byte alignment, end-of-line codes, the tag bit of the next
// row and the end of the data.
void CcittFaxDecoder::afterRow() {
    const int32_t k = params_.k;
    if (params_.encodedByteAlign)
        alignToByte();
    if (!params_.endOfBlock) {
        if (rowCounter_ == static_cast<int64_t>(params_.rows) - 1) {
            ended_ = true;
            return;
        }
        if (peekBits(kEndOfLineBits) == kEndOfLine)
            eatBits(kEndOfLineBits);
        if (k > 0)
            twoD_ = readBit() == 0;
        return;
    }
    if (!fill(1)) {
        ended_ = true;
        return;
    }
    if (peekBits(kEndOfLineBits) != kEndOfLine) {
        if (k > 0)
            twoD_ = readBit() == 0;
        return;
    }
    eatBits(kEndOfLineBits);
    if (k > 0)
        twoD_ = readBit() == 0;
    if (peekBits(kEndOfLineBits) != kEndOfLine)
        return;
    // A second end-of-line code ends the data: the end-of-block code of T.6,
    // or the start of the six end-of-line codes of the T.4 return to control.
    eatBits(kEndOfLineBits);
    if (k > 0)
        readBit();
    if (k >= 0) {
        for (int i = 0; i < 4; ++i) {
            fill(kEndOfLineBits);
            eatBits(kEndOfLineBits);
            if (k > 0)
                readBit();
        }
    }
    ended_ = true;
}

bool CcittFaxDecoder::decodeRow() {
    if (pendingStart_)
        beginData();
    if (!(twoD_ ? decodeRow2D() : decodeRow1D())) {
        failRow();
        return false;
    }
    afterRow();
    ++rowCounter_;
    run_ = 0;
    x_ = 0;
    return true;
}

// One byte from the current row at x (a multiple of 8), which lies below
// Columns. The row ends with an entry not below Columns, so the run being
// read always has an end within the line.
unsigned CcittFaxDecoder::nextByte() {
    const int32_t columns = params_.columns;
    unsigned byte = 0;
    int filled = 0;
    while (filled < 8 && x_ < columns) {
        const int32_t end = std::min(coding_[run_ + 1], columns);
        if (end <= x_) {
            ++run_;
            continue;
        }
        const int count = static_cast<int>(std::min<int32_t>(end - x_, 8 - filled));
        if ((run_ & 1) == 0)
            byte |= ((1u << count) - 1) << (8 - filled - count);
        filled += count;
        x_ += count;
    }
    if (params_.blackIs1)
        byte = ~byte & 0xFF;
    return byte;
}

uint16_t CcittFaxDecoder::getByte() {
    if (!coding_)
        return kEndOfData;
    if (x_ >= params_.columns) {
        if (ended_ || !decodeRow())
            return kEndOfData;
    }
    return static_cast<uint16_t>(nextByte());
}

size_t CcittFaxDecoder::read(uint8_t* out, size_t count) {
    if (!coding_)
        return 0;
    const int32_t columns = params_.columns;
    size_t done = 0;
    while (done < count) {
        if (x_ >= columns) {
            if (ended_ || !decodeRow())
                break;
        }
        // Whole bytes inside one run are filled at once.
        while (coding_[run_ + 1] <= x_)
            ++run_;
        const int32_t end = std::min(coding_[run_ + 1], columns);
        const size_t whole = std::min(static_cast<size_t>((end - x_) / 8), count - done);
        if (whole > 0) {
            const bool white = (run_ & 1) == 0;
            std::memset(out + done, white != params_.blackIs1 ? 0xFF : 0x00, whole);
            done += whole;
            x_ += static_cast<int32_t>(whole * 8);
            continue;
        }
        out[done++] = static_cast<uint8_t>(nextByte());
    }
    return done;
}

// ------------------------------------------------------- CcittFaxDecodeStream

CcittFaxDecodeStream::CcittFaxDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params)
    : FilterStream(inner, std::move(params)), decoder_(&CcittFaxDecodeStream::readInner, this) {
    if (isOpen())
        startDecoder(params_.get());
}

CcittFaxDecodeStream::~CcittFaxDecodeStream() {
    decoder_.release();
}

int CcittFaxDecodeStream::readInner(void* context) {
    auto* self = static_cast<CcittFaxDecodeStream*>(context);
    const std::uint16_t b = self->inner_->getByte();
    return b == kEndOfData ? -1 : b;
}

void CcittFaxDecodeStream::startDecoder(const FilterParams* map) {
    CcittParams p;
    if (map) {
        namespace keys = decode_keys;
        p.k = map->get(keys::K, p.k);
        p.endOfLine = map->get(keys::EndOfLine, p.endOfLine) != 0;
        p.encodedByteAlign = map->get(keys::EncodedByteAlign, p.encodedByteAlign) != 0;
        p.columns = map->get(keys::Columns, p.columns);
        p.rows = map->get(keys::Rows, p.rows);
        p.endOfBlock = map->get(keys::EndOfBlock, p.endOfBlock) != 0;
        p.blackIs1 = map->get(keys::BlackIs1, p.blackIs1) != 0;
        p.damagedRowsBeforeError = map->get(keys::DamagedRowsBeforeError, p.damagedRowsBeforeError);
    }
    // Lines that cannot be allocated close the filter; a width outside the
    // accepted range only ends the data.
    if (!decoder_.start(p) && p.columns >= 1 && p.columns <= kCcittMaxColumns) {
        FilterStream::close();
    }
}

FilterParams* CcittFaxDecodeStream::setParameters(std::unique_ptr<FilterParams> params) {
    FilterStream::setParameters(std::move(params));
    if (isOpen())
        startDecoder(params_.get());
    return params_.get();
}

std::int64_t CcittFaxDecodeStream::read(void* buffer, std::size_t count) {
    if (!isOpen() || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    std::uint16_t b;
    if (takePushedBack(b))
        out[done++] = static_cast<std::uint8_t>(b);
    done += decoder_.read(out + done, count - done);
    return static_cast<std::int64_t>(done);
}

void CcittFaxDecodeStream::close() {
    decoder_.release();
    FilterStream::close();
}

}  // namespace vistrel
