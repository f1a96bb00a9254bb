// Reading the packed sample table of a sampled function.
#pragma once

#include <cstdint>
#include <vector>

namespace vistrel {

class InputStream;

// Reads `count` samples of bitsPerSample bits (1 to 32), most significant
// bit first and packed without gaps, from data, at most 8 bits per read of
// the bit reader; false when the data is not open or ends before the last
// sample is whole.
bool readPackedSamples(InputStream* data, int bitsPerSample, uint64_t count,
                       std::vector<uint32_t>& samples);

}  // namespace vistrel
