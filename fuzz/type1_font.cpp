// Embedded Type 1 programs: the input's first bytes choose the description
// (its encoding, a few /Differences) and the device size, the rest is the
// program (plain or PFB). A program that loads has its glyphs flattened and
// scan-converted upright, turned and in render mode 8, trimmed and drawn
// again.
#include <cstddef>
#include <cstdint>

#include "engine/core/streams.h"
#include "engine/font/font_registry.h"
#include "engine/font/type1_font.h"
#include "fuzz/outline_font_input.h"

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = [] {
        fontStaticObjects().buildAll();
        return true;
    }();
    (void)started;

    fuzz::FuzzInput in(data, size);
    Type1FontDescription description;
    const double deviceSize = fuzz::describeFont(in, description);
    Type1Font font(description, nullptr);
    MemoryInputStream stream(in.data(), in.size());
    if (font.loadProgram(&stream))
        fuzz::drawLoadedFont(font, deviceSize);
    return 0;
}
