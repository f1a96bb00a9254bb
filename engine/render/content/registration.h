// The engine start-up step that makes the content interpreter usable: it
// fills the two operator state maps. It does its work once per process.
#pragma once

namespace vistrel {

// True when it registered; false, changing nothing, on every later call.
bool registerPdfFontFactories();

}  // namespace vistrel
