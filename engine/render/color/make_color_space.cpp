#include "engine/render/color/make_color_space.h"

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/color/cie_color_spaces.h"
#include "engine/render/color/device_color_spaces.h"
#include "engine/render/color/icc_based_color_space.h"
#include "engine/render/color/indexed_color_space.h"
#include "engine/render/color/tint_color_spaces.h"
#include "engine/render/function/pdf_function.h"

namespace vistrel {
namespace {

PdfObject* asNameObject(PdfObject* object) {
    PdfObject* d = object ? object->direct() : nullptr;
    return d && d->kind() == kKindName ? d : nullptr;
}

// Every element of the array, resolved, is a name.
bool allNames(const PdfArray& array) {
    for (std::int32_t i = 0; i < array.count(); ++i) {
        if (!asNameObject(array.at(i)))
            return false;
    }
    return true;
}

template <class Space, class... Args>
Ref<ColorSpace> made(Args&&... args) {
    return Ref<ColorSpace>::adopt(new Space(std::forward<Args>(args)...));
}

// The CIE families, the ICC-based one and the composite ones, from an array
// of at least 2 elements whose first names the family.
Ref<ColorSpace> makeFamily(const PdfObject& family, const PdfArray& array, int nesting) {
    PdfObject* parameter = array.at(1);
    const std::int32_t count = array.count();
    if (family.equals(&names::CalGray) || family.equals(&names::CalRGB) ||
        family.equals(&names::Lab) || family.equals(&names::ICCBased)) {
        PdfDict* dict = asDict(parameter);
        if (!dict)
            return nullptr;
        if (family.equals(&names::CalGray))
            return made<CalGrayColorSpace>(*dict);
        if (family.equals(&names::CalRGB))
            return made<CalRgbColorSpace>(*dict);
        if (family.equals(&names::Lab))
            return made<LabColorSpace>(*dict);
        return made<IccBasedColorSpace>(*dict, nesting);
    }
    if (count < 4)
        return nullptr;
    PdfObject* third = array.at(2) ? array.at(2)->direct() : nullptr;
    PdfObject* fourth = array.at(3) ? array.at(3)->direct() : nullptr;
    if (family.equals(&names::Separation)) {
        PdfName* colorant = asName(parameter);
        if (!colorant || !third || !asFunction(fourth))
            return nullptr;
        return made<SeparationColorSpace>(*colorant, third, fourth, nesting);
    }
    if (family.equals(&names::DeviceN)) {
        PdfArray* colorants = asArray(parameter);
        if (!colorants || !allNames(*colorants) || !third || !asFunction(fourth))
            return nullptr;
        PdfDict* attributes = count > 4 ? asDict(array.at(4)) : nullptr;
        return made<DeviceNColorSpace>(*colorants, third, fourth, attributes, nesting);
    }
    if (family.equals(&names::Indexed)) {
        PdfObject* base = parameter ? parameter->direct() : nullptr;
        PdfNumber* hival = asNumber(third);
        if (!base || !hival || !hival->isInteger())
            return nullptr;
        const bool stream = fourth && fourth->kind() == kKindDict &&
                            fourth->classKind() == kClassStream;
        if (!stream && !asString(fourth))
            return nullptr;
        return made<IndexedColorSpace>(base, hival->intValue(), fourth, nesting);
    }
    return nullptr;
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
    return makeFamily(*family, *array, nesting);
}

}  // namespace vistrel
