#include "viewer/components/animated_cursor.h"

#include <gtest/gtest.h>

#include "viewer/components/graphic_errors.h"
#include "viewer/components/message_test_util.h"
#include "viewer/components/picture_test_util.h"

namespace brevant {
namespace {

using testing::pictureFile;

constexpr Colour kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// The colour in the middle of a frame's icon.
Colour middle(const Icon& icon) {
    return icon.argb()[std::size_t(icon.height() / 2) * icon.width() + icon.width() / 2] & 0xFFFFFF;
}

TEST(Icon, ReadsIconsAndCursors) {
    Icon icon(pictureFile("red.ico"));
    EXPECT_EQ(icon.type(), 1);
    EXPECT_EQ(icon.width(), 16);
    EXPECT_EQ(icon.colourCount(), 16);
    EXPECT_EQ(icon.argb()[0] >> 24, 0u);  // the mask's border is transparent
    EXPECT_EQ(icon.argb()[2 * 16 + 2], 0xFF000000u | kRed);
    Icon cursor(pictureFile("green.cur"));
    EXPECT_EQ(cursor.type(), 2);
    EXPECT_EQ(cursor.entries()[0].planes, 3);
    EXPECT_EQ(cursor.entries()[0].bitCount, 5);
    Bytes bad = pictureFile("red.ico");
    bad.resize(60);
    EXPECT_THROW(Icon{bad}, InvalidGraphic);
}

TEST(AnimatedCursor, ReadsFramesRatesSequenceAndTexts) {
    AnimatedCursorImage cursor;
    cursor.loadFromBytes(pictureFile("ok.ani"));
    ASSERT_EQ(cursor.frameCount(), 3);
    EXPECT_EQ(cursor.header().steps, 3u);
    EXPECT_EQ(cursor.title(), "Test cursor");
    EXPECT_EQ(cursor.creator(), "Brevant tests");
    EXPECT_EQ(cursor.originalColours(), 16);
    // seq 2, 0, 1: frame n shows icon seq[n]; cursors keep their hot spots.
    const Colour colours[] = {kBlue, kRed, kGreen};
    const int rates[] = {6, 12, 18};
    const int hot[] = {2, 0, 1};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(middle(cursor.frame(i)), colours[i]);
        EXPECT_EQ(cursor.frameRate(i), rates[i]);
        EXPECT_FALSE(cursor.iconFrame(i).isIcon);
        EXPECT_EQ(cursor.iconFrame(i).hotX, hot[i]);
        EXPECT_EQ(cursor.iconFrame(i).hotY, 2 * hot[i]);
    }
}

TEST(AnimatedCursor, ShortSequenceKeepsTheOtherIndexes) {
    AnimatedCursorImage cursor;
    cursor.loadFromBytes(pictureFile("short_seq.ani"));
    // Frame 0 takes icon 2, frames 1 and 2 keep their own indexes, and icon 0
    // (wanted by no frame) becomes a new frame; rates are the header's.
    ASSERT_EQ(cursor.frameCount(), 4);
    const Colour colours[] = {kBlue, kGreen, kBlue, kRed};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(middle(cursor.frame(i)), colours[i]) << i;
        EXPECT_EQ(cursor.frameRate(i), 10);
    }
    EXPECT_EQ(cursor.header().steps, 4u);
}

TEST(AnimatedCursor, IconFramesHaveTheirCentreAsHotSpot) {
    AnimatedCursorImage cursor;
    cursor.loadFromBytes(pictureFile("icons.ani"));
    ASSERT_EQ(cursor.frameCount(), 2);
    EXPECT_TRUE(cursor.iconFrame(0).isIcon);
    EXPECT_EQ(cursor.iconFrame(0).hotX, 16);
    EXPECT_EQ(cursor.iconFrame(0).hotY, 16);
    EXPECT_TRUE(cursor.title().empty());
}

TEST(AnimatedCursor, RefusesDamagedFiles) {
    for (const char* name : {"wrong_form.ani", "seq_past.ani", "huge_count.ani", "no_flag.ani"}) {
        SCOPED_TRACE(name);
        AnimatedCursorImage cursor;
        EXPECT_THROW(cursor.loadFromBytes(pictureFile(name)), StreamReadError);
        EXPECT_EQ(cursor.frameCount(), 0);
    }
    Bytes cut = pictureFile("ok.ani");
    cut.resize(cut.size() - 100);
    AnimatedCursorImage cursor;
    EXPECT_THROW(cursor.loadFromBytes(cut), StreamReadError);
}

TEST(AnimatedCursor, DrawsStripsAndFirstFrames) {
    AnimatedCursorImage cursor;
    cursor.readData([] {
        Bytes file = pictureFile("ok.ani"), data;
        putLe32(data, std::uint32_t(file.size()));
        putBytes(data, file);
        return data;
    }());
    Bitmap strip = cursor.strip(kColourWhite, false, false);
    EXPECT_EQ(strip.width(), 48);
    EXPECT_EQ(strip.height(), 16);
    EXPECT_EQ(colourOf(strip.pixel(0, 0)), kColourWhite);
    EXPECT_EQ(colourOf(strip.pixel(8, 8)), kBlue);
    EXPECT_EQ(colourOf(strip.pixel(16 + 8, 8)), kRed);
    Bitmap tall = cursor.strip(kColourWhite, true, true);
    EXPECT_EQ(tall.height(), 48);
    EXPECT_EQ(tall.bitsPerPixel(), 4);  // max(16 colours read, 16)
    EXPECT_EQ(colourOf(tall.pixel(8, 32 + 8)), kGreen);

    Bitmap first;
    cursor.assignTo(first);
    EXPECT_EQ(colourOf(first.pixel(8, 8)), kBlue);
    AnimatedCursorImage copy;
    copy.assign(cursor);
    EXPECT_EQ(copy.frameCount(), 3);
    EXPECT_EQ(copy.title(), "Test cursor");

    testing::ScriptedMessages boxes;
    EXPECT_THROW(cursor.saveToBytes(), Abort);
    EXPECT_EQ(
        boxes.shown,
        (std::vector<MessageRequest>{{"Error", "Функция не реализована", MessageIcon::Error}}));
}

}  // namespace
}  // namespace brevant
