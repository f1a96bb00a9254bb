// The engine's start-up routines in their order, as the control object runs
// them when it is made; the tools that render without a control run them too.
#pragma once

namespace vistrel {

// The document's typed objects, functions and font dictionaries, then the
// output devices with their images (and the image streams' typed objects),
// the font system, the TrueType loader, and the PDF font factories with the
// Type 3 loader and the content operators. Each routine may run again.
void startEngine();

}  // namespace vistrel
