// CCITT fax decoding: the modified Huffman code of T.4 (one-dimensional),
// the mixed one- and two-dimensional code of T.4 and the two-dimensional
// code of T.6 (group 4). The image comes out one row after another, 8 pixels
// a byte, most significant bit first, each row starting on a byte boundary;
// white pixels are 1 unless /BlackIs1 is set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/codec/filter_stream.h"

namespace vistrel {

// Decode parameters with the defaults used when a key is absent.
struct CcittParams {
    int32_t k = 0;  // < 0 group 4, 0 one-dimensional, > 0 mixed
    bool endOfLine = false;
    bool encodedByteAlign = false;
    int32_t columns = 1728;
    int32_t rows = 0;
    bool endOfBlock = true;
    bool blackIs1 = false;
    int32_t damagedRowsBeforeError = 0;
};

// Widest row accepted; wider (or non-positive) /Columns end the data at once.
constexpr int32_t kCcittMaxColumns = 65536;

// The decoder proper, over any byte source. Rows are kept as lists of
// changing elements (pixel positions where the colour changes), not as
// pixel arrays.
class CcittFaxDecoder {
public:
    // Returns the next source byte (0 to 255) or a negative value at the end.
    using ReadByteFn = int (*)(void* context);

    CcittFaxDecoder(ReadByteFn read, void* context);
    CcittFaxDecoder(const CcittFaxDecoder&) = delete;
    CcittFaxDecoder& operator=(const CcittFaxDecoder&) = delete;

    // Takes the parameters, allocates both lines and resets the decoder.
    // Answers false (and every byte is then kEndOfData) when /Columns lies
    // outside 1 to kCcittMaxColumns or the lines cannot be allocated.
    bool start(const CcittParams& params);
    // Frees both lines; getByte gives kEndOfData from then on.
    void release();

    // The next byte of the image, or kEndOfData at the end of the data.
    uint16_t getByte();
    // Up to count bytes of the image into out; returns how many came.
    size_t read(uint8_t* out, size_t count);
    // The end flag: set once the data has ended (the rest of the current
    // row may still be handed out).
    bool atEnd() const { return ended_; }
    const CcittParams& params() const { return params_; }
    bool ready() const { return coding_ != nullptr; }

private:
    // Bit input, most significant bit first.
    bool fill(int n);
    int peekBits(int n);  // -1 when no bit at all is left; missing bits read as 0
    void eatBits(int n);
    int readBit();  // -1 when no bit is left
    void alignToByte();

    int lookupMode();
    int lookupWhite();
    int lookupBlack();
    // Sum of run codes up to the first terminating code; false when a code
    // cannot be read.
    bool readRun(bool white, int32_t& run);

    void beginData();
    bool decodeRow();
    bool decodeRow1D();
    bool decodeRow2D();
    bool append(int32_t position);
    void afterRow();
    void failRow();
    unsigned nextByte();

    ReadByteFn read_;
    void* context_;
    CcittParams params_;

    uint64_t bits_ = 0;
    int bitCount_ = 0;
    bool sourceEnded_ = false;

    std::unique_ptr<int32_t[]> coding_;
    std::unique_ptr<int32_t[]> reference_;
    int32_t codingCount_ = 0;  // entries in the coding line
    int32_t maxCount_ = 0;     // most entries a coding line may take

    bool twoD_ = false;  // the next row is two-dimensional
    bool pendingStart_ = false;
    bool ended_ = false;
    int64_t rowCounter_ = 0;

    // Handing out: the run being read (even = white) and the pixel position.
    int32_t run_ = 0;
    int32_t x_ = 0;
};

// The /CCITTFaxDecode (/CCF) filter: the decoder over the inner stream's
// bytes, with its parameters read from the link's /DecodeParms map.
class CcittFaxDecodeStream : public FilterStream {
public:
    // Without parameters the defaults hold (group 3 one-dimensional, 1728
    // columns); the chain factory hands the /DecodeParms map over later with
    // setParameters.
    CcittFaxDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params);
    ~CcittFaxDecodeStream() override;

    // Stores the map, reads the parameters from it (absent keys take their
    // defaults) and starts decoding afresh. /Columns outside 1 to
    // kCcittMaxColumns end the data at once.
    FilterParams* setParameters(std::unique_ptr<FilterParams> params) override;
    // Frees both lines and marks the filter closed.
    void close() override;
    // The image bytes in blocks: whole bytes of a run are filled at once.
    std::int64_t read(void* buffer, std::size_t count) override;
    // The end flag of the decoder.
    bool atEnd() override { return decoder_.atEnd(); }

    const CcittParams& ccittParams() const { return decoder_.params(); }

protected:
    std::uint16_t decodeByte() override { return decoder_.getByte(); }

private:
    static int readInner(void* context);
    void startDecoder(const FilterParams* params);

    CcittFaxDecoder decoder_;
};

}  // namespace vistrel
