// The table-free and dictionary decode filters: the first byte chooses the
// filter (Flate, LZW, ASCIIHex, ASCII85, RunLength), the second the way the
// data is read and LZW's /EarlyChange. When the first byte's high bit is set,
// six more give /Predictor, /Colors, /BitsPerComponent (a byte each) and
// /Columns (24 bits, most significant byte first). The rest is the encoded
// data.
#include <cstdint>
#include <memory>

#include "engine/codec/filter_stream.h"
#include "engine/codec/lzw_flate.h"
#include "fuzz/fuzz_input.h"

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const uint8_t which = input.byte();
    const uint8_t how = input.byte();
    auto params = std::make_unique<FilterParams>();
    if (which & 0x80) {
        params->set(u"/Predictor", input.byte());
        params->set(u"/Colors", input.byte());
        params->set(u"/BitsPerComponent", input.byte());
        int32_t columns = 0;
        for (int i = 0; i < 3; ++i)
            columns = columns << 8 | input.byte();
        params->set(u"/Columns", columns);
    }
    MemoryInputStream encoded(input.data(), input.size());
    std::unique_ptr<FilterStream> filter;
    switch ((which & 0x7F) % 5) {
        case 0:
            filter =
                std::make_unique<FlateDecodeStream>(&encoded, std::move(params), (how & 4) != 0);
            break;
        case 1:
            params->set(u"/EarlyChange", how >> 7);
            filter = std::make_unique<LzwDecodeStream>(&encoded, std::move(params));
            break;
        case 2:
            filter = std::make_unique<AsciiHexDecodeStream>(&encoded, std::move(params));
            break;
        case 3:
            filter = std::make_unique<Ascii85DecodeStream>(&encoded, std::move(params));
            break;
        default:
            filter = std::make_unique<RunLengthDecodeStream>(&encoded, std::move(params));
            break;
    }
    fuzz::drain(*filter, size_t(1) << 22, how);
    filter->close();
    return 0;
}
