// An ICC-based colour space, converted through its alternate space: the
// profile data is never read. /N gives the component count, which must be
// 1, 3 or 4 and match the alternate (given by /Alternate, else the device
// space of N components); a space over an unusable alternate is not usable.
#pragma once

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/color/color_space.h"

namespace vistrel {

class IccBasedColorSpace final : public ColorSpace {
public:
    // params: the profile stream's dictionary. nesting: how many spaces
    // enclose this one (the alternate is made one level deeper).
    IccBasedColorSpace(const PdfDict& params, int nesting);

    // Forwarded to the alternate; a row is left as it was and a colour fails
    // when the space is not usable.
    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override;
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    ColorSpaceFamily family() const override { return ColorSpaceFamily::ICCBased; }
    ColorSpace* baseSpace() const override { return alternate_.get(); }

private:
    Ref<ColorSpace> alternate_;
};

}  // namespace vistrel
