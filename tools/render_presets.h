// The start-up of the tools that render without a control object: the
// engine's start-up routines, the memory then the quality preset of a view
// (the control's own routines, engine/control/presets.h) and text capture for
// search switched on, as the control does when it is made.
#pragma once

#include <cstdint>

#include "engine/control/presets.h"

namespace vistrel {

void startRendering(std::int32_t quality, std::int32_t memoryUsage);

}  // namespace vistrel
