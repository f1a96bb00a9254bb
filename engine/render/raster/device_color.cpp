#include "engine/render/raster/device_color.h"

#include <cmath>

#include "engine/render/raster/raster_settings.h"

namespace vistrel {
namespace {

constexpr double kByteScale = 0.00392156862745098;  // 1/255
constexpr double kThird = 0.3333333333333333;

// 0 to 1; NaN gives 0.
double clamp01(double v) {
    if (!(v > 0))
        return 0;
    return v < 1 ? v : 1;
}

// Rounds half away from zero a value already within the byte range.
int roundByte(double v) {
    return int(v > 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5));
}

// Truncates toward zero and keeps the low 8 bits; values outside the 32-bit
// range saturate first, NaN gives 0.
int truncatedLowByte(double v) {
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 0xFF;
    if (v <= -2147483648.0)
        return 0;
    return int(std::int32_t(v) & 0xFF);
}

int componentByte(double v) {
    return roundByte(255 * clamp01(v));
}

std::uint32_t pack(int red, int green, int blue) {
    return (std::uint32_t(blue) << 16) | (std::uint32_t(green) << 8) | std::uint32_t(red);
}

// The three CMYK models; the setting picks one at each call.
std::uint32_t cmykToRgb(double c, double m, double y, double k) {
    const int model = readRasterInt(settings::Quality, settings::FullColorPathConversion, 0);
    if (model == 1 || model == 2) {
        // The inks first take the black in.
        const double cc = c * (1 - k) + k, mm = m * (1 - k) + k, yy = y * (1 - k) + k;
        if (model == 2) {
            const double x = std::pow(2.0, -(5.38 * cc + 0.48 * mm + 0.98 * yy));
            const double yl = std::pow(2.0, -(3.71 * cc + 2.94 * mm + 0.58 * yy));
            const double z = std::pow(2.0, -(0.7 * cc + 3.29 * mm + 4.5 * yy));
            double r, g, b;
            xyzToRgb(x, yl, z, r, g, b);
            return pack(roundByte(255 * videoTransfer(r)), roundByte(255 * videoTransfer(g)),
                        roundByte(255 * videoTransfer(b)));
        }
        const double sr = clamp01(1.09 * cc + 0.14 * mm + 0.16 * yy);
        const double sg = clamp01(0.49 * cc + 0.87 * mm + 0.21 * yy);
        const double sb = clamp01(0.25 * cc + 0.65 * mm + 0.76 * yy);
        return pack(255 - roundByte(255 * sr), 255 - roundByte(255 * sg),
                    255 - roundByte(255 * sb));
    }
    // Quick model: the components are clamped, and a negative ink sum gives
    // 0.
    c = clamp01(c);
    m = clamp01(m);
    y = clamp01(y);
    k = clamp01(k);
    auto channel = [k](double ink) {
        const double v = 255 * (1 - ink - k);
        return v < 0 ? 0 : roundByte(v);
    };
    return pack(channel(c), channel(m), channel(y));
}

}  // namespace

void xyzToRgb(double x, double y, double z, double& r, double& g, double& b) {
    r = 0.9 * x + 0.26 * y + -0.16 * z;
    g = -0.75 * x + 1.71 * y + 0.04 * z;
    b = 0.04 * x + -0.07 * y + 1.03 * z;
}

double videoTransfer(double v) {
    const double t = v < 0.02 ? 4.5 * v : 1.1 * std::pow(v, 0.45) - 0.1;
    return clamp01(t);
}

bool DeviceColor::fromComponents(const DoubleArray& components, std::int32_t model) {
    if (!components.data())
        return false;
    const std::int32_t n = components.count();
    if (model == kModelByCount) {
        if (n == 1)
            model = kModelGray;
        else if (n == 3)
            model = kModelRgb;
        else if (n == 4)
            model = kModelCmyk;
        else
            return false;
    }
    const double* c = components.data();
    switch (model) {
        case kModelRawRgb:
            if (n < 3)
                return false;
            value_ = pack(truncatedLowByte(c[0]), truncatedLowByte(c[1]), truncatedLowByte(c[2]));
            return true;
        case kModelGray: {
            if (n < 1)
                return false;
            const int v = componentByte(c[0]);
            value_ = pack(v, v, v);
            return true;
        }
        case kModelRgb:
            if (n < 3)
                return false;
            value_ = pack(componentByte(c[0]), componentByte(c[1]), componentByte(c[2]));
            return true;
        case kModelCmyk:
            if (n < 4)
                return false;
            value_ = cmykToRgb(c[0], c[1], c[2], c[3]);
            return true;
        default:
            return false;
    }
}

bool DeviceColor::toComponents(DoubleArray& out, std::int32_t model) const {
    if (!out.data())
        return false;
    out.clear();
    int red, green, blue;
    getRgb(red, green, blue);
    switch (model) {
        case kModelRawRgb:
            return out.append(red) && out.append(green) && out.append(blue);
        case kModelGray:
            return out.append((red + green + blue) * kThird * kByteScale);
        case kModelRgb:
            return out.append(red * kByteScale) && out.append(green * kByteScale) &&
                   out.append(blue * kByteScale);
        case kModelCmyk:
            return out.append(1 - red / 255.0) && out.append(1 - green / 255.0) &&
                   out.append(1 - blue / 255.0) && out.append(0.0);
        default:
            return false;
    }
}

}  // namespace vistrel
