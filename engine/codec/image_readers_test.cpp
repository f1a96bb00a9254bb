#include "engine/codec/image_readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::readBytes;

std::string fixture(const std::string& name) {
    return testing::sourcePath("tests/fixtures/images/" + name);
}

// A binary PPM: width, height and the red, green and blue bytes.
struct Ppm {
    int width = 0;
    int height = 0;
    Bytes rgb;
};

Ppm readPpm(const std::string& path) {
    Bytes data = readBytes(path);
    std::istringstream in(std::string(data.begin(), data.end()));
    std::string magic;
    int maxval = 0;
    Ppm ppm;
    in >> magic >> ppm.width >> ppm.height >> maxval;
    in.get();
    ppm.rgb.assign(data.begin() + in.tellg(), data.end());
    return ppm;
}

// Reads every row the reader gives, each width × 3 bytes.
template <class Reader>
Bytes readRows(Reader& reader, int rows) {
    const std::size_t rowBytes = std::size_t(reader.width()) * 3;
    Bytes out(rowBytes * rows);
    for (int y = 0; y < rows; ++y) {
        if (!reader.readRow(out.data() + rowBytes * y)) {
            out.resize(rowBytes * y);
            break;
        }
    }
    return out;
}

class PictureFileTest : public ::testing::TestWithParam<const char*> {};

