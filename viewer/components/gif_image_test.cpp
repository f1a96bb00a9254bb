#include "viewer/components/gif_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "viewer/components/animated_cursor.h"
#include "viewer/components/gif_lzw.h"
#include "viewer/components/graphic_errors.h"
#include "viewer/components/picture_test_util.h"

namespace brevant {
namespace {

using testing::decodedPixels;
using testing::pictureFile;

// Restores the load-corrupted setting after a test.
struct LoadCorrupted {
    explicit LoadCorrupted(bool on) { setGifLoadCorrupted(on); }
    ~LoadCorrupted() { setGifLoadCorrupted(false); }
};

void expectPixels(const Bitmap& bmp, const testing::DecodedPixels& want) {
    ASSERT_EQ(bmp.width(), want.width);
    ASSERT_EQ(bmp.height(), want.height);
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            std::size_t at = 3 * (std::size_t(y) * std::size_t(want.width) + std::size_t(x));
            Rgb got = bmp.pixel(x, y);
            ASSERT_EQ(got, (Rgb{want.rgb[at], want.rgb[at + 1], want.rgb[at + 2]}))
                << "pixel " << x << "," << y;
        }
}

Bitmap randomBitmap(int w, int h, int bpp, int colours, unsigned seed) {
    std::mt19937 rnd(seed);
    Bitmap b(w, h, bpp);
    if (bpp <= 8) {
        for (int i = 0; i < (1 << bpp); ++i)
            b.palette().push_back({std::uint8_t(rnd()), std::uint8_t(rnd()), std::uint8_t(rnd())});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.setIndex(x, y, std::uint32_t(rnd() % unsigned(colours)));
    } else {
        std::vector<Rgb> colourSet;
        colourSet.reserve(std::size_t(colours));
        for (int i = 0; i < colours; ++i)
            colourSet.push_back({std::uint8_t(rnd()), std::uint8_t(rnd()), std::uint8_t(rnd())});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.setPixel(x, y, colourSet[rnd() % unsigned(colours)]);
    }
    return b;
}

void expectSameColours(const Bitmap& a, const Bitmap& b) {
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << "pixel " << x << "," << y;
}

TEST(GifImage, DecodesLikeTheImagingLibrary) {
    struct Case {
        const char* file;
        const char* pixels;  // the decoded .rgb of the same picture
        int depth;
    } cases[] = {
        {"c2.gif", "c2.gif", 1},
        {"c16.gif", "c16.gif", 4},
        {"c32.gif", "c32.gif", 8},
        {"c256.gif", "c256.gif", 8},  // interlaced by the library
        {"interlaced3.gif", "interlaced3.gif", 4},
        {"interlaced21.gif", "interlaced21.gif", 8},
        {"anim.gif", "anim.gif", 8},
        {"lower.gif", "c16.gif", 4},   // signature and version in lower case
        {"width0.gif", "c16.gif", 4},  // frame width 0 takes the screen's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        GifImage gif;
        gif.loadFromBytes(pictureFile(c.file));
        ASSERT_GE(gif.count(), 1);
        const Bitmap& bmp = gif.frame(0).bitmap();
        EXPECT_EQ(bmp.bitsPerPixel(), c.depth);
        EXPECT_FALSE(gif.frame(0).corrupted);
        expectPixels(bmp, decodedPixels(c.pixels));
    }
}

TEST(GifImage, ReadsFramesLoopingDelaysTransparencyAndComment) {
    GifImage gif;
    gif.loadFromBytes(pictureFile("anim.gif"));
    ASSERT_EQ(gif.count(), 3);
    EXPECT_EQ(gif.version, 2);
    EXPECT_TRUE(gif.looping);
    EXPECT_EQ(gif.repeatCount, 30000);  // 50000 in the file
    EXPECT_EQ(gif.frameIndex(), 0);
    const int delays[] = {250, 100, 70};
    for (int i = 0; i < 3; ++i) {
        GifFrame& f = gif.frame(i);
        EXPECT_EQ(f.delay, delays[i]);
        EXPECT_EQ(f.disposal, 2);
        const ColourTable& t = f.item().colourTable;
        EXPECT_EQ(f.transparentColour, colourOf(t.entries[1]));
    }
    EXPECT_TRUE(gif.isTransparent());
    EXPECT_EQ(gif.frame(0).comment(), std::vector<std::string>{"made for the tests"});
}

TEST(GifImage, RefusesDamagedFilesOrMarksTheFrame) {
    enum Outcome { Version, CodeSize, Extension, ReadError, Corrupted };
    struct Case {
        const char* file;
        bool loadCorrupted;
        Outcome outcome;
    } cases[] = {
        {"v88a.gif", false, Version},          {"v88a.gif", true, Version},
        {"codesize1.gif", false, CodeSize},    {"codesize1.gif", true, Corrupted},
        {"codesize10.gif", false, CodeSize},   {"codesize10.gif", true, Corrupted},
        {"cut.gif", false, ReadError},         {"cut.gif", true, Corrupted},
        {"unknown_ext.gif", false, Extension},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.loadCorrupted ? " corrupted" : ""));
        LoadCorrupted setting(c.loadCorrupted);
        GifImage gif;
        try {
            gif.loadFromBytes(pictureFile(c.file));
            ASSERT_EQ(c.outcome, Corrupted);
            ASSERT_EQ(gif.count(), 1);
            EXPECT_TRUE(gif.frame(0).corrupted);
            EXPECT_EQ(gif.frame(0).bitmap().width(), 20);
        } catch (const GraphicError& e) {
            int ids[] = {kSGifVersion, kSGifCodeSize, kSGifExtension};
            ASSERT_LT(int(c.outcome), 3) << e.what();
            EXPECT_EQ(e.id(), ids[c.outcome]);
            if (c.outcome == Extension) {
                EXPECT_STREQ(e.what(), "Неопределенное расширение GIF: 77");
            }
            EXPECT_EQ(gif.count(), 0);
        } catch (const StreamReadError&) {
            EXPECT_EQ(c.outcome, ReadError);
            EXPECT_EQ(gif.count(), 0);
        }
    }
}

