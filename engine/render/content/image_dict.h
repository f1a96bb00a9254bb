// The image data of a page as rows of samples: ImageDict reads an image
// dictionary (size, bits per component, mask flag, colour space, Decode) and
// knows a row's byte size; ImageXObject decodes its rows on demand from the
// document through the stream's filter chain; InlineImage reads all its rows
// at once from the content stream after "ID". parseInlineImage builds one
// from the operands collected since "BI".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/bit_reader.h"
#include "engine/core/ref.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/color/color_space.h"
#include "engine/render/content/kept_image_rows.h"

namespace vistrel {

class ContentInterpreter;

// The walker over one row's samples that a Decode array is applied with.
class SampleRow {
public:
    // Stores the values and makes a new cursor over the row; false when
    // memory runs out.
    bool init(std::uint8_t* row, std::size_t byteCount, std::int32_t components,
              std::int32_t bitsPerSample);

    std::uint8_t* row() const { return row_; }
    std::size_t byteCount() const { return byteCount_; }
    std::int32_t components() const { return components_; }
    std::int32_t bitsPerSample() const { return bitsPerSample_; }
    RowCursor* cursor() const { return cursor_.get(); }

private:
    std::uint8_t* row_ = nullptr;
    std::size_t byteCount_ = 0;
    std::int32_t components_ = 0;
    std::int32_t bitsPerSample_ = 0;
    std::unique_ptr<RowCursor> cursor_;
};

// Applies a Decode array to the row in place. False when the array does not
// hold exactly two numbers per component or the row has no cursor. Pairs all
// (0, 1) change nothing; a one-bit, one-component row with Decode[0] >
// Decode[1] is inverted byte by byte. Otherwise each sample x of component k
// becomes Dmin + x (Dmax - Dmin) / (2^bits - 1), written back in sample
// units: for an Indexed space truncated, for the others scaled by
// 2^bits - 1 and rounded, both clamped to 0 .. 2^bits - 1.
bool applyDecode(SampleRow& samples, const PdfArray& decode, bool indexed);

// An image stream (class kind 33). Every image is valid only with a width
// and height of at least 1, 1, 2, 4, 8 or 16 bits per component (a mask: 1,
// also when /BitsPerComponent is missing; its colour space is DeviceGray), a
// usable colour space and a decoded size within a cap. Samples of 16 bits
// are reduced to their high byte as a row is read, so that the rest of the
// engine sees an 8-bit image.
class ImageDict : public PdfStream {
public:
    // Most decoded bytes an image XObject may have (its rows stream).
    static constexpr std::uint64_t kMaxXObjectBytes = std::uint64_t{256} << 20;
    // Most decoded bytes an inline image may have (its rows are all held).
    static constexpr std::uint64_t kMaxInlineBytes = std::uint64_t{16} << 20;

    ImageDict(const PdfDict& dict, InputStream* data, bool inlineFlag, const uint8_t* fileKey);
    ~ImageDict() override;

    uint16_t classKind() const override;

    // Starts again at the first row; false when the rows cannot be read.
    virtual bool openRows() = 0;
    virtual void closeRows() = 0;
    // The next row, converted by the colour space, into a buffer of at least
    // bufferSize() bytes; false when no row could be read.
    virtual bool readRow(std::uint8_t* buffer) = 0;
    // The dictionary was read in full and the stream has data.
    virtual bool isValid() const { return valid_ && usable(); }
    // After a failed readRow: no later row can be read either.
    virtual bool rowsEnded() const { return false; }
    // Reads the next row as readRow does and returns where it is: in the
    // buffer, or where the image keeps it as it is read, for reading only
    // until the next row is read or the rows close; null when no row could
    // be read.
    virtual std::uint8_t* readRowInPlace(std::uint8_t* buffer) {
        return readRow(buffer) ? buffer : nullptr;
    }

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Bits per component of the rows handed out (8 for 16-bit data).
    std::int32_t bitsPerComponent() const { return bitsPerComponent_; }
    bool imageMask() const { return imageMask_; }
    ColorSpace* colorSpace() const { return colorSpace_.get(); }
    const PdfArray* decode() const { return decode_.get(); }
    std::int32_t rowIndex() const { return rowIndex_; }
    // A converted row.
    std::size_t outBytesPerRow() const { return outBytesPerRow_; }
    // A row as stored in the data.
    std::size_t inBytesPerRow() const { return inBytesPerRow_; }
    // The least a readRow buffer must hold.
    std::size_t bufferSize() const {
        return inBytesPerRow_ > outBytesPerRow_ ? inBytesPerRow_ : outBytesPerRow_;
    }

protected:
    // Reads inBytesPerRow() bytes from `from` into the buffer and reduces
    // 16-bit samples; a short row is filled up with zeros. False when not a
    // byte came.
    bool readStoredRow(InputStream& from, std::uint8_t* buffer);
    // The Decode array over the first `byteCount` bytes of a row of samples
    // of `bits` bits.
    bool decodeRow(std::uint8_t* buffer, std::size_t byteCount, std::int32_t bits);

