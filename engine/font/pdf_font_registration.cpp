#include "engine/font/pdf_font_registration.h"

#include "engine/constants/font_constants.h"
#include "engine/font/font_registry.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/font/type3_font.h"
#include "engine/render/content/operator_tables.h"

namespace vistrel {
namespace {

bool registered = false;

// After the Type 1 (-100) and TrueType (1000) loaders in the registry's
// fallback.
constexpr std::int32_t kType3Priority = 100000;

}  // namespace

void addPdfFontFactories(FontRegistry& registry) {
    if (!registry.hasFactory(fontwords::TrueType, fontwords::PDF))
        registry.registerFactory(fontwords::TrueType, fontwords::PDF, createTrueTypeFont);
    registry.registerLoader(fontwords::Type3, loadType3Font, kType3Priority);
    registry.registerFactory(fontwords::Type3, fontwords::PDF, createType3Font);
    registry.registerFactory(fontwords::Type1, fontwords::PDF, createType1Font);
}

bool registerPdfFontFactories() {
    if (registered)
        return false;
    if (FontRegistry* registry = fontRegistry())
        addPdfFontFactories(*registry);
    fillOperatorStateMaps();
    registered = true;
    return true;
}

}  // namespace vistrel
