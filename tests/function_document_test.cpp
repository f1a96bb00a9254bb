// Functions as the document hands them out: typed objects made while the
// document's parser reads dictionaries and streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/render/function/pdf_function.h"

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using testing::corpusFile;

std::vector<double> evaluate(PdfFunction& f, const std::vector<double>& in, bool& ok) {
    DoubleArray inputs;
    for (double v : in)
        inputs.append(v);
    DoubleArray outputs;
    ok = f.evaluate(inputs, outputs);
    return std::vector<double>(outputs.begin(), outputs.end());
}

// A DeviceN space of nine colorants over DeviceCMYK: its tint transform has
// nine inputs and four outputs, and the shading's function one input and
// nine outputs; both are calculator functions.
TEST(FunctionDocumentTest, CalculatorFunctionsOfARealFile) {
    std::string path = corpusFile("postscript_type4_many_outputs.pdf");
    if (path.empty())
        GTEST_SKIP() << "corpus file absent";
    FileInputStream file(WideFromUtf8(path), 4096);
    auto doc = std::make_unique<PdfDocument>(&file, false);
    ASSERT_TRUE(doc->isValid());
    std::vector<Ref<PdfRef>> refs;
    PdfFunction* spread = nullptr;  // 1 -> 9
    PdfFunction* tint = nullptr;    // 9 -> 4
    for (int32_t n = 1; n < 20; ++n) {
        refs.push_back(makeRef<PdfRef>(doc.get(), n, 0));
        PdfFunction* f = asFunction(refs.back().get());
        if (!f)
            continue;
        EXPECT_EQ(f->functionType(), 4);
        if (f->inputCount == 1 && f->outputCount == 9)
            spread = f;
        if (f->inputCount == 9 && f->outputCount == 4)
            tint = f;
    }
    ASSERT_TRUE(spread);
    ASSERT_TRUE(tint);
    bool ok = false;
    EXPECT_EQ(evaluate(*spread, {0.3}, ok), std::vector<double>(9, 0.3));
    EXPECT_TRUE(ok);
    EXPECT_EQ(evaluate(*tint, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}, ok),
              (std::vector<double>{0.1, 0, 0, 0}));
    EXPECT_TRUE(ok);
    refs.clear();
    doc.reset();
}

}  // namespace
}  // namespace vistrel
