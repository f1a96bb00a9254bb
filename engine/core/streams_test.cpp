#include "engine/core/streams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

std::u16string wide(const std::string& s) {
    // Test names are ASCII unless built with explicit UTF-16 literals.
    return std::u16string(s.begin(), s.end());
}

std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return v;
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp_.ok()); }

    std::string path(const std::string& name) const { return tmp_.path(name); }
    std::u16string wpath(const std::string& name) const { return wide(path(name)); }

    void writeFile(const std::string& name, const std::vector<std::uint8_t>& data) const {
        testing::writeFile(path(name), std::string(data.begin(), data.end()));
    }
    void writeFile(const std::string& name, const std::string& text) const {
        testing::writeFile(path(name), text);
    }
    std::string readFile(const std::string& name) const { return testing::readFile(path(name)); }

    testing::TempDir tmp_{"vistrel-streams"};
};

// ------------------------------------------------------------- FileInputStream

using FileInputStreamTest = TempDir;

TEST_F(FileInputStreamTest, EmptyFileEndsAtOnce) {
    writeFile("empty", std::string());
    FileInputStream in(wpath("empty"), 4096);
    ASSERT_TRUE(in.isOpen());
    EXPECT_EQ(in.size(), 0u);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_EQ(in.position(), 0u);
}

TEST_F(FileInputStreamTest, MissingFileIsNotOpen) {
    FileInputStream in(wpath("missing.pdf"), 4096);
    EXPECT_FALSE(in.isOpen());
    std::uint8_t buf[8];
    EXPECT_EQ(in.read(buf, sizeof buf), 0);
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.skip(3), 0);
    EXPECT_FALSE(in.seek(0));
}

TEST_F(FileInputStreamTest, FolderIsNotOpen) {
    FileInputStream in(wide(tmp_.dir().string()), 4096);
    EXPECT_FALSE(in.isOpen());
}

// Reads the whole file in pieces of one size and compares with the data;
// every piece size crosses the 4096-byte buffer differently.
TEST_F(FileInputStreamTest, ReadsInPiecesAcrossBufferBoundaries) {
    const auto data = pattern(12000);
    writeFile("data", data);
    for (std::size_t piece : {1u, 7u, 100u, 4095u, 4096u, 4097u, 5000u, 10000u, 20000u}) {
        SCOPED_TRACE(piece);
        FileInputStream in(wpath("data"), 4096);
        ASSERT_TRUE(in.isOpen());
        std::vector<std::uint8_t> got;
        std::vector<std::uint8_t> buf(piece);
        for (;;) {
            const std::int64_t n = in.read(buf.data(), piece);
            ASSERT_GE(n, 0);
            got.insert(got.end(), buf.begin(), buf.begin() + n);
            EXPECT_EQ(in.position(), got.size());
            if (static_cast<std::size_t>(n) < piece)
                break;
        }
        EXPECT_EQ(got, data);
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(in.getByte(), kEndOfData);
    }
}

TEST_F(FileInputStreamTest, GetByteMixedWithReadAndPushBack) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    // Byte by byte over the first buffer boundary.
    for (std::size_t i = 0; i < 4100; ++i)
        ASSERT_EQ(in.getByte(), data[i]) << i;
    // A pushed-back byte comes first, and position counts it once.
    in.unread(data[4099]);
    EXPECT_EQ(in.position(), 4099u);
    EXPECT_FALSE(in.atEnd());
    std::vector<std::uint8_t> buf(6000);
    ASSERT_EQ(in.read(buf.data(), buf.size()), 6000);
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), data.begin() + 4099));
    EXPECT_EQ(in.position(), 10099u);
    for (std::size_t i = 10099; i < data.size(); ++i)
        ASSERT_EQ(in.getByte(), data[i]) << i;
    EXPECT_EQ(in.getByte(), kEndOfData);
}

