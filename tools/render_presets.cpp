#include "tools/render_presets.h"

#include "engine/constants/setting_keys.h"
#include "engine/control/engine_startup.h"
#include "engine/core/settings_store.h"

namespace vistrel {

void startRendering(std::int32_t quality, std::int32_t memoryUsage, const WString& fontsFolder) {
    startEngine(fontsFolder);
    applyMemoryPreset(memoryUsage, quality, memoryUsage);
    applyQualityPreset(quality);
    settingsStore().set(settings::Functionality, settings::EnableSearch,
                        SettingValue::ofBoolean(true));
}

}  // namespace vistrel
