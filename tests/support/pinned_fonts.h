// Tests that use fonts run under the repository's pinned font configuration,
// so that their results do not depend on the fonts of the machine. Call
// before the first font call of the process.
#pragma once

#include <cstdlib>

inline void usePinnedFonts() {
    setenv("FONTCONFIG_FILE", VISTREL_SOURCE_DIR "/tests/support/fonts.conf", 1);
}