// A 10 x 10 GIF with a 4-colour global table and the given LZW data.
Bytes gifWith(std::uint16_t w, std::uint16_t h, const Bytes& lzw) {
    Bytes b;
    putText(b, "GIF89a");
    putLe16(b, w);
    putLe16(b, h);
    b.insert(b.end(), {0x81, 0, 0});  // global table of 4 entries
    for (int i = 0; i < 4; ++i)
        b.insert(b.end(), {std::uint8_t(60 * i), 0, 0});
    b.push_back(',');
    putLe16(b, 0);
    putLe16(b, 0);
    putLe16(b, w);
    putLe16(b, h);
    b.push_back(0);
    putBytes(b, lzw);
    b.push_back(';');
    return b;
}

// Codes packed least significant bit first after a code size byte of 2, as
// one sub-block.
Bytes lzwData(std::initializer_list<std::pair<int, int>> codes) {
    Bytes packed;
    std::uint32_t acc = 0;
    int n = 0;
    for (auto [code, size] : codes) {
        acc |= std::uint32_t(code) << n;
        n += size;
        while (n >= 8) {
            packed.push_back(std::uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n)
        packed.push_back(std::uint8_t(acc));
    Bytes out{2, std::uint8_t(packed.size())};
    putBytes(out, packed);
    out.push_back(0);
    return out;
}

TEST(GifImage, EndsACycleInTheCodeTable) {
    // Code 7 arrives before it exists, so the entry made next points at
    // itself; asking for it walks the cycle.
    Bytes file = gifWith(10, 10, lzwData({{4, 3}, {1, 3}, {7, 3}, {0, 3}, {7, 4}, {5, 4}}));
    {
        GifImage gif;
        try {
            gif.loadFromBytes(file);
            FAIL() << "no error";
        } catch (const GraphicError& e) {
            EXPECT_EQ(e.id(), kSGifDecode);
        }
    }
    LoadCorrupted setting(true);
    GifImage gif;
    gif.loadFromBytes(file);
    EXPECT_TRUE(gif.frame(0).corrupted);
}

TEST(GifImage, RefusesSizesTheDataCannotFill) {
    Bytes file = gifWith(65535, 65535, lzwData({{4, 3}, {1, 3}, {5, 3}}));
    for (bool corrupted : {false, true}) {
        LoadCorrupted setting(corrupted);
        GifImage gif;
        EXPECT_THROW(gif.loadFromBytes(file), StreamReadError);
        EXPECT_EQ(gif.count(), 0);
    }
}

TEST(GifImage, WritesWhatItReads) {
    struct Case {
        const char* name;
        Bitmap bitmap;
    } cases[] = {
        {"1 bit", randomBitmap(37, 23, 1, 2, 1)},
        {"4 bits", randomBitmap(41, 19, 4, 16, 2)},
        {"8 bits, table resets", randomBitmap(200, 150, 8, 256, 3)},
        {"8 bits, few colours", randomBitmap(64, 64, 8, 3, 4)},
        {"24 bits", randomBitmap(50, 30, 24, 200, 5)},
        {"one pixel", randomBitmap(1, 1, 8, 1, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifImage gif;
        gif.assign(c.bitmap);
        Bytes file = gif.saveToBytes();
        EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF87a");
        GifImage back;
        back.loadFromBytes(file);
        ASSERT_EQ(back.count(), 1);
        expectSameColours(back.frame(0).bitmap(), c.bitmap);
        EXPECT_EQ(back.screenWidth, c.bitmap.width());
    }
}

TEST(GifImage, WritesGraphicControlLoopAndComments) {
    Bitmap a = randomBitmap(8, 6, 4, 16, 7), b = randomBitmap(8, 6, 4, 16, 8);
    GifImage gif;
    gif.addFrame(a);
    gif.addFrame(b);
    gif.looping = true;
    gif.repeatCount = 7;
    gif.frame(0).delay = 250;
    gif.frame(0).transparentColour = colourOf(a.palette()[3]);
    gif.frame(1).left = 4;
    gif.comment().push_back("first line");
    Bytes file = gif.saveToBytes();
    auto contains = [&](const Bytes& part) {
        return std::search(file.begin(), file.end(), part.begin(), part.end()) != file.end();
    };
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
    EXPECT_TRUE(contains({'!', 0xF9, 4, 0x01, 25, 0, 3, 0, ','}));
    EXPECT_TRUE(contains(
        {'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 7, 0, 0}));
    EXPECT_TRUE(
        contains({'!', 0xFE, 10, 'f', 'i', 'r', 's', 't', ' ', 'l', 'i', 'n', 'e', 0, ';'}));

    GifImage back;
    back.loadFromBytes(file);
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.screenWidth, 12);
    EXPECT_TRUE(back.looping);
    EXPECT_EQ(back.repeatCount, 7);
    EXPECT_EQ(back.frame(0).delay, 250);
    EXPECT_EQ(back.frame(0).transparentColour, colourOf(a.palette()[3]));
    EXPECT_TRUE(back.frame(1).localColourTable);
    EXPECT_EQ(back.data().comment, std::vector<std::string>{"first line"});
    expectSameColours(back.frame(1).bitmap(), b);

    // One frame: no loop block.
    GifImage single;
    single.assign(a);
    single.looping = true;
    Bytes one = single.saveToBytes();
    std::string text(one.begin(), one.end());
    EXPECT_EQ(text.find("NETSCAPE"), std::string::npos);
}

TEST(GifImage, PropertyDataCarriesItsLength) {
    GifImage gif;
    gif.loadFromBytes(pictureFile("c16.gif"));
    Bytes data = gif.writeData();
    EXPECT_EQ(le32At(data, 0), data.size() - 4);
    GifImage back;
    back.readData(data);
    expectPixels(back.frame(0).bitmap(), decodedPixels("c16.gif"));
    // The compressed data are written as read.
    GifImage again;
    again.readData(back.writeData());
    EXPECT_EQ(again.frame(0).item().data, gif.frame(0).item().data);
}

TEST(GifImage, RefusesResizeAndEmptyWrites) {
    GifImage gif;
    EXPECT_TRUE(gif.empty());
    try {
        gif.saveToBytes();
        FAIL();
    } catch (const GraphicError& e) {
        EXPECT_EQ(e.id(), kSGifNoData);
    }
    try {
        gif.setWidth(5);
    } catch (const GraphicError& e) {
        EXPECT_EQ(e.id(), kSGifResize);
        EXPECT_STREQ(e.what(), "Невозможно изменить размер изображения GIF");
    }
    EXPECT_THROW(gif.setHeight(5), GraphicError);
}

TEST(GifImage, AssignSharesTheImageAndCopiesFrames) {
    GifImage gif;
    gif.loadFromBytes(pictureFile("anim.gif"));
    gif.setFrameIndex(2);
    GifImage copy;
    copy.assign(gif);
    EXPECT_TRUE(copy.equals(gif));
    EXPECT_EQ(copy.count(), 3);
    EXPECT_EQ(copy.frameIndex(), 2);
    EXPECT_EQ(copy.repeatCount, 30000);
    expectSameColours(copy.frame(1).bitmap(), gif.frame(1).bitmap());
    // Changing the copy's picture-wide data leaves the source alone.
    copy.comment().push_back("mine");
    EXPECT_FALSE(copy.equals(gif));
    EXPECT_TRUE(gif.data().comment.empty());

    Bitmap out;
    gif.assignTo(out);  // the current frame
    expectSameColours(out, gif.frame(2).bitmap());
    EXPECT_TRUE(out.transparent);

    GifImage one;
    one.assign(gif.frame(1));
    EXPECT_EQ(one.count(), 1);
    EXPECT_EQ(one.version, 1);
    EXPECT_EQ(one.data().colourTable, gif.data().colourTable);
    expectSameColours(one.frame(0).bitmap(), gif.frame(1).bitmap());
}

TEST(GifImage, TakesTheFramesOfAnAnimatedCursor) {
    AnimatedCursorImage cursor;
    cursor.loadFromBytes(pictureFile("icons.ani"));
    GifImage gif;
    gif.assign(cursor);
    ASSERT_EQ(gif.count(), 2);
    EXPECT_EQ(gif.version, 2);
    EXPECT_EQ(gif.backgroundColour, kColourWindow);
    EXPECT_EQ(gif.frame(0).delay, 50);   // 3 jiffies
    EXPECT_EQ(gif.frame(1).delay, 150);  // 9 jiffies
    const Bitmap& first = gif.frame(0).bitmap();
    EXPECT_EQ(gif.frame(0).transparentColour, kColourMagenta);
    EXPECT_EQ(colourOf(first.pixel(0, 0)), kColourMagenta);  // the icon's transparent border
    EXPECT_EQ(colourOf(first.pixel(16, 16)), 0xFF0000u);
    // Written and read back, the border stays transparent.
    GifImage back;
    back.loadFromBytes(gif.saveToBytes());
    EXPECT_EQ(back.frame(1).transparentColour, kColourMagenta);
    EXPECT_EQ(colourOf(back.frame(1).bitmap().pixel(16, 16)), 0x0000FFu);
}

}  // namespace
}  // namespace brevant
