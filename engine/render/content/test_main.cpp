// The content layer's test program starts as the engine does: the document's
// parser makes typed objects, and the start-up step fills the operator state
// maps (its answer is kept for the test of the step itself).
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/registration.h"

namespace vistrel::test {
bool firstRegistration = false;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vistrel::installDocumentFactories();
    vistrel::installImageFactories();
    vistrel::test::firstRegistration = vistrel::registerPdfFontFactories();
    return RUN_ALL_TESTS();
}
