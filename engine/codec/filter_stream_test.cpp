#include "engine/codec/filter_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "tests/support/byte_input.h"

namespace vistrel {
namespace {

using testing::ByteInput;

using Maker = std::function<std::unique_ptr<FilterStream>(InputStream*)>;

template <class T>
Maker maker() {
    return [](InputStream* in) { return std::make_unique<T>(in, nullptr); };
}

std::vector<uint8_t> drain(FilterStream& f) {
    std::vector<uint8_t> out;
    for (uint16_t c; (c = f.getByte()) != kEndOfData;)
        out.push_back(uint8_t(c));
    return out;
}

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    return {list.begin(), list.end()};
}

struct EdgeCase {
    const char* what;
    Maker make;
    std::string input;
    std::vector<uint8_t> expected;
    size_t innerLeftAt;  // inner offset after decoding; SIZE_MAX: not checked
};

TEST(SimpleFiltersTest, EdgeCases) {
    const size_t any = SIZE_MAX;
    const EdgeCase cases[] = {
        {"hex", maker<AsciiHexDecodeStream>(), "48656C6C6F>", bytes({0x48, 0x65, 0x6C, 0x6C, 0x6F}),
         any},
        {"hex white space", maker<AsciiHexDecodeStream>(), "\r\n4 8\t65\r6c\n6C 6f >",
         bytes({0x48, 0x65, 0x6C, 0x6C, 0x6F}), any},
        {"hex odd final digit", maker<AsciiHexDecodeStream>(), "48656>", bytes({0x48, 0x65, 0x60}),
         any},
        {"hex without end marker", maker<AsciiHexDecodeStream>(), "4865", bytes({0x48, 0x65}), any},
        {"hex dangling digit at end", maker<AsciiHexDecodeStream>(), "486", bytes({0x48}), any},
        {"hex bad digit ends", maker<AsciiHexDecodeStream>(), "48G56566>", bytes({0x48}), any},
        {"hex bad second digit drops first", maker<AsciiHexDecodeStream>(), "484G65>",
         bytes({0x48}), any},
        {"hex form feed is no white space", maker<AsciiHexDecodeStream>(), "48\f65>", bytes({0x48}),
         any},
        {"a85 z", maker<Ascii85DecodeStream>(), "z~>", bytes({0, 0, 0, 0}), 3},
        {"a85 final 2 chars", maker<Ascii85DecodeStream>(), "5l~>", bytes({'A'}), 4},
        {"a85 final 3 chars", maker<Ascii85DecodeStream>(), "5sb~>", bytes({'A', 'B'}), any},
        {"a85 final 4 chars", maker<Ascii85DecodeStream>(), "5sdp~>", bytes({'A', 'B', 'C'}), any},
        {"a85 final 1 char", maker<Ascii85DecodeStream>(), "87cURD~>", bytes({'H', 'e', 'l', 'l'}),
         any},
        {"a85 one char gives nothing", maker<Ascii85DecodeStream>(), "5~>", bytes({}), any},
        {"a85 end marker leaves inner behind it", maker<Ascii85DecodeStream>(), "5l~>rest",
         bytes({'A'}), 4},
        {"a85 z inside a group drops it", maker<Ascii85DecodeStream>(), "87cURDz]i~>",
         bytes({'H', 'e', 'l', 'l'}), any},
        {"a85 no end marker", maker<Ascii85DecodeStream>(), "87cURDZ",
         bytes({'H', 'e', 'l', 'l', 'o'}), any},
        {"a85 white space inside a group", maker<Ascii85DecodeStream>(), "87c\r\nUR ~>",
         bytes({'H', 'e', 'l', 'l'}), any},
        {"rl literal", maker<RunLengthDecodeStream>(),
         std::string("\x02"
                     "abc\x80",
                     5),
         bytes({'a', 'b', 'c'}), any},
        {"rl repeat", maker<RunLengthDecodeStream>(),
         std::string("\xFE"
                     "x\x80",
                     3),
         bytes({'x', 'x', 'x'}), any},
        {"rl end marker before more data", maker<RunLengthDecodeStream>(),
         std::string("\x00"
                     "a\x80\x01"
                     "bc",
                     6),
         bytes({'a'}), 3},
        {"rl longest runs", maker<RunLengthDecodeStream>(),
         std::string("\x81"
                     "y",
                     2),
         std::vector<uint8_t>(128, 'y'), any},
        {"rl truncated repeat", maker<RunLengthDecodeStream>(),
         std::string("\x00"
                     "a\xFD",
                     3),
         bytes({'a'}), any},
        {"b64", maker<Base64DecodeStream>(), "SGVs\nbG8=", bytes({'H', 'e', 'l', 'l', 'o'}), any},
        {"b64 no padding", maker<Base64DecodeStream>(), "SGVsbA", bytes({'H', 'e', 'l', 'l'}), any},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.what);
        ByteInput in(c.input);
        std::unique_ptr<FilterStream> f = c.make(&in);
        EXPECT_EQ(drain(*f), c.expected);
        EXPECT_TRUE(f->atEnd());
        if (c.innerLeftAt != any) {
            EXPECT_EQ(in.offset(), c.innerLeftAt);
        }
    }
}

