// The engine's start-up routines in their order, as the control object runs
// them when it is made; the tools that render without a control run them too.
#pragma once

#include "engine/core/wstring.h"

namespace vistrel {

// The document's typed objects, functions and font dictionaries, then the
// output devices with their images (and the image streams' typed objects),
// the font system, the Type 1 loaders over the fonts folder (a path ending
// in its separator; its substitution database is read by the first call of
// the process), the TrueType loader, and the PDF font factories with the
// Type 3 loader and the content operators. Each routine may run again.
void startEngine(const WString& fontsFolder);

}  // namespace vistrel
