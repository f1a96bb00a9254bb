#include "engine/export/jpeg_encode_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "engine/codec/jpeg_error.h"
#include "engine/export/byte_array_buffer.h"
#include "tests/support/byte_sink.h"

namespace vistrel {
namespace {

struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<std::uint8_t> pixels;
};

// Decodes with libjpeg itself; an empty result when the data is no JPEG.
Decoded decode(const std::string& data) {
    Decoded out;
    jpeg_decompress_struct cinfo{};
    JpegErrorManager errors;
    cinfo.err = initJpegErrorManager(errors);
    bool ok = guardedJpegCall(errors, [&] {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()), data.size());
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        out.width = int(cinfo.output_width);
        out.height = int(cinfo.output_height);
        out.components = cinfo.output_components;
        out.pixels.resize(size_t(out.width) * out.height * out.components);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &out.pixels[size_t(cinfo.output_scanline) * out.width * out.components];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
    });
    jpeg_destroy_decompress(&cinfo);
    return ok ? out : Decoded{};
}

// Encodes `height` rows of one colour.
bool encode(OutputStream& out, int width, int height, std::vector<std::uint8_t> pixel) {
    JpegEncodeStream jpeg(&out, width, height, int(pixel.size()));
    if (!jpeg.isOpen() || !jpeg.open())
        return false;
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    for (int y = 0; y < height; ++y) {
        if (!jpeg.writeRow(row.data()))
            return false;
    }
    return jpeg.finish();
}

TEST(JpegEncodeStreamTest, WritesABaselineImageOfTheRows) {
    test::ByteSink sink;
    ASSERT_TRUE(encode(sink, 40, 3, {255, 0, 0}));
    // Start of image, the default JFIF header, end of image.
    ASSERT_GT(sink.bytes.size(), 4u);
    EXPECT_EQ(sink.bytes.substr(0, 4), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(sink.bytes.substr(sink.bytes.size() - 2), "\xFF\xD9");
    Decoded d = decode(sink.bytes);
    ASSERT_EQ(d.width, 40);
    ASSERT_EQ(d.height, 3);
    ASSERT_EQ(d.components, 3);
    for (size_t i = 0; i < d.pixels.size(); i += 3) {
        EXPECT_NEAR(d.pixels[i], 255, 2);
        EXPECT_NEAR(d.pixels[i + 1], 0, 2);
        EXPECT_NEAR(d.pixels[i + 2], 0, 2);
    }
    // Grey rows, into the byte array the image properties use.
    ByteArrayBuffer buffer(65536, 1024);
    ASSERT_TRUE(encode(buffer, 5, 5, {128}));
    win::SAFEARRAY* array = buffer.copyOut();
    ASSERT_TRUE(array);
    std::string bytes(static_cast<const char*>(array->pvData), array->rgsabound[0].cElements);
    win::SafeArrayDestroy(array);
    d = decode(bytes);
    EXPECT_EQ(d.components, 1);
    EXPECT_NEAR(d.pixels[12], 128, 2);
}

TEST(JpegEncodeStreamTest, RefusesBadSizesAndFailsOnAFullOutput) {
    test::ByteSink sink;
    const struct {
        int width, height, components;
    } bad[] = {{0, 4, 3}, {4, 0, 3}, {4, 4, 0}, {4, 4, 2}, {-1, 4, 3}};
    for (const auto& b : bad) {
        JpegEncodeStream jpeg(&sink, b.width, b.height, b.components);
        EXPECT_FALSE(jpeg.isOpen());
        EXPECT_FALSE(jpeg.open());
    }
    EXPECT_FALSE(JpegEncodeStream(nullptr, 4, 4, 3).isOpen());
    // Larger than libjpeg's largest image: the library's error is caught.
    JpegEncodeStream huge(&sink, 70000, 1, 3);
    EXPECT_FALSE(huge.isOpen() && huge.open());
    // An output that takes 600 bytes: the second buffer is refused.
    test::ByteSink full;
    full.room = 600;
    EXPECT_FALSE(encode(full, 64, 64, {10, 200, 30}));
    test::ByteSink none;
    none.close();
    EXPECT_FALSE(JpegEncodeStream(&none, 4, 4, 3).isOpen());
}

}  // namespace
}  // namespace vistrel
