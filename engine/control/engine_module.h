// The engine's COM module: it counts every live object of the engine's
// classes (tree nodes made by the engine itself included) and the server
// locks, so the library can tell when it may be unloaded.
#pragma once

#include "platform/com/server_module.h"

namespace vistrel {

win::ComModule& engineModule();

}  // namespace vistrel
