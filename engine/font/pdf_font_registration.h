// The engine start-up step that makes fonts of PDF font dictionaries
// possible: it enters the PDF description factories and the Type 3 loader
// into the font registry and fills the content interpreter's operator state
// maps. The control object runs it when it is made, after the Type 1 and the
// TrueType loaders are registered; it does its work once per process.
#pragma once

namespace vistrel {

class FontRegistry;

// True when it registered; false, changing nothing, on every later call.
bool registerPdfFontFactories();

// The registry's part, in order: the ("TrueType", "PDF") factory unless the
// pair has one already, the "Type3" loader at priority 100000, then the
// ("Type3", "PDF") and ("Type1", "PDF") factories. A kind or pair that has
// its loader or factory already keeps it.
void addPdfFontFactories(FontRegistry& registry);

}  // namespace vistrel
