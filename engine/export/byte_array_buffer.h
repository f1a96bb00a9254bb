// An output stream that collects bytes in a byte SAFEARRAY, the form in which
// encoded images reach the host. The array grows in steps as bytes come;
// copyOut hands out a new array holding exactly the bytes written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/streams.h"
#include "platform/com/variant.h"

namespace vistrel {

class ByteArrayBuffer : public OutputStream {
public:
    // An array of initialCount bytes growing by growthStep (at least 1); the
    // stream is usable when the array could be made.
    ByteArrayBuffer(std::uint32_t initialCount, std::uint32_t growthStep);
    ~ByteArrayBuffer() override;

    // Does nothing and answers false: the buffer needs no opening.
    bool open() override { return false; }
    void close() override {}
    std::size_t write(const void* buffer, std::size_t count) override {
        return append(buffer, count);
    }
    // 1, or 0 when the byte could not be stored.
    int putByte(std::uint16_t c) override;
    // Whether the array exists.
    bool flush() override { return array_ != nullptr; }

    // Appends the bytes; count, or 0 (nothing stored) when there is no array,
    // nothing to write, or the array cannot grow.
    std::size_t append(const void* bytes, std::size_t count);
    // A new array of exactly the bytes written (the buffer keeps its array,
    // trimmed to them); null when it cannot be made.
    win::SAFEARRAY* copyOut();

    std::size_t used() const { return used_; }
    // Whether a write has been refused since the buffer was made.
    bool refused() const { return refused_; }

private:
    win::SAFEARRAY* array_ = nullptr;
    std::size_t used_ = 0;
    std::uint32_t growthStep_;
    bool refused_ = false;
};

}  // namespace vistrel
