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
    if (std::max(lo, x) >= hi) return hi;
    if (lo >= x) return lo;
    return x;
}

// Clips values[i] to (pairs[2i], pairs[2i+1]) for every i below count that
// has a pair.
void clipToPairs(double* values, size_t count, const std::vector<double>& pairs);

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

// c0[j] + x^N (c1[j] - c0[j]) for every output j.
void exponentialInterpolate(double x, double exponent, const std::vector<double>& c0,
                            const std::vector<double>& c1, double* outputs);

// The subdomain of x among bounds (k + 1 values: domain minimum, the k - 1
// inner bounds, domain maximum): the first i with x < bounds[i + 1], else
// k - 1.
size_t stitchingSubdomain(double x, const std::vector<double>& bounds);

// x mapped from subdomain i of bounds onto (encode[2i], encode[2i+1]).
double stitchingEncode(double x, size_t i, const std::vector<double>& bounds,
                       const std::vector<double>& encode);

}  // namespace vistrel
