// Every filter against bytes made by independent encoders (Python's
// base64/ASCII85/zlib, plain-Python RunLength and LZW, cjpeg and djpeg), read
// byte by byte, in blocks, and in a mix of both.
#include <gtest/gtest.h>

#include <memory>

#include "engine/codec/dct_decode.h"
#include "engine/codec/filter_stream.h"
#include "engine/codec/lzw_flate.h"
#include "tests/support/byte_input.h"

namespace vistrel {
namespace {

using testing::ByteInput;
using testing::FilterCase;

std::unique_ptr<FilterStream> makeFilter(const std::string& name, InputStream* in) {
    std::string kind = name.substr(0, name.find(':'));
    if (kind == "ASCIIHex")
        return std::make_unique<AsciiHexDecodeStream>(in, nullptr);
    if (kind == "ASCII85")
        return std::make_unique<Ascii85DecodeStream>(in, nullptr);
    if (kind == "RunLength")
        return std::make_unique<RunLengthDecodeStream>(in, nullptr);
    if (kind == "Base64")
        return std::make_unique<Base64DecodeStream>(in, nullptr);
    if (kind == "LZW")
        return std::make_unique<LzwDecodeStream>(in, nullptr);
    if (kind == "Flate")
        return std::make_unique<FlateDecodeStream>(in, nullptr, false);
    if (kind == "DCT")
        return std::make_unique<DctDecodeStream>(in, nullptr, false);
    return nullptr;
}

enum class ReadMode { kBytes, kBlocks, kMixed };

std::vector<uint8_t> decodeAll(FilterStream& f, ReadMode mode) {
    std::vector<uint8_t> out;
    uint8_t block[37];
    for (int round = 0;; ++round) {
        bool bytes = mode == ReadMode::kBytes || (mode == ReadMode::kMixed && round % 2 == 0);
        if (bytes) {
            uint16_t c = f.getByte();
            if (c == kEndOfData)
                break;
            out.push_back(uint8_t(c));
        } else {
            int64_t n = f.read(block, sizeof block);
            if (n <= 0)
                break;
            out.insert(out.end(), block, block + n);
        }
    }
    return out;
}

class FilterCaseTest : public ::testing::TestWithParam<ReadMode> {};

TEST_P(FilterCaseTest, DecodesWhatTheEncoderWrote) {
    std::vector<FilterCase> cases = testing::loadFilterCases();
    ASSERT_GT(cases.size(), 40u);
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.filter + " with " + std::to_string(c.input.size()) + " input bytes");
        ByteInput in(c.input);
        std::unique_ptr<FilterStream> f = makeFilter(c.filter, &in);
        ASSERT_TRUE(f) << "no filter for " << c.filter;
        EXPECT_EQ(decodeAll(*f, GetParam()), c.expected);
        EXPECT_EQ(f->getByte(), kEndOfData);  // stays ended
        if (c.filter.rfind("DCT", 0) == 0) {
            auto* dct = static_cast<DctDecodeStream*>(f.get());
            EXPECT_EQ(size_t(dct->width()) * dct->height() * dct->components(), c.expected.size());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, FilterCaseTest,
                         ::testing::Values(ReadMode::kBytes, ReadMode::kBlocks, ReadMode::kMixed),
                         [](const ::testing::TestParamInfo<ReadMode>& info) {
                             switch (info.param) {
                                 case ReadMode::kBytes:
                                     return "Bytes";
                                 case ReadMode::kBlocks:
                                     return "Blocks";
                                 default:
                                     return "Mixed";
                             }
                         });

}  // namespace
}  // namespace vistrel
