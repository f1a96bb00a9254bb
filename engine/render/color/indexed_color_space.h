// An Indexed colour space: a colour is an index from 0 to hival into a
// lookup table of colours of a base space. The table is converted through
// the base once, when the space is made, so colours and samples only look
// their entry up.
#pragma once

#include <vector>

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/color/color_space.h"

namespace vistrel {

class IndexedColorSpace final : public ColorSpace {
public:
    // base: the base space's object; lookup: a stream (class kind 32) or a
    // string of the base's colours, one byte per component. nesting: how many
    // spaces enclose this one. The space is not usable for a hival outside 0
    // to 255, a base that is missing, not usable or Indexed itself, or a
    // lookup stream that cannot be opened.
    IndexedColorSpace(PdfObject* base, std::int32_t hival, PdfObject* lookup, int nesting);

    // Packed indices of bitsPerComponent bits (1 to 16), most significant bit
    // first, become their entries' bytes; an index above hival takes hival's
    // entry.
    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override;
    // The entry of in[0] truncated toward zero, each byte / 255; fails for an
    // index outside 0 to hival.
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    std::int32_t outputComponents() const override { return outputComponents_; }
    std::int32_t outputBitsPerPixel(std::int32_t) const override { return outputComponents_ * 8; }
    ColorSpaceFamily family() const override { return ColorSpaceFamily::Indexed; }
    ColorSpace* baseSpace() const override { return base_.get(); }

    std::int32_t hival() const { return hival_; }
    // (hival + 1) entries of outputComponents bytes, already converted.
    const std::vector<std::uint8_t>& lookupTable() const { return lookup_; }

private:
    // Appends the base's converted colours of `data`, read in groups of the
    // base's component count, up to hival + 1 entries.
    template <class Source>
    void readEntries(Source&& nextGroup);

    Ref<ColorSpace> base_;
    std::int32_t hival_;
    std::int32_t outputComponents_ = 0;
    std::vector<std::uint8_t> lookup_;
};

}  // namespace vistrel
