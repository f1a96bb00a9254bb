// vistrel-inspect fonts: the font resources of one page as the font code
// reads them.
#pragma once

#include <cstdint>

#include "engine/core/wstring.h"

namespace vistrel {

class PdfPage;

// Prints one line per /Font resource of the page, in the resource
// dictionary's order; tab-separated fields:
//   resource name, subtype=, basefont=, object= (number, or "direct"),
//   out= and description= (the names the factory writes), encoding=,
//   differences= (count, or "none"), program= (none, Type 1, TrueType,
//   Type 1C, CIDFontType0C), flags= (the descriptor's flags in hex, or
//   "no descriptor").
// A Type 0 font takes its program and flags from its first descendant font.
// With `load` the engine starts as for rendering (the Type 1 loaders with the
// fonts folder, the default presets), each font is also made through the
// font registry as "Tf" makes it, and the line ends with loaded= and the
// font's description text ("T1: " and the own font chosen for a font that is
// not embedded), or "no font". A resource that is no font dictionary prints
// "not a font dictionary".
void printPageFonts(PdfPage& page, bool load, const WString& fontsFolder);

}  // namespace vistrel
