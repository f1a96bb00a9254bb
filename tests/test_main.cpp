// The integration test programs start as the engine does: the document's
// parser makes typed objects (and functions, in the programs that test them).
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"
#ifdef VISTREL_TEST_FUNCTIONS
#include "engine/render/function/pdf_function.h"
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vistrel::installDocumentFactories();
#ifdef VISTREL_TEST_FUNCTIONS
    vistrel::installFunctionFactory();
#endif
    return RUN_ALL_TESTS();
}