TEST_F(FileInputStreamTest, LargeReadAfterPushBack) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    const std::uint16_t b = in.getByte();
    in.unread(b);
    EXPECT_EQ(in.position(), 0u);
    std::vector<std::uint8_t> buf(10000);
    ASSERT_EQ(in.read(buf.data(), buf.size()), 10000);
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), data.begin()));
    EXPECT_EQ(in.position(), 10000u);
}

TEST_F(FileInputStreamTest, SkipWithinAndBeyondTheBuffer) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    EXPECT_EQ(in.getByte(), data[0]);
    EXPECT_EQ(in.skip(99), 99);  // inside the buffer
    EXPECT_EQ(in.position(), 100u);
    EXPECT_EQ(in.getByte(), data[100]);
    in.unread(data[100]);
    EXPECT_EQ(in.skip(6000), 6000);  // the pushed-back byte counts as the first
    EXPECT_EQ(in.position(), 6100u);
    EXPECT_EQ(in.getByte(), data[6100]);
    EXPECT_EQ(in.read(nullptr, 899), 899);  // a null buffer skips
    EXPECT_EQ(in.getByte(), data[7000]);
}

TEST_F(FileInputStreamTest, SkipToTheEndFailsAndEndsTheData) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    EXPECT_EQ(in.getByte(), data[0]);
    EXPECT_EQ(in.skip(11999), -1);  // the target is the file size
    EXPECT_EQ(in.position(), FileInputStream::kBadPosition);
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_TRUE(in.atEnd());
    std::uint8_t buf[4];
    EXPECT_EQ(in.read(buf, 4), 0);
    // A seek puts the stream right again.
    ASSERT_TRUE(in.seek(5000));
    EXPECT_EQ(in.position(), 5000u);
    EXPECT_EQ(in.getByte(), data[5000]);
}

TEST_F(FileInputStreamTest, Seek) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    struct Case {
        std::uint64_t target;
        bool ok;
    };
    const Case cases[] = {
        {10, true},      // inside the first buffer
        {0, true},       // back to its start
        {4096, true},    // the end of the buffered window
        {11999, true},   // the last byte
        {3000, true},    // back again, outside the current window
        {12000, false},  // the file size
        {50000, false},  // beyond
        {7000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        in.getByte();  // fill or move the buffer
        const std::uint64_t before = in.position();
        EXPECT_EQ(in.seek(c.target), c.ok);
        ASSERT_EQ(in.position(), c.ok ? c.target : before);
        if (c.ok) {
            EXPECT_EQ(in.getByte(), data[c.target]);
        }
    }
}

// After a seek that failed beyond the end, reading goes on at the position the
// stream reports, never from where the failed seek left the file pointer.
TEST_F(FileInputStreamTest, FailedSeekLeavesReadingIntact) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    std::vector<std::uint8_t> head(100);
    ASSERT_EQ(in.read(head.data(), head.size()), 100);
    in.unread(data[99]);
    EXPECT_FALSE(in.seek(20000));
    EXPECT_EQ(in.position(), 100u);  // the pushed-back byte was dropped
    std::vector<std::uint8_t> rest(20000);
    ASSERT_EQ(in.read(rest.data(), rest.size()), 11900);
    EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + 11900, data.begin() + 100));
}

