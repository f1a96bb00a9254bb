#include "engine/render/color/cie_color_spaces.h"

#include <cmath>
#include <new>

#include "engine/constants/name_constants.h"
#include "engine/core/bit_reader.h"
#include "engine/render/color/video_transfer_bytes.h"
#include "engine/render/raster/device_color.h"
#include "engine/render/raster/raster_settings.h"

namespace vistrel {
namespace {

constexpr double kSampleScale = 0.00392156862745098;  // 1/255
constexpr double kLightnessScale = 0.3921568627450981;  // 100/255

// The number an element stands for, else `otherwise`.
double numberOr(PdfObject* object, double otherwise) {
    PdfNumber* n = asNumber(object);
    return n ? n->realValue() : otherwise;
}

// Reads an array of exactly `count` elements into `values` (elements that
// are no numbers give `fallback[i]`); false, leaving `values`, otherwise.
bool readNumbers(PdfObject* object, int count, double* values, const double* fallback) {
    PdfArray* array = asArray(object);
    if (!array || array->count() != count)
        return false;
    for (int i = 0; i < count; ++i)
        values[i] = numberOr(array->at(i), fallback[i]);
    return true;
}

constexpr double kZeros[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};

int qualitySetting(const WString& key) {
    return readRasterInt(settings::Quality, key, 0);
}

// 255 * (i / 255)^exponent for i = 0 to 255: truncated (CalGray) or rounded
// and at most 255 (CalRGB).
void fillTable(std::uint8_t* table, double exponent, bool rounded) {
    for (int i = 0; i < 256; ++i) {
        const double v = 255 * Pow(i * kSampleScale, exponent);
        if (!rounded) {
            table[i] = std::uint8_t(v);
        } else {
            const double r = std::trunc(v + 0.5);
            table[i] = r > 255 ? 255 : std::uint8_t(r);
        }
    }
}

// The inverse of the Lab companding function.
double labCurve(double t) {
    if (t >= 0.20689655172413793)
        return t * t * t;
    return (t - 0.13793103448275862) * 0.12841854934601662;
}

bool putValues(DoubleArray& out, const double* values, int count) {
    out.clear();
    for (int i = 0; i < count; ++i) {
        if (!out.append(finiteOrZero(values[i])))
            return false;
    }
    return true;
}

}  // namespace

CieDictionary::CieDictionary(const PdfDict& dict) {
    if (!readNumbers(dict.get(names::WhitePoint), 3, whitePoint, kZeros))
        return;
    if (whitePoint[1] != 1.0)
        return;
    if (readNumbers(dict.get(names::BlackPoint), 3, blackPoint, kZeros)) {
        for (double v : blackPoint) {
            if (v < 0)
                return;
        }
    }
    valid = true;
}

// ---------------------------------------------------------------- CalGray

CalGrayColorSpace::CalGrayColorSpace(const PdfDict& dict) : ColorSpace(1), cie_(dict) {
    valid_ = false;
    // A white point without a positive X and Z is no colour at all.
    if (!cie_.valid || !(cie_.whitePoint[0] > 0) || !(cie_.whitePoint[2] > 0))
        return;
    gamma_ = numberOr(dict.get(names::Gamma), 1.0);
    if (gamma_ < 0)
        return;
    fillTable(table_, cieGammaNumerator() / gamma_, false);
    valid_ = true;
}

void CalGrayColorSpace::convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                       std::size_t pixelCount, bool) const {
    if (!valid_ || bitsPerComponent < 8)
        return;
    for (std::size_t i = 0; i < pixelCount; ++i)
        bytes[i] = table_[bytes[i]];
}

bool CalGrayColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const {
    if (!valid_ || in.empty()) {
        if (&in != &out)
            out.clear();
        return false;
    }
    const double a = in[0];
    if (toXyz) {
        const double y = Pow(a, gamma_);
        const double xyz[3] = {cie_.whitePoint[0] * y, y, cie_.whitePoint[2] * y};
        return putValues(out, xyz, 3);
    }
    const double gray = Pow(a, cieGammaNumerator() / gamma_);
    return putValues(out, &gray, 1);
}

// ----------------------------------------------------------------- CalRGB

CalRgbColorSpace::CalRgbColorSpace(const PdfDict& dict) : ColorSpace(3), cie_(dict) {
    valid_ = false;
    // The white point is divided by: X and Z must be positive.
    if (!cie_.valid || !(cie_.whitePoint[0] > 0) || !(cie_.whitePoint[2] > 0))
        return;
    if (!readNumbers(dict.get(names::Gamma), 3, gamma_, kZeros)) {
        for (double& g : gamma_)
            g = 1.0;
    }
    for (double g : gamma_) {
        if (g < 0)
            return;
    }
    for (double& w : cie_.whitePoint)
        w = 1 / w;
    constexpr double kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    readNumbers(dict.get(names::Matrix), 9, matrix_, kIdentity);
    for (int c = 0; c < 3; ++c)
        fillTable(tables_[c], cieGammaNumerator() / gamma_[c], true);
    valid_ = true;
}

void CalRgbColorSpace::toXyz(double a, double b, double c, double xyz[3]) const {
    mixXyz(Pow(a, gamma_[0]), Pow(b, gamma_[1]), Pow(c, gamma_[2]), xyz);
}

