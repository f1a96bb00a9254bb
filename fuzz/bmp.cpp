// The BMP reader of the image-file loader: headers, then every row.
#include <cstdint>
#include <vector>

#include "engine/codec/image_readers.h"

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryInputStream file(data, size);
    BmpReadStream reader(&file, nullptr);
    if (reader.open()) {
        // Rows of red, green and blue bytes; a picture wider than the
        // budget is only opened.
        const uint64_t rowBytes = uint64_t(reader.width()) * 3;
        if (reader.width() > 0 && rowBytes <= (uint64_t(1) << 24)) {
            std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
            for (int32_t y = 0; y < reader.height() && reader.readRow(row.data()); ++y) {
            }
        }
    }
    reader.close();
    return 0;
}
