// Type 1 fonts in the font registry: the "Type1" loader, which draws a font
// from its embedded program or from one of the engine's own outline fonts,
// the "Type1CID" loader, and the description factory of Type 1 fonts asked
// for by face name and style (the category "Standard").
//
// Settings read by the loader, section "FontSystem": "UseEmbeddedT1" (on
// when missing) and "UseOwnT1" (off when missing).
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/font_base.h"
#include "engine/font/font_description.h"
#include "engine/font/font_source.h"

namespace vistrel {

class OutputDevice;

// Loads the substitution database of the fonts folder (a path ending in its
// separator; read by the first call of the process only), then registers
// "Type1" at priority -100, "Type1CID" at -200 and the ("Type1",
// "Standard") factory. Answers whether the factory was entered.
bool registerType1Loaders(const WString& fontsFolder);

// The "Type1" loader: for a Type 1 description (kind 257), a font from the
// embedded program when there is one and "UseEmbeddedT1" allows it, else,
// when "UseOwnT1" is on, the own outline font the substitution database
// chooses ("T1: " and the chosen entry's name). Null when neither gives a
// usable font.
std::unique_ptr<FontRenderer> loadType1Font(FontDescription& description, OutputDevice* device);

// The font object for a description's embedded program, a Type1Font or,
// for a compact program, a Type1CFont, its description text begun ("T1: "
// or "T1C: "); the loader then reads the program into it and appends the
// key name. Null when memory runs out.
std::unique_ptr<FontBase> makeEmbeddedType1Font(const Type1FontDescription& description,
                                                OutputDevice* device);

// The ("Type1", "Standard") factory: a Type 1 description without program,
// its encoding the request's name, its key name the face followed by
// "italic", "underline", "strikeout" and the weight word as the request
// asks; out name "Standard: " and the face.
Ref<FontDescription> makeStandardType1FontEntry(const FontSource& source, WString& outName);

}  // namespace vistrel
