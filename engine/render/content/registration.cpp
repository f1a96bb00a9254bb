#include "engine/render/content/registration.h"

#include "engine/render/content/operator_tables.h"

namespace vistrel {
namespace {

bool registered = false;

}  // namespace

bool registerPdfFontFactories() {
    if (registered)
        return false;
    fillOperatorStateMaps();
    registered = true;
    return true;
}

}  // namespace vistrel
