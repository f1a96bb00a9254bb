// Separation and DeviceN colour spaces: colorants whose tints a tint
// transform (a PDF function) maps to the components of an alternate space.
// Colours and image samples go through the function, then through the
// alternate.
#pragma once

#include <memory>

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/color/color_space.h"
#include "engine/render/function/pdf_function.h"

namespace vistrel {

// What both families share: the alternate, the tint transform and the
// conversions through them.
class TintColorSpace : public ColorSpace {
public:
    ~TintColorSpace() override;

    // Fails for fewer values than components; else the function's outputs
    // through the alternate.
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    std::int32_t outputComponents() const override { return outputComponents_; }
    std::int32_t outputBitsPerPixel(std::int32_t) const override { return outputComponents_ * 8; }
    ColorSpace* baseSpace() const override { return alternate_.get(); }

    const PdfFunction* tintTransform() const { return function_.get(); }

protected:
    // The space is usable when the alternate is, and the function takes
    // `components` inputs and gives the alternate's outputComponents outputs.
    TintColorSpace(std::int32_t components, PdfObject* alternate, PdfObject* function,
                   int nesting);

    // Reads the row's packed samples (components per pixel), evaluates the
    // function per pixel and converts the outputs through the alternate.
    // Separation evaluates a sample it cannot read as -1; DeviceN leaves the
    // row as it was. A failing evaluation leaves the row as it was.
    void convertRow(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                    bool decoded, bool separation) const;

private:
    // Bytes of the function's results by the samples they came from.
    struct TintCache;
    // Made at the first row; null when memory runs out.
    TintCache* tintCache() const;

    Ref<ColorSpace> alternate_;
    Ref<PdfFunction> function_;
    std::int32_t outputComponents_ = 0;
    mutable std::unique_ptr<TintCache> cache_;
};

class SeparationColorSpace final : public TintColorSpace {
public:
    SeparationColorSpace(const PdfName& colorant, PdfObject* alternate, PdfObject* function,
                         int nesting);

    // Over a Lab alternate the function's outputs are Lab values: they are
    // written as decoded bytes (L 0 to 255, a and b -128 to 127).
    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override {
        convertRow(bytes, bitsPerComponent, pixelCount, decoded, true);
    }
    ColorSpaceFamily family() const override { return ColorSpaceFamily::Separation; }

    const PdfName& colorant() const { return *colorant_; }

private:
    Ref<PdfName> colorant_;  // kept, but no conversion reads it
};

class DeviceNColorSpace final : public TintColorSpace {
public:
    // colorants: the array of names (their count is the component count);
    // attributes: the optional attributes dictionary, or null.
    DeviceNColorSpace(const PdfArray& colorants, PdfObject* alternate, PdfObject* function,
                      PdfDict* attributes, int nesting);

    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override {
        convertRow(bytes, bitsPerComponent, pixelCount, decoded, false);
    }
    ColorSpaceFamily family() const override { return ColorSpaceFamily::DeviceN; }

    const PdfArray& colorants() const { return *colorants_; }
    const PdfDict& attributes() const { return *attributes_; }

private:
    // Kept, but no conversion reads them.
    Ref<PdfArray> colorants_;
    Ref<PdfDict> attributes_;
};

}  // namespace vistrel
