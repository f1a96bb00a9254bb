#include "engine/constants/constant_registry.h"

#include "engine/constants/cff_strings.h"
#include "engine/constants/font_constants.h"
#include "engine/constants/keyword_constants.h"
#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"

namespace vistrel {

// ---------------------------------------------------------------------------
// Storage of the constant lists.

namespace detail {
ConstantSlot<NameConstant> nameConstantSlots[kNameConstantCount];
ConstantSlot<NameConstant> lateNameConstantSlots[kLateNameConstantCount];
ConstantSlot<KeywordConstant> keywordConstantSlots[kKeywordConstantCount];
ConstantSlot<WStringConstant> decodeParamKeySlots[kDecodeParamKeyCount];
ConstantSlot<WStringConstant> renderingSettingKeySlots[kRenderingSettingKeyCount];
ConstantSlot<WStringConstant> fontSystemSettingKeySlots[kFontSystemSettingKeyCount];
ConstantSlot<WStringConstant> fontDatabaseFileNameSlots[kFontDatabaseFileNameCount];
ConstantSlot<WStringConstant> interfaceSettingKeySlots[kInterfaceSettingKeyCount];
ConstantSlot<WStringConstant> encodingWordSlots[kEncodingWordCount];
ConstantSlot<WStringConstant> fontWordSlots[kFontWordCount];
ConstantSlot<WStringConstant> weightWordSlots[kWeightWordCount];
ConstantSlot<WStringConstant> type1KindWordSlots[kType1KindWordCount];
ConstantSlot<WStringConstant> type3KindWordSlots[kType3KindWordCount];
ConstantSlot<WStringConstant> latinGlyphSlots[kLatinGlyphCount];
ConstantSlot<WStringConstant> latinExtAGlyphSlots[kLatinExtAGlyphCount];
ConstantSlot<WStringConstant> ligatureGlyphSlots[kLigatureGlyphCount];
}  // namespace detail

namespace {

#define VISTREL_X(id, text) text,
constexpr const char16_t* kNameTexts[] = {VISTREL_NAME_CONSTANTS(VISTREL_X)};
constexpr const char16_t* kLateNameTexts[] = {VISTREL_LATE_NAME_CONSTANTS(VISTREL_X)};
constexpr const char16_t* kKeywordTexts[] = {VISTREL_KEYWORD_CONSTANTS(VISTREL_X)};
constexpr const char16_t* kDecodeParamTexts[] = {VISTREL_DECODE_PARAM_KEYS(VISTREL_X)};
constexpr const char16_t* kRenderingSettingTexts[] = {VISTREL_RENDERING_SETTING_KEYS(VISTREL_X)};
constexpr const char16_t* kFontSystemSettingTexts[] = {VISTREL_FONT_SYSTEM_SETTING_KEYS(VISTREL_X)};
constexpr const char16_t* kFontDatabaseFileTexts[] = {VISTREL_FONT_DATABASE_FILE_NAMES(VISTREL_X)};
constexpr const char16_t* kInterfaceSettingTexts[] = {VISTREL_INTERFACE_SETTING_KEYS(VISTREL_X)};
constexpr const char16_t* kEncodingWordTexts[] = {VISTREL_ENCODING_WORDS(VISTREL_X)};
constexpr const char16_t* kFontWordTexts[] = {VISTREL_FONT_WORDS(VISTREL_X)};
constexpr const char16_t* kType1KindWordTexts[] = {VISTREL_TYPE1_KIND_WORDS(VISTREL_X)};
constexpr const char16_t* kType3KindWordTexts[] = {VISTREL_TYPE3_KIND_WORDS(VISTREL_X)};
constexpr const char16_t* kLatinGlyphTexts[] = {VISTREL_LATIN_GLYPH_NAMES(VISTREL_X)};
constexpr const char16_t* kLatinExtAGlyphTexts[] = {VISTREL_LATIN_EXT_A_GLYPH_NAMES(VISTREL_X)};
constexpr const char16_t* kLigatureGlyphTexts[] = {VISTREL_LIGATURE_GLYPH_NAMES(VISTREL_X)};
#undef VISTREL_X
#define VISTREL_W(id, text, weight) text,
constexpr const char16_t* kWeightWordTexts[] = {VISTREL_WEIGHT_WORDS(VISTREL_W)};
#undef VISTREL_W

// Builds a list in its order; destroys it newest first.
template <class T, size_t N>
struct ConstantList {
    ConstantSlot<T> (&slots)[N];
    const char16_t* const (&texts)[N];

