// Builds a colour space from a colour-space operand or resource: a device
// family name, or an array whose first element names the family (CalGray,
// CalRGB, Lab, ICCBased, Indexed, Separation or DeviceN). Anything else gives
// null, /Pattern included.
#pragma once

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/color/color_space.h"

namespace vistrel {

// Deepest nesting of spaces inside spaces (alternates, bases); a space
// nested deeper is not made, so a space that names itself ends.
inline constexpr int kMaxColorSpaceNesting = 8;

// One reference for the caller, or null. A space that was built but is not
// valid is still returned.
Ref<ColorSpace> makeColorSpace(PdfObject* object);

// The same for a space nested inside `nesting` others; null beyond
// kMaxColorSpaceNesting.
Ref<ColorSpace> makeNestedColorSpace(PdfObject* object, int nesting);

}  // namespace vistrel
