// Settings sections and keys, file names of the font folder, the content-run
// label and the decode-parameter keys: the WStringConstant words the engine
// passes to the settings store and to /DecodeParms lookups.
//
// Each list is built at its own place of the load order (constant_registry.cpp);
// use them by name: settings::FontSystem, settings::AASize, params::Columns.
#pragma once

#include "engine/codec/decode_param_keys.h"
#include "engine/constants/constant_slot.h"
#include "engine/constants/wstring_constant.h"

// The rendering sections and keys.
#define VISTREL_RENDERING_SETTING_KEYS(X)                    \
    X(FontSystem, u"FontSystem")                             \
    X(AAMethod, u"AAMethod")                                 \
    X(Quality, u"Quality")                                   \
    X(FullColorImageConversion, u"FullColorImageConversion") \
    X(FullColorPathConversion, u"FullColorPathConversion")   \
    X(DeviceBitsPerPixel, u"DeviceBitsPerPixel")             \
    X(ImageShowMode, u"ImageShowMode")                       \
    X(ImageStretchMode, u"ImageStretchMode")                 \
    X(ImageRotationMode, u"ImageRotationMode")               \
    X(ImageSizeLimit, u"ImageSizeLimit")                     \
    X(GDCClipMode, u"GDCClipMode")                           \
    X(GDCOptimMode, u"GDCOptimMode")

// The font-system keys (section FontSystem).
#define VISTREL_FONT_SYSTEM_SETTING_KEYS(X)            \
    X(SubstTTWithT1, u"SubstTTWithT1")                 \
    X(CacheGlyphs, u"CacheGlyphs")                     \
    X(UseTTCache, u"UseTTCache")                       \
    X(AASize, u"AASize")                               \
    X(AAType, u"AAType")                               \
    X(DirToPlaceEmbeddedTT, u"DirToPlaceEmbeddedTT")   \
    X(StrictTTSubst, u"StrictTTSubst")                 \
    X(CalculateTTExactWidth, u"CalculateTTExactWidth") \
    X(UseOwnT1, u"UseOwnT1")                           \
    X(UseEmbeddedT1, u"UseEmbeddedT1")                 \
    X(CacheEdges, u"CacheEdges")                       \
    X(CurveThreshold, u"CurveThreshold")

// File names of the font-substitution database and the CMap database.
#define VISTREL_FONT_DATABASE_FILE_NAMES(X) \
    X(FontsDsc, u"fonts.dsc")               \
    X(CmapDsc, u"cmap.dsc")

// The interface, functionality and mode settings, and the label of content runs.
#define VISTREL_INTERFACE_SETTING_KEYS(X)      \
    X(Interface, u"Interface")                 \
    X(ProgressIndicator, u"ProgressIndicator") \
    X(Functionality, u"Functionality")         \
    X(EnableSearch, u"EnableSearch")           \
    X(Mode, u"Mode")                           \
    X(DrawAnnotBorders, u"DrawAnnotBorders")   \
    X(PageDesc, u"PageDesc")

namespace vistrel {

namespace detail {
#define VISTREL_X(id, text) kSetting_##id,
enum DecodeParamKeyIndex : int { VISTREL_DECODE_PARAM_KEYS(VISTREL_X) kDecodeParamKeyCount };
enum RenderingSettingKeyIndex : int {
    VISTREL_RENDERING_SETTING_KEYS(VISTREL_X) kRenderingSettingKeyCount
};
enum FontSystemSettingKeyIndex : int {
    VISTREL_FONT_SYSTEM_SETTING_KEYS(VISTREL_X) kFontSystemSettingKeyCount
};
enum FontDatabaseFileNameIndex : int {
    VISTREL_FONT_DATABASE_FILE_NAMES(VISTREL_X) kFontDatabaseFileNameCount
};
enum InterfaceSettingKeyIndex : int {
    VISTREL_INTERFACE_SETTING_KEYS(VISTREL_X) kInterfaceSettingKeyCount
};
#undef VISTREL_X
extern ConstantSlot<WStringConstant> decodeParamKeySlots[kDecodeParamKeyCount];
extern ConstantSlot<WStringConstant> renderingSettingKeySlots[kRenderingSettingKeyCount];
extern ConstantSlot<WStringConstant> fontSystemSettingKeySlots[kFontSystemSettingKeyCount];
extern ConstantSlot<WStringConstant> fontDatabaseFileNameSlots[kFontDatabaseFileNameCount];
extern ConstantSlot<WStringConstant> interfaceSettingKeySlots[kInterfaceSettingKeyCount];
}  // namespace detail

namespace params {
#define VISTREL_X(id, text)                \
    inline constexpr WStringConstant& id = \
        detail::decodeParamKeySlots[detail::kSetting_##id].object;
VISTREL_DECODE_PARAM_KEYS(VISTREL_X)
#undef VISTREL_X
}  // namespace params

namespace settings {
#define VISTREL_SLOT_REF(slots, id) \
    inline constexpr WStringConstant& id = detail::slots[detail::kSetting_##id].object;
#define VISTREL_X(id, text) VISTREL_SLOT_REF(renderingSettingKeySlots, id)
VISTREL_RENDERING_SETTING_KEYS(VISTREL_X)
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(fontSystemSettingKeySlots, id)
VISTREL_FONT_SYSTEM_SETTING_KEYS(VISTREL_X)
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(fontDatabaseFileNameSlots, id)
VISTREL_FONT_DATABASE_FILE_NAMES(VISTREL_X)
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(interfaceSettingKeySlots, id)
VISTREL_INTERFACE_SETTING_KEYS(VISTREL_X)
#undef VISTREL_X
#undef VISTREL_SLOT_REF
}  // namespace settings

}  // namespace vistrel
