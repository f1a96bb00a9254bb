#include "engine/font/cff_tables.h"

#include <array>
#include <vector>

#include "engine/constants/cff_strings.h"

namespace vistrel {
namespace {

// A run of codes whose SIDs follow one another.
struct CodeRun {
    uint8_t firstCode;
    uint8_t lastCode;
    uint16_t firstSid;
};

// The standard encoding: the printable ASCII codes, then the accents,
// ligatures and punctuation of the upper half.
constexpr CodeRun kStandardRuns[] = {
    {32, 126, 1},    {161, 175, 96},  {177, 180, 111}, {182, 189, 115}, {191, 191, 123},
    {193, 200, 124}, {202, 203, 132}, {205, 208, 134}, {225, 225, 138}, {227, 227, 139},
    {232, 235, 140}, {241, 241, 144}, {245, 245, 145}, {248, 251, 146},
};

// The expert encoding.
constexpr CodeRun kExpertRuns[] = {
    {32, 32, 1},      {33, 34, 229},    {36, 43, 231},    {44, 46, 13},     {47, 47, 99},
    {48, 57, 239},    {58, 59, 27},     {60, 63, 249},    {65, 69, 253},    {73, 73, 258},
    {76, 79, 259},    {82, 84, 263},    {86, 86, 266},    {87, 88, 109},    {89, 91, 267},
    {93, 93, 270},    {94, 126, 271},   {161, 163, 304},  {166, 170, 307},  {172, 172, 312},
    {175, 175, 313},  {178, 179, 314},  {182, 184, 316},  {188, 188, 158},  {189, 189, 155},
    {190, 190, 163},  {191, 197, 319},  {200, 200, 326},  {201, 201, 150},  {202, 202, 164},
    {203, 203, 169},  {204, 255, 327},
};

constexpr uint16_t kExpertCharset[] = {
    0,   1,   229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 13,  14,  15,  99,  239, 240,
    241, 242, 243, 244, 245, 246, 247, 248, 27,  28,  249, 250, 251, 252, 253, 254, 255, 256,
    257, 258, 259, 260, 261, 262, 263, 264, 265, 266, 109, 110, 267, 268, 269, 270, 271, 272,
    273, 274, 275, 276, 277, 278, 279, 280, 281, 282, 283, 284, 285, 286, 287, 288, 289, 290,
    291, 292, 293, 294, 295, 296, 297, 298, 299, 300, 301, 302, 303, 304, 305, 306, 307, 308,
    309, 310, 311, 312, 313, 314, 315, 316, 317, 318, 158, 155, 163, 319, 320, 321, 322, 323,
    324, 325, 326, 150, 164, 169, 327, 328, 329, 330, 331, 332, 333, 334, 335, 336, 337, 338,
    339, 340, 341, 342, 343, 344, 345, 346, 347, 348, 349, 350, 351, 352, 353, 354, 355, 356,
    357, 358, 359, 360, 361, 362, 363, 364, 365, 366, 367, 368, 369, 370, 371, 372, 373, 374,
    375, 376, 377, 378,
};

constexpr uint16_t kExpertSubsetCharset[] = {
    0,   1,   231, 232, 235, 236, 237, 238, 13,  14,  15,  99,  239, 240, 241, 242, 243, 244,
    245, 246, 247, 248, 27,  28,  249, 250, 251, 253, 254, 255, 256, 257, 258, 259, 260, 261,
    262, 263, 264, 265, 266, 109, 110, 267, 268, 269, 270, 272, 300, 301, 302, 305, 314, 315,
    158, 155, 163, 320, 321, 322, 323, 324, 325, 326, 150, 164, 169, 327, 328, 329, 330, 331,
    332, 333, 334, 335, 336, 337, 338, 339, 340, 341, 342, 343, 344, 345, 346,
};

using CodeSids = std::array<uint16_t, 256>;

constexpr CodeSids sidsOf(std::span<const CodeRun> runs) {
    CodeSids sids{};
    for (const CodeRun& run : runs) {
        for (int code = run.firstCode; code <= run.lastCode; ++code)
            sids[size_t(code)] = uint16_t(run.firstSid + (code - run.firstCode));
    }
    return sids;
}

constexpr CodeSids kStandardSids = sidsOf(kStandardRuns);
constexpr CodeSids kExpertSids = sidsOf(kExpertRuns);

// The SID table: the standard-string constants in SID order, filled once.
std::vector<const WString*>& sidTable() {
    static std::vector<const WString*> table;
    return table;
}

int32_t sidOf(const CodeSids& sids, int32_t code) {
    return code >= 0 && code < 256 ? sids[size_t(code)] : 0;
}

}  // namespace

void buildCffStandardStrings() {
    std::vector<const WString*>& table = sidTable();
    if (!table.empty())
        return;
    table.reserve(kCffStandardStringCount);
    for (int32_t sid = 0; sid < kCffStandardStringCount; ++sid)
        table.push_back(&cffStandardStringConstant(sid));
}

const WString& cffStandardString(int32_t sid) {
    const std::vector<const WString*>& table = sidTable();
    if (sid < 0 || size_t(sid) >= table.size())
        return emptyWString();
    return *table[size_t(sid)];
}

int32_t cffStandardSid(const WString& name) {
    const std::vector<const WString*>& table = sidTable();
    for (size_t sid = 0; sid < table.size(); ++sid) {
        if (table[sid]->equals(name))
            return int32_t(sid);
    }
    return -1;
}

int32_t cffStandardEncodingSid(int32_t code) {
    return sidOf(kStandardSids, code);
}

int32_t cffExpertEncodingSid(int32_t code) {
    return sidOf(kExpertSids, code);
}

std::span<const uint16_t> cffExpertCharset() {
    return kExpertCharset;
}

std::span<const uint16_t> cffExpertSubsetCharset() {
    return kExpertSubsetCharset;
}

}  // namespace vistrel
