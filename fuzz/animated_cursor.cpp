// Animated cursor reader: what reads is also drawn as a strip and taken
// into a GIF picture.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "viewer/components/animated_cursor.h"
#include "viewer/components/gif_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    brevant::AnimatedCursorImage cursor;
    try {
        cursor.loadFromBytes({data, size});
    } catch (const std::exception&) {
        return 0;
    }
    cursor.strip(0xFFFFFF, false, true);
    brevant::GifImage gif;
    gif.assign(cursor);
    return 0;
}
