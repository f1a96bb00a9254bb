// DCTDecode through libjpeg: the first byte chooses the way the data is read
// and whether the input is taken one byte at a time (as for inline images);
// the rest is the JPEG data.
#include <cstdint>
#include <memory>

#include "engine/codec/dct_decode.h"
#include "fuzz/fuzz_input.h"

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const uint8_t how = input.byte();
    MemoryInputStream encoded(input.data(), input.size());
    DctDecodeStream filter(&encoded, std::make_unique<FilterParams>(), (how & 4) != 0);
    fuzz::drain(filter, size_t(1) << 22, how);
    filter.close();
    return 0;
}
