// The quality and memory-usage presets: each level writes a fixed set of
// engine settings that rendering and the font code read. The control object
// applies them when a document is opened and when its view changes; until it
// exists, the tools that render start the engine through here.
#pragma once

#include <cstdint>

namespace vistrel {

// Writes the settings of a quality level 0 to 5; any other level writes
// nothing.
void applyQualityPreset(std::int32_t quality);

// Writes the settings of a memory-usage level; "CurveThreshold" comes from
// the view's current quality and memory usage (not the level given).
void applyMemoryPreset(std::int32_t memoryUsage, std::int32_t viewQuality,
                       std::int32_t viewMemoryUsage);

// The engine start-up of the control object as far as it exists: output
// devices, the font factories, the memory then the quality preset, and text
// capture for search switched on.
void startRendering(std::int32_t quality, std::int32_t memoryUsage);

}  // namespace vistrel
