// The quality and memory-usage presets: each level writes a fixed set of
// engine settings that rendering and the font code read. The control object
// applies them when a document is opened and when its view changes; until it
// exists, the tools that render start the engine through here.
#pragma once

#include <cstdint>

#include "engine/core/wstring.h"

namespace vistrel {

// The levels the control takes after opening a document.
constexpr std::int32_t kDefaultQuality = 4;
constexpr std::int32_t kDefaultMemoryUsage = 4;

// Writes the settings of a quality level 0 to 5; any other level writes
// nothing.
void applyQualityPreset(std::int32_t quality);

// Writes the settings of a memory-usage level; "CurveThreshold" comes from
// the view's current quality and memory usage (not the level given).
void applyMemoryPreset(std::int32_t memoryUsage, std::int32_t viewQuality,
                       std::int32_t viewMemoryUsage);

// The engine start-up of the control object as far as it exists: the font
// dictionaries, the font system with the output devices, the Type 1 loaders
// with the fonts folder (a path ending in its separator), the TrueType
// loader, the PDF font factories (and the operator state maps), the memory
// then the quality preset, and text capture for search switched on.
void startRendering(std::int32_t quality, std::int32_t memoryUsage, const WString& fontsFolder);

}  // namespace vistrel
