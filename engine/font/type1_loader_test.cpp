#include "engine/font/type1_loader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/streams.h"
#include "engine/font/cid_font.h"
#include "engine/font/font_database.h"
#include "engine/font/font_registry.h"
#include "engine/font/font_test_util.h"
#include "engine/font/fonts_folder.h"
#include "engine/font/own_outline_font.h"
#include "engine/font/type1_test_util.h"
#include "engine/render/content/content_test_util.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using testing::SettingGuard;

// The description text of the font the loader makes, or "none".
std::string loaded(FontDescription& description) {
    std::unique_ptr<FontRenderer> font = loadType1Font(description, nullptr);
    if (!font)
        return "none";
    WString text;
    font->description(text);
    return text.toLatin1();
}

Ref<Type1FontDescription> type1(const char16_t* keyName) {
    Ref<Type1FontDescription> d = makeRef<Type1FontDescription>();
    d->name().assign(WString(keyName));
    return d;
}

// The loaders in the registry: "Type1CID" before "Type1", the standard
// factory; a second registration changes nothing and says so.
TEST(Type1LoaderTest, Registration) {
    destroyFontRegistry();
    createFontRegistry();
    EXPECT_TRUE(registerType1Loaders(testing::testFontsFolder()));
    FontRegistry& registry = *fontRegistry();
    EXPECT_EQ(registry.loaderEntry(fontwords::Type1).priority, -100);
    EXPECT_EQ(registry.loaderEntry(fontwords::Type1).loader, &loadType1Font);
    EXPECT_EQ(registry.loaderEntry(fontwords::Type1CID).priority, -200);
    EXPECT_TRUE(registry.hasFactory(fontwords::Type1, fontwords::Standard));
    EXPECT_FALSE(registerType1Loaders(testing::testFontsFolder()));
    ASSERT_NE(fontDatabase(), nullptr);
    EXPECT_NE(fontDatabase()->fonts(), nullptr);
    testing::freshEngineRegistry();
}

// After the start-up "Type1CID" stands in the loader table at -200, ahead of
// "Type1", and a page with Type 0 and CID-keyed fonts (one with a CID-keyed
// program) among others never gets a font from it: every font is made, none
// by the loader standing there, which also gives none for the description
// of any of them.
TEST(Type1LoaderTest, PagesWithCidFontsNeverGetAFontFromTheCidLoader) {
    testing::freshEngineRegistry();
    FontRegistry& registry = *fontRegistry();
    EXPECT_EQ(registry.loaderEntry(fontwords::Type1CID).loader, &loadCidFont);
    EXPECT_EQ(registry.loaderEntry(fontwords::Type1CID).priority, -200);

    // In its place, a loader that counts the fonts the CID loader makes.
    static int madeByCidLoader;
    madeByCidLoader = 0;
    ASSERT_TRUE(registry.unregisterLoader(fontwords::Type1CID));
    ASSERT_TRUE(registry.registerLoader(
        fontwords::Type1CID,
        [](FontDescription& description, OutputDevice* device) {
            std::unique_ptr<FontRenderer> font = loadCidFont(description, device);
            madeByCidLoader += font ? 1 : 0;
            return font;
        },
        -200));

    const std::string descriptor =
        "/Type /FontDescriptor /Flags 4 /Ascent 800 /CapHeight 700 /Descent -200 "
        "/ItalicAngle 0 /StemV 80";
    test::TestDocument doc(
        "/Resources << /Font << /T0 4 0 R /C2 5 0 R /C0 7 0 R /T1 10 0 R /TT 11 0 R >> >>",
        {std::string("<< /Type /Font /Subtype /Type0 /BaseFont /MS-Mincho /Encoding ") +
             "/Identity-H /DescendantFonts [5 0 R] >>",
         "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /MS-Mincho /FontDescriptor 6 0 R >>",
         "<< " + descriptor + " /FontName /MS-Mincho >>",
         "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /KozMin /FontDescriptor 8 0 R >>",
         "<< " + descriptor + " /FontName /KozMin /FontFile3 9 0 R >>",
         test::streamObject("/Subtype /CIDFontType0C", "cid program"),
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
         "<< /Type /Font /Subtype /TrueType /BaseFont /Arial >>"});
    test::Session session;
    session.in.setResources(doc.page()->resources());
    for (const char* name : {"T0", "C2", "C0", "T1", "TT"}) {
        SCOPED_TRACE(name);
        session.run(std::string("BT /") + name + " 12 Tf <0041> Tj ET");
        const TextState* text = session.in.textState();
        ASSERT_TRUE(text && text->font);
        const LiveFont* live = registry.liveFont(*text->font);
        ASSERT_TRUE(live && live->font && live->description);
        EXPECT_EQ(loadCidFont(*live->description, nullptr), nullptr);
    }
    EXPECT_EQ(madeByCidLoader, 0);
    testing::freshEngineRegistry();
}

