#include "engine/export/png_encode_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include <png.h>

#include "tests/support/byte_sink.h"

namespace vistrel {
namespace {

struct Decoded {
    png_uint_32 width = 0, height = 0;
    int colorType = -1;
    std::vector<std::uint8_t> pixels;
};

// Decodes with libpng's simplified reader, keeping the file's own format.
Decoded decode(const std::string& data) {
    Decoded out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        return out;
    out.width = image.width;
    out.height = image.height;
    out.colorType = (image.format & PNG_FORMAT_FLAG_COLOR) ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr))
        return Decoded{};
    return out;
}

TEST(PngEncodeStreamTest, WritesTheRowsExactly) {
    const struct {
        int width, height, components;
    } cases[] = {{3, 2, 3}, {1, 4, 3}, {5, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        std::vector<std::uint8_t> pixels(size_t(c.width) * c.height * c.components);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t(i * 37 + 11);
        test::ByteSink sink;
        {
            PngEncodeStream png(&sink, c.width, c.height, c.components);
            ASSERT_TRUE(png.isOpen());
            EXPECT_TRUE(png.open());
            EXPECT_EQ(png.inner(), &sink);
            for (int y = 0; y < c.height; ++y)
                EXPECT_TRUE(png.writeRow(&pixels[size_t(y) * c.width * c.components]));
            // Every row is written: one more is refused.
            EXPECT_FALSE(png.writeRow(pixels.data()));
        }  // the end of the image is written when the stream goes
        EXPECT_EQ(sink.bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
        Decoded d = decode(sink.bytes);
        EXPECT_EQ(d.width, png_uint_32(c.width));
        EXPECT_EQ(d.height, png_uint_32(c.height));
        EXPECT_EQ(d.colorType, c.components == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY);
        EXPECT_EQ(d.pixels, pixels);
    }
}

TEST(PngEncodeStreamTest, RefusesAndFailsCleanly) {
    test::ByteSink sink;
    for (int components : {0, 2, 4})
        EXPECT_FALSE(PngEncodeStream(&sink, 4, 4, components).isOpen());
    EXPECT_FALSE(PngEncodeStream(nullptr, 4, 4, 3).isOpen());
    EXPECT_FALSE(PngEncodeStream(&sink, 0, 4, 3).isOpen());
    // Fewer rows than the height: the image is not complete.
    std::vector<std::uint8_t> row(12, 0);
    PngEncodeStream shortImage(&sink, 4, 2, 3);
    ASSERT_TRUE(shortImage.writeRow(row.data()));
    EXPECT_FALSE(shortImage.finish());
    // An output that is full after the header: the rows' data is refused,
    // when the library writes it out at the latest.
    test::ByteSink full;
    full.room = 40;
    PngEncodeStream png(&full, 64, 64, 3);
    ASSERT_TRUE(png.isOpen());
    std::vector<std::uint8_t> noisy(64 * 3);
    bool ok = true;
    for (int y = 0; y < 64; ++y) {
        for (size_t i = 0; i < noisy.size(); ++i)
            noisy[i] = std::uint8_t((i * 7919 + y * 104729) >> 3);
        ok = png.writeRow(noisy.data()) && ok;
    }
    ok = png.finish() && ok;
    EXPECT_FALSE(ok);
    EXPECT_TRUE(png.failed());
}

}  // namespace
}  // namespace vistrel
