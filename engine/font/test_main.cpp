// The font layer's test program starts as the engine does: the document's
// parser makes typed objects, font dictionaries and descriptors among them,
// and the built-in encoding tables and the glyph cache exist.
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"
#include "engine/font/encoding_table.h"
#include "engine/font/glyph_cache.h"
#include "engine/font/pdf_font_factories.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vistrel::installDocumentFactories();
    vistrel::installFontDictionaryFactories();
    vistrel::buildEncodingTables();
    vistrel::createGlyphCache();
    const int result = RUN_ALL_TESTS();
    vistrel::destroyGlyphCache();
    vistrel::destroyEncodingTables();
    return result;
}
