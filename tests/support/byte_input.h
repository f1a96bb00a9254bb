// Test helpers for the decode filters: an input stream over its own bytes,
// and the filter case table.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/streams.h"

namespace vistrel::testing {

struct ByteHolder {
    std::vector<uint8_t> bytes;
};

// A memory stream that keeps its own copy of the bytes.
class ByteInput : private ByteHolder, public MemoryInputStream {
public:
    explicit ByteInput(std::vector<uint8_t> data)
        : ByteHolder{std::move(data)}, MemoryInputStream(bytes.data(), bytes.size()) {}
    explicit ByteInput(const std::string& text)
        : ByteHolder{{text.begin(), text.end()}}, MemoryInputStream(bytes.data(), bytes.size()) {}

    // Bytes consumed so far.
    size_t offset() { return size_t(position()); }
};

inline std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    if (hex == "-")
        return out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

struct FilterCase {
    std::string filter;
    std::vector<uint8_t> input;
    std::vector<uint8_t> expected;
};

// The table written by tests/filters/make_filter_cases.py.
inline std::vector<FilterCase> loadFilterCases() {
    std::vector<FilterCase> cases;
    std::ifstream in(std::string(VISTREL_SOURCE_DIR) + "/tests/filters/filter_cases.txt");
    std::string name, input, expected;
    while (in >> name) {
        if (name[0] == '#') {
            std::getline(in, input);
            continue;
        }
        in >> input >> expected;
        cases.push_back({name, fromHex(input), fromHex(expected)});
    }
    return cases;
}

}  // namespace vistrel::testing