// Which source the loader draws from by "UseEmbeddedT1" and "UseOwnT1"
// (missing: on and off): the embedded program when it may be used (a
// program that cannot be read gives no font, not the own one), else the
// own font when "UseOwnT1" is on. A Type 1 program marked compact is read
// as a compact one, which it is not: no font.
TEST(Type1LoaderTest, SettingsChooseTheSource) {
    testing::Type1Program program;
    program.glyphs = {{"A", "0 500 hsbw 0 0 rmoveto 100 0 rlineto 0 100 rlineto closepath endchar"}};
    const std::string good = program.plain();
    const std::string broken = "/FontMatrix";
    enum Program { kNone, kGood, kBroken, kCompact };
    const struct {
        int embeddedSetting, ownSetting;  // -1 missing, 0 off, 1 on
        Program program;
        const char* result;
    } cases[] = {
        {-1, -1, kNone, "none"},
        {-1, 1, kNone, "T1: Helvetica-Bold"},
        {0, 0, kNone, "none"},
        {0, -1, kGood, "none"},
        {0, 1, kGood, "T1: Helvetica-Bold"},
        {1, 1, kGood, "T1: helvetica-bold"},
        {1, 0, kGood, "T1: helvetica-bold"},
        {-1, -1, kGood, "T1: helvetica-bold"},
        {-1, 1, kBroken, "none"},
        {-1, -1, kCompact, "none"},
        {-1, 1, kCompact, "none"},
    };
    for (const auto& c : cases) {
        SettingGuard embedded(settings::FontSystem, settings::UseEmbeddedT1);
        SettingGuard own(settings::FontSystem, settings::UseOwnT1);
        if (c.embeddedSetting >= 0)
            embedded.set(SettingValue::ofBoolean(c.embeddedSetting == 1));
        if (c.ownSetting >= 0)
            own.set(SettingValue::ofBoolean(c.ownSetting == 1));
        const std::string& bytes = c.program == kBroken ? broken : good;
        MemoryInputStream stream(bytes.data(), bytes.size());
        Ref<Type1FontDescription> d = type1(u"helvetica-bold");
        if (c.program != kNone)
            d->setProgram(&stream, c.program == kCompact);
        EXPECT_EQ(loaded(*d), c.result)
            << c.embeddedSetting << " " << c.ownSetting << " " << c.program;
    }
}

// Only Type 1 descriptions are loaded; a font the database gives nothing
// for is not usable and the loader answers none; the own font takes the
// decorations its key name asks for.
TEST(Type1LoaderTest, OwnFontsAndTheirDescriptions) {
    SettingGuard own(settings::FontSystem, settings::UseOwnT1);
    own.set(SettingValue::ofBoolean(true));
    TrueTypeFontDescription trueType;
    trueType.name().assign(WString(u"helvetica"));
    EXPECT_EQ(loaded(trueType), "none");

    Ref<Type1FontDescription> underlined = type1(u"arialunderline");
    std::unique_ptr<FontRenderer> font = loadType1Font(*underlined, nullptr);
    ASSERT_TRUE(font);
    auto* outline = dynamic_cast<OwnOutlineFont*>(font.get());
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->decorations(), CachedGlyphRenderer::kUnderline);
    EXPECT_EQ(outline->descriptionText().toLatin1(), "T1: Helvetica");

    destroyFontDatabase();
    createFontDatabase();
    EXPECT_EQ(loaded(*underlined), "none");
    fontDatabase()->loadFiles(testing::testFontsFolder());
    EXPECT_EQ(loaded(*underlined), "T1: Helvetica");
}

