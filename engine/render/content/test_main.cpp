// The content layer's test program starts as the engine does: the document's
// parser makes typed objects and images, output devices make RasterImages,
// and the operator state maps are filled (the font layer's start-up step does
// that in the engine).
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/operator_tables.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vistrel::installDocumentFactories();
    vistrel::installImageFactories();
    vistrel::fillOperatorStateMaps();
    return RUN_ALL_TESTS();
}
