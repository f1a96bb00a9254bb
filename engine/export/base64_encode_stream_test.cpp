#include "engine/export/base64_encode_stream.h"

#include <gtest/gtest.h>

#include "tests/support/byte_sink.h"

namespace vistrel {
namespace {

TEST(Base64EncodeStreamTest, MatchesTheStandardVectorsWrittenAtOnceOrByteByByte) {
    // RFC 4648, section 10.
    const struct {
        const char* bytes;
        const char* text;
    } vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                   {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                   {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors) {
        const std::string bytes = v.bytes;
        test::ByteSink whole, single;
        Base64EncodeStream a(&whole), b(&single);
        EXPECT_EQ(a.write(bytes.data(), bytes.size()), bytes.size());
        for (char c : bytes)
            EXPECT_EQ(b.putByte(std::uint8_t(c)), 1);
        a.close();
        b.close();
        EXPECT_EQ(whole.bytes, v.text) << bytes;
        EXPECT_EQ(single.bytes, v.text) << bytes;
        EXPECT_EQ(whole.closes, 1);
    }
    // All 256 byte values: no line breaks, the whole alphabet.
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    test::ByteSink sink;
    Base64EncodeStream s(&sink);
    s.write(all.data(), all.size());
    s.close();
    EXPECT_EQ(sink.bytes.size(), 344u);
    EXPECT_EQ(sink.bytes.find('\n'), std::string::npos);
    EXPECT_EQ(sink.bytes.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(sink.bytes.substr(336), "/P3+/w==");
}

TEST(Base64EncodeStreamTest, AFullOutputCountsOnlyTheGroupsWritten) {
    test::ByteSink sink;
    sink.room = 6;  // one group and a half
    Base64EncodeStream s(&sink);
    EXPECT_EQ(s.putByte('a'), 1);  // pending, nothing written yet
    // The pending byte completes a group with "bc"; the next group fails.
    EXPECT_EQ(s.write("bcdefgh", 7), 2u);
    EXPECT_EQ(sink.bytes.substr(0, 4), "YWJj");
    EXPECT_FALSE(Base64EncodeStream(nullptr).isOpen());
}

}  // namespace
}  // namespace vistrel
