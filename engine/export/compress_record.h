// The run-length coding of the rows of a Palm page image. Every byte is
// output; a byte equal to the one output just before it (a pair) is followed
// by a count (0 to 255) of further copies, and the byte after a count starts
// afresh. A pair made of the last two bytes gets no count; inputs of one or
// two bytes are stored unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Room the coded form of length bytes may need: 1.5 times the length for
// pairs followed by a count of 0 all along.
constexpr std::size_t compressedCapacity(std::size_t length) {
    return length < 3 ? length : length + length / 2;
}

// Codes length bytes of data into out (compressedCapacity(length) bytes) and
// returns the coded length; 0 for no data.
std::size_t compressRecord(const std::uint8_t* data, std::size_t length, std::uint8_t* out);

}  // namespace vistrel
