#include "engine/render/raster/work_meter.h"

#include "engine/render/raster/output_device.h"

namespace vistrel {

WorkMeter::~WorkMeter() {
    detach();
}

void WorkMeter::detach() {
    if (device_)
        device_->setWorkMeter(nullptr);
}

}  // namespace vistrel
