// An output stream that takes rows of pixels and writes them as a baseline
// JPEG image (libjpeg's defaults, quality 75) into an inner stream, through a
// destination buffer of 512 bytes. Every library call runs under the engine's
// JPEG error manager: a library error or an inner stream that refuses bytes
// makes the stream fail instead of ending the process or going on silently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/export/image_encode_stream.h"

namespace vistrel {

class JpegEncodeStream : public ImageEncodeStream {
public:
    // Rows of width pixels of `components` bytes each (1 grey, 3 red, green,
    // blue, 4 CMYK). Not set up (isOpen() false) for a zero or other size or
    // component count, a missing or unusable inner stream (not owned), or
    // when the library cannot be started.
    JpegEncodeStream(OutputStream* inner, std::int32_t width, std::int32_t height,
                     std::int32_t components);
    // Finishes the image when it was started and frees the library object.
    ~JpegEncodeStream() override;

    // Opens the inner stream (its answer ignored) and starts the image once;
    // false when not set up or the library fails.
    bool open() override;
    bool writeRow(const std::uint8_t* row) override;
    // Finishes the image when it was started.
    bool finish() override;
    bool failed() const override;

private:
    struct Codec;
    std::unique_ptr<Codec> codec_;
};

}  // namespace vistrel
