// The start-up of the tools that render without a control object: the
// engine's start-up routines (the Type 1 loaders over a fonts folder the tool
// is given), the memory then the quality preset of a view (the control's own
// routines, engine/control/presets.h) and text capture for search switched
// on, as the control does when it is made.
#pragma once

#include <cstdint>

#include "engine/control/presets.h"
#include "engine/core/wstring.h"

namespace vistrel {

// The levels of the control's first view.
constexpr std::int32_t kDefaultQuality = 4;
constexpr std::int32_t kDefaultMemoryUsage = 4;

// fontsFolder: a path ending in its separator.
void startRendering(std::int32_t quality, std::int32_t memoryUsage, const WString& fontsFolder);

}  // namespace vistrel
