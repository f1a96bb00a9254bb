#include "engine/render/color/video_transfer_bytes.h"

#include <algorithm>

#include "engine/render/raster/device_color.h"

namespace vistrel {
namespace {

// Below it the curve is a line, cheap to evaluate; from it on the curve rises
// with v, and so does its byte.
constexpr double kCurveStart = 0.02;

std::uint8_t byteAt(double v) {
    return std::uint8_t(255 * videoTransfer(v));
}

}  // namespace

VideoTransferBytes::VideoTransferBytes() {
    threshold_[0] = kCurveStart;
    for (int k = 1; k <= 255; ++k) {
        double low = kCurveStart, high = 1.0;
        if (byteAt(low) >= k) {
            threshold_[k] = low;
            continue;
        }
        // byteAt(low) < k <= byteAt(high), until the two are neighbours.
        for (;;) {
            const double middle = low + (high - low) / 2;
            if (middle <= low || middle >= high)
                break;
            (byteAt(middle) >= k ? high : low) = middle;
        }
        threshold_[k] = high;
    }
    for (int i = 0; i <= kSteps; ++i) {
        const double v = std::max(double(i) / kSteps, kCurveStart);
        atStep_[i] = std::uint8_t(std::upper_bound(threshold_ + 1, threshold_ + 256, v) -
                                  (threshold_ + 1));
    }
}

std::uint8_t VideoTransferBytes::operator()(double v) const {
    if (!(v >= kCurveStart))
        return byteAt(v);  // the line, and NaN
    if (v >= 1)
        return 255;
    // The number of thresholds at or below v, counted on from the step's.
    int n = atStep_[int(v * kSteps)];
    while (n < 255 && threshold_[n + 1] <= v)
        ++n;
    return std::uint8_t(n);
}

const VideoTransferBytes& VideoTransferBytes::instance() {
    static const VideoTransferBytes table;
    return table;
}

}  // namespace vistrel
