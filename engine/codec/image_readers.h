// Readers of picture files for the image-file loader: BMP and PNG files
// (rows of red, green and blue bytes, 8 bits each) and the number-text form,
// which holds only a picture's geometry.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/codec/image_stream.h"
#include "engine/core/streams.h"

struct png_struct_def;
struct png_info_def;

namespace vistrel {

// Most pixels (width × height) a picture file may have.
constexpr std::uint64_t kMaxImagePixels = std::uint64_t{1} << 28;

// An uncompressed Windows bitmap with the 40-byte information header, at 1,
// 4, 8 or 24 bits per pixel. Rows come in the order stored in the file:
// bottom row first, or top row first for a negative height (topDown()).
class BmpReadStream : public ImageStream {
public:
    BmpReadStream(InputStream* file, std::unique_ptr<FilterParams> params);
    ~BmpReadStream() override;

    // Reads the headers and the palette; false (error flag set) when any
    // check fails. True at once when already started.
    bool open() override;
    // Frees the palette and marks the reader closed.
    void close() override;
    // Writes width × 3 bytes (red, green, blue per pixel); false when closed,
    // not started, past the last row or when the row cannot be read.
    bool readRow(std::uint8_t* buffer) override;
    std::int32_t bitsPerComponent() const override { return 8; }
    bool atEnd() override;

    bool failed() const { return error_; }
    bool topDown() const { return topDown_; }
    int bitsPerPixel() const { return bitsPerPixel_; }

protected:
    // Bytes are read only as rows.
    std::uint16_t decodeByte() override { return kEndOfData; }

private:
    bool readHeader();

    bool error_ = false;
    bool topDown_ = false;
    int bitsPerPixel_ = 0;
    std::unique_ptr<std::uint8_t[]> palette_;  // 2^bits entries: blue, green, red, reserved
    std::unique_ptr<std::uint8_t[]> fileRow_;  // the pixel bytes of one row
    std::uint32_t pixelBytes_ = 0;             // pixel bytes of a row in the file
    std::uint32_t padBytes_ = 0;               // padding up to a multiple of 4
    std::uint32_t rowCounter_ = 0;
};

// A PNG file read through libpng: 16-bit samples stripped to 8, alpha
// removed, palettes and grey expanded to red, green and blue; interlaced
// files are de-interlaced by reading the whole picture at open.
class PngReadStream : public ImageStream {
public:
    PngReadStream(InputStream* file, std::unique_ptr<FilterParams> params);
    ~PngReadStream() override;

    // Reads the header and sets up the transformations; false when the file
    // is no readable PNG (the reader is then closed).
    bool open() override;
    // Finishes reading the file when started.
    void close() override;
    // Reads the next row (width × 3 bytes); closes the reader after the
    // last. False when not started, closed, or when libpng fails (the reader
    // is then closed).
    bool readRow(std::uint8_t* buffer) override;

    std::int64_t read(void*, std::size_t) override { return 0; }
    std::uint64_t position() override { return 0; }
    void unread(std::uint16_t) override {}

    // The stream the PNG data is read from.
    virtual InputStream* fileStream() const { return inner_; }

    bool failed() const { return failed_; }

protected:
    std::uint16_t decodeByte() override { return kEndOfData; }

private:
    static void readData(png_struct_def* png, unsigned char* data, std::size_t length);
    // After a libpng error: the reader is closed and libpng is not called again.
    void fail();

    png_struct_def* png_ = nullptr;
    png_info_def* info_ = nullptr;
    bool failed_ = false;
    std::uint32_t rowIndex_ = 0;
    // The whole picture and its row pointers, for interlaced files only.
    std::unique_ptr<std::uint8_t[]> image_;
    std::unique_ptr<std::uint8_t*[]> imageRows_;
};

// A picture's geometry written as decimal text ("640,480,3,8>"). Every
// stream operation is passed to the inner stream, which is not owned.
class NumberTextStream : public InputStream {
public:
    explicit NumberTextStream(InputStream* inner);

    void close() override;
    std::int64_t read(void* buffer, std::size_t count) override;
    std::uint16_t getByte() override;
    std::uint64_t size() override;
    std::uint64_t position() override;
    void unread(std::uint16_t byte) override;
    bool atEnd() override;
    std::int64_t skip(std::size_t count) override;

    // The decimal number starting at the next character (no sign, no white
    // space), the first character after it given back; -1 when the next
    // character is no digit (it is given back) or when the number has more
    // than kMaxDigits digits.
    std::int32_t readNumber();
    // Reads characters up to and including c; returns how many were read
    // (at the end of the data, the reads made).
    std::int64_t skipPast(char c);

    static constexpr int kMaxDigits = 9;

private:
    InputStream* inner_;
};

}  // namespace vistrel