// Files made by ImageMagick: BMP at 1, 4, 8 and 24 bits per pixel; PNG in
// grey at 1 to 16 bits, grey with alpha, palettes (also with
// transparency), RGB at 8 and 16 bits, RGBA, and interlaced.
TEST_P(PictureFileTest, DeliversTheRgbPixels) {
    const std::string name = GetParam();
    const bool bmp = name.rfind("bmp", 0) == 0;
    Bytes file = readBytes(fixture(name + (bmp ? ".bmp" : ".png")));
    ASSERT_FALSE(file.empty());
    Ppm expected = readPpm(fixture(name + ".rgb.ppm"));
    MemoryInputStream stream(file.data(), file.size());
    std::unique_ptr<ImageStream> reader;
    if (bmp) {
        reader = std::make_unique<BmpReadStream>(&stream, nullptr);
    } else {
        reader = std::make_unique<PngReadStream>(&stream, nullptr);
    }
    ASSERT_TRUE(reader->open());
    EXPECT_EQ(reader->width(), expected.width);
    EXPECT_EQ(reader->height(), expected.height);
    EXPECT_EQ(reader->components(), 3);
    EXPECT_EQ(reader->bitsPerComponent(), 8);
    EXPECT_EQ(reader->bytesPerRow(), std::uint32_t(expected.width) * 3);
    EXPECT_EQ(readRows(*reader, expected.height), expected.rgb);
    // Every row is read: no further row comes.
    Bytes extra(std::size_t(expected.width) * 3);
    EXPECT_FALSE(reader->readRow(extra.data()));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PictureFileTest,
                         ::testing::Values("bmp1", "bmp4", "bmp8", "bmp24", "grey1", "grey2",
                                           "grey4", "grey8", "grey16", "greyalpha8", "palette2",
                                           "palette4", "palette8", "palettetrns", "rgb8", "rgb16",
                                           "rgba8", "interlaced"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void set16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A bitmap with the 40-byte header: the given palette (blue, green, red,
// reserved each) and rows of pixel bytes, each padded to 4 bytes here.
Bytes makeBmp(std::int32_t width, std::int32_t height, std::uint16_t bits, const Bytes& palette,
              const std::vector<Bytes>& rows, std::uint32_t coloursUsed = 0) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    set32(b, 10, static_cast<std::uint32_t>(54 + palette.size()));
    set32(b, 14, 40);
    set32(b, 18, static_cast<std::uint32_t>(width));
    set32(b, 22, static_cast<std::uint32_t>(height));
    set16(b, 26, 1);
    set16(b, 28, bits);
    set32(b, 46, coloursUsed);
    b.insert(b.end(), palette.begin(), palette.end());
    for (const Bytes& row : rows) {
        b.insert(b.end(), row.begin(), row.end());
        b.resize(b.size() + (4 - row.size() % 4) % 4, 0);
    }
    set32(b, 2, static_cast<std::uint32_t>(b.size()));
    return b;
}

struct BmpRun {
    bool opened = false;
    Bytes rows;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool topDown = false;
    bool atEnd = false;
};

BmpRun readBmp(const Bytes& file) {
    MemoryInputStream stream(file.data(), file.size());
    BmpReadStream reader(&stream, nullptr);
    BmpRun run;
    run.opened = reader.open();
    if (run.opened) {
        run.width = reader.width();
        run.height = reader.height();
        run.topDown = reader.topDown();
        run.rows = readRows(reader, run.height);
    }
    run.atEnd = reader.atEnd();
    return run;
}

TEST(BmpReadStreamTest, SwapsBlueAndRedAndSkipsThePadding) {
    // 2 x 2 at 24 bits: rows of 6 pixel bytes and 2 padding bytes, bottom
    // row first.
    Bytes file = makeBmp(2, 2, 24, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    BmpRun run = readBmp(file);
    ASSERT_TRUE(run.opened);
    EXPECT_FALSE(run.topDown);
    EXPECT_EQ(run.rows, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST(BmpReadStreamTest, ReadsPalettePixelsMostSignificantFirst) {
    // Width 3 at 1 bit: 3 bits used, 5 dropped, 3 padding bytes skipped.
    Bytes palette = {0, 0, 0, 0, 255, 255, 255, 0};
    Bytes file = makeBmp(3, 2, 1, palette, {{0xA0}, {0x5F}});
    BmpRun run = readBmp(file);
    ASSERT_TRUE(run.opened);
    EXPECT_EQ(run.rows, (Bytes{255, 255, 255, 0, 0, 0, 255, 255, 255,  //
                               0, 0, 0, 255, 255, 255, 0, 0, 0}));
}

TEST(BmpReadStreamTest, PaletteHoldsTheColoursUsed) {
    // 8 bits with two colours used: the palette has two entries and the
    // pixel data follows them; an index beyond them shows black.
    Bytes palette = {10, 20, 30, 0, 40, 50, 60, 0};
    Bytes file = makeBmp(3, 1, 8, palette, {{1, 0, 200}}, 2);
    BmpRun run = readBmp(file);
    ASSERT_TRUE(run.opened);
    EXPECT_EQ(run.rows, (Bytes{60, 50, 40, 30, 20, 10, 0, 0, 0}));
}

TEST(BmpReadStreamTest, NegativeHeightIsTopDown) {
    Bytes file = makeBmp(1, -2, 24, {}, {{1, 2, 3}, {4, 5, 6}});
    BmpRun run = readBmp(file);
    ASSERT_TRUE(run.opened);
    EXPECT_EQ(run.height, 2);
    EXPECT_TRUE(run.topDown);
    EXPECT_EQ(run.rows, (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(BmpReadStreamTest, RefusesHeadersItCannotRead) {
    const Bytes base = makeBmp(2, 2, 24, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    struct Case {
        const char* name;
        std::function<void(Bytes&)> change;
    };
    const Case cases[] = {
        {"file size differs",
         [](Bytes& b) { set32(b, 2, static_cast<std::uint32_t>(b.size() + 1)); }},
        {"OS/2 header", [](Bytes& b) { set32(b, 14, 12); }},
        {"version 5 header", [](Bytes& b) { set32(b, 14, 124); }},
        {"compressed", [](Bytes& b) { set32(b, 30, 1); }},
        {"2 bits", [](Bytes& b) { set16(b, 28, 2); }},
        {"16 bits", [](Bytes& b) { set16(b, 28, 16); }},
        {"32 bits", [](Bytes& b) { set16(b, 28, 32); }},
        {"0 bits", [](Bytes& b) { set16(b, 28, 0); }},
        {"width 0", [](Bytes& b) { set32(b, 18, 0); }},
        {"negative width", [](Bytes& b) { set32(b, 18, static_cast<std::uint32_t>(-2)); }},
        {"height 0", [](Bytes& b) { set32(b, 22, 0); }},
        {"most negative height", [](Bytes& b) { set32(b, 22, 0x80000000u); }},
        {"too many pixels",
         [](Bytes& b) {
             set32(b, 18, 65536);
             set32(b, 22, 65536);
         }},
        {"data before the header's end", [](Bytes& b) { set32(b, 10, 40); }},
        {"data beyond the file", [](Bytes& b) { set32(b, 10, 4000); }},
        {"cut inside the header",
         [](Bytes& b) {
             b.resize(30);
             set32(b, 2, 30);
         }},
    };
    for (const Case& c : cases) {
        Bytes file = base;
        c.change(file);
        BmpRun run = readBmp(file);
        EXPECT_FALSE(run.opened) << c.name;
        EXPECT_TRUE(run.atEnd) << c.name;
    }
}

TEST(BmpReadStreamTest, ShortPixelDataFailsTheRow) {
    Bytes file = makeBmp(2, 3, 24, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    // The header promises three rows; the file holds two.
    BmpRun run = readBmp(file);
    ASSERT_TRUE(run.opened);
    EXPECT_EQ(run.rows.size(), 12u);
    EXPECT_TRUE(run.atEnd);
}

TEST(BmpReadStreamTest, RowsNeedOpen) {
    Bytes file = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    MemoryInputStream stream(file.data(), file.size());
    BmpReadStream reader(&stream, nullptr);
    std::uint8_t row[3];
    EXPECT_FALSE(reader.readRow(row));
    EXPECT_EQ(reader.getByte(), kEndOfData);
    ASSERT_TRUE(reader.open());
    EXPECT_TRUE(reader.readRow(row));
    reader.close();
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.readRow(row));
}

struct PngRun {
    bool opened = false;
    int rowsRead = 0;
    bool closed = false;
};

PngRun readPng(const Bytes& file) {
    MemoryInputStream stream(file.data(), file.size());
    PngReadStream reader(&stream, nullptr);
    PngRun run;
    run.opened = reader.open();
    if (run.opened) {
        Bytes row(std::size_t(reader.width()) * 3);
        while (run.rowsRead < reader.height() && reader.readRow(row.data()))
            ++run.rowsRead;
    }
    run.closed = !reader.isOpen();
    return run;
}

// Corrupt and cut files end the picture: the reader closes, no row comes
// from a failed read, nothing is shown and the process goes on.
TEST(PngReadStreamTest, BrokenFilesEndThePicture) {
    const Bytes good = readBytes(fixture("rgb8.png"));
    ASSERT_FALSE(good.empty());
    const int height = 7;
    struct Case {
        const char* name;
        std::function<void(Bytes&)> change;
        bool opens;
    };
    const Case cases[] = {
        {"cut after the signature", [](Bytes& b) { b.resize(8); }, false},
        {"cut inside the header chunk", [](Bytes& b) { b.resize(20); }, false},
        {"header CRC wrong", [](Bytes& b) { b[29] ^= 0xFF; }, false},
        {"not a PNG", [](Bytes& b) { b[1] = 'X'; }, false},
        {"cut inside the picture data", [](Bytes& b) { b.resize(b.size() / 2); }, true},
        {"picture data damaged",
         [](Bytes& b) {
             const std::string tag = "IDAT";
             auto at = std::search(b.begin(), b.end(), tag.begin(), tag.end()) - b.begin();
             for (std::size_t i = at + 6; i < b.size() - 16; ++i)
                 b[i] ^= 0x5A;
         },
         true},
    };
    for (const Case& c : cases) {
        Bytes file = good;
        c.change(file);
        PngRun run = readPng(file);
        EXPECT_EQ(run.opened, c.opens) << c.name;
        EXPECT_LT(run.rowsRead, height) << c.name;
        EXPECT_TRUE(run.closed) << c.name;
    }
}

TEST(PngReadStreamTest, ClosesAfterTheLastRow) {
    Bytes file = readBytes(fixture("grey8.png"));
    PngRun run = readPng(file);
    ASSERT_TRUE(run.opened);
    EXPECT_EQ(run.rowsRead, 7);
    EXPECT_TRUE(run.closed);
}

TEST(PngReadStreamTest, ClosingEarlyFinishesTheFile) {
    for (const char* name : {"rgb8.png", "interlaced.png"}) {
        Bytes file = readBytes(fixture(name));
        MemoryInputStream stream(file.data(), file.size());
        PngReadStream reader(&stream, nullptr);
        ASSERT_TRUE(reader.open()) << name;
        Bytes row(std::size_t(reader.width()) * 3);
        EXPECT_TRUE(reader.readRow(row.data())) << name;
        reader.close();
        EXPECT_FALSE(reader.isOpen()) << name;
        EXPECT_FALSE(reader.readRow(row.data())) << name;
    }
}

// Reads the header as the image-file loader does: four numbers, each
// followed by skipping past its terminator.
bool readGeometry(NumberTextStream& text, std::array<std::int32_t, 4>& out) {
    const char terminators[] = {',', ',', ',', '>'};
    for (int i = 0; i < 4; ++i) {
        out[i] = text.readNumber();
        if (out[i] < 0)
            return false;
        text.skipPast(terminators[i]);
    }
    return true;
}

TEST(NumberTextStreamTest, ReadsTheGeometry) {
    struct Case {
        const char* text;
        bool ok;
        std::array<std::int32_t, 4> values;
    };
    const Case cases[] = {
        {"640,480,3,8>", true, {640, 480, 3, 8}},
        // Anything between a number and its terminator is skipped.
        {"640px,480 ,3,8 bits>", true, {640, 480, 3, 8}},
        {"999999999,1,1,1>", true, {999999999, 1, 1, 1}},
        // A blank before a digit makes the number fail.
        {"640, 480,3,8>", false, {}},
        {"-1,480,3,8>", false, {}},
        {"640,480,3,>", false, {}},
        {"", false, {}},
        // At most nine digits: a longer number fails instead of overflowing.
        {"4294967296,1,1,1>", false, {}},
        {"0000000001,1,1,1>", false, {}},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        MemoryInputStream memory(text.data(), text.size());
        NumberTextStream stream(&memory);
        ASSERT_TRUE(stream.isOpen());
        std::array<std::int32_t, 4> values{};
        EXPECT_EQ(readGeometry(stream, values), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(values, c.values) << c.text;
        }
    }
}

TEST(NumberTextStreamTest, GivesBackTheCharacterAfterANumber) {
    std::string text = "12a";
    MemoryInputStream memory(text.data(), text.size());
    NumberTextStream stream(&memory);
    EXPECT_EQ(stream.readNumber(), 12);
    EXPECT_EQ(stream.readNumber(), -1);
    EXPECT_EQ(stream.getByte(), 'a');
    EXPECT_EQ(stream.getByte(), kEndOfData);
}

TEST(NumberTextStreamTest, SkipPastCountsTheReads) {
    std::string text = "ab,cd";
    MemoryInputStream memory(text.data(), text.size());
    NumberTextStream stream(&memory);
    EXPECT_EQ(stream.skipPast(','), 3);
    EXPECT_EQ(stream.skipPast(','), 3);  // "c", "d" and the end of the data
}

TEST(NumberTextStreamTest, IsOpenAsItsInnerStream) {
    NumberTextStream none(nullptr);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.getByte(), kEndOfData);
    EXPECT_EQ(none.readNumber(), -1);
}

}  // namespace
}  // namespace vistrel
