// The engine start-up step of PDF fonts, and the TrueType loader
// registration that comes before it.
#include "engine/font/pdf_font_registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/font/font_dict.h"
#include "engine/font/font_registry.h"
#include "engine/font/font_test_util.h"
#include "engine/font/truetype_loader.h"
#include "engine/font/type3_font.h"
#include "engine/render/content/operator_tables.h"

namespace vistrel::testing {
extern bool firstRegistration;
}

namespace vistrel {
namespace {

std::vector<std::string> calls;

Ref<FontDescription> hostFactory(const FontSource&, WString&) {
    calls.push_back("host factory");
    return nullptr;
}

std::unique_ptr<FontRenderer> kindLoader(FontDescription& description, OutputDevice*) {
    calls.push_back("loader of kind " + std::to_string(description.kind()));
    return nullptr;
}

std::int32_t loaderCount(FontRegistry& registry) {
    std::int32_t n = 0;
    for (bool on = registry.firstLoader(); on; on = registry.nextLoader())
        ++n;
    return n;
}

// The first call registered; a later one answers false and changes nothing,
// even in a registry that has lost everything.
TEST(PdfFontRegistrationTest, RegistersOncePerProcess) {
    EXPECT_TRUE(testing::firstRegistration);
    destroyFontRegistry();
    createFontRegistry();
    EXPECT_FALSE(registerPdfFontFactories());
    EXPECT_EQ(loaderCount(*fontRegistry()), 0);
    EXPECT_FALSE(fontRegistry()->hasFactory(fontwords::Type3, fontwords::PDF));
    EXPECT_EQ(fullOperatorStateMap().find(kStateText), &textOperatorTable());
    EXPECT_EQ(reducedOperatorStateMap().find(kStateText), nullptr);
    testing::freshEngineRegistry();
}

// The Type 3 loader last by priority and the three PDF factories; a
// ("TrueType", "PDF") factory already there is kept. Registering again
// changes nothing.
TEST(PdfFontRegistrationTest, FactoriesAndTheType3Loader) {
    testing::FontTestDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /Arial >>"});
    for (bool hostFirst : {false, true}) {
        SCOPED_TRACE(hostFirst ? "a factory there before" : "an empty registry");
        FontRegistry registry;
        if (hostFirst)
            registry.registerFactory(fontwords::TrueType, fontwords::PDF, hostFactory);
        registry.registerLoader(fontwords::TrueType, kindLoader, 1000);
        addPdfFontFactories(registry);
        addPdfFontFactories(registry);
        EXPECT_EQ(loaderCount(registry), 2);
        const FontLoaderEntry type3 = registry.loaderEntry(fontwords::Type3);
        EXPECT_EQ(type3.loader, loadType3Font);
        EXPECT_EQ(type3.priority, 100000);
        EXPECT_TRUE(registry.hasFactory(fontwords::Type3, fontwords::PDF));
        EXPECT_TRUE(registry.hasFactory(fontwords::Type1, fontwords::PDF));

        calls.clear();
        EXPECT_FALSE(registry.createFont(fontwords::TrueType, fontwords::PDF,
                                         FontSource(doc.object(1)), nullptr, true));
        // The TrueType factory makes a TrueType description (kind 0) for the
        // loader; the Type 3 factory reads no font dictionary.
        const std::vector<std::string> expected =
            hostFirst ? std::vector<std::string>{"host factory", "host factory"}
                      : std::vector<std::string>{"loader of kind 0", "loader of kind 0"};
        EXPECT_EQ(calls, expected);
    }
}

// Twice: one "TrueType" loader at 1000 and one ("TrueType", "Standard")
// factory; neither makes anything yet.
TEST(PdfFontRegistrationTest, TrueTypeLoaderRegistration) {
    destroyFontRegistry();
    createFontRegistry();
    FontRegistry& registry = *fontRegistry();
    EXPECT_TRUE(registerTrueTypeLoader());
    EXPECT_TRUE(registerTrueTypeLoader());
    EXPECT_EQ(loaderCount(registry), 1);
    const FontLoaderEntry entry = registry.loaderEntry(fontwords::TrueType);
    EXPECT_EQ(entry.loader, loadTrueTypeFont);
    EXPECT_EQ(entry.priority, 1000);
    EXPECT_TRUE(registry.hasFactory(fontwords::TrueType, fontwords::Standard));
    EXPECT_FALSE(registry.hasFactory(fontwords::TrueType, fontwords::PDF));
    WString key;
    EXPECT_FALSE(makeStandardTrueTypeDescription(FontSource(), key));
    testing::freshEngineRegistry();
}

}  // namespace
}  // namespace vistrel
