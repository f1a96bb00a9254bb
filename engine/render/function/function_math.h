// Arithmetic shared by the PDF function types: clipping to (min, max) pairs,
// the sample-table lookup of sampled functions, the exponential
// interpolation and the subdomain choice of stitching functions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

// Clips x to [lo, hi]; the upper bound wins when lo > hi.
inline double clipToPair(double x, double lo, double hi) {
    if (std::max(lo, x) >= hi)
        return hi;
    if (lo >= x)
        return lo;
    return x;
}

// The sample table of a sampled function and its lookup.
struct SampleTable {
    int inputCount = 0;            // m
    int outputCount = 0;           // n
    std::vector<double> domain;    // 2m
    std::vector<double> encode;    // 2m
    std::vector<double> decode;    // 2n
    std::vector<uint32_t> size;    // m, each at least 1
    std::vector<uint64_t> stride;  // m: n times the product of the sizes before i
    int bitsPerSample = 8;
    std::vector<uint32_t> samples;  // n times the product of the sizes

    // Sets stride from size and outputCount; false when the sample count
    // does not fit in 32 bits.
    bool layout();
    uint64_t sampleCount() const;

    // outputs[j] for j < n from m inputs already clipped to the domain: the
    // nearest sample point, decoded. Every index is clamped to the table.
    void lookup(const double* inputs, double* outputs) const;
};

// The subdomain of x among bounds (k + 1 values: domain minimum, the k - 1
// inner bounds, domain maximum): the first i with x < bounds[i + 1], else
// k - 1.
int32_t stitchingSubdomain(double x, const double* bounds, int32_t k);

// x mapped from the subdomain (bounds[0], bounds[1]) onto (encode[0],
// encode[1]).
double stitchingEncode(double x, const double* bounds, const double* encode);

}  // namespace vistrel