// A file that shrinks under the stream: bytes read later come from the file as
// it is now, and the data ends at its new end without stale buffer bytes.
TEST_F(FileInputStreamTest, FileShrinksWhileReading) {
    const auto data = pattern(12000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 4096);
    for (std::size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(in.getByte(), data[i]);
    ASSERT_EQ(::truncate(path("data").c_str(), 4100), 0);
    for (std::size_t i = 4096; i < 4100; ++i)
        ASSERT_EQ(in.getByte(), data[i]);
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_EQ(in.size(), 12000u);
    in.refreshSize();
    EXPECT_EQ(in.size(), 4100u);
    EXPECT_TRUE(in.atEnd());
}

// Bytes rewritten in place under the buffer (a file cut back and written on
// by an update) come from the file again once the size is refreshed.
TEST_F(FileInputStreamTest, RefreshedSizeReadsRewrittenBytesAgain) {
    writeFile("data", std::string("0123456789"));
    FileInputStream in(wpath("data"), 4096);
    EXPECT_EQ(in.getByte(), '0');
    writeFile("data", std::string("0123ABCDEFGH"));
    in.refreshSize();
    EXPECT_EQ(in.size(), 12u);
    EXPECT_EQ(in.getByte(), '1');
    ASSERT_TRUE(in.seek(4));
    char rest[8] = {};
    EXPECT_EQ(in.read(rest, sizeof rest), 8);
    EXPECT_EQ(std::string(rest, 8), "ABCDEFGH");
}

TEST_F(FileInputStreamTest, CloseEndsTheStream) {
    writeFile("data", std::string("abc"));
    FileInputStream in(wpath("data"), 4096);
    EXPECT_EQ(in.getByte(), 'a');
    in.close();
    EXPECT_FALSE(in.isOpen());
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_TRUE(in.atEnd());
    in.close();  // twice is harmless
}

// The bytes a reader takes without a call (nextByte, giveBack) and every
// other operation, interleaved at random over a small buffer, against a
// model of the stream: the position, the next byte and what each call
// returns agree at every step.
TEST_F(FileInputStreamTest, ReadyBytesAgreeWithEveryOtherOperation) {
    const auto data = pattern(5000);
    writeFile("data", data);
    FileInputStream in(wpath("data"), 64);
    std::uint64_t pos = 0;
    int pushed = -1;  // the model's pushed-back byte
    auto modelGet = [&]() -> std::uint16_t {
        if (pushed >= 0) {
            std::uint16_t b = std::uint16_t(pushed);
            pushed = -1;
            ++pos;
            return b;
        }
        return pos < data.size() ? data[pos++] : kEndOfData;
    };
    auto modelUnread = [&](std::uint16_t b) {
        if (pushed < 0 && pos > 0)
            --pos;
        pushed = b;
    };
    std::uint32_t x = 17;
    auto next = [&](std::uint32_t n) {
        x = x * 1103515245u + 12345u;
        return (x >> 8) % n;
    };
    std::uint16_t last = kEndOfData;
    for (int step = 0; step < 30000; ++step) {
        SCOPED_TRACE(step);
        switch (next(9)) {
            case 0:
            case 1:
            case 2:
                ASSERT_EQ(last = in.nextByte(), modelGet());
                break;
            case 3:
                ASSERT_EQ(last = in.getByte(), modelGet());
                break;
            case 4:
                if (last != kEndOfData) {  // the byte just read, or one of its own
                    std::uint16_t b = next(4) == 0 ? std::uint16_t(next(256)) : last;
                    in.giveBack(b);
                    modelUnread(b);
                    last = kEndOfData;
                }
                break;
            case 5: {
                std::vector<std::uint8_t> got(next(200));
                std::int64_t n = in.read(got.data(), got.size());
                std::int64_t want = 0;
                for (; want < std::int64_t(got.size()); ++want) {
                    std::uint16_t b = modelGet();
                    if (b == kEndOfData)
                        break;
                    ASSERT_EQ(got[size_t(want)], b);
                }
                ASSERT_EQ(n, want);
                last = kEndOfData;
                break;
            }
            case 6: {
                std::size_t n = next(150);
                if (pos + n >= data.size())
                    break;  // skips to the end fail; a seek puts them right (tested above)
                ASSERT_EQ(in.skip(n), std::int64_t(n));
                if (n > 0 && pushed >= 0) {
                    pushed = -1;
                    ++pos;
                    --n;
                }
                pos += n;
                last = kEndOfData;
                break;
            }
            case 7: {
                std::uint64_t target = next(std::uint32_t(data.size()));
                ASSERT_TRUE(in.seek(target));
                pushed = -1;
                pos = target;
                last = kEndOfData;
                break;
            }
            default:
                ASSERT_EQ(in.position(), pos);
                ASSERT_EQ(in.atEnd(), pushed < 0 && pos >= data.size());
                break;
        }
    }
}

// ------------------------------------------------------------------ file layer

using FileLayerTest = TempDir;

TEST_F(FileLayerTest, OpenModes) {
    struct Case {
        const char* what;
        bool exists;
        std::uint16_t mode;
        bool opens;
        const char* after;  // contents after writing "XY" (null: no file)
    };
    const Case cases[] = {
        {"new file, mode 6", false, 6, true, "XY"},
        {"existing file emptied, mode 6", true, 6, true, "XY"},
        {"missing file, mode 10", false, 10, false, nullptr},
        {"append to existing, mode 10", true, 10, true, "abcXY"},
        {"create or append, missing, mode 14", false, 14, true, "XY"},
        {"create or append, existing, mode 14", true, 14, true, "abcXY"},
        {"create without write access, mode 12", false, 12, true, ""},
        {"existing kept, mode 12", true, 12, true, "abc"},
        {"read only, mode 1", true, 1, true, "abc"},
        {"missing, mode 1", false, 1, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(path("f"));
        if (c.exists)
            writeFile("f", std::string("abc"));
        FileHandle h = FileOpen(wpath("f"), c.mode);
        ASSERT_EQ(isValidFile(h), c.opens);
        if (!c.opens) {
            EXPECT_EQ(h, win::INVALID_HANDLE_VALUE);
            EXPECT_FALSE(fs::exists(path("f")));
            continue;
        }
        const std::size_t written = FileWrite(h, "XY", 2);
        EXPECT_EQ(written, (c.mode & kFileWrite) ? 2u : 0u);
        FileClose(h);
        EXPECT_EQ(readFile("f"), c.after);
    }
}

TEST_F(FileLayerTest, SeekOrigins) {
    writeFile("f", std::string("0123456789"));
    FileHandle h = FileOpen(wpath("f"), kFileRead);
    ASSERT_TRUE(isValidFile(h));
    struct Case {
        std::int64_t offset;
        std::uint32_t origin;
        std::int64_t result;
    };
    const Case cases[] = {
        {4, kSeekBegin, 4}, {2, kSeekCurrent, 6},  {-1, kSeekEnd, 9}, {10, kSeekBegin, -1},
        {0, kSeekEnd, -1},  {-20, kSeekBegin, -1}, {3, 0, 3},         {1, 7, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.offset << " from " << c.origin);
        EXPECT_EQ(FileSeek(h, c.offset, c.origin), c.result);
    }
    FileClose(h);
}

TEST_F(FileLayerTest, ReadWithNullBufferMovesOn) {
    writeFile("f", std::string("0123456789"));
    FileHandle h = FileOpen(wpath("f"), kFileRead);
    EXPECT_EQ(FileRead(h, nullptr, 4), 4u);
    char c[3] = {};
    EXPECT_EQ(FileRead(h, c, 3), 3u);
    EXPECT_EQ(std::string(c, 3), "456");
    EXPECT_EQ(FileRead(h, c, 3), 3u);
    EXPECT_EQ(FileRead(h, c, 3), 0u);
    EXPECT_TRUE(FileAtOrPastEnd(h, 10));
    EXPECT_FALSE(FileAtOrPastEnd(h, 9));
    FileClose(h);
}

TEST_F(FileLayerTest, SetSizeOnlyShortens) {
    writeFile("f", std::string("0123456789"));
    FileHandle h = FileOpen(wpath("f"), kFileRead | kFileWrite);
    EXPECT_FALSE(FileSetSize(h, 10));
    EXPECT_FALSE(FileSetSize(h, 11));
    EXPECT_EQ(FileSize(h), 10u);
    EXPECT_TRUE(FileSetSize(h, 4));
    EXPECT_EQ(FileSize(h), 4u);
    FileClose(h);
    EXPECT_EQ(readFile("f"), "0123");
}

TEST_F(FileLayerTest, FreeSpace) {
    const std::int64_t free = FileFreeSpace(wide(tmp_.dir().string()));
    EXPECT_GT(free, 0);
    EXPECT_LE(free, 4294967294LL);
    EXPECT_EQ(FileFreeSpace(wpath("no/such/folder")), -1);
}

TEST_F(FileLayerTest, NativeFileNames) {
    struct Case {
        std::u16string name;
        bool ok;
        std::string utf8;
    };
    const Case cases[] = {
        {u"plain.pdf", true, "plain.pdf"},
        {u"caf\u00e9", true, "caf\xc3\xa9"},
        {u"\u0141\u00f3d\u017a", true,
         "\xc5\x81\xc3\xb3"
         "d\xc5\xba"},
        {u"\u20ac", true, "\xe2\x82\xac"},
        {u"\U0001F600.pdf", true, "\xf0\x9f\x98\x80.pdf"},
        {std::u16string(1, char16_t(0xD83D)) + u"x", false, ""},  // high surrogate alone
        {std::u16string(1, char16_t(0xDE00)), false, ""},         // low surrogate alone
        {std::u16string(u"a\0b", 3), false, ""},                  // embedded NUL
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(nativeFileName(c.name, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.utf8);
        }
    }
}

TEST_F(FileLayerTest, NonAsciiNameReachesTheRightFile) {
    const std::u16string name =
        wide(tmp_.dir().string() + "/") + u"\u0141\u00f3d\u017a \U0001F600.pdf";
    {
        FileOutputStream out(name, kFileWrite | kFileCreate);
        ASSERT_TRUE(out.isOpen());
        EXPECT_EQ(out.write("%PDF", 4), 4u);
    }
    // Exactly one file, under its UTF-8 name.
    EXPECT_EQ(readFile("\xc5\x81\xc3\xb3"
                       "d\xc5\xba \xf0\x9f\x98\x80.pdf"),
              "%PDF");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.dir()), fs::directory_iterator()), 1);
    FileInputStream in(name, 4096);
    ASSERT_TRUE(in.isOpen());
    EXPECT_EQ(in.size(), 4u);
    EXPECT_EQ(in.getByte(), '%');
    // A name that cannot be converted opens nothing.
    FileOutputStream bad(wide(tmp_.dir().string() + "/") + std::u16string(1, char16_t(0xDC00)),
                         kFileWrite | kFileCreate);
    EXPECT_FALSE(bad.isOpen());
}

