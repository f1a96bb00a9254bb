// Where the engine's fonts folder is: beside the loaded engine file.
#pragma once

#include "engine/core/wstring.h"

namespace vistrel {

// The folder of the loaded file (shared library or program) that holds the
// address, resolved to an absolute path and ending in its separator; empty
// when it cannot be told.
WString moduleFolder(const void* address);

// The folder of the loaded file that holds the engine's code followed by
// "fonts/": the fonts folder the control hands to registerType1Loaders.
WString engineFontsFolder();

}  // namespace vistrel
