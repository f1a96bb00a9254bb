// DCTDecode: baseline and progressive JPEG through libjpeg, handed out row
// by row, components interleaved, one byte per sample. Also the JPEG reader
// of the image-file loader.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/codec/image_stream.h"

namespace vistrel {

class DctDecodeStream : public ImageStream {
public:
    // inlineImage: the input is read one byte at a time, so that nothing
    // behind the compressed data is consumed.
    DctDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params, bool inlineImage);
    ~DctDecodeStream() override;

    // Reads the header and starts decoding when not started yet.
    bool open() override;
    // Drains the rest of the image and finishes the decompression.
    void close() override;
    // kEndOfData when closed or after an error; a pushed-back byte counts.
    uint16_t getByte() override;
    int64_t read(void* buffer, size_t count) override;
    void unread(uint16_t byte) override;
    bool atEnd() override { return error_; }
    uint64_t position() override;

    // True after a header error or a fatal library error.
    bool failed() const { return error_ || dead_; }

protected:
    uint16_t decodeByte() override;

private:
    struct Source;
    struct Library;  // libjpeg's objects

    bool start();
    // Decodes the next batch of rows; false when no row can come any more.
    bool nextBatch();
    // The library object failed: destroy it once, end the data.
    void fail();
    void releaseRows();

    bool error_ = false;    // header could not be read
    bool dead_ = false;     // the library object is destroyed
    bool created_ = false;  // the library object exists
    bool ended_ = false;    // every row handed out, or no more rows can come
    std::unique_ptr<Library> lib_;
    std::unique_ptr<Source> source_;
    std::unique_ptr<uint8_t[]> input_;
    uint32_t inputSize_ = 512;
    std::unique_ptr<uint8_t[]> rowBlock_;
    uint32_t batchCapacity_ = 0;  // rows the row block holds
    uint32_t rowBytes_ = 0;       // output_width × output_components
    uint32_t rowsInBatch_ = 0;    // rows of the current batch
    uint32_t byteIndex_ = 0;
    uint32_t rowIndex_ = 0;
    uint64_t byteCounter_ = 0;
};

}  // namespace vistrel
