// A page's /Contents (one stream or an array of streams) as one byte stream.
// The streams are joined directly, with no byte between them, so a token can
// run from the end of one stream into the next. Length and position count
// the streams' encoded bytes (what their decoded data reports).
#pragma once

#include <cstdint>

#include "engine/core/ref.h"
#include "engine/core/streams.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class PdfStream;

class ContentStreamInput : public InputStream {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // contents: null, a stream or an array. The input is usable when its
    // first element is a stream; an element that is not a stream ends it.
    explicit ContentStreamInput(PdfObject* contents);
    ~ContentStreamInput() override;

    bool ok() const { return ok_; }

    std::uint16_t getByte() override;
    // The sum of the streams' lengths.
    std::uint64_t size() override { return total_; }
    // The lengths of the streams read to their end plus the position in the
    // current one.
    std::uint64_t position() override;
    bool atEnd() override;

private:
    // Opens the stream at index_ as the current one; false when that element
    // is not a stream.
    bool openCurrent();
    void closeCurrent();

    bool ok_ = false;
    std::uint64_t total_ = 0;
    std::uint64_t finished_ = 0;
    std::int32_t index_ = 0;
    Ref<PdfArray> elements_;
    PdfStream* current_ = nullptr;  // open while read
};

}  // namespace vistrel
