// GIF reader and writer: every input is read plainly and with damaged data
// allowed; whatever reads is decoded frame by frame, written and read again.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "viewer/components/gif_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool corrupted : {false, true}) {
        brevant::setGifLoadCorrupted(corrupted);
        brevant::GifImage gif;
        try {
            gif.loadFromBytes({data, size});
            for (int i = 0; i < gif.count(); ++i)
                gif.frame(i).bitmap();
        } catch (const std::exception&) {
            continue;
        }
        try {
            brevant::Bytes written = gif.saveToBytes();
            brevant::GifImage again;
            again.loadFromBytes(written);
        } catch (const std::exception&) {
        }
    }
    brevant::setGifLoadCorrupted(false);
    return 0;
}