    SampleRow samples_;
    Ref<PdfArray> decode_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    bool imageMask_ = false;
    bool valid_ = false;
    std::int32_t bitsPerComponent_ = 0;
    bool sixteenBits_ = false;
    Ref<ColorSpace> colorSpace_;
    std::int32_t rowIndex_ = 0;
    std::size_t outBytesPerRow_ = 0;
    std::size_t inBytesPerRow_ = 0;
};

// The image of an image XObject: rows decoded from the document on demand.
// Decode is applied before the colour conversion. Under a current
// KeptImageRows a reading of every row keeps the rows as the data gave them,
// and the readings after it take them from there.
class ImageXObject final : public ImageDict {
public:
    ImageXObject(const PdfDict& dict, InputStream* data, const uint8_t* fileKey);

    bool openRows() override;
    void closeRows() override;
    bool readRow(std::uint8_t* buffer) override;
    // The data ran out.
    bool rowsEnded() const override { return dataEnded_; }
    // Rows of device grey or RGB without Decode that are being kept are
    // read straight into the kept rows, and those kept are delivered where
    // they lie.
    std::uint8_t* readRowInPlace(std::uint8_t* buffer) override;

    // Rows kept from a full reading.
    bool hasKeptRows() const { return kept_ != nullptr; }
    // Gives the kept rows up (a reading from them goes on).
    void dropKeptRows() { kept_.reset(); }

    VISTREL_GLOBAL_ALLOCATOR()

private:
    // The bytes of all rows as stored, or 0 when that overflows.
    std::size_t storedBytes() const;
    // After the last row: the rows kept go to the current keeper.
    void keepRows();

    bool dataEnded_ = false;
    // height_ rows of inBytesPerRow_ bytes: those kept, those the current
    // reading copies (the stream stays closed), and those it is keeping.
    std::shared_ptr<std::uint8_t[]> kept_;
    std::shared_ptr<std::uint8_t[]> source_;
    KeptImageRows::Memory keeping_;
    // The rows the last row read in place lies in.
    std::shared_ptr<std::uint8_t[]> inPlace_;
    // The next of source_'s rows.
    std::size_t sourceRow_ = 0;
};

// The image XObject over a stream dictionary, or null when it is not valid;
// what the document's typed-object factory makes of an image stream.
ObjectRef makeImageXObject(const PdfDict& dict, InputStream* data, const uint8_t* fileKey);

// The content input as an input stream that neither owns nor closes it: the
// filter chain of an inline image reads through it. Size -1, position 0.
class ContentStreamView final : public InputStream {
public:
    explicit ContentStreamView(InputStream* inner);

    void close() override;
    std::int64_t read(void* buffer, std::size_t count) override;
    std::uint16_t getByte() override;
    std::uint64_t size() override { return ~std::uint64_t{0}; }
    std::uint64_t position() override { return 0; }
    void unread(std::uint16_t byte) override;
    bool atEnd() override;
    std::int64_t skip(std::size_t count) override;

    // Cuts the view from the content: it reads nothing any more.
    void detach();

private:
    InputStream* inner_;
};

// The image of an inline image: every row read and converted when it is
// made. Decode is applied after the colour conversion. Only the rows the data
// holds are kept (the last one filled up with zeros), so that a dictionary
// promising far more rows than follow costs nothing for the missing ones.
class InlineImage final : public ImageDict {
public:
    // Reads the rows from the content, which stands at the byte after "ID".
    InlineImage(const PdfDict& dict, std::unique_ptr<ContentStreamView> content);
    ~InlineImage() override;

    bool openRows() override;
    void closeRows() override;
    bool readRow(std::uint8_t* buffer) override;
    // Every row the data held has been handed out.
    bool rowsEnded() const override { return rowIndex_ >= rowsHeld_; }

    bool rowsOpen() const { return rowsOpen_; }
    // Rows the data held, at most height().
    std::int32_t rowsHeld() const { return rowsHeld_; }

    VISTREL_GLOBAL_ALLOCATOR()

private:
    void readRows();

    std::unique_ptr<ContentStreamView> content_;
    std::unique_ptr<std::uint8_t[]> rows_;  // rowsHeld_ rows of outBytesPerRow bytes
    std::int32_t rowsHeld_ = 0;
    bool rowsOpen_ = false;
};

// The inline image's dictionary from the operands on the interpreter's stack
// down to the "BI" marker: abbreviated keys and the abbreviated names of
// values (also inside arrays) expanded, "true" and "false" taken as
// booleans, a colour space name replaced by the resource of that name. Null
// when the operands are not a dictionary; the offending operand is pushed
// back.
Ref<PdfDict> parseInlineImageDict(ContentInterpreter& interpreter);

// Builds the inline image from that dictionary and the data after "ID".
// Null when the operands are not a dictionary or the image is not valid.
Ref<InlineImage> parseInlineImage(ContentInterpreter& interpreter);

}  // namespace vistrel
