// The common base of the image readers (DCT, BMP, PNG): a filter stream that
// knows the picture's size and hands out whole rows.
#pragma once

#include <cstdint>

#include "engine/codec/filter_stream.h"

namespace vistrel {

class ImageStream : public FilterStream {
public:
    ImageStream(InputStream* inner, std::unique_ptr<FilterParams> params)
        : FilterStream(inner, std::move(params)) {}

    // Reads bytesPerRow() bytes with read(); false when not started or when
    // not all of them arrived.
    virtual bool readRow(uint8_t* buffer);
    virtual int32_t width() const { return width_; }
    virtual int32_t height() const { return height_; }
    virtual int32_t bitsPerComponent() const { return bitsPerComponent_; }
    // A flag no reader of the engine sets.
    virtual bool flag() const { return flag_; }
    virtual int32_t components() const { return components_; }

    bool started() const { return started_; }
    // width × bits × components / 8, rounded up (0 when it does not fit).
    uint32_t bytesPerRow();

protected:
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bitsPerComponent_ = 8;
    int32_t components_ = 3;
    uint32_t bytesPerRow_ = 0;
    bool flag_ = false;
    bool started_ = false;
};

}  // namespace vistrel