TEST_F(FileLayerTest, BackslashSeparatesFolders) {
    fs::create_directory(tmp_.dir() / "fonts");
    writeFile("fonts/fonts.dsc", std::string("x"));
    FileInputStream in(wide(tmp_.dir().string() + "\\fonts\\fonts.dsc"), 4096);
    ASSERT_TRUE(in.isOpen());
    EXPECT_EQ(in.getByte(), 'x');
}

// ----------------------------------------------------------- FileOutputStream

using FileOutputStreamTest = TempDir;

TEST_F(FileOutputStreamTest, WritePutByteAndFlush) {
    FileOutputStream out(wpath("o"), kFileWrite | kFileCreate);
    ASSERT_TRUE(out.isOpen());
    EXPECT_EQ(out.path(), wpath("o"));
    EXPECT_EQ(out.write("ab", 2), 2u);
    EXPECT_EQ(out.putByte(0x163), 1);       // the low byte: 'c'
    EXPECT_EQ(out.putByte(kEndOfData), 1);  // flushes, writes nothing
    EXPECT_TRUE(out.flush());
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.write("x", 1), 0u);
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(readFile("o"), "abc");
}

TEST_F(FileOutputStreamTest, MissingFolderIsNotOpen) {
    FileOutputStream out(wpath("no/such/o"), kFileWrite | kFileCreate);
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.write("ab", 2), 0u);
    EXPECT_FALSE(out.hasFreeSpace(0));
    EXPECT_FALSE(out.truncate(0));
}

