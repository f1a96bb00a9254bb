#include "engine/font/pdf_font_factories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/allocator.h"
#include "engine/font/font_descriptor.h"
#include "engine/font/font_dict.h"
#include "engine/font/font_test_util.h"
#include "engine/font/type1_test_util.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_test_util.h"

namespace vistrel {
namespace {

using testing::FontTestDocument;
using testing::pdfStreamBody;

std::string narrow(const WString& s) {
    return s.toLatin1();
}

// A descriptor with the required numbers, the flags and further entries.
std::string descriptor(const std::string& flags, const std::string& more = "") {
    return "<< /Type /FontDescriptor /Ascent 900 /CapHeight 700 /Descent -200 /ItalicAngle 0 "
           "/StemV 80 /Flags " +
           flags + " " + more + " >>";
}

struct Made {
    Ref<FontDescription> description;
    WString outName{u"left over"};

    const SimpleFontDescription* simple() const {
        return dynamic_cast<const SimpleFontDescription*>(description.get());
    }
};

// The factory's answer for object 1 of the document.
Made make(FontFactory factory, FontTestDocument& doc, int32_t number = 1) {
    Made made;
    made.description = factory(FontSource(doc.object(number)), made.outName);
    return made;
}

const struct {
    const char* label;
    FontFactory factory;
} kSimpleFactories[] = {{"Type 1", createType1Font}, {"TrueType", createTrueTypeFont}};

TEST(PdfFontFactoriesTest, OutNameAndDescriptionName) {
    struct Case {
        const char* font;        // entries of object 1
        const char* descriptor;  // object 2, or null
        FontFactory factory;
        const char* outName;
        const char* name;
        int32_t kind;
    } cases[] = {
        {"/Subtype /Type1 /BaseFont /Helvetica-Bold", "262146", createType1Font,
         "PDF_T1: Helvetica-Bold", "helvetica-bold-serif", FontDescription::kType1},
        {"/Subtype /Type1 /BaseFont /Helvetica-Bold", "262146", createTrueTypeFont,
         "PDF_T1: Helvetica-Bold", "helvetica-bold,serif", FontDescription::kTrueType},
        {"/Subtype /TrueType /BaseFont /ABCDEF+Arial,BoldItalic", "196679", createTrueTypeFont,
         "PDF_TT: ABCDEF+Arial,BoldItalic",
         "abcdef+arial,bolditalic,serif,italic,symbol,all_cap,smallcap,monospace",
         FontDescription::kTrueType},
        {"/Subtype /TrueType /BaseFont /Courier", "196679", createType1Font, "PDF_TT: Courier",
         "courier-serif-italic-symbol-all_cap-smallcap-monospace", FontDescription::kType1},
        {"/Subtype /Type1", "64", createType1Font, "PDF_T1: ", "-italic", FontDescription::kType1},
        {"/Subtype /Type1 /BaseFont (Helvetica)", nullptr, createType1Font, "PDF_T1: ", "",
         FontDescription::kType1},
        {"/Subtype /Type1 /BaseFont 3 0 R", nullptr, createType1Font, "PDF_T1: Times-Roman",
         "times-roman", FontDescription::kType1},
        {"/Subtype /MMType1 /BaseFont /MyriadMM", "0", createType1Font, "PDF_MMT1: MyriadMM",
         "myriadmm", FontDescription::kType1},
        {"/Subtype /Type0 /BaseFont /MS-Mincho", nullptr, createTrueTypeFont, "PDF_T0: MS-Mincho",
         "ms-mincho", FontDescription::kTrueType},
        {"/Subtype /CIDFontType2 /BaseFont /X", nullptr, createType1Font, "PDF_CID2: X", "x",
         FontDescription::kType1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        std::string font = std::string("<< /Type /Font ") + c.font;
        if (c.descriptor)
            font += " /FontDescriptor 2 0 R";
        FontTestDocument doc(
            {font + " >>", descriptor(c.descriptor ? c.descriptor : "0"), "/Times-Roman"});
        Made made = make(c.factory, doc);
        ASSERT_TRUE(made.description);
        EXPECT_EQ(made.description->refCount(), 1u);
        EXPECT_EQ(made.description->kind(), c.kind);
        EXPECT_EQ(narrow(made.outName), c.outName);
        EXPECT_EQ(narrow(made.description->name()), c.name);
    }

    // A descriptor that lacks /StemV is no descriptor: no suffixes.
    FontTestDocument doc(
        {"<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman "
         "/FontDescriptor 2 0 R >>",
         "<< /Type /FontDescriptor /Ascent 1 /CapHeight 1 /Descent 1 /Flags 2 "
         "/ItalicAngle 0 >>"});
    for (const auto& factory : kSimpleFactories) {
        SCOPED_TRACE(factory.label);
        EXPECT_EQ(narrow(make(factory.factory, doc).description->name()), "times-roman");
    }
}

TEST(PdfFontFactoriesTest, EncodingNamePerFactoryAndFontKind) {
    struct Case {
        const char* subtype;
        const char* encoding;  // the /Encoding entry, or null
        const char* object3;
        const char* type1Name;
        const char* trueTypeName;
    } cases[] = {
        {"/Type1", nullptr, "", "", "StandartEncoding"},
        {"/TrueType", nullptr, "", "", "WinAnsiEncoding"},
        {"/Type0", nullptr, "", "", "StandartEncoding"},
        {"/Type1", "/WinAnsiEncoding", "", "WinAnsiEncoding", "WinAnsiEncoding"},
        {"/TrueType", "/MacRomanEncoding", "", "MacRomanEncoding", "MacRomanEncoding"},
        {"/Type1", "/StandartEncoding", "", "StandartEncoding", "StandartEncoding"},
        // Names of no built-in encoding are given, so no default applies.
        {"/TrueType", "/StandardEncoding", "", "", ""},
        {"/TrueType", "/MacExpertEncoding", "", "", ""},
        {"/TrueType", "<< /Type /Encoding /BaseEncoding /MacRomanEncoding >>", "",
         "MacRomanEncoding", "MacRomanEncoding"},
        {"/TrueType", "<< /Type /Encoding /BaseEncoding /StandardEncoding >>", "", "", ""},
        {"/TrueType", "<< /Type /Encoding /Differences [1 /a] >>", "", "", "WinAnsiEncoding"},
        {"/Type1", "<< /Type /Encoding /BaseEncoding (WinAnsiEncoding) >>", "", "",
         "StandartEncoding"},
        // Without /Type /Encoding the dictionary is no encoding dictionary.
        {"/Type1", "<< /BaseEncoding /WinAnsiEncoding >>", "", "", "StandartEncoding"},
        {"/Type1", "3 0 R", "/WinAnsiEncoding", "WinAnsiEncoding", "WinAnsiEncoding"},
        {"/Type1", "3 0 R", "<< /Type /Encoding /BaseEncoding /MacRomanEncoding >>",
         "MacRomanEncoding", "MacRomanEncoding"},
        {"/Type1", "5", "", "", "StandartEncoding"},
    };
    for (const Case& c : cases) {
        std::string font = std::string("<< /Type /Font /Subtype ") + c.subtype;
        if (c.encoding)
            font += std::string(" /Encoding ") + c.encoding;
        SCOPED_TRACE(font);
        FontTestDocument doc({font + " >>", "null", c.object3});
        Made type1 = make(createType1Font, doc);
        Made trueType = make(createTrueTypeFont, doc);
        ASSERT_TRUE(type1.simple() && trueType.simple());
        EXPECT_EQ(narrow(type1.simple()->encodingName()), c.type1Name);
        EXPECT_EQ(narrow(trueType.simple()->encodingName()), c.trueTypeName);
    }
}

TEST(PdfFontFactoriesTest, DifferencesList) {
    using Pairs = std::vector<std::pair<int32_t, std::string>>;
    std::string manyNames = "0";
    Pairs many;
    for (int i = 0; i < 200; ++i) {
        manyNames += " /a" + std::to_string(i);
        many.emplace_back(i, "/a" + std::to_string(i));
    }
    manyNames += " 0";
    for (int i = 0; i < 200; ++i) {
        manyNames += " /b" + std::to_string(i);
        if (many.size() < 256)
            many.emplace_back(i, "/b" + std::to_string(i));
    }
    struct Case {
        std::string entries;  // of the encoding dictionary
        bool present;
        Pairs pairs;
    } cases[] = {
        {"/Differences [65 /A /B 70 null /C]", true, {{65, "/A"}, {66, "/B"}, {71, "/C"}}},
        {"/Differences [65.7 /A 3 0 R (x) /B]", true, {{65, "/A"}, {66, "/Q"}, {68, "/B"}}},
        {"/Differences [65 /A 65 /B]", true, {{65, "/A"}, {65, "/B"}}},
        // Codes outside 0 to 255 are dropped; the running code still advances.
        {"/Differences [250 /a /b /c /d /e /f /g /h]",
         true,
         {{250, "/a"}, {251, "/b"}, {252, "/c"}, {253, "/d"}, {254, "/e"}, {255, "/f"}}},
        {"/Differences [1000 /a 0 /b]", true, {{0, "/b"}}},
        {"/Differences [-3 /a /b /c /d]", true, {{0, "/d"}}},
        {"/Differences [2147483647 /a /b /c 7 /d]", true, {{7, "/d"}}},
        {"/Differences [" + manyNames + "]", true, many},
        {"/Differences []", true, {}},
        {"/Differences /A", false, {}},
        {"/BaseEncoding /WinAnsiEncoding", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries.substr(0, 60));
        FontTestDocument doc(
            {"<< /Type /Font /Subtype /Type1 /Encoding << /Type /Encoding " + c.entries + " >> >>",
             "null", "/Q"});
        for (const auto& factory : kSimpleFactories) {
            SCOPED_TRACE(factory.label);
            Made made = make(factory.factory, doc);
            ASSERT_TRUE(made.simple());
            const Differences* differences = made.simple()->differences();
            ASSERT_EQ(differences != nullptr, c.present);
            if (!differences)
                continue;
            Pairs pairs;
            for (int32_t i = 0; i < differences->count(); ++i)
                pairs.emplace_back(differences->code(i), narrow(differences->name(i)));
            EXPECT_EQ(pairs, c.pairs);
        }
    }
}

TEST(PdfFontFactoriesTest, WidthsPerCode) {
    struct Case {
        const char* entries;
        int32_t zerosBefore;
        std::vector<int32_t> widths;  // in 1/1000 em
        int32_t size;
    } cases[] = {
        {"/Widths [500 /x 600]", 0, {500, 600}, 256},
        {"/FirstChar 32 /Widths [250 333 408]", 32, {250, 333, 408}, 256},
        {"/FirstChar 32", 0, {}, 0},
        {"/Widths []", 0, {}, 0},
        {"/FirstChar 300 /Widths [1 2]", 300, {1, 2}, 302},
        {"/FirstChar -5 /Widths [1]", 0, {1}, 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        FontTestDocument doc({std::string("<< /Type /Font /Subtype /Type1 ") + c.entries + " >>"});
        std::vector<double> expected(size_t(c.zerosBefore), 0.0);
        for (int32_t w : c.widths)
            expected.push_back(w * 0.001);
        expected.resize(size_t(c.size), 0.0);
        for (const auto& factory : kSimpleFactories) {
            SCOPED_TRACE(factory.label);
            Made made = make(factory.factory, doc);
            ASSERT_TRUE(made.simple());
            const DoubleArray& widths = made.simple()->widths();
            EXPECT_EQ(std::vector<double>(widths.begin(), widths.end()), expected);
        }
    }
}

TEST(PdfFontFactoriesTest, TrueTypeMetrics) {
    struct Case {
        const char* font;
        const char* descriptor;  // object 2, or null
        double avgWidth, maxWidth, ascent, descent;
    } cases[] = {
        {"/Widths [100]",
         "<< /Type /FontDescriptor /Ascent 900 /CapHeight 1 /Descent -200 "
         "/Flags 0 /ItalicAngle 0 /StemV 1 /AvgWidth 500 /MaxWidth 1000 >>",
         0.5, 1.0, 0.9, 0.2},
        {"/FirstChar 32 /Widths [300 500]",
         "<< /Type /FontDescriptor /Ascent 900 /CapHeight 1 "
         "/Descent -200 /Flags 0 /ItalicAngle 0 /StemV 1 >>",
         0.4, 0.0, 0.9, 0.2},
        {"/Widths [400 600]", nullptr, 0.5, 0.0, -1.0, -1.0},
        {"", nullptr, 0.0, 0.0, -1.0, -1.0},
        // No /StemV: no descriptor.
        {"/Widths [100]",
         "<< /Type /FontDescriptor /Ascent 900 /CapHeight 1 /Descent -200 "
         "/Flags 0 /ItalicAngle 0 /AvgWidth 500 >>",
         0.1, 0.0, -1.0, -1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        std::string font = std::string("<< /Type /Font /Subtype /TrueType ") + c.font;
        if (c.descriptor)
            font += " /FontDescriptor 2 0 R";
        FontTestDocument doc({font + " >>", c.descriptor ? c.descriptor : "null"});
        Made made = make(createTrueTypeFont, doc);
        const auto* d = dynamic_cast<const TrueTypeFontDescription*>(made.description.get());
        ASSERT_TRUE(d);
        EXPECT_DOUBLE_EQ(d->avgWidth, c.avgWidth);
        EXPECT_DOUBLE_EQ(d->maxWidth, c.maxWidth);
        EXPECT_DOUBLE_EQ(d->ascent, c.ascent);
        EXPECT_DOUBLE_EQ(d->descent, c.descent);
    }
}

TEST(PdfFontFactoriesTest, ProgramsEachFactoryTakes) {
    struct Case {
        const char* descriptor;
        bool type1Program;
        bool compact;
        bool trueTypeProgram;
    } cases[] = {
        {"/StemV 1 /FontFile 3 0 R", true, false, false},
        {"/StemV 1 /FontFile3 4 0 R", true, true, false},
        {"/StemV 1 /FontFile2 3 0 R", false, false, true},
        {"/StemV 1 /FontFile3 5 0 R", false, false, false},
        {"/FontFile 3 0 R", false, false, false},  // no /StemV
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.descriptor);
        FontTestDocument doc({
            "<< /Type /Font /Subtype /Type1 /BaseFont /A /FontDescriptor 2 0 R >>",
            std::string("<< /Type /FontDescriptor /Ascent 1 /CapHeight 1 /Descent 1 /Flags 0 "
                        "/ItalicAngle 0 ") +
                c.descriptor + " >>",
            pdfStreamBody("", "program"),
            pdfStreamBody("/Subtype /Type1C", "program"),
            pdfStreamBody("/Subtype /CIDFontType0C", "program"),
        });
        FontDescriptorDict* d = asFontDescriptor(doc.object(2));
        InputStream* stream = d && d->program() ? d->program()->stream() : nullptr;
        Made type1 = make(createType1Font, doc);
        Made trueType = make(createTrueTypeFont, doc);
        const auto* t1 = dynamic_cast<const Type1FontDescription*>(type1.description.get());
        const auto* tt = dynamic_cast<const TrueTypeFontDescription*>(trueType.description.get());
        ASSERT_TRUE(t1 && tt);
        EXPECT_EQ(t1->program(), c.type1Program ? stream : nullptr);
        EXPECT_EQ(t1->isCompact(), c.compact);
        EXPECT_EQ(tt->program(), c.trueTypeProgram ? stream : nullptr);
    }
}

TEST(PdfFontFactoriesTest, SourcesOfTheOtherShapeGiveNone) {
    FontTestDocument doc({"<< /Type /Font /Subtype /Type3 /CharProcs << >> >>",
                          "<< /Type /Font /Subtype /OpenType >>"});
    auto* type3Dict = static_cast<Type3FontDict*>(asFontDict(doc.object(1)));
    ASSERT_TRUE(type3Dict);
    ContentInterpreter interpreterObject(fullOperatorStateMap(), kStatePage, true);
    ContentInterpreter* interpreter = &interpreterObject;
    auto type3 = makeRef<Type3FontDescription>(type3Dict, interpreter);
    const uint32_t dictCount = type3Dict->refCount();

    const FontSource sources[] = {FontSource(type3.get()), FontSource(doc.object(2)), FontSource()};
    for (const FontSource& source : sources) {
        for (const auto& factory : kSimpleFactories) {
            SCOPED_TRACE(factory.label);
            WString out;
            EXPECT_FALSE(factory.factory(source, out));
        }
    }
    WString out;
    EXPECT_FALSE(createType3Font(FontSource(type3Dict), out));
    EXPECT_FALSE(createType3Font(FontSource(), out));

    // The Type 3 factory copies the description it is handed.
    Ref<FontDescription> made = createType3Font(FontSource(type3.get()), out);
    ASSERT_TRUE(made);
    EXPECT_EQ(narrow(out), "Type3 font");
    EXPECT_EQ(made->kind(), FontDescription::kType3);
    EXPECT_EQ(made->refCount(), 1u);
    EXPECT_TRUE(made->name().empty());
    const auto* copy = dynamic_cast<const Type3FontDescription*>(made.get());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->fontDict(), type3Dict);
    EXPECT_EQ(copy->interpreter(), interpreter);
    EXPECT_EQ(type3Dict->refCount(), dictCount + 1);
    made = nullptr;
    EXPECT_EQ(type3Dict->refCount(), dictCount);
}

TEST(PdfFontFactoriesTest, Equality) {
    struct Case {
        const char* label;
        FontFactory factoryA;
        FontFactory factoryB;
        const char* fontA;
        const char* fontB;
        bool equal;
    } cases[] = {
        {"different widths", createType1Font, createType1Font,
         "/Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 3 0 R /Widths [500]",
         "/Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 3 0 R /FirstChar 40 /Widths [600]",
         true},
        {"compact flag", createType1Font, createType1Font,
         "/Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 3 0 R",
         "/Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 4 0 R", false},
        {"encoding name", createType1Font, createType1Font,
         "/Subtype /Type1 /BaseFont /A /Encoding /WinAnsiEncoding",
         "/Subtype /Type1 /BaseFont /A /Encoding /MacRomanEncoding", false},
        {"unknown encoding name and none", createType1Font, createType1Font,
         "/Subtype /Type1 /BaseFont /A /Encoding /StandardEncoding", "/Subtype /Type1 /BaseFont /A",
         true},
        {"case of the base font", createType1Font, createType1Font,
         "/Subtype /Type1 /BaseFont /Helvetica", "/Subtype /Type1 /BaseFont /HELVETICA", true},
        {"style flags", createType1Font, createType1Font,
         "/Subtype /Type1 /BaseFont /A /FontDescriptor 7 0 R", "/Subtype /Type1 /BaseFont /A",
         false},
        {"differences order", createType1Font, createType1Font,
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [1 /a /b] >>",
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [1 /b /a] >>", false},
        {"differences codes", createType1Font, createType1Font,
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [1 /a] >>",
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [2 /a] >>", false},
        {"differences written apart", createTrueTypeFont, createTrueTypeFont,
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [1 /a /b] >>",
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [1 /a 2 /b] >>", true},
        {"empty differences and none", createType1Font, createType1Font,
         "/Subtype /Type1 /Encoding << /Type /Encoding /Differences [] >>",
         "/Subtype /Type1 /Encoding << /Type /Encoding >>", false},
        {"TrueType ascent", createTrueTypeFont, createTrueTypeFont,
         "/Subtype /TrueType /BaseFont /A /FontDescriptor 7 0 R",
         "/Subtype /TrueType /BaseFont /A /FontDescriptor 8 0 R", false},
        {"TrueType widths with the descriptor's average", createTrueTypeFont, createTrueTypeFont,
         "/Subtype /TrueType /BaseFont /A /FontDescriptor 7 0 R /Widths [1]",
         "/Subtype /TrueType /BaseFont /A /FontDescriptor 7 0 R /Widths [2 3]", true},
        {"TrueType default encodings", createTrueTypeFont, createTrueTypeFont,
         "/Subtype /TrueType /BaseFont /A", "/Subtype /Type1 /BaseFont /A", false},
        {"kinds", createType1Font, createTrueTypeFont, "/Subtype /Type1 /BaseFont /A",
         "/Subtype /Type1 /BaseFont /A", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FontTestDocument doc({
            std::string("<< /Type /Font ") + c.fontA + " >>",
            std::string("<< /Type /Font ") + c.fontB + " >>",
            descriptor("32", "/FontFile 5 0 R"),
            descriptor("32", "/FontFile3 6 0 R"),
            pdfStreamBody("", "program"),
            pdfStreamBody("/Subtype /Type1C", "program"),
            descriptor("34", "/AvgWidth 500"),
            // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one object on two lines
            "<< /Type /FontDescriptor /Ascent 800 /CapHeight 700 /Descent -200 /ItalicAngle 0 "
            "/StemV 80 /Flags 34 /AvgWidth 500 >>",
        });
        Made a = make(c.factoryA, doc, 1);
        Made b = make(c.factoryB, doc, 2);
        ASSERT_TRUE(a.description && b.description);
        EXPECT_EQ(a.description->equals(b.description.get()), c.equal);
        EXPECT_EQ(b.description->equals(a.description.get()), c.equal);
        EXPECT_TRUE(a.description->equals(a.description.get()));
        EXPECT_FALSE(a.description->equals(nullptr));
    }
}

TEST(PdfFontFactoriesTest, Type3DescriptionsCompareTheirFontDictionaries) {
    FontTestDocument doc({
        "<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs 4 0 R >>",
        "<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs 4 0 R >>",
        "<< /Type /Font /Subtype /Type3 /FontMatrix [0.002 0 0 0.002 0 0] /CharProcs 4 0 R >>",
        "<< >>",
    });
    Type3FontDict* dicts[3];
    for (int i = 0; i < 3; ++i) {
        dicts[i] = static_cast<Type3FontDict*>(asFontDict(doc.object(i + 1)));
        ASSERT_TRUE(dicts[i] && dicts[i]->fontKind() == FontDict::kType3);
    }
    ContentInterpreter first(fullOperatorStateMap(), kStatePage, true);
    ContentInterpreter second(fullOperatorStateMap(), kStatePage, true);
    ContentInterpreter* one = &first;
    ContentInterpreter* other = &second;
    struct Case {
        const char* label;
        Type3FontDict* a;
        ContentInterpreter* interpreterA;
        Type3FontDict* b;
        bool equal;
    } cases[] = {
        {"same dictionary", dicts[0], one, dicts[0], true},
        {"equal dictionaries", dicts[0], one, dicts[1], true},
        {"other interpreter", dicts[0], other, dicts[0], true},
        {"different dictionaries", dicts[0], one, dicts[2], false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto a = makeRef<Type3FontDescription>(c.a, c.interpreterA);
        auto b = makeRef<Type3FontDescription>(c.b, one);
        EXPECT_EQ(a->equals(b.get()), c.equal);
    }
    // A Type 3 description never equals a description of another kind.
    WString out;
    auto type3 = makeRef<Type3FontDescription>(dicts[0], one);
    Ref<FontDescription> type1 = createType1Font(FontSource(dicts[0]), out);
    ASSERT_TRUE(type1);
    EXPECT_FALSE(type3->equals(type1.get()));
    EXPECT_FALSE(type1->equals(type3.get()));
}

// The process's run-time heap under the block pool, failing one request of
// at least `failFrom` bytes once armed. Requests from 4096 bytes up always
// reach it, whether the block pool keeps chunks or routes to malloc.
struct FailingHeap {
    static inline std::size_t failFrom = SIZE_MAX;
    static inline int failures = 0;
    static void* allocate(std::size_t size) {
        if (size >= failFrom) {
            failFrom = SIZE_MAX;
            ++failures;
            return nullptr;
        }
        return std::malloc(size);
    }
    static void free(void* block) { std::free(block); }

    FailingHeap() {
        failFrom = SIZE_MAX;
        failures = 0;
        blockPool().setSystemHeap({&FailingHeap::allocate, &FailingHeap::free});
    }
    ~FailingHeap() {
        failFrom = SIZE_MAX;
        blockPool().setSystemHeap({nullptr, nullptr});
    }
    FailingHeap(const FailingHeap&) = delete;
    FailingHeap& operator=(const FailingHeap&) = delete;
};

// A cache that counts the purges asked of it.
struct PurgeCounter : Purgeable {
    int purges = 0;
    bool purge(int) override {
        ++purges;
        return false;
    }
};

// An allocation fails while "Tf" loads a font with an embedded program: the
// purge that follows drops the document's font descriptor, and with it the
// descriptor's hold on the program. The program stays until the font is
// made ("Tf" holds it meanwhile) and as long as the font's description
// lives (it holds it too): the font is made from it, and the description
// still reads it after a further purge.
TEST(PdfFontFactoriesTest, TheProgramOutlivesAPurgeOfTheDocument) {
    testing::Type1Program type1;
    type1.glyphs = {{"A", "0 500 hsbw 0 0 rmoveto 100 0 rlineto 0 100 rlineto closepath endchar"}};
    const std::string program = type1.plain();
    // Widths of 600 codes: the font copies them into a block of more than
    // 4096 bytes as it is made.
    std::string widths;
    for (int code = 0; code < 600; ++code)
        widths += " 500";
    test::TestDocument doc(
        "/Resources << /Font << /F1 4 0 R >> >>",
        {"<< /Type /Font /Subtype /Type1 /BaseFont /Test /FirstChar 0 /LastChar 599 /Widths [" +
             widths + "] /FontDescriptor 5 0 R >>",
         descriptor("32", "/FontFile 6 0 R"), test::streamObject("", program)});
    testing::SettingGuard embedded(settings::FontSystem, settings::UseEmbeddedT1);
    testing::SettingGuard own(settings::FontSystem, settings::UseOwnT1);

    // The Type 1 loader arms the heap as the load begins.
    testing::freshEngineRegistry();
    FontRegistry& registry = *fontRegistry();
    ASSERT_TRUE(registry.unregisterLoader(fontwords::Type1));
    ASSERT_TRUE(registry.registerLoader(
        fontwords::Type1,
        [](FontDescription& description, OutputDevice* device) {
            FailingHeap::failFrom = 4096;
            return loadType1Font(description, device);
        },
        -100));
    FailingHeap heap;
    PurgeCounter counter;
    test::Session session;
    session.in.setResources(doc.page()->resources());
    session.run("BT /F1 12 Tf (A) Tj ET");
    EXPECT_EQ(FailingHeap::failures, 1);
    EXPECT_GT(counter.purges, 0);

    const TextState* text = session.in.textState();
    ASSERT_TRUE(text && text->font && text->font->font());
    WString made;
    text->font->font()->description(made);
    EXPECT_EQ(narrow(made), "T1: test");
    const LiveFont* live = registry.liveFont(*text->font);
    ASSERT_TRUE(live);
    const auto* description = dynamic_cast<const Type1FontDescription*>(live->description.get());
    ASSERT_TRUE(description && description->program());
    purgeCaches(-1);
    InputStream& data = *description->program();
    ASSERT_TRUE(data.open());
    std::string read(program.size() + 1, '\0');
    read.resize(std::size_t(std::max<std::int64_t>(0, data.read(read.data(), read.size()))));
    data.close();
    EXPECT_EQ(read, program);
    testing::freshEngineRegistry();
}

}  // namespace
}  // namespace vistrel
