#include "engine/codec/dct_decode.h"
#include "engine/codec/jpeg_error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/byte_input.h"

namespace vistrel {
namespace {

using testing::ByteInput;

// Compresses flat-coloured pixels with libjpeg (the engine's error manager
// guards the encoder too).
std::vector<uint8_t> encode(int width, int height, int components, J_COLOR_SPACE space,
                            const std::vector<uint8_t>& pixel, bool progressive = false) {
    jpeg_compress_struct cinfo{};
    JpegErrorManager err;
    cinfo.err = initJpegErrorManager(err);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> row(size_t(width) * components);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < components; ++c)
            row[size_t(x) * components + c] = pixel[c];
    bool ok = guardedJpegCall(err, [&] {
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &mem, &size);
        cinfo.image_width = JDIMENSION(width);
        cinfo.image_height = JDIMENSION(height);
        cinfo.input_components = components;
        cinfo.in_color_space = space;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 100, TRUE);
        if (progressive)
            jpeg_simple_progression(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        JSAMPROW rows[1] = {row.data()};
        for (int y = 0; y < height; ++y)
            jpeg_write_scanlines(&cinfo, rows, 1);
        jpeg_finish_compress(&cinfo);
    });
    EXPECT_TRUE(ok);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(mem, mem + size);
    std::free(mem);
    return out;
}

// Offset of the start-of-frame marker's height field.
size_t frameHeightAt(const std::vector<uint8_t>& jpg) {
    for (size_t i = 2; i + 9 < jpg.size(); ++i)
        if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2))
            return i + 5;
    return 0;
}

TEST(DctDecodeTest, CmykComesOutAsStoredWithoutInversion) {
    std::vector<uint8_t> jpg = encode(8, 8, 4, JCS_CMYK, {10, 200, 90, 250});
    ByteInput in(jpg);
    DctDecodeStream f(&in, nullptr, false);
    ASSERT_FALSE(f.failed());
    EXPECT_EQ(f.components(), 4);
    EXPECT_EQ(f.width(), 8);
    std::vector<uint8_t> row(32);
    for (int y = 0; y < 8; ++y) {
        ASSERT_TRUE(f.readRow(row.data()));
        for (int x = 0; x < 8; ++x) {
            EXPECT_NEAR(row[x * 4 + 0], 10, 2);
            EXPECT_NEAR(row[x * 4 + 1], 200, 2);
            EXPECT_NEAR(row[x * 4 + 2], 90, 2);
            EXPECT_NEAR(row[x * 4 + 3], 250, 2);
        }
    }
    EXPECT_FALSE(f.readRow(row.data()));  // nothing after the last row
}

TEST(DctDecodeTest, NotAJpegSetsTheErrorFlag) {
    for (const char* data : {"", "%PDF-1.4 not a picture", "\xFF\xD8\xFF"}) {
        SCOPED_TRACE(data);
        ByteInput in{std::string(data)};
        DctDecodeStream f(&in, nullptr, false);
        EXPECT_TRUE(f.failed());
        EXPECT_TRUE(f.atEnd());
        EXPECT_EQ(f.getByte(), kEndOfData);
        uint8_t b[4];
        EXPECT_EQ(f.read(b, 4), 0);
        EXPECT_FALSE(f.open());
        f.close();
    }
}

TEST(DctDecodeTest, FatalLibraryErrorEndsTheData) {
    // A frame of height 0 is refused by the library when decoding starts.
    std::vector<uint8_t> jpg = encode(8, 8, 3, JCS_RGB, {1, 2, 3});
    size_t at = frameHeightAt(jpg);
    ASSERT_NE(at, 0u);
    jpg[at] = jpg[at + 1] = 0;
    ByteInput in(jpg);
    DctDecodeStream f(&in, nullptr, false);
    EXPECT_TRUE(f.failed());
    EXPECT_EQ(f.getByte(), kEndOfData);
}

TEST(DctDecodeTest, CloseAfterPartOfTheImageFinishesAndLeavesInputBehindIt) {
    std::vector<uint8_t> jpg = encode(40, 30, 3, JCS_RGB, {50, 100, 150});
    size_t end = jpg.size();
    jpg.insert(jpg.end(), {'E', 'I'});
    ByteInput in(jpg);
    DctDecodeStream f(&in, nullptr, true);
    ASSERT_FALSE(f.failed());
    uint8_t b[100];
    EXPECT_EQ(f.read(b, 100), 100);
    f.close();
    EXPECT_FALSE(f.failed());
    EXPECT_EQ(in.offset(), end);
    EXPECT_EQ(in.getByte(), 'E');
    // open after close starts again (a memory stream rewinds when opened).
    ASSERT_TRUE(f.open());
    uint8_t again[100];
    EXPECT_EQ(f.read(again, 100), 100);
    EXPECT_EQ(std::memcmp(b, again, 100), 0);
}

TEST(DctDecodeTest, PushedBackByteCountsOnce) {
    std::vector<uint8_t> jpg = encode(4, 2, 1, JCS_GRAYSCALE, {77});
    ByteInput in(jpg);
    DctDecodeStream f(&in, nullptr, false);
    uint16_t first = f.getByte();
    f.unread(first);
    uint8_t b[16];
    EXPECT_EQ(f.read(b, 16), 8);
    EXPECT_EQ(f.getByte(), kEndOfData);
    f.close();
}

TEST(DctDecodeTest, HugeDeclaredImagesFailOrStreamWithoutLargeAllocations) {
    for (bool progressive : {true, false}) {
        SCOPED_TRACE(progressive);
        std::vector<uint8_t> jpg = encode(16, 16, 3, JCS_RGB, {9, 9, 9}, progressive);
        size_t at = frameHeightAt(jpg);
        ASSERT_NE(at, 0u);
        // 60000 × 60000 pixels declared over a few hundred bytes of data.
        for (size_t i : {at, at + 2}) {
            jpg[i] = 0xEA;
            jpg[i + 1] = 0x60;
        }
        ByteInput in(jpg);
        {
            DctDecodeStream f(&in, nullptr, false);
            if (progressive) {
                // The whole-image coefficient buffer would be about 20 GB.
                EXPECT_TRUE(f.failed());
            } else {
                ASSERT_FALSE(f.failed());
                uint8_t b[4096];
                EXPECT_EQ(f.read(b, sizeof b), int32_t(sizeof b));
                f.close();  // must not decode the 10 GB rest of a truncated image
            }
        }
    }
}

}  // namespace
}  // namespace vistrel