TEST_F(FileOutputStreamTest, TruncateCutsAndCloses) {
    writeFile("o", std::string("0123456789"));
    FileOutputStream out(wpath("o"), kFileWrite | kFileAppend);
    ASSERT_TRUE(out.isOpen());
    EXPECT_EQ(out.write("ab", 2), 2u);
    EXPECT_FALSE(out.truncate(12));  // not shorter: nothing changes
    EXPECT_FALSE(out.truncate(20));
    EXPECT_TRUE(out.isOpen());
    EXPECT_EQ(out.write("c", 1), 1u);  // still appends at the end
    EXPECT_EQ(readFile("o"), "0123456789abc");
    EXPECT_TRUE(out.truncate(10));
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(readFile("o"), "0123456789");
}

TEST_F(FileOutputStreamTest, FreeSpace) {
    FileOutputStream out(wpath("o"), kFileWrite | kFileCreate);
    EXPECT_TRUE(out.hasFreeSpace(0));
    EXPECT_FALSE(out.hasFreeSpace(~std::uint64_t{0}));
    FileOutputStream bare(u"vistrel-free-space-probe.tmp",
                          kFileWrite | kFileCreate);  // no folder part
    EXPECT_TRUE(bare.hasFreeSpace(1));
    bare.close();
    fs::remove("vistrel-free-space-probe.tmp");
}

