// CCITT fax decoding with its parameters from the first six bytes: /K (a
// signed byte: group 4, one-dimensional or mixed), a flag byte (/EncodedByteAlign,
// /BlackIs1, /EndOfLine, /EndOfBlock, and the way the data is read), /Columns
// and /Rows (two bytes each). The rest is the encoded data.
#include <cstdint>
#include <memory>

#include "engine/codec/ccitt_decode.h"
#include "fuzz/fuzz_input.h"

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    auto params = std::make_unique<FilterParams>();
    params->set(u"/K", int8_t(input.byte()));
    const uint8_t flags = input.byte();
    params->set(u"/EncodedByteAlign", flags & 1);
    params->set(u"/BlackIs1", (flags >> 1) & 1);
    params->set(u"/EndOfLine", (flags >> 2) & 1);
    params->set(u"/EndOfBlock", (flags >> 3) & 1);
    params->set(u"/Columns", input.word());
    params->set(u"/Rows", input.word());
    MemoryInputStream encoded(input.data(), input.size());
    CcittFaxDecodeStream filter(&encoded, std::move(params));
    fuzz::drain(filter, size_t(1) << 22, flags >> 4);
    filter.close();
    return 0;
}
