#include "engine/font/ps_font.h"

namespace vistrel {

bool PsFont::loadProgram(InputStream* stream) {
    if (!stream || !parseProgram(stream))
        return false;
    setLoaded(true);
    return true;
}

}  // namespace vistrel
