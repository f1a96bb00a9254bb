#include "engine/font/truetype_loader.h"

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/font/cached_truetype_renderer.h"
#include "engine/font/font_registry.h"
#include "engine/font/gdi_truetype_renderer.h"

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

std::unique_ptr<FontRenderer> loadTrueTypeFont(FontDescription& description,
                                               OutputDevice* device) {
    const bool cached =
        readSettingSwitch(settingsStore().find(settings::FontSystem, settings::UseTTCache), false);
    if (description.kind() != FontDescription::kTrueType)
        return nullptr;
    const auto& trueType = static_cast<const TrueTypeFontDescription&>(description);
    std::unique_ptr<FontRenderer> font;
    if (cached) {
        // The system's face first: one it cannot give (asked again on every
        // page that uses the font) makes no cached renderer.
        std::unique_ptr<GdiTrueTypeRenderer> inner = CachedTrueTypeRenderer::makeInner(trueType);
        if (!inner || !inner->isUsable())
            return nullptr;
        font.reset(new CachedTrueTypeRenderer(trueType, device, std::move(inner)));
    } else {
        font.reset(new GdiTrueTypeRenderer(trueType, device));
    }
    if (!font || !font->isUsable())
        return nullptr;
    return font;
}

Ref<FontDescription> makeStandardTrueTypeDescription(const FontSource& source, WString& key) {
    const StandardFontRequest* request = source.request();
    if (!request)
        return nullptr;
    auto description = makeRef<TrueTypeFontDescription>();
    if (!description)
        return nullptr;
    WString& name = description->name();
    name.assign(request->faces);
    if (request->italic)
        name.append(fontwords::italic);
    if (request->underline)
        name.append(fontwords::underline);
    if (request->strikeout)
        name.append(fontwords::strikeout);
    // The first word of the weight list that stands for the weight: "thin",
    // "extralight", "light", "medium", "semibold", "bold", "extrabold",
    // "heavy"; none for 400.
    if (request->weight != kNormalWeight) {
        for (const WeightWord& w : kWeightWords) {
            if (w.weight == request->weight) {
                name.append(*w.word);
                break;
            }
        }
    }
    description->encodingName().assign(request->name);
    if (request->differences)
        description->setDifferences(std::make_unique<Differences>(*request->differences));
    key.assignText(u"Standard: ");
    key.append(request->faces);
    return description;
}

}  // namespace vistrel
