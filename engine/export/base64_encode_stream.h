// An output stream that writes the bytes given to it as Base64 text (the
// standard alphabet, "=" padding, no line breaks) into an inner stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/streams.h"

namespace vistrel {

class Base64EncodeStream : public OutputStream {
public:
    // The inner stream is not owned.
    explicit Base64EncodeStream(OutputStream* inner);

    // Writes the bytes, each group of three as four characters as soon as it
    // is complete. Answers count when every completed group was written, else
    // the bytes of the groups written before the one that failed.
    std::size_t write(const void* buffer, std::size_t count) override;
    // 1 when the byte's group, if completed, was written; else 0.
    int putByte(std::uint16_t c) override;
    // Writes the pending group padded with zero bits and "=" (nothing when
    // none is pending); false when it could not be written.
    bool flush() override;
    // Writes the pending group, then closes the inner stream.
    void close() override;

private:
    bool writeGroup(int bytes);

    OutputStream* inner_;
    std::uint32_t group_ = 0;
    int pending_ = 0;
};

}  // namespace vistrel
