// TrueType fonts: the "TrueType" loader, tried after the Type 1 kinds when a
// font cannot be made otherwise, and the factory of TrueType descriptions for
// fonts asked for by face name and style (the category "Standard").
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

// The loader: for a TrueType description, a renderer that draws through the
// system's fonts, caching anti-aliased glyphs when "FontSystem"/"UseTTCache"
// is on. Null for other descriptions and when no usable font can be made.
std::unique_ptr<FontRenderer> loadTrueTypeFont(FontDescription& description, OutputDevice* device);

// The ("TrueType", "Standard") factory: a description named by the request's
// face followed by "italic", "underline", "strikeout" and the weight word
// (none for 400), with the request's encoding name and differences and
// unknown metrics; the key is "Standard: " and the face.
Ref<FontDescription> makeStandardTrueTypeDescription(const FontSource& source, WString& key);

}  // namespace vistrel
