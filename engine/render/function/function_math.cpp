#include "engine/render/function/function_math.h"

#include <cmath>

namespace vistrel {

bool SampleTable::layout() {
    stride.assign(size.size(), 0);
    uint64_t s = uint64_t(outputCount > 0 ? outputCount : 0);
    for (size_t i = 0; i < size.size(); ++i) {
        stride[i] = s;
        s *= size[i];
        if (size[i] == 0 || s > UINT32_MAX)
            return false;
    }
    return s <= UINT32_MAX;
}

uint64_t SampleTable::sampleCount() const {
    uint64_t s = uint64_t(outputCount);
    for (uint32_t v : size)
        s *= v;
    return s;
}

void SampleTable::lookup(const double* inputs, double* outputs) const {
    uint64_t index = 0;
    for (int i = 0; i < inputCount; ++i) {
        double d0 = domain[2 * i];
        double d1 = domain[2 * i + 1];
        double e0 = encode[2 * i];
        double e1 = encode[2 * i + 1];
        double e = e0 + (inputs[i] - d0) * (e1 - e0) / (d1 - d0);
        // Clamp to the table; a zero-width domain gives NaN, taken as 0.
        double last = double(size[i] - 1);
        if (!(e > 0))
            e = 0;
        if (e >= last)
            e = last;
        // Nearest sample point; e is never negative here, so adding one half
        // and truncating rounds as the sampled tables expect.
        uint64_t r = uint64_t(e + 0.5);  // NOLINT(bugprone-incorrect-roundings)
        if (r > size[i] - 1)
            r = size[i] - 1;
        index += r * stride[i];
    }
    double maxSample = double((uint64_t(1) << bitsPerSample) - 1);
    for (int j = 0; j < outputCount; ++j) {
        double v = double(samples[index + j]);
        outputs[j] = decode[2 * j] + v * (decode[2 * j + 1] - decode[2 * j]) / maxSample;
    }
}

int32_t stitchingSubdomain(double x, const double* bounds, int32_t k) {
    for (int32_t t = 1; t < k; ++t) {
        if (x < bounds[t])
            return t - 1;
    }
    return k - 1;
}

double stitchingEncode(double x, const double* bounds, const double* encode) {
    double b0 = bounds[0];
    double b1 = bounds[1];
    // A subdomain of zero width maps onto the start of its encode pair.
    if (b1 == b0)
        return encode[0];
    return encode[0] + (x - b0) * (encode[1] - encode[0]) / (b1 - b0);
}

}  // namespace vistrel
