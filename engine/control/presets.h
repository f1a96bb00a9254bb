// The quality and memory-usage presets of a view: each level writes a fixed
// set of engine settings that rendering and the font code read. The control
// applies them when it is made, when a document is opened and when a view
// with another level is put; the tools that render without a control call
// the same routines.
#pragma once

#include <cstdint>

namespace vistrel {

// Writes the settings of a quality level 0 to 5; any other level writes
// nothing. Level 0 leaves "AASize" and "AAType" as they are.
void applyQualityPreset(std::int32_t quality);

// Writes the settings of a memory-usage level (0, 1, 2, or any other level
// for the largest use) and "CurveThreshold", which comes from the view's
// current quality and memory usage rather than from the level given.
void applyMemoryPreset(std::int32_t memoryUsage, std::int32_t viewQuality,
                       std::int32_t viewMemoryUsage);

// "CurveThreshold" of a view: (740 - 40 (memoryUsage + 1) (quality - 1)) / 14
// rounded half away from zero, saturated to 32 bits for levels far outside
// their range.
std::int32_t curveThreshold(std::int32_t viewQuality, std::int32_t viewMemoryUsage);

}  // namespace vistrel
