// The colour layer's test program starts as the engine does: the document's
// parser makes typed objects, functions among them.
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"
#include "engine/render/function/pdf_function.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vistrel::installDocumentFactories();
    vistrel::installFunctionFactory();
    return RUN_ALL_TESTS();
}