// --------------------------------------------------- MemoryInputStream, copy

TEST(MemoryInputStreamTest, ReadsSeeksAndRewinds) {
    const std::string text = "hello";
    MemoryInputStream in(text.data(), text.size());
    EXPECT_EQ(in.size(), 5u);
    EXPECT_EQ(in.getByte(), 'h');
    in.unread('H');
    EXPECT_EQ(in.position(), 0u);
    char buf[8] = {};
    EXPECT_EQ(in.read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "Hel");
    EXPECT_EQ(in.skip(10), 2);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_TRUE(in.seek(5));
    EXPECT_FALSE(in.seek(6));
    EXPECT_TRUE(in.seek(1));
    EXPECT_EQ(in.getByte(), 'e');
    EXPECT_TRUE(in.open());
    EXPECT_EQ(in.position(), 0u);
    EXPECT_EQ(in.getByte(), 'h');

    MemoryInputStream none(nullptr, 4);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.getByte(), kEndOfData);
}

class ByteSink : public OutputStream {
public:
    int putByte(std::uint16_t c) override {
        bytes.push_back(static_cast<std::uint8_t>(c));
        ++calls;
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    int calls = 0;
};

// Hands out at most `piece` bytes per read, like a filter that decodes in
// blocks.
class ShortReads : public MemoryInputStream {
public:
    ShortReads(const void* data, std::size_t n, std::size_t piece)
        : MemoryInputStream(data, n), piece_(piece) {}
    std::int64_t read(void* buffer, std::size_t count) override {
        ++reads;
        return MemoryInputStream::read(buffer, std::min(count, piece_));
    }
    int reads = 0;

private:
    std::size_t piece_;
};

TEST(CopyStreamTest, CopiesWhileReadsFillTheBuffer) {
    const auto data = pattern(20000);
    struct Case {
        std::size_t bufferSize;
        std::size_t piece;
        std::size_t copied;
        int reads;
    };
    const Case cases[] = {
        {0, 100000, 20000, 3},  // 8192-byte steps: 8192, 8192, 3616
        {5000, 100000, 20000, 5},
        {4000, 100000, 20000, 6},  // the last read finds nothing
        {0, 1000, 1000, 1},        // the first short read stops the copy
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bufferSize);
        ShortReads in(data.data(), data.size(), c.piece);
        ByteSink out;
        EXPECT_EQ(copyStream(in, out, c.bufferSize), c.copied);
        EXPECT_EQ(in.reads, c.reads);
        EXPECT_TRUE(std::equal(out.bytes.begin(), out.bytes.end(), data.begin()));
        EXPECT_EQ(out.bytes.size(), c.copied);
    }
}

