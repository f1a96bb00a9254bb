// The byte 255 * videoTransfer(v), truncated, without a power per call: the
// CIE-based spaces convert image samples through it.
#pragma once

#include <cstdint>

namespace vistrel {

class VideoTransferBytes {
public:
    VideoTransferBytes();

    // Equal to std::uint8_t(255 * videoTransfer(v)) for every v.
    std::uint8_t operator()(double v) const;

    // The one table of the process, made at first use.
    static const VideoTransferBytes& instance();

private:
    static constexpr int kSteps = 4096;
    // The least v from 0.02 on whose byte is at least k, for k = 1 to 255.
    double threshold_[256];
    // The byte at i / kSteps (from 0.02 on), where the search starts.
    std::uint8_t atStep_[kSteps + 1];
};

}  // namespace vistrel
