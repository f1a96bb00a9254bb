#include "engine/font/font_dict.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/font/font_descriptor.h"
#include "engine/font/font_test_util.h"

namespace vistrel {
namespace {

using testing::FontTestDocument;
using testing::pdfStreamBody;

std::string narrow(const WString& s) {
    return s.toLatin1();
}

TEST(FontDictTest, SubtypeChoosesTheClass) {
    struct Case {
        const char* subtype;  // the /Subtype entry, or null for none
        int32_t fontKind;     // -1: stays a plain dictionary
        const char* prefix;
        const char* requestKind;
    } cases[] = {
        {"/Type1", FontDict::kType1, "PDF_T1: ", "Type1"},
        {"/TrueType", FontDict::kTrueType, "PDF_TT: ", "TrueType"},
        {"/Type3", FontDict::kType3, "PDF_T3: ", "Type3"},
        {"/Type0", FontDict::kType0, "PDF_T0: ", "blah"},
        {"/MMType1", FontDict::kMMType1, "PDF_MMT1: ", "blah"},
        {"/CIDFontType0", FontDict::kCIDFontType0, "PDF_CID0: ", "blah"},
        {"/CIDFontType2", FontDict::kCIDFontType2, "PDF_CID2: ", "blah"},
        {"2 0 R", FontDict::kTrueType, "PDF_TT: ", "TrueType"},  // a name by reference
        {"/OpenType", -1, "", ""},
        {"/type1", -1, "", ""},
        {"(Type1)", -1, "", ""},
        {nullptr, -1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subtype ? c.subtype : "no /Subtype");
        std::string font = "<< /Type /Font /BaseFont /F";
        if (c.subtype)
            font += std::string(" /Subtype ") + c.subtype;
        FontTestDocument doc({font + " >>", "/TrueType"});
        PdfObject* object = doc.object(1);
        ASSERT_TRUE(asDict(object));
        FontDict* dict = asFontDict(object);
        if (c.fontKind < 0) {
            EXPECT_EQ(object->classKind(), kClassPlain);
            continue;
        }
        ASSERT_TRUE(dict);
        EXPECT_EQ(dict->kind(), kKindDict);
        EXPECT_EQ(dict->classKind(), kClassFontDict);
        EXPECT_EQ(dict->fontKind(), c.fontKind);
        EXPECT_NE(dict->get(*makeRef<PdfName>(WString(u"/BaseFont"))), nullptr);
        WString prefix(u"old text");
        fontKindPrefix(*dict, prefix);
        EXPECT_EQ(narrow(prefix), c.prefix);
        EXPECT_EQ(narrow(dict->requestKind()), c.requestKind);
    }
}

TEST(FontDictTest, WidthsAndCodeRange) {
    struct Case {
        const char* entries;
        std::vector<int32_t> widths;
        int16_t firstChar;
        int16_t lastChar;
    } cases[] = {
        {"/Widths [500 /x 600]", {500, 600}, 0, 255},
        {"/Widths [250.7 -3.9 null 2 0 R]", {250, -3, 700}, 0, 255},
        {"/Widths 3 0 R", {1, 2}, 0, 255},
        {"/Widths 5", {}, 0, 255},
        {"/FirstChar 32 /LastChar 126.9", {}, 32, 126},
        {"/FirstChar 2 0 R", {}, 700, 255},
        {"/FirstChar 70000 /LastChar 98304", {}, 4464, -32768},  // cut to 16 bits
        {"/FirstChar (32) /LastChar -1", {}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        FontTestDocument doc(
            {std::string("<< /Type /Font /Subtype /Type1 ") + c.entries + " >>", "700", "[1 2]"});
        FontDict* dict = asFontDict(doc.object(1));
        ASSERT_TRUE(dict);
        std::vector<int32_t> widths(dict->widths().begin(), dict->widths().end());
        EXPECT_EQ(widths, c.widths);
        EXPECT_EQ(dict->firstChar(), c.firstChar);
        EXPECT_EQ(dict->lastChar(), c.lastChar);
    }
}

constexpr const char* kRequired =
    "/Ascent 718 /CapHeight 2 0 R /Descent -207.5 /Flags 262178 /ItalicAngle -12 /StemV 88";

TEST(FontDescriptorTest, RequiredNumbersMakeTheDescriptor) {
    FontTestDocument doc({std::string("<< /Type /FontDescriptor ") + kRequired +
                              " /AvgWidth 441 /Leading 10 /MaxWidth 1000.9 /MissingWidth 250 "
                              "/StemH 76 /XHeight 523 >>",
                          "700"});
    FontDescriptorDict* d = asFontDescriptor(doc.object(1));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->classKind(), kClassFontDescriptor);
    EXPECT_EQ(std::vector<int32_t>({d->ascent(), d->capHeight(), d->descent(), d->italicAngle(),
                                    d->stemV(), d->avgWidth(), d->leading(), d->maxWidth(),
                                    d->missingWidth(), d->stemH(), d->xHeight()}),
              std::vector<int32_t>({718, 700, -207, -12, 88, 441, 10, 1000, 250, 76, 523}));
    EXPECT_EQ(d->flags(), 262178u);
    EXPECT_EQ(d->program(), nullptr);

    // Optional numbers default to 0; a required one missing or of another
    // kind leaves the plain dictionary.
    struct Case {
        const char* entries;
        bool typed;
    } cases[] = {
        {"/Ascent 1 /CapHeight 1 /Descent 1 /Flags 1 /ItalicAngle 1 /StemV 1 /AvgWidth (9)", true},
        {"/CapHeight 1 /Descent 1 /Flags 1 /ItalicAngle 1 /StemV 1", false},
        {"/Ascent 1 /Descent 1 /Flags 1 /ItalicAngle 1 /StemV 1", false},
        {"/Ascent 1 /CapHeight 1 /Flags 1 /ItalicAngle 1 /StemV 1", false},
        {"/Ascent 1 /CapHeight 1 /Descent 1 /ItalicAngle 1 /StemV 1", false},
        {"/Ascent 1 /CapHeight 1 /Descent 1 /Flags 1 /StemV 1", false},
        {"/Ascent 1 /CapHeight 1 /Descent 1 /Flags 1 /ItalicAngle 1", false},
        {"/Ascent 1 /CapHeight 1 /Descent 1 /Flags /Serif /ItalicAngle 1 /StemV 1", false},
        {"/Ascent 1 /CapHeight 1 /Descent 1 /Flags 1 /ItalicAngle 1 /StemV 3 0 R", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        FontTestDocument other({std::string("<< /Type /FontDescriptor ") + c.entries + " >>"});
        PdfObject* object = other.object(1);
        ASSERT_TRUE(asDict(object));
        FontDescriptorDict* typed = asFontDescriptor(object);
        EXPECT_EQ(typed != nullptr, c.typed);
        if (typed) {
            EXPECT_EQ(typed->avgWidth(), 0);
            EXPECT_EQ(typed->xHeight(), 0);
        } else {
            EXPECT_EQ(object->classKind(), kClassPlain);
        }
    }
}

TEST(FontDescriptorTest, ProgramKindFromTheEntryAndItsSubtype) {
    struct Case {
        const char* entries;  // program entries of the descriptor
        int32_t kind;         // 0: no program
    } cases[] = {
        {"/FontFile 3 0 R", FontProgram::kType1},
        {"/FontFile2 3 0 R", FontProgram::kTrueType},
        {"/FontFile3 4 0 R", FontProgram::kCompact},
        {"/FontFile3 5 0 R", FontProgram::kCidCompact},
        {"/FontFile3 6 0 R", 0},  // /OpenType
        {"/FontFile3 3 0 R", 0},  // no /Subtype
        {"/FontFile 4 0 R", FontProgram::kCompact},
        {"/FontFile 7 0 R /FontFile2 3 0 R", FontProgram::kTrueType},  // a dictionary is no stream
        {"/FontFile 3 0 R /FontFile2 3 0 R", FontProgram::kType1},
        {"/FontFile 9 0 R", 0},  // a missing object
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        FontTestDocument doc({
            "<< /Type /Font /Subtype /Type1 /FontDescriptor 2 0 R >>",
            std::string("<< /Type /FontDescriptor /Ascent 1 /CapHeight 8 0 R /Descent 1 /Flags 1 "
                        "/ItalicAngle 1 /StemV 1 ") +
                c.entries + " >>",
            pdfStreamBody("", "plain program"),
            pdfStreamBody("/Subtype /Type1C", "compact program"),
            pdfStreamBody("/Subtype /CIDFontType0C", "cid program"),
            pdfStreamBody("/Subtype /OpenType", "open type"),
            "<< /Length 0 >>",
            "700",
        });
        FontDict* font = asFontDict(doc.object(1));
        ASSERT_TRUE(font);
        FontDescriptorDict* descriptor = fontDescriptorOf(*font);
        ASSERT_TRUE(descriptor);
        EXPECT_EQ(hasEmbeddedProgram(*font), c.kind != 0);
        FontProgram* program = descriptor->program();
        ASSERT_EQ(program != nullptr, c.kind != 0);
        if (!program)
            continue;
        EXPECT_EQ(program->programKind(), c.kind);
        // The program's data reads through its stream.
        PdfStream* stream = program->stream();
        ASSERT_TRUE(stream->open());
        char data[32] = {};
        const int64_t n = stream->read(data, sizeof data);
        stream->close();
        EXPECT_GT(n, 0);
        EXPECT_NE(std::string(data, size_t(n > 0 ? n : 0)).find("program"), std::string::npos);
    }
}

// A descriptor written without /Type stays a plain dictionary in the
// document, but the font that names it reads it as its descriptor (by
// reference or inline); its required numbers still decide.
TEST(FontDescriptorTest, ADescriptorWithoutTypeIsReadFromTheFont) {
    const std::string required =
        "/Ascent 1 /CapHeight 1 /Descent 1 /Flags 34 /ItalicAngle 1 /StemV 1 /FontFile 3 0 R";
    struct Case {
        std::string descriptor;  // the font's /FontDescriptor value
        bool read;
    } cases[] = {
        {"2 0 R", true},
        {"<< " + required + " >>", true},
        {"<< /Type /Foo " + required + " >>", true},
        {"<< /Ascent 1 /CapHeight 1 /Descent 1 /Flags 34 /ItalicAngle 1 /FontFile 3 0 R >>", false},
        {"/Helvetica", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.descriptor);
        FontTestDocument doc({
            "<< /Type /Font /Subtype /Type1 /FontDescriptor " + c.descriptor + " >>",
            "<< " + required + " >>",
            pdfStreamBody("", "program"),
        });
        FontDict* font = asFontDict(doc.object(1));
        ASSERT_TRUE(font);
        FontDescriptorDict* descriptor = fontDescriptorOf(*font);
        ASSERT_EQ(descriptor != nullptr, c.read);
        EXPECT_EQ(hasEmbeddedProgram(*font), c.read);
        if (descriptor) {
            EXPECT_EQ(descriptor->flags(), 34u);
            EXPECT_EQ(descriptor->program()->programKind(), FontProgram::kType1);
        }
        EXPECT_EQ(doc.object(2)->classKind(), kClassPlain);
    }
}

TEST(FontDescriptorTest, AFontWithoutAUsableDescriptorHasNoProgram) {
    FontTestDocument doc({
        "<< /Type /Font /Subtype /Type1 /FontDescriptor 2 0 R >>",
        "<< /Type /FontDescriptor /Ascent 1 /CapHeight 1 /Descent 1 /Flags 1 /ItalicAngle 1 "
        "/FontFile 3 0 R >>",
        pdfStreamBody("", "program"),
    });
    FontDict* font = asFontDict(doc.object(1));
    ASSERT_TRUE(font);
    EXPECT_EQ(fontDescriptorOf(*font), nullptr);
    EXPECT_FALSE(hasEmbeddedProgram(*font));
}

}  // namespace
}  // namespace vistrel