TEST(SimpleFiltersTest, RunLengthTruncatedLiteralRunEnds) {
    // A literal run of 4 with 2 bytes: kEndOfData for each missing byte, then the
    // length byte finds the end of the data.
    ByteInput in(
        std::string("\x03"
                    "ab",
                    3));
    RunLengthDecodeStream f(&in, nullptr);
    EXPECT_EQ(drain(f), bytes({'a', 'b'}));
    EXPECT_EQ(f.getByte(), kEndOfData);
    EXPECT_EQ(f.getByte(), kEndOfData);
    EXPECT_TRUE(f.atEnd());
}

TEST(SimpleFiltersTest, UnreadByteComesBackEvenAfterTheEnd) {
    const Maker makers[] = {maker<AsciiHexDecodeStream>(), maker<Ascii85DecodeStream>(),
                            maker<RunLengthDecodeStream>(), maker<Base64DecodeStream>()};
    const char* inputs[] = {"41>", "5l~>",
                            "\x00"
                            "A\x80",
                            "QQ=="};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ByteInput in(std::string(inputs[i], i == 2 ? 3 : std::strlen(inputs[i])));
        std::unique_ptr<FilterStream> f = makers[i](&in);
        EXPECT_EQ(f->getByte(), 'A');
        f->unread('A');
        EXPECT_EQ(f->getByte(), 'A');
        EXPECT_EQ(f->getByte(), kEndOfData);
        f->unread('Z');
        uint8_t b[4];
        EXPECT_EQ(f->read(b, 4), 1);
        EXPECT_EQ(b[0], 'Z');
        EXPECT_EQ(f->getByte(), kEndOfData);
    }
}

TEST(SimpleFiltersTest, ClosedOrMissingInnerGivesNothing) {
    ByteInput closed("41>");
    closed.close();
    const Maker makers[] = {maker<AsciiHexDecodeStream>(), maker<Ascii85DecodeStream>(),
                            maker<RunLengthDecodeStream>(), maker<Base64DecodeStream>()};
    for (const Maker& make : makers) {
        for (InputStream* inner :
             {static_cast<InputStream*>(nullptr), static_cast<InputStream*>(&closed)}) {
            std::unique_ptr<FilterStream> f = make(inner);
            EXPECT_FALSE(f->isOpen());
            EXPECT_EQ(f->getByte(), kEndOfData);
            uint8_t b[2];
            EXPECT_EQ(f->read(b, 2), 0);
        }
    }
}

TEST(SimpleFiltersTest, SizeAndPositionAreTheInnerStreams) {
    ByteInput in("48 65 6C>");
    AsciiHexDecodeStream f(&in, nullptr);
    EXPECT_EQ(f.size(), 9u);
    EXPECT_EQ(f.position(), 0u);
    f.getByte();
    EXPECT_EQ(f.position(), in.position());
    EXPECT_GE(f.position(), 2u);
}

TEST(SimpleFiltersTest, Ascii85CloseConsumesEndMarker) {
    // The reader stops at a group boundary; closing steps over the "~>".
    ByteInput in("5sdq,~>next");
    Ascii85DecodeStream f(&in, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(f.getByte(), kEndOfData);
    f.close();
    EXPECT_EQ(in.getByte(), 'n');
    // Destroying a filter that was left open does the same.
    ByteInput in2("5sdq,~>next");
    {
        Ascii85DecodeStream g(&in2, nullptr);
        for (int i = 0; i < 4; ++i)
            g.getByte();
    }
    EXPECT_EQ(in2.getByte(), 'n');
}

TEST(FilterParamsTest, KeepsIntegersByKeyAndIsOwnedByTheFilter) {
    ByteInput in("41>");
    AsciiHexDecodeStream f(&in, nullptr);
    auto owned = std::make_unique<FilterParams>();
    FilterParams* p = owned.get();
    p->set(u"/Predictor", 12);
    p->set(u"/Columns", 5);
    p->set(u"/Columns", 6);
    EXPECT_EQ(f.setParameters(std::move(owned)), p);
    EXPECT_EQ(f.parameters()->get(u"/Predictor"), 12);
    EXPECT_EQ(f.parameters()->get(u"/Columns"), 6);
    EXPECT_EQ(f.parameters()->get(u"/Colors"), 0);
    EXPECT_FALSE(f.parameters()->contains(u"/Colors"));
    f.setParameters(std::make_unique<FilterParams>());  // the first map is destroyed
    EXPECT_EQ(f.parameters()->count(), 0u);
}

}  // namespace
}  // namespace vistrel