    void build() const {
        for (size_t i = 0; i < N; ++i)
            slots[i].construct(texts[i]);
    }
    void destroy() const {
        for (size_t i = N; i-- > 0;)
            slots[i].destroy();
    }
};

constexpr ConstantList<NameConstant, detail::kNameConstantCount> kNames{detail::nameConstantSlots,
                                                                        kNameTexts};
constexpr ConstantList<NameConstant, detail::kLateNameConstantCount> kLateNames{
    detail::lateNameConstantSlots, kLateNameTexts};
constexpr ConstantList<KeywordConstant, detail::kKeywordConstantCount> kKeywords{
    detail::keywordConstantSlots, kKeywordTexts};
constexpr ConstantList<WStringConstant, detail::kDecodeParamKeyCount> kDecodeParams{
    detail::decodeParamKeySlots, kDecodeParamTexts};
constexpr ConstantList<WStringConstant, detail::kRenderingSettingKeyCount> kRenderingSettings{
    detail::renderingSettingKeySlots, kRenderingSettingTexts};
constexpr ConstantList<WStringConstant, detail::kFontSystemSettingKeyCount> kFontSystemSettings{
    detail::fontSystemSettingKeySlots, kFontSystemSettingTexts};
constexpr ConstantList<WStringConstant, detail::kFontDatabaseFileNameCount> kFontDatabaseFiles{
    detail::fontDatabaseFileNameSlots, kFontDatabaseFileTexts};
constexpr ConstantList<WStringConstant, detail::kInterfaceSettingKeyCount> kInterfaceSettings{
    detail::interfaceSettingKeySlots, kInterfaceSettingTexts};
constexpr ConstantList<WStringConstant, detail::kEncodingWordCount> kEncodingWords{
    detail::encodingWordSlots, kEncodingWordTexts};
constexpr ConstantList<WStringConstant, detail::kFontWordCount> kFontWords{detail::fontWordSlots,
                                                                           kFontWordTexts};
constexpr ConstantList<WStringConstant, detail::kWeightWordCount> kWeightWordList{
    detail::weightWordSlots, kWeightWordTexts};
constexpr ConstantList<WStringConstant, detail::kType1KindWordCount> kType1KindWords{
    detail::type1KindWordSlots, kType1KindWordTexts};
constexpr ConstantList<WStringConstant, detail::kType3KindWordCount> kType3KindWords{
    detail::type3KindWordSlots, kType3KindWordTexts};
constexpr ConstantList<WStringConstant, detail::kLatinGlyphCount> kLatinGlyphs{
    detail::latinGlyphSlots, kLatinGlyphTexts};
constexpr ConstantList<WStringConstant, detail::kLatinExtAGlyphCount> kLatinExtAGlyphs{
    detail::latinExtAGlyphSlots, kLatinExtAGlyphTexts};
constexpr ConstantList<WStringConstant, detail::kLigatureGlyphCount> kLigatureGlyphs{
    detail::ligatureGlyphSlots, kLigatureGlyphTexts};

template <const auto& list>
constexpr ConstantGroup groupOf(const char* name) {
    return ConstantGroup{name, [] { list.build(); }, [] { list.destroy(); }};
}

// The load order. The allocation machinery, the allocator handles and the
// settings store are constant-initialized and need no entry; the lists of
// other subsystems take their places between these entries as they come.
constexpr ConstantGroup kEngineGroups[] = {
    groupOf<kDecodeParams>("decode-parameter keys"),
    groupOf<kRenderingSettings>("rendering settings"), groupOf<kEncodingWords>("encoding words"),
    groupOf<kFontSystemSettings>("font-system settings"), groupOf<kFontWords>("font words"),
    groupOf<kWeightWordList>("weight words"),
    // The glyph names come before the encoding tables, which store them.
    groupOf<kLatinGlyphs>("Latin glyph names"),
    groupOf<kLatinExtAGlyphs>("Latin Extended-A glyph names"),
    groupOf<kLigatureGlyphs>("ligature glyph names"),
    // encoding tables, font registry and glyph cache come here
    groupOf<kFontDatabaseFiles>("font-database files"),
    // Type 1 keys come here
    groupOf<kType1KindWords>("Type 1 kind words"),
    ConstantGroup{"CFF standard strings", buildCffStandardStringConstants,
                  destroyCffStandardStringConstants},
    groupOf<kInterfaceSettings>("interface settings"), groupOf<kType3KindWords>("Type 3 kind word"),
    groupOf<kNames>("name constants"), groupOf<kKeywords>("keyword constants"),
    groupOf<kLateNames>("late name constants"),
    // content-operator tables, window-class names, late allocator handles,
    // the CID keyword list and the statics of other subsystems come here
};

constinit ConstantRegistry engineRegistry{kEngineGroups, std::size(kEngineGroups)};

// Library load: before any initializer of default priority, in this library
// or in a program linked with it. Unload: after them.
__attribute__((constructor(101))) void buildEngineConstants() {
    engineRegistry.buildAll();
}
__attribute__((destructor(101))) void destroyEngineConstants() {
    engineRegistry.destroyAll();
}

}  // namespace

void ConstantRegistry::buildAll() {
    while (built_ < count_) {
        groups_[built_].build();
        ++built_;
    }
}

void ConstantRegistry::destroyAll() {
    while (built_ > 0) {
        --built_;
        groups_[built_].destroy();
    }
}

ConstantRegistry& engineConstants() {
    return engineRegistry;
}

}  // namespace vistrel
