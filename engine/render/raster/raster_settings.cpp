#include "engine/render/raster/raster_settings.h"

#include "engine/core/settings_store.h"

namespace vistrel {

IntegerSetting readRasterSetting(const WString& section, const WString& key) {
    const SettingValue* v = settingsStore().find(section, key);
    if (!v)
        return {};
    const bool known = v->kind >= SettingValue::kText && v->kind <= SettingValue::kBoolean;
    return IntegerSetting{true, known, known ? readSettingNumber(v, 0) : 0};
}

}  // namespace vistrel