void CalRgbColorSpace::mixXyz(double ga, double gb, double gc, double xyz[3]) const {
    const double* m = matrix_;
    xyz[0] = (ga * m[0] + gb * m[3] + gc * m[6]) * cie_.whitePoint[0];
    xyz[1] = (ga * m[1] + gb * m[4] + gc * m[7]) * cie_.whitePoint[1];
    xyz[2] = (ga * m[2] + gb * m[5] + gc * m[8]) * cie_.whitePoint[2];
}

void CalRgbColorSpace::fullRgb(double a, double b, double c, double rgb[3]) const {
    double xyz[3];
    toXyz(a, b, c, xyz);
    xyzToRgb(xyz[0], xyz[1], xyz[2], rgb[0], rgb[1], rgb[2]);
    for (int i = 0; i < 3; ++i)
        rgb[i] = videoTransfer(rgb[i]);
}

void CalRgbColorSpace::convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                      std::size_t pixelCount, bool) const {
    if (!valid_ || bitsPerComponent < 8)
        return;
    if (qualitySetting(settings::FullColorImageConversion) != 0) {
        // As fullRgb, with the powers of the 256 sample values taken once
        // and the transfer's bytes from their thresholds.
        if (!sampleGammas_) {
            sampleGammas_.reset(new (std::nothrow) double[3 * 256]);
            if (!sampleGammas_)
                return;
            for (int c = 0; c < 3; ++c) {
                for (int i = 0; i < 256; ++i)
                    sampleGammas_[c * 256 + i] = Pow(i * kSampleScale, gamma_[c]);
            }
        }
        const double* g = sampleGammas_.get();
        const VideoTransferBytes& video = VideoTransferBytes::instance();
        for (std::size_t i = 0; i < pixelCount; ++i, bytes += 3) {
            double xyz[3], rgb[3];
            mixXyz(g[bytes[0]], g[256 + bytes[1]], g[512 + bytes[2]], xyz);
            xyzToRgb(xyz[0], xyz[1], xyz[2], rgb[0], rgb[1], rgb[2]);
            for (int c = 0; c < 3; ++c)
                bytes[c] = video(rgb[c]);
        }
        return;
    }
    for (std::size_t i = 0; i < pixelCount; ++i, bytes += 3) {
        for (int c = 0; c < 3; ++c)
            bytes[c] = tables_[c][bytes[c]];
    }
}

bool CalRgbColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool xyz) const {
    if (!valid_ || in.count() < 3) {
        if (&in != &out)
            out.clear();
        return false;
    }
    double v[3];
    if (xyz) {
        toXyz(in[0], in[1], in[2], v);
    } else if (qualitySetting(settings::FullColorPathConversion) != 0) {
        fullRgb(in[0], in[1], in[2], v);
    } else {
        // The exponent is gamma / 1.43 here, its inverse in the tables.
        for (int c = 0; c < 3; ++c)
            v[c] = Pow(in[c], gamma_[c] / cieGammaNumerator());
    }
    return putValues(out, v, 3);
}

// -------------------------------------------------------------------- Lab

LabColorSpace::LabColorSpace(const PdfDict& dict) : ColorSpace(3), cie_(dict) {
    valid_ = false;
    if (!cie_.valid)
        return;
    constexpr double kDefaultRange[4] = {-100, 100, -100, 100};
    readNumbers(dict.get(names::Range), 4, range_, kDefaultRange);
    constexpr double kOnes[3] = {1, 1, 1};
    readNumbers(dict.get(names::WhitePoint), 3, white_, kOnes);
    valid_ = range_[0] <= range_[1] && range_[2] <= range_[3];
}

void LabColorSpace::labToXyz(double l, double a, double b, double xyz[3]) const {
    const double fy = (l + 16) * 0.008620689655172414;
    const double fx = fy + a * 0.002;
    const double fz = fy - b * 0.005;
    xyz[0] = white_[0] * labCurve(fx);
    xyz[1] = white_[1] * labCurve(fy);
    xyz[2] = white_[2] * labCurve(fz);
}

void LabColorSpace::convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                   std::size_t pixelCount, bool decoded) const {
    if (!valid_ || bitsPerComponent < 8)
        return;
    const VideoTransferBytes& video = VideoTransferBytes::instance();
    for (std::size_t i = 0; i < pixelCount; ++i, bytes += 3) {
        double l, a, b;
        if (decoded) {
            l = bytes[0];
            a = std::int8_t(bytes[1]);
            b = std::int8_t(bytes[2]);
        } else {
            l = bytes[0] * kLightnessScale;
            a = range_[0] + (range_[1] - range_[0]) * bytes[1] * kSampleScale;
            b = range_[2] + (range_[3] - range_[2]) * bytes[2] * kSampleScale;
        }
        double xyz[3], rgb[3];
        labToXyz(l, a, b, xyz);
        xyzToRgb(xyz[0], xyz[1], xyz[2], rgb[0], rgb[1], rgb[2]);
        for (int c = 0; c < 3; ++c)
            bytes[c] = video(rgb[c]);
    }
}

bool LabColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const {
    if (!valid_ || in.count() < 3) {
        if (&in != &out)
            out.clear();
        return false;
    }
    double xyz[3];
    labToXyz(in[0], in[1], in[2], xyz);
    if (toXyz)
        return putValues(out, xyz, 3);
    double rgb[3];
    xyzToRgb(xyz[0], xyz[1], xyz[2], rgb[0], rgb[1], rgb[2]);
    for (double& v : rgb) {
        if (v < 0)
            v = 0;
        v = Sqrt(v);
        if (v > 1)
            v = 1;
    }
    return putValues(out, rgb, 3);
}

}  // namespace vistrel
