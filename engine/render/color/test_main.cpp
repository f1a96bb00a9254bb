// The colour layer's test program starts as the engine does: the document's
// parser makes typed objects.
#include <gtest/gtest.h>

#include "engine/doc/typed_objects.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vistrel::installDocumentFactories();
    return RUN_ALL_TESTS();
}
