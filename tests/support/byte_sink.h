// An output stream for tests that keeps what is written to it, and takes at
// most `room` bytes: a write beyond that stores what fits and answers the
// count stored, as a full disk would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/core/streams.h"

namespace vistrel::test {

class ByteSink : public OutputStream {
public:
    std::size_t write(const void* buffer, std::size_t count) override {
        const std::size_t taken = count < room ? count : room;
        bytes.append(static_cast<const char*>(buffer), taken);
        room -= taken;
        return taken;
    }
    int putByte(std::uint16_t c) override {
        const char byte = char(c);
        return int(write(&byte, 1));
    }
    void close() override {
        ++closes;
        OutputStream::close();
    }

    std::string bytes;
    std::size_t room = std::numeric_limits<std::size_t>::max();
    int closes = 0;
};

}  // namespace vistrel::test