// A document's standard font that is not embedded comes from the own font
// through the registry as "Tf" asks for it; with own fonts off the TrueType
// loader stands in with a system face.
TEST(Type1LoaderTest, DocumentFontThroughTheRegistry) {
    SettingGuard own(settings::FontSystem, settings::UseOwnT1);
    SettingGuard cache(settings::FontSystem, settings::UseTTCache);
    testing::freshEngineRegistry();
    testing::FontTestDocument doc({"<< /Type /Font /Subtype /Type1 /BaseFont /Times-Italic >>"});
    PdfObject* dict = doc.object(1);
    for (bool on : {true, false}) {
        own.set(SettingValue::ofBoolean(on));
        const Ref<FontHandle> handle = fontRegistry()->createFont(
            fontwords::Type1, fontwords::PDF, FontSource(dict), nullptr, false);
        ASSERT_TRUE(handle);
        WString text;
        handle->font()->description(text);
        EXPECT_EQ(text.toLatin1(), on ? "T1: Times-Italic" : "TrueType: Liberation Serif Italic ");
    }
    testing::freshEngineRegistry();
}

// The standard factory: the face with the style words and one weight word
// (400 and unknown weights none), the request's name as encoding name, its
// differences copied; a source that is no request gives none.
TEST(Type1LoaderTest, StandardDescriptions) {
    const struct {
        std::int32_t weight;
        bool italic, underline, strikeout;
        const char* key;
    } cases[] = {
        {100, false, false, false, "Facethin"},
        {200, false, false, false, "Faceextralight"},
        {300, false, false, false, "Facelight"},
        {400, false, false, false, "Face"},
        {500, false, false, false, "Facemedium"},
        {600, false, false, false, "Facesemibold"},
        {700, true, false, false, "Faceitalicbold"},
        {800, false, false, false, "Faceextrabold"},
        {900, false, true, true, "Faceunderlinestrikeoutheavy"},
        {650, true, true, false, "Faceitalicunderline"},
    };
    for (const auto& c : cases) {
        Ref<StandardFontRequest> request = makeRef<StandardFontRequest>();
        request->name.assign(WString(u"WinAnsiEncoding"));
        request->faces.assign(WString(u"Face"));
        request->weight = c.weight;
        request->italic = c.italic;
        request->underline = c.underline;
        request->strikeout = c.strikeout;
        request->differences = std::make_unique<Differences>();
        request->differences->add(65, WString(u"/B"));
        WString outName;
        Ref<FontDescription> made = makeStandardType1FontEntry(FontSource(request.get()), outName);
        ASSERT_TRUE(made);
        auto* d = dynamic_cast<Type1FontDescription*>(made.get());
        ASSERT_TRUE(d);
        EXPECT_EQ(d->name().toLatin1(), c.key);
        EXPECT_EQ(d->encodingName().toLatin1(), "WinAnsiEncoding");
        ASSERT_TRUE(d->differences());
        EXPECT_TRUE(d->differences()->equals(*request->differences));
        EXPECT_NE(d->differences(), request->differences.get());
        EXPECT_EQ(d->program(), nullptr);
        EXPECT_EQ(outName.toLatin1(), "Standard: Face");
    }
    WString outName;
    Ref<Type1FontDescription> notARequest = type1(u"x");
    EXPECT_FALSE(makeStandardType1FontEntry(FontSource(notARequest.get()), outName));
}

// The fonts folder is beside the loaded file that holds the engine's code
// (here the test program).
TEST(Type1LoaderTest, FontsFolderBesideTheEngine) {
    const WString folder = moduleFolder(reinterpret_cast<const void*>(&loadType1Font));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.at(0), u'/');
    EXPECT_EQ(folder.at(folder.size() - 1), u'/');
    EXPECT_TRUE(testing::fileExists(folder.toUtf8() + "vistrel_font_tests"));
    EXPECT_EQ(engineFontsFolder().toUtf8(), folder.toUtf8() + "fonts/");
    EXPECT_TRUE(moduleFolder(nullptr).empty());
}

}  // namespace
}  // namespace vistrel
