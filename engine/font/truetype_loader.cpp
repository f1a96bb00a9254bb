#include "engine/font/truetype_loader.h"

#include "engine/constants/font_constants.h"
#include "engine/font/font_registry.h"

namespace vistrel {
namespace {

// After the Type 1 kinds, before Type 3.
constexpr std::int32_t kTrueTypePriority = 1000;

}  // namespace

bool registerTrueTypeLoader() {
    if (FontRegistry* registry = fontRegistry()) {
        registry->registerLoader(fontwords::TrueType, loadTrueTypeFont, kTrueTypePriority);
        registry->registerFactory(fontwords::TrueType, fontwords::Standard,
                                  makeStandardTrueTypeDescription);
    }
    return true;
}

std::unique_ptr<FontRenderer> loadTrueTypeFont(FontDescription& /*description*/,
                                               OutputDevice* /*device*/) {
    return nullptr;
}

Ref<FontDescription> makeStandardTrueTypeDescription(const FontSource& /*source*/,
                                                     WString& /*key*/) {
    return nullptr;
}

}  // namespace vistrel
