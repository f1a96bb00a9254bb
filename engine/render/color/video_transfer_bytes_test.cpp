#include "engine/render/color/video_transfer_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/render/raster/device_color.h"

namespace vistrel {
namespace {

std::uint8_t direct(double v) {
    return std::uint8_t(255 * videoTransfer(v));
}

TEST(VideoTransferBytesTest, EqualsTheCurveEverywhere) {
    const VideoTransferBytes& bytes = VideoTransferBytes::instance();
    // A dense sweep; where the byte changes between two points, the exact
    // change (where a wrong threshold would show) is found and checked.
    constexpr int kSteps = 1 << 20;
    double before = -0.1;
    for (int i = 1; i <= kSteps; ++i) {
        const double v = -0.1 + 1.3 * i / kSteps;
        ASSERT_EQ(bytes(v), direct(v)) << v;
        if (direct(v) != direct(before)) {
            double low = before, high = v;
            for (double middle = low + (high - low) / 2; middle > low && middle < high;
                 middle = low + (high - low) / 2)
                (direct(middle) == direct(before) ? low : high) = middle;
            ASSERT_EQ(bytes(low), direct(low)) << low;
            ASSERT_EQ(bytes(high), direct(high)) << high;
        }
        before = v;
    }
    for (double v : {0.0, 0.02, std::nextafter(0.02, 0.0), 1.0, std::nextafter(1.0, 0.0), 1e300,
                     -1e300, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()})
        EXPECT_EQ(bytes(v), direct(v)) << v;
}

}  // namespace
}  // namespace vistrel
