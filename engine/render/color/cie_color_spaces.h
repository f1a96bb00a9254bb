// The CIE-based colour spaces CalGray, CalRGB and Lab. They are converted by
// fixed formulas, not through profiles: the engine's XYZ-to-RGB matrix and
// video transfer (device_color.h) give device components. The settings
// "Quality"/"FullColorPathConversion" (colours) and
// "Quality"/"FullColorImageConversion" (samples) choose between a quick and a
// full conversion of CalRGB; they are read at each call.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/object/pdf_object.h"
#include "engine/render/color/color_space.h"

namespace vistrel {

// The white and black points every CIE space reads first. Valid when
// /WhitePoint is an array of 3 with a Y of exactly 1 and no black-point
// component is negative; elements that are no numbers read as 0.
struct CieDictionary {
    explicit CieDictionary(const PdfDict& dict);

    double blackPoint[3] = {0, 0, 0};
    double whitePoint[3] = {0, 0, 0};
    bool valid = false;
};

class CalGrayColorSpace final : public ColorSpace {
public:
    explicit CalGrayColorSpace(const PdfDict& dict);

    // Each of pixelCount bytes through the table; rows of fewer than 8 bits
    // per component stay as they are.
    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override;
    // One gray value A^(1.43 / gamma), not clamped; with toXyz the point
    // A^gamma times the white point.
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    ColorSpaceFamily family() const override { return ColorSpaceFamily::CalGray; }

    double gamma() const { return gamma_; }
    std::uint8_t tableAt(int i) const { return table_[i]; }

private:
    CieDictionary cie_;
    double gamma_ = 1.0;
    std::uint8_t table_[256] = {};
};

class CalRgbColorSpace final : public ColorSpace {
public:
    explicit CalRgbColorSpace(const PdfDict& dict);

    // Quick: each byte through its channel's table. Full: each pixel through
    // the gammas, the space's matrix and the engine's (3 bytes per pixel).
    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override;
    // Quick: in[c]^(gamma_c / 1.43), not clamped. Full: as the samples. With
    // toXyz the point before the engine's matrix.
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    ColorSpaceFamily family() const override { return ColorSpaceFamily::CalRGB; }

    std::uint8_t tableAt(int channel, int i) const { return tables_[channel][i]; }

private:
    // X, Y, Z of the components a, b, c (0 to 1).
    void toXyz(double a, double b, double c, double xyz[3]) const;
    // X, Y, Z of the components already raised to their gammas.
    void mixXyz(double ga, double gb, double gc, double xyz[3]) const;
    // Device r, g, b of the components, each through the video transfer.
    void fullRgb(double a, double b, double c, double rgb[3]) const;

    CieDictionary cie_;  // its white point holds the reciprocals 1/Xw, 1/Yw, 1/Zw
    double gamma_[3] = {1, 1, 1};
    double matrix_[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // XA YA ZA XB YB ZB XC YC ZC
    std::uint8_t tables_[3][256] = {};
    // Each channel's gamma power of the 256 sample values, made by the first
    // full conversion of samples.
    mutable std::unique_ptr<double[]> sampleGammas_;
};

class LabColorSpace final : public ColorSpace {
public:
    explicit LabColorSpace(const PdfDict& dict);

    // L, a, b bytes (scaled by 100/255 and the ranges, or taken as decoded
    // values: L unsigned, a and b signed) to device bytes through the video
    // transfer.
    void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent, std::size_t pixelCount,
                        bool decoded) const override;
    // L, a, b to r, g, b through a square-root curve; with toXyz to X, Y, Z.
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    ColorSpaceFamily family() const override { return ColorSpaceFamily::Lab; }

    // X, Y, Z of a colour.
    void labToXyz(double l, double a, double b, double xyz[3]) const;

private:
    CieDictionary cie_;
    double range_[4] = {-100, 100, -100, 100};  // amin amax bmin bmax
    double white_[3] = {1, 1, 1};
};

}  // namespace vistrel
