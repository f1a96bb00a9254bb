// Readers of picture files for the image-file loader: BMP and PNG files
// (rows of red, green and blue bytes) and the number-text form, which holds
// only a picture's geometry.
#pragma once

#include <cstdint>

#include "engine/core/streams.h"

namespace vistrel {

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
