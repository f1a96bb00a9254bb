#include "engine/render/raster/raster_settings.h"

#include "engine/core/settings_store.h"

namespace vistrel {

const WString kSettingQuality(u"Quality", WString::kConstant);
const WString kSettingGDCClipMode(u"GDCClipMode", WString::kConstant);
const WString kSettingGDCOptimMode(u"GDCOptimMode", WString::kConstant);
const WString kSettingFullColorPathConversion(u"FullColorPathConversion", WString::kConstant);
const WString kSettingFontSystem(u"FontSystem", WString::kConstant);
const WString kSettingAAMethod(u"AAMethod", WString::kConstant);

IntegerSetting readRasterSetting(const WString& section, const WString& key) {
    const SettingValue* v = settingsStore().find(section, key);
    if (!v)
        return {};
    const bool known = v->kind >= SettingValue::kText && v->kind <= SettingValue::kBoolean;
    return IntegerSetting{true, known, known ? readSettingNumber(v, 0) : 0};
}

}  // namespace vistrel
