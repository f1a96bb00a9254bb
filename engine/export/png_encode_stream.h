// An output stream that takes rows of pixels and writes them as an 8-bit PNG
// image (RGB, or grey for one component) into an inner stream through
// libpng. The signature and header are written when the stream is made.
// Every library call runs with a jump point set, so a library error or an
// inner stream that refuses bytes makes the stream fail; messages are not
// shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/export/image_encode_stream.h"

namespace vistrel {

class PngEncodeStream : public ImageEncodeStream {
public:
    // Rows of width pixels of `components` bytes (1 grey; 3 red, green,
    // blue). Not set up (isOpen() false) for another component count, a
    // missing or unusable inner stream (not owned), or when the library
    // cannot be started or the header cannot be written.
    PngEncodeStream(OutputStream* inner, std::int32_t width, std::int32_t height,
                    std::int32_t components);
    // Ends the image when that has not been done, then frees the library's
    // structures.
    ~PngEncodeStream() override;

    // True when the header has been written.
    bool open() override;
    // Every row may be written once; one more is refused.
    bool writeRow(const std::uint8_t* row) override;
    // Also false when fewer rows than the height were written.
    bool finish() override;
    bool failed() const override;
    OutputStream* inner() const { return inner_; }

private:
    struct Codec;
    std::unique_ptr<Codec> codec_;
    OutputStream* inner_;
};

}  // namespace vistrel
