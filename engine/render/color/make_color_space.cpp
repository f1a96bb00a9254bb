#include "engine/render/color/make_color_space.h"

#include "engine/constants/name_constants.h"
#include "engine/render/color/device_color_spaces.h"
#include "engine/render/color/icc_based_color_space.h"

namespace vistrel {
namespace {

PdfObject* asNameObject(PdfObject* object) {
    PdfObject* d = object ? object->direct() : nullptr;
    return d && d->kind() == kKindName ? d : nullptr;
}

}  // namespace

Ref<ColorSpace> makeColorSpace(PdfObject* object) {
    return makeNestedColorSpace(object, 0);
}

Ref<ColorSpace> makeNestedColorSpace(PdfObject* object, int nesting) {
    if (nesting > kMaxColorSpaceNesting)
        return nullptr;
    if (PdfObject* name = asNameObject(object)) {
        if (name->equals(&names::DeviceGray))
            return Ref<ColorSpace>::share(deviceGraySpace());
        if (name->equals(&names::DeviceRGB))
            return Ref<ColorSpace>::share(deviceRgbSpace());
        if (name->equals(&names::DeviceCMYK))
            return Ref<ColorSpace>::share(deviceCmykSpace());
        return nullptr;
    }
    PdfArray* array = asArray(object);
    if (!array || array->count() < 2)
        return nullptr;
    PdfObject* family = asNameObject(array->at(0));
    if (!family)
        return nullptr;
    if (family->equals(&names::ICCBased)) {
        PdfDict* params = asDict(array->at(1));
        if (!params)
            return nullptr;
        return Ref<ColorSpace>::adopt(new IccBasedColorSpace(*params, nesting));
    }
    return nullptr;
}

}  // namespace vistrel
