#include "engine/control/engine_module.h"

namespace vistrel {

namespace {
constinit win::ComModule module;
}

win::ComModule& engineModule() {
    return module;
}

}  // namespace vistrel
