// Image dictionaries: which are valid and their row sizes, Decode arrays,
// the rows of image XObjects, and inline images from the operands after
// "BI" and the data after "ID".
#include "engine/render/content/image_dict.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/constants/keyword_constants.h"
#include "engine/constants/name_constants.h"
#include "engine/parser/object_parser.h"
#include "engine/render/content/content_test_util.h"

namespace vistrel {
namespace {

using test::streamObject;
using test::TestDocument;

using Bytes = std::vector<std::uint8_t>;

// The image XObject a document makes of the stream (object 4); null when it
// is not one.
ImageXObject* imageOf(TestDocument& doc) {
    return dynamic_cast<ImageXObject*>(doc.object(4));
}

TEST(ImageDictTest, ValidImagesAndRowSizes) {
    const struct {
        std::string entries;
        bool valid;
        std::int32_t width = 0, height = 0, bits = 0;
        std::size_t in = 0, out = 0;
    } cases[] = {
        {"/Width 4 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray", true, 4, 2, 8, 4, 4},
        {"/Width 3 /Height 2 /BitsPerComponent 4 /ColorSpace /DeviceRGB", true, 3, 2, 4, 5, 5},
        {"/Width 5 /Height 1 /BitsPerComponent 1 /ColorSpace /DeviceCMYK", true, 5, 1, 1, 3, 3},
        // 16-bit samples are handed out as their high bytes.
        {"/Width 2 /Height 1 /BitsPerComponent 16 /ColorSpace /DeviceRGB", true, 2, 1, 8, 12, 6},
        // A mask is one-bit grey, with or without /BitsPerComponent.
        {"/Width 9 /Height 2 /ImageMask true", true, 9, 2, 1, 2, 2},
        {"/Width 9 /Height 2 /ImageMask true /BitsPerComponent 1 /ColorSpace /DeviceRGB", true, 9,
         2, 1, 2, 2},
        {"/Width 9 /Height 2 /ImageMask true /BitsPerComponent 8", false},
        {"/Width 9 /Height 2 /ImageMask (yes) /BitsPerComponent 8 /ColorSpace /DeviceGray", true,
         9, 2, 8, 9, 9},
        // No /Type: /Subtype alone makes it an image.
        {"/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray", true, 1, 1, 8, 1, 1},
        {"/Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
        {"/Width (4) /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
        {"/Width 4 /Height 2 /ColorSpace /DeviceGray", false},
        {"/Width 4 /Height 2 /BitsPerComponent 8", false},
        {"/Width 4 /Height 2 /BitsPerComponent 8 /ColorSpace /Indexed", false},
        // Sizes that cannot be drawn or held.
        {"/Width 0 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
        {"/Width 4 /Height 0 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
        {"/Width -3 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
        {"/Width 4 /Height 2 /BitsPerComponent 0 /ColorSpace /DeviceGray", false},
        {"/Width 4 /Height 2 /BitsPerComponent 3 /ColorSpace /DeviceGray", false},
        {"/Width 4 /Height 2 /BitsPerComponent 32 /ColorSpace /DeviceGray", false},
        {"/Width 2147483647 /Height 2147483647 /BitsPerComponent 16 /ColorSpace /DeviceCMYK",
         false},
        {"/Width 100000 /Height 100000 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
        // Exactly the most an image XObject may decode to.
        {"/Width 16384 /Height 16384 /BitsPerComponent 8 /ColorSpace /DeviceGray", true, 16384,
         16384, 8, 16384, 16384},
        {"/Width 16385 /Height 16384 /BitsPerComponent 8 /ColorSpace /DeviceGray", false},
    };
    for (const auto& c : cases) {
        const std::string type = c.entries.find("/Width 1 ") == 0 ? "" : "/Type /XObject ";
        TestDocument doc("", {streamObject(type + "/Subtype /Image " + c.entries, "data")});
        ImageXObject* image = imageOf(doc);
        ASSERT_EQ(image != nullptr, c.valid) << c.entries;
        if (!image)
            continue;
        EXPECT_EQ(image->classKind(), kClassImageXObject);
        EXPECT_EQ(image->width(), c.width) << c.entries;
        EXPECT_EQ(image->height(), c.height) << c.entries;
        EXPECT_EQ(image->bitsPerComponent(), c.bits) << c.entries;
        EXPECT_EQ(image->inBytesPerRow(), c.in) << c.entries;
        EXPECT_EQ(image->outBytesPerRow(), c.out) << c.entries;
        EXPECT_EQ(image->imageMask(), c.entries.find("/ImageMask true") != std::string::npos);
    }
}

TEST(ImageDictTest, ApplyDecode) {
    const struct {
        const char* what;
        std::string decode;
        int components, bits;
        bool indexed;
        Bytes row, result;
        bool ok;
    } cases[] = {
        {"one bit inverted", "[1 0]", 1, 1, false, {0x0F, 0xA5}, {0xF0, 0x5A}, true},
        {"one bit as it is", "[0 1]", 1, 1, false, {0x0F, 0xA5}, {0x0F, 0xA5}, true},
        {"one bit, low above", "[0.2 0.9]", 1, 1, false, {0x0F}, {0x0F}, true},
        {"8 bits inverted", "[1 0]", 1, 8, false, {0, 100, 255}, {255, 155, 0}, true},
        {"8 bits, half range", "[0.5 1]", 1, 8, false, {0, 255}, {128, 255}, true},
        {"2 bits inverted", "[1 0]", 1, 2, false, {0x1B}, {0xE4}, true},
        {"RGB, green inverted", "[0 1 1 0 0 1]", 3, 8, false, {10, 20, 30}, {10, 235, 30}, true},
        // Two pixels and two bits of padding, which are mapped as well.
        {"one-bit RGB", "[1 0 1 0 0 1]", 3, 1, false, {0xE0}, {0x3B}, true},
        {"16 bits inverted", "[1 0]", 1, 16, false, {0x12, 0x34}, {0xED, 0xCB}, true},
        // Indexed samples are indices: the value truncated.
        {"indexed in sample units", "[0 255]", 1, 8, true, {3, 200}, {3, 200}, true},
        {"not indexed, sample units", "[0 255]", 1, 8, false, {0, 3}, {0, 255}, true},
        {"indexed, reversed", "[15 0]", 1, 4, true, {0x1E}, {0xE1}, true},
        {"indexed, fewer entries", "[0 7]", 1, 4, true, {0x0F}, {0x07}, true},
        {"indexed, clamped", "[-4 30]", 1, 4, true, {0x0F}, {0x0F}, true},
        {"too few numbers", "[0 1 0 1]", 1, 8, false, {7}, {7}, false},
        {"not a number", "[0 /One]", 1, 8, false, {7}, {7}, false},
    };
    for (const auto& c : cases) {
        MemoryInputStream input(c.decode.data(), c.decode.size());
        Tokenizer tokenizer(&input);
        ObjectParser parser(&tokenizer);
        ObjectRef array = parser.ParseObject();
        ASSERT_NE(asArray(array.get()), nullptr) << c.what;
        Bytes row = c.row;
        SampleRow samples;
        ASSERT_TRUE(samples.init(row.data(), row.size(), c.components, c.bits));
        EXPECT_EQ(applyDecode(samples, *asArray(array.get()), c.indexed), c.ok) << c.what;
        EXPECT_EQ(row, c.result) << c.what;
    }
    SampleRow none;
    PdfArray pair;
    pair.append(makeRef<PdfNumber>(1));
    pair.append(makeRef<PdfNumber>(0));
    EXPECT_FALSE(applyDecode(none, pair, false));
}

// A lookup table of 16 greys, entry i = 17 i, in hexadecimal.
std::string greyTable() {
    std::string hex;
    for (int i = 0; i < 16; ++i) {
        char entry[7];
        std::snprintf(entry, sizeof entry, "%02X%02X%02X", 17 * i, 17 * i, 17 * i);
        hex += entry;
    }
    return hex;
}

// Rows of an image XObject: read through the filters, 16-bit samples to
// their high bytes, Decode applied, a short row filled up with zeros, and
// after the data's end no further row.
TEST(ImageXObjectTest, Rows) {
    const struct {
        const char* what;
        std::string entries, data;
        std::vector<Bytes> rows;  // what each readRow delivers; then false
        bool ended;
    } cases[] = {
        {"16 bits", "/Width 2 /Height 1 /BitsPerComponent 16 /ColorSpace /DeviceGray",
         "\x12\x34\xAB\xCD", {{0x12, 0xAB}}, false},
        {"short", "/Width 4 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray",
         "\x01\x02\x03\x04\x05\x06", {{1, 2, 3, 4}, {5, 6, 0, 0}}, false},
        {"ended", "/Width 4 /Height 3 /BitsPerComponent 8 /ColorSpace /DeviceGray",
         "\x01\x02\x03\x04", {{1, 2, 3, 4}}, true},
        {"decoded", "/Width 3 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray /Decode [1 0]",
         std::string("\x00\x10\xFF", 3), {{255, 239, 0}}, false},
        {"filtered", "/Width 3 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray "
                     "/Filter /ASCIIHexDecode",
         "0A0b0C>", {{10, 11, 12}}, false},
        // Decode reads the samples at their stored width: 4-bit indices
        // turned round, then looked up.
        {"decoded indices",
         "/Width 4 /Height 1 /BitsPerComponent 4 /Decode [15 0] "
         "/ColorSpace [/Indexed /DeviceRGB 15 <" + greyTable() + ">]",
         "\x01\x23", {{255, 255, 255, 238, 238, 238, 221, 221, 221, 204, 204, 204}}, false},
        {"Decode of the wrong length", "/Width 3 /Height 1 /BitsPerComponent 8 "
                                       "/ColorSpace /DeviceGray /Decode [1 0 1 0]",
         "abc", {}, false},
    };
    for (const auto& c : cases) {
        TestDocument doc("", {streamObject("/Type /XObject /Subtype /Image " + c.entries, c.data)});
        ImageXObject* image = imageOf(doc);
        ASSERT_NE(image, nullptr) << c.what;
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(image->openRows()) << c.what;
            for (const Bytes& expected : c.rows) {
                Bytes row(image->bufferSize(), 0xEE);
                ASSERT_TRUE(image->readRow(row.data())) << c.what;
                row.resize(image->outBytesPerRow());
                EXPECT_EQ(row, expected) << c.what;
            }
            Bytes row(image->bufferSize());
            EXPECT_FALSE(image->readRow(row.data())) << c.what;
            EXPECT_EQ(image->rowsEnded(), c.ended) << c.what;
            image->closeRows();
        }
    }
}

// An interpreter with "BI" and the given operands on its stack and the
// content input standing after "ID".
struct InlineSetup {
    InlineSetup(const std::string& operands, const std::string& afterId,
                PdfDict* resources = nullptr)
        : data(afterId), input(data.data(), data.size()) {
        in.operands().push(ObjectRef::share(&keywords::BI));
        in.operands().push(ObjectRef::share(&keywords::BI));
        MemoryInputStream text(operands.data(), operands.size());
        Tokenizer tokenizer(&text);
        ObjectParser parser(&tokenizer);
        while (ObjectRef o = parser.ParseObject()) {
            if (o->kind() == kKindNull && text.atEnd())
                break;
            in.operands().push(std::move(o));
        }
        in.setContentInput(&input);
        in.setResources(resources);
    }
    std::string data;
    MemoryInputStream input;
    ContentInterpreter in{fullOperatorStateMap(), kStateInlineImage, true};
};

TEST(InlineImageTest, ParsedFromTheOperands) {
    const struct {
        const char* what;
        std::string operands, afterId;
        bool valid;
        std::int32_t width = 0, height = 0, bits = 0;
        bool mask = false;
        ColorSpaceFamily family = ColorSpaceFamily::DeviceGray;
        Bytes firstRow = {};
        std::string rest = {};  // what the content input still holds
        std::int32_t held = -1;  // rows the data holds; -1: all
    } cases[] = {
        {"grey", "/W 4 /H 2 /BPC 8 /CS /G", " \x01\x02\x03\x04\x05\x06\x07\x08 EI", true, 4, 2, 8,
         false, ColorSpaceFamily::DeviceGray, {1, 2, 3, 4}, " EI"},
        {"full keys", "/Width 2 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceRGB",
         "\nabcdef EI", true, 2, 1, 8, false, ColorSpaceFamily::DeviceRGB,
         {'a', 'b', 'c', 'd', 'e', 'f'}, " EI"},
        {"CMYK", "/W 1 /H 1 /BPC 8 /CS /CMYK", " wxyz", true, 1, 1, 8, false,
         ColorSpaceFamily::DeviceCMYK, {'w', 'x', 'y', 'z'}, ""},
        {"mask without bits", "/W 4 /H 2 /IM true", " \xA0\x50 EI", true, 4, 2, 1, true,
         ColorSpaceFamily::DeviceGray, {0xA0}, " EI"},
        {"mask with bits", "/IM true /W 4 /H 1 /BPC 1", " \xA0 EI", true, 4, 1, 1, true,
         ColorSpaceFamily::DeviceGray, {0xA0}, " EI"},
        {"mask inverted", "/W 4 /H 1 /IM true /D [1 0]", " \xA0 EI", true, 4, 1, 1, true,
         ColorSpaceFamily::DeviceGray, {0x5F}, " EI"},
        {"Decode [0 1]", "/W 2 /H 1 /BPC 8 /CS /G /D [0 1]", " \x05\x06", true, 2, 1, 8, false,
         ColorSpaceFamily::DeviceGray, {5, 6}, ""},
        // The filter stops with the last byte the rows need.
        {"ASCIIHex by /F", "/W 3 /H 1 /BPC 8 /CS /G /F /AHx", " 0a0B0c> EI", true, 3, 1, 8, false,
         ColorSpaceFamily::DeviceGray, {10, 11, 12}, "> EI"},
        {"/Filter over /F", "/W 3 /H 1 /BPC 8 /CS /G /F /A85 /Filter /AHx", " 0a0B0c> EI", true, 3,
         1, 8, false, ColorSpaceFamily::DeviceGray, {10, 11, 12}, "> EI"},
        // The value nearer "BI" wins.
        {"a key twice", "/W 1 /H 1 /BPC 8 /CS /RGB /W 3 /CS /G", " abc EI", true, 1, 1, 8, false,
         ColorSpaceFamily::DeviceRGB, {'a', 'b', 'c'}, " EI"},
        {"named space", "/W 1 /H 1 /BPC 8 /CS /Cs1", " abc EI", true, 1, 1, 8, false,
         ColorSpaceFamily::DeviceRGB, {'a', 'b', 'c'}, " EI"},
        {"16 bits", "/W 2 /H 1 /BPC 16 /CS /G", " \x12\x34\x56\x78 EI", true, 2, 1, 8, false,
         ColorSpaceFamily::DeviceGray, {0x12, 0x56}, " EI"},
        {"short data", "/W 4 /H 2 /BPC 8 /CS /G", " \x01\x02", true, 4, 2, 8, false,
         ColorSpaceFamily::DeviceGray, {1, 2, 0, 0}, "", 1},
        // Only the rows that came are held.
        {"far fewer rows than promised", "/W 4 /H 1000000 /BPC 8 /CS /G", " abcd", true, 4,
         1000000, 8, false, ColorSpaceFamily::DeviceGray, {'a', 'b', 'c', 'd'}, "", 1},
        {"no data at all", "/W 4 /H 2 /BPC 8 /CS /G", "", false},
        {"mask bits 8", "/W 4 /H 2 /IM true /BPC 8", " abcdefgh EI", false},
        {"no colour space", "/W 4 /H 2 /BPC 8", " abcdefgh EI", false},
        {"an unknown named space", "/W 1 /H 1 /BPC 8 /CS /Cs9", " abc EI", false},
        {"rows beyond the cap", "/W 4 /H 100000000 /BPC 8 /CS /G", " abcd EI", false},
        {"a key that is no name", "/W 4 2 2 /BPC 8 /CS /G", " abcd EI", false},
        {"no value for a key", "/W", " EI", false},
    };
    Ref<PdfDict> resources = makeRef<PdfDict>();
    Ref<PdfDict> spaces = makeRef<PdfDict>();
    spaces->put(makeRef<PdfName>(WString(u"/Cs1")), ObjectRef::share(&names::DeviceRGB));
    resources->put(ObjectRef::share(&names::ColorSpace), spaces);
    for (const auto& c : cases) {
        InlineSetup setup(c.operands, c.afterId, resources.get());
        Ref<InlineImage> image = parseInlineImage(setup.in);
        ASSERT_EQ(image != nullptr, c.valid) << c.what;
        if (!image)
            continue;
        // One marker is left for "EI" to clear.
        EXPECT_EQ(setup.in.operands().count(), 1) << c.what;
        EXPECT_EQ(image->width(), c.width) << c.what;
        EXPECT_EQ(image->height(), c.height) << c.what;
        EXPECT_EQ(image->bitsPerComponent(), c.bits) << c.what;
        EXPECT_EQ(image->imageMask(), c.mask) << c.what;
        ASSERT_NE(image->colorSpace(), nullptr) << c.what;
        EXPECT_EQ(image->colorSpace()->family(), c.family) << c.what;
        ASSERT_TRUE(image->openRows());
        Bytes row(image->bufferSize());
        ASSERT_TRUE(image->readRow(row.data())) << c.what;
        row.resize(image->outBytesPerRow());
        EXPECT_EQ(row, c.firstRow) << c.what;
        EXPECT_EQ(image->rowsHeld(), c.held < 0 ? c.height : c.held) << c.what;
        std::string rest;
        for (std::uint16_t b; (b = setup.input.getByte()) != kEndOfData;)
            rest += char(b);
        EXPECT_EQ(rest, c.rest) << c.what;
    }
}

// The dictionary the operands make: abbreviations expanded in keys, in name
// values and inside arrays (other names and keys kept), a colour space name
// replaced by its resource, and the operands consumed down to "BI".
TEST(InlineImageTest, DictionaryFromTheOperands) {
    const struct {
        std::string operands;
        std::vector<std::pair<std::string, std::string>> entries;  // key, value text
    } cases[] = {
        {"/CS [/I /RGB 1 (abcdef)]",
         {{"/ColorSpace", "[ /Indexed /DeviceRGB 1 (abcdef) ]"}}},
        {"/CS [/I /G 3 (abcd)] /F [/AHx /Fl] /DP [null]",
         {{"/ColorSpace", "[ /Indexed /DeviceGray 3 (abcd) ]"},
          {"/F", "[ /AHx /Fl ]"},
          {"/DP", "[ null ]"}}},
        {"/BPC 1 /CS /CMYK /D [1 0] /H 2 /IM false /I true /W 3",
         {{"/BitsPerComponent", "1"},
          {"/ColorSpace", "/DeviceCMYK"},
          {"/Decode", "[ 1 0 ]"},
          {"/Height", "2"},
          {"/ImageMask", "false"},
          {"/Interpolate", "true"},
          {"/Width", "3"}}},
        {"/CS /Cs1 /Other /I", {{"/ColorSpace", "/DeviceRGB"}, {"/Other", "/Indexed"}}},
        {"/CS /Cs9", {{"/ColorSpace", "/Cs9"}}},
    };
    Ref<PdfDict> resources = makeRef<PdfDict>();
    Ref<PdfDict> spaces = makeRef<PdfDict>();
    spaces->put(makeRef<PdfName>(WString(u"/Cs1")), ObjectRef::share(&names::DeviceRGB));
    resources->put(ObjectRef::share(&names::ColorSpace), spaces);
    for (const auto& c : cases) {
        InlineSetup setup(c.operands, "", resources.get());
        Ref<PdfDict> dict = parseInlineImageDict(setup.in);
        ASSERT_NE(dict, nullptr) << c.operands;
        EXPECT_EQ(dict->size(), std::int32_t(c.entries.size())) << c.operands;
        for (const auto& [key, value] : c.entries) {
            PdfObject* got = dict->get(PdfName(WString::fromUtf8(key)));
            ASSERT_NE(got, nullptr) << c.operands << " " << key;
            EXPECT_EQ(got->text().toUtf8(), value) << c.operands << " " << key;
        }
        EXPECT_EQ(setup.in.operands().count(), 1) << c.operands;
    }
}

// A keyword other than "true" and "false" among the operands ends parsing,
// and is pushed back; the booleans are taken as values.
TEST(InlineImageTest, KeywordsAmongTheOperands) {
    InlineSetup setup("/W 1 /H 1 /BPC 8 /CS /G", " a EI");
    setup.in.operands().push(ObjectRef::share(&keywords::q));
    EXPECT_EQ(parseInlineImage(setup.in), nullptr);
    ASSERT_GT(setup.in.operands().count(), 0);
    EXPECT_TRUE(setup.in.operands().peek(0)->equals(&keywords::q));

    InlineSetup mask("/W 8 /H 1 /IM", " \x0F EI");
    mask.in.operands().push(ObjectRef::share(&keywords::true_));
    Ref<InlineImage> image = parseInlineImage(mask.in);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->imageMask());
}

}  // namespace
}  // namespace vistrel
