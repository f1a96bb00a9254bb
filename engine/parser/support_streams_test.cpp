#include "engine/parser/support_streams.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace vistrel {
namespace {

std::vector<uint8_t> iota(size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), uint8_t(0));
    return v;
}

// Reads everything left with a pattern of operations: 'g' getByte, 'r' read of
// 3, 'u' getByte followed by unread of the same byte, 's' skip 2 (skipped bytes
// are recorded as -1 so that positions stay comparable).
std::vector<int> drain(InputStream& s, const std::string& pattern) {
    std::vector<int> out;
    for (size_t step = 0; step < 200; ++step) {
        char op = pattern[step % pattern.size()];
        if (op == 'g') {
            uint16_t b = s.getByte();
            if (b == kEndOfData)
                break;
            out.push_back(b);
        } else if (op == 'u') {
            uint16_t b = s.getByte();
            if (b == kEndOfData)
                break;
            s.unread(b);
        } else if (op == 's') {
            int64_t n = s.skip(2);
            if (n <= 0)
                break;
            out.insert(out.end(), size_t(n), -1);
        } else {
            uint8_t buf[3];
            int64_t n = s.read(buf, sizeof buf);
            if (n <= 0)
                break;
            out.insert(out.end(), buf, buf + n);
        }
    }
    return out;
}

TEST(LengthLimitedStreamTest, DeliversExactlyTheLimit) {
    std::vector<uint8_t> data = iota(110);
    for (const std::string pattern : {"g", "r", "ug", "ur", "grug", "sg", "usr"}) {
        MemoryInputStream inner(data.data(), data.size());
        LengthLimitedStream s(&inner, 10);
        ASSERT_TRUE(s.isOpen());
        EXPECT_EQ(s.size(), 10u);
        std::vector<int> got = drain(s, pattern);
        ASSERT_EQ(got.size(), 10u) << pattern;
        for (size_t i = 0; i < got.size(); ++i) {
            if (got[i] >= 0) {
                EXPECT_EQ(got[i], int(i)) << pattern << " at " << i;
            }
        }
        EXPECT_EQ(s.position(), 10u) << pattern;
        EXPECT_TRUE(s.atEnd()) << pattern;
        EXPECT_EQ(s.getByte(), kEndOfData);
        EXPECT_EQ(inner.position(), 10u) << pattern;  // nothing read beyond the window
    }
}

TEST(LengthLimitedStreamTest, UnreadCountsOnce) {
    std::vector<uint8_t> data = iota(20);
    MemoryInputStream inner(data.data(), data.size());
    LengthLimitedStream s(&inner, 4);
    uint16_t b = s.getByte();
    EXPECT_EQ(s.position(), 1u);
    s.unread(b);
    EXPECT_EQ(s.position(), 0u);
    EXPECT_FALSE(s.atEnd());
    uint8_t buf[8];
    EXPECT_EQ(s.read(buf, sizeof buf), 4);
    EXPECT_EQ(s.position(), 4u);
    EXPECT_TRUE(s.atEnd());
}

TEST(LengthLimitedStreamTest, InnerEndAndClosedStreams) {
    std::vector<uint8_t> data = iota(5);
    MemoryInputStream inner(data.data(), data.size());
    LengthLimitedStream s(&inner, LengthLimitedStream::kNoLimit);
    EXPECT_EQ(drain(s, "g").size(), 5u);
    EXPECT_EQ(s.position(), 5u);  // the end mark is not counted
    EXPECT_TRUE(s.atEnd());

    LengthLimitedStream none(nullptr, 10);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.getByte(), kEndOfData);
    EXPECT_TRUE(none.atEnd());

    MemoryInputStream again(data.data(), data.size());
    LengthLimitedStream closed(&again, 3);
    closed.close();
    uint8_t buf[4];
    EXPECT_EQ(closed.read(buf, 4), 0);
    EXPECT_EQ(closed.skip(2), 0);
}

TEST(Rc4StreamTest, DecryptsWhateverTheReadPattern) {
    const uint8_t key[kObjectKeyLength] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::vector<uint8_t> plain = iota(37);
    std::vector<uint8_t> cipher = plain;
    Rc4Context rc4;
    Rc4SetKey(rc4, key, sizeof key);
    Rc4Crypt(rc4, cipher.data(), cipher.size());

    for (const std::string pattern : {"g", "r", "ug", "ur", "grurg", "sgr"}) {
        MemoryInputStream inner(cipher.data(), cipher.size());
        Rc4Stream s(&inner, key);
        std::vector<int> got = drain(s, pattern);
        ASSERT_EQ(got.size(), plain.size()) << pattern;
        for (size_t i = 0; i < got.size(); ++i) {
            if (got[i] >= 0) {
                EXPECT_EQ(got[i], plain[i]) << pattern << " at " << i;
            }
        }
        EXPECT_TRUE(s.atEnd());
        EXPECT_EQ(s.getByte(), kEndOfData);  // the end mark is not decrypted
    }
}

TEST(ObjectDataStreamTest, ReadsTheCharacters) {
    WString text(u"a\u0142c");  // a character above 255 comes out whole
    ObjectDataStream s(&text);
    EXPECT_EQ(s.size(), 3u);
    EXPECT_EQ(s.getByte(), u'a');
    EXPECT_EQ(s.getByte(), 0x142);
    s.unread(0x142);  // steps back: the character is read again
    EXPECT_EQ(s.position(), 1u);
    EXPECT_EQ(s.getByte(), 0x142);
    EXPECT_EQ(s.getByte(), u'c');
    EXPECT_EQ(s.getByte(), kEndOfData);
    EXPECT_TRUE(s.atEnd());
    s.unread(kEndOfData);  // the end mark is not given back
    EXPECT_EQ(s.position(), 3u);
    EXPECT_TRUE(s.seek(3));
    EXPECT_FALSE(s.seek(4));
    EXPECT_TRUE(s.seek(0));
    EXPECT_EQ(s.skip(10), 3);
    EXPECT_TRUE(s.atEnd());

    ObjectDataStream none(nullptr);
    EXPECT_EQ(none.size(), 0u);
    EXPECT_EQ(none.getByte(), kEndOfData);
    EXPECT_TRUE(none.atEnd());
    EXPECT_FALSE(none.seek(0));
}

// Collects what is written.
class ByteSink : public OutputStream {
public:
    int putByte(uint16_t c) override {
        if (full)
            return 0;
        bytes.push_back(char(c));
        return 1;
    }
    std::string bytes;
    bool full = false;
};

TEST(TextWriterTest, WritesNarrowTextAndLineEnds) {
    ByteSink sink;
    TextWriter w(&sink);
    EXPECT_TRUE(w.write(WString(u"")));
    EXPECT_EQ(sink.bytes, "");
    EXPECT_TRUE(w.write(WString(u"ab\u00e9")));
    EXPECT_TRUE(w.newLine());
    EXPECT_EQ(sink.bytes, "ab\xe9\r\n");

    sink.full = true;
    EXPECT_FALSE(w.write(WString(u"x")));  // a short write is reported
    EXPECT_FALSE(w.newLine());
    sink.full = false;
    w.close();
    EXPECT_TRUE(sink.isOpen());  // the inner stream stays open
    EXPECT_FALSE(w.write(WString(u"x")));
}

}  // namespace
}  // namespace vistrel
