#include "engine/render/raster/raster_settings.h"

namespace vistrel {

namespace {
IntegerSettingReader gReader = nullptr;
}  // namespace

void setRasterSettingReader(IntegerSettingReader reader) { gReader = reader; }

IntegerSetting readRasterSetting(const char16_t* section, const char16_t* key) {
    return gReader ? gReader(section, key) : IntegerSetting{};
}

}  // namespace vistrel
