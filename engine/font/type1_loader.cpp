#include "engine/font/type1_loader.h"

#include <new>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/font/cid_font.h"
#include "engine/font/font_database.h"
#include "engine/font/font_registry.h"
#include "engine/font/own_outline_font.h"
#include "engine/font/type1_font.h"
#include "engine/font/type1c_font.h"

namespace vistrel {
namespace {

// Before the other kinds of the "PDF" category; the CID kind before it.
constexpr std::int32_t kType1Priority = -100;
constexpr std::int32_t kType1CidPriority = -200;

// Reads the embedded program into the font.
void readEmbeddedProgram(FontBase& font, const Type1FontDescription& description) {
    InputStream* program = description.program();
    program->open();
    font.loadProgram(program);
    program->close();
    font.descriptionText().append(description.name());
}

// The own outline font the database chooses for the description.
std::unique_ptr<FontBase> loadOwnFont(const Type1FontDescription& description,
                                      OutputDevice* device) {
    std::unique_ptr<OwnOutlineFont> font(new OwnOutlineFont(description, device));
    if (!font)
        return nullptr;
    font->descriptionText().assignText(u"T1: ");
    if (FontDatabase* database = fontDatabase()) {
        std::unique_ptr<InputStream> file = database->matchStyle(description, font->descriptionText());
        if (file && file->isOpen())
            font->loadProgram(file.get());
    }
    return font;
}

}  // namespace

bool registerType1Loaders(const WString& fontsFolder) {
    if (!createFontDatabase())
        return false;
    fontDatabase()->loadFiles(fontsFolder);
    FontRegistry* registry = fontRegistry();
    if (!registry)
        return false;
    registry->registerLoader(fontwords::Type1, loadType1Font, kType1Priority);
    registry->registerLoader(fontwords::Type1CID, loadCidFont, kType1CidPriority);
    return registry->registerFactory(fontwords::Type1, fontwords::Standard,
                                     makeStandardType1FontEntry);
}

std::unique_ptr<FontBase> makeEmbeddedType1Font(const Type1FontDescription& description,
                                                OutputDevice* device) {
    std::unique_ptr<FontBase> font;
    if (description.isCompact())
        font.reset(new Type1CFont(description, device));
    else
        font.reset(new Type1Font(description, device));
    if (font)
        font->descriptionText().assignText(description.isCompact() ? u"T1C: " : u"T1: ");
    return font;
}

std::unique_ptr<FontRenderer> loadType1Font(FontDescription& description, OutputDevice* device) {
    const SettingsStore& store = settingsStore();
    const SettingValue* embeddedSetting = store.find(settings::FontSystem, settings::UseEmbeddedT1);
    const bool useEmbedded = readSettingSwitch(embeddedSetting, true);
    const bool useOwn = readSettingSwitch(store.find(settings::FontSystem, settings::UseOwnT1), false);
    if (embeddedSetting && !useEmbedded && !useOwn)
        return nullptr;
    if (description.kind() != FontDescription::kType1)
        return nullptr;
    const Ref<FontDescription> held = Ref<FontDescription>::share(&description);
    const auto& type1 = static_cast<const Type1FontDescription&>(description);

    std::unique_ptr<FontBase> font;
    if (type1.program() && useEmbedded) {
        font = makeEmbeddedType1Font(type1, device);
        if (font)
            readEmbeddedProgram(*font, type1);
    }
    if (!font && useOwn)
        font = loadOwnFont(type1, device);
    if (font && !font->isUsable())
        font.reset();
    return font;
}

Ref<FontDescription> makeStandardType1FontEntry(const FontSource& source, WString& outName) {
    const StandardFontRequest* request = source.request();
    if (!request)
        return nullptr;
    Ref<Type1FontDescription> description = Ref<Type1FontDescription>::adopt(
        new Type1FontDescription());
    if (!description)
        return nullptr;
    description->encodingName().assign(request->name);
    WString& key = description->name();
    key.assign(request->faces);
    if (request->italic)
        key.append(fontwords::italic);
    if (request->underline)
        key.append(fontwords::underline);
    if (request->strikeout)
        key.append(fontwords::strikeout);
    // The first weight word of the request's weight; 400 has none.
    for (const WeightWord& w : kWeightWords) {
        if (w.weight == request->weight) {
            key.append(*w.word);
            break;
        }
    }
    if (request->differences) {
        description->setDifferences(
            std::unique_ptr<Differences>(new (std::nothrow) Differences(*request->differences)));
    }
    outName.assignText(u"Standard: ");
    outName.append(request->faces);
    return description;
}

}  // namespace vistrel
