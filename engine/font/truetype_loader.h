// TrueType fonts: the "TrueType" loader, tried after the Type 1 kinds when a
// font cannot be made otherwise, and the factory of TrueType descriptions for
// fonts asked for by face name and style (the category "Standard").
//
// The renderers that draw TrueType fonts through the system's fonts are not
// built yet: until they are, the loader makes no font and the factory no
// description, so that the registry goes on to the next kind.
#pragma once

#include <memory>

#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/font_description.h"
#include "engine/font/font_source.h"
#include "engine/render/content/font_renderer.h"

namespace vistrel {

class OutputDevice;

// Enters the loader under "TrueType" at priority 1000 and the factory under
// ("TrueType", "Standard") into the process's registry; a second call finds
// both there and changes nothing. True.
bool registerTrueTypeLoader();

// The loader: a renderer for a TrueType description (kind 0); null for now.
std::unique_ptr<FontRenderer> loadTrueTypeFont(FontDescription& description, OutputDevice* device);

// The ("TrueType", "Standard") factory; null for now.
Ref<FontDescription> makeStandardTrueTypeDescription(const FontSource& source, WString& key);

}  // namespace vistrel
