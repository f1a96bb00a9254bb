// The base of the image encoders: an output stream that takes rows of
// pixels, top first, and writes them encoded into an inner stream. Bytes come
// only as rows.
#pragma once

#include <cstdint>

#include "engine/core/streams.h"

namespace vistrel {

class ImageEncodeStream : public OutputStream {
public:
    int putByte(std::uint16_t) override { return 0; }
    bool flush() override { return true; }
    // Ends the image (see finish).
    void close() override { finish(); }

    // Encodes the next row; false when the stream has failed.
    virtual bool writeRow(const std::uint8_t* row) = 0;
    // Ends the image once; false when the stream has failed, now or before.
    virtual bool finish() = 0;
    virtual bool failed() const = 0;
};

}  // namespace vistrel