TEST(OutputStreamTest, BaseWriteStopsAtTheFirstFailedByte) {
    class Limited : public OutputStream {
    public:
        int putByte(std::uint16_t) override { return left > 0 ? (--left, 1) : 0; }
        int left = 3;
    } out;
    EXPECT_EQ(out.write("abcdef", 6), 3u);
    out.close();
    EXPECT_EQ(out.write("abcdef", 6), 0u);
}

// ------------------------------------------------------------- mapped files

using MappedFileTest = TempDir;

TEST_F(MappedFileTest, ReadsTheWholeFileThroughTheView) {
    writeFile("m", "0123456789");
    MappedFile in(wpath("m"));
    ASSERT_TRUE(in.isOpen());
    EXPECT_EQ(in.size(), 10u);
    EXPECT_EQ(in.getByte(), '0');
    in.unread('x');
    EXPECT_EQ(in.getByte(), 'x');
    char buffer[16] = {};
    EXPECT_EQ(in.read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "1234");
    EXPECT_EQ(in.skip(3), 3);
    EXPECT_EQ(in.read(buffer, sizeof buffer), 2);  // at most the bytes left
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_FALSE(in.seek(11));
    EXPECT_TRUE(in.seek(9));
    EXPECT_EQ(in.getByte(), '9');
    in.close();
    EXPECT_FALSE(in.isOpen());
    EXPECT_EQ(in.getByte(), kEndOfData);
    EXPECT_EQ(in.read(buffer, 1), 0);
    in.close();  // closing twice unmaps once
}

TEST_F(MappedFileTest, MissingAndEmptyFilesAreNotOpen) {
    writeFile("empty", "");
    for (const char* name : {"absent", "empty"}) {
        MappedFile in(wpath(name));
        EXPECT_FALSE(in.isOpen()) << name;
        EXPECT_EQ(in.getByte(), kEndOfData) << name;
        EXPECT_TRUE(in.atEnd()) << name;
    }
}

TEST_F(MappedFileTest, WritableViewsReachTheFile) {
    writeFile("w", "abcdef");
    FileHandle file, mapping;
    // Both outputs are needed; nothing is left open without them.
    EXPECT_EQ(FileMapOpen(wpath("w"), kFileRead | kFileWrite, nullptr, &mapping), nullptr);
    EXPECT_EQ(FileMapOpen(wpath("w"), kFileRead | kFileWrite, &file, nullptr), nullptr);

    auto* view =
        static_cast<char*>(FileMapOpen(wpath("w"), kFileRead | kFileWrite, &file, &mapping));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(isValidFile(file));
    view[1] = 'B';
    view[4] = 'E';
    EXPECT_TRUE(FileFlushView(view + 4, 1));
    EXPECT_TRUE(FileFlushView(view, 0));
    EXPECT_FALSE(FileFlushView(nullptr, 0));
    EXPECT_FALSE(win::FlushViewOfFile(view + 4096, 1));  // past the view
    FileMapClose(view, file, mapping);
    EXPECT_EQ(readFile("w"), "aBcdEf");
    EXPECT_FALSE(win::UnmapViewOfFile(view));  // no longer mapped

    // A read-only view of a file opened for reading only.
    const void* readOnly = FileMapOpen(wpath("w"), kFileRead, &file, &mapping);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(readOnly), 6), "aBcdEf");
    FileMapClose(readOnly, file, mapping);
    // A writable mapping of a file not opened for reading and writing fails.
    const FileHandle writeOnly = FileOpen(wpath("w"), kFileWrite);
    EXPECT_EQ(win::CreateFileMappingA(writeOnly, nullptr, win::PAGE_READWRITE, 0, 0, nullptr),
              nullptr);
    FileClose(writeOnly);
}

}  // namespace
}  // namespace vistrel
