// The (code, glyph name) pairs of a font's /Differences array, in the order
// given; font descriptions carry them and font encodings apply them on top of
// their base table.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/wstring.h"

namespace vistrel {

class PdfArray;

class Differences {
public:
    // Pairs past this many are ignored.
    static constexpr int32_t kMaxPairs = 256;

    Differences() = default;

    // Builds the list from a /Differences array: a running code starts at 0;
    // a number sets it to its integer part; any other element adds (code,
    // name) when it is a name, then raises the code by 1.
    explicit Differences(const PdfArray& array);

    int32_t count() const { return int32_t(pairs_.size()); }
    int32_t code(int32_t i) const { return pairs_[size_t(i)].code; }
    // The glyph name with its leading "/".
    const WString& name(int32_t i) const { return pairs_[size_t(i)].name; }

    // Appends a copy of the pair while fewer than kMaxPairs are held. A code
    // outside 0 to 255 names no entry of an encoding table: such a pair is
    // dropped. True when the pair was added.
    bool add(int64_t code, const WString& name);

    // The same codes with the same names, pair by pair in the same order.
    bool equals(const Differences& other) const;

private:
    struct Pair {
        int32_t code;
        WString name;
    };
    std::vector<Pair> pairs_;
};

// Two optional lists: both absent, or both present and equal.
bool sameDifferences(const Differences* a, const Differences* b);

}  // namespace vistrel
