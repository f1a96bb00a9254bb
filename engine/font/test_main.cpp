// The font layer's test program starts as the engine does: the document's
// parser makes typed objects, font dictionaries and descriptors among them,
// and images; output devices make RasterImages; the font layer's static
// objects exist; the Type 1 loaders (over the fonts
// folder the build writes), the TrueType loader and the PDF font factories
// are registered (the answer of the latter is kept for the test of the step
// itself).
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"
#include "engine/font/font_registry.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/font/pdf_font_registration.h"
#include "engine/font/truetype_loader.h"
#include "engine/font/type1_loader.h"
#include "engine/render/content/image_drawing.h"
#include "tests/support/pinned_fonts.h"

namespace vistrel::testing {
bool firstRegistration = false;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    usePinnedFonts();
    vistrel::installDocumentFactories();
    vistrel::installFontDictionaryFactories();
    vistrel::installImageFactories();
    vistrel::fontStaticObjects().buildAll();
    vistrel::registerType1Loaders(vistrel::WString::fromUtf8(VISTREL_FONTS_DIR));
    vistrel::registerTrueTypeLoader();
    vistrel::testing::firstRegistration = vistrel::registerPdfFontFactories();
    return RUN_ALL_TESTS();
}
