#include "engine/render/color/icc_based_color_space.h"

#include "engine/constants/name_constants.h"
#include "engine/render/color/device_color_spaces.h"
#include "engine/render/color/make_color_space.h"

namespace vistrel {

IccBasedColorSpace::IccBasedColorSpace(const PdfDict& params, int nesting) : ColorSpace(0) {
    valid_ = false;
    PdfNumber* n = asNumber(params.get(names::N));
    if (!n)
        return;
    components_ = n->intValue();
    if (PdfObject* alternate = params.get(names::Alternate)) {
        alternate_ = makeNestedColorSpace(alternate, nesting + 1);
    } else if (components_ == 1) {
        alternate_ = Ref<ColorSpace>::share(deviceGraySpace());
    } else if (components_ == 3) {
        alternate_ = Ref<ColorSpace>::share(deviceRgbSpace());
    } else if (components_ == 4) {
        alternate_ = Ref<ColorSpace>::share(deviceCmykSpace());
    }
    if (!alternate_ || !alternate_->valid())
        return;
    // Rows are sized for N components per pixel, and colours hold N values:
    // the alternate must take and give exactly that many.
    if (components_ != 1 && components_ != 3 && components_ != 4)
        return;
    if (alternate_->components() != components_ || alternate_->outputComponents() != components_)
        return;
    valid_ = true;
}

void IccBasedColorSpace::convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                        std::size_t pixelCount, bool decoded) const {
    if (valid_)
        alternate_->convertSamples(bytes, bitsPerComponent, pixelCount, decoded);
}

bool IccBasedColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const {
    if (!valid_) {
        if (&in != &out)
            out.clear();
        return false;
    }
    return alternate_->convertColor(in, out, toXyz);
}

}  // namespace vistrel
