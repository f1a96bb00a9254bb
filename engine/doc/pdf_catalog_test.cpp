#include "engine/doc/pdf_catalog.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/core/streams.h"
#include "engine/doc/key_path.h"
#include "engine/parser/pdf_document.h"
#include "tests/support/pdf_file_text.h"

namespace vistrel {
namespace {

// Objects that refer to themselves, directly or through each other, hold
// themselves through their resolved references; closing the catalog lets go
// of them, so that only their last outside holder keeps them.
TEST(PdfCatalogTest, ClosingLetsGoOfObjectsThatReferToThemselves) {
    const std::string pdf = testing::pdfFileFromObjects(
        {"<< /Type /Catalog /Pages 2 0 R /LumbraData 3 0 R >>",
         "<< /Type /Pages /Kids [] /Count 0 >>", "<< /Self 4 0 R /Pair 5 0 R >>", "<< /Me 4 0 R >>",
         "<< /Other 6 0 R >>", "<< /Back 5 0 R >>"});
    MemoryInputStream stream(pdf.data(), pdf.size());
    PdfDocument document(&stream, true);
    Ref<PdfDict> self, pair;
    {
        PdfCatalog catalog(&document);
        PdfDict* holder = document.privateData();
        ASSERT_TRUE(holder);
        self = Ref<PdfDict>::share(asDict(holder->get(*keyName(WString(u"Self")))));
        pair = Ref<PdfDict>::share(asDict(holder->get(*keyName(WString(u"Pair")))));
        ASSERT_TRUE(self && pair);
        ASSERT_TRUE(self->get(*keyName(WString(u"Me")))->direct());
        PdfDict* other = asDict(pair->get(*keyName(WString(u"Other"))));
        ASSERT_TRUE(other && other->get(*keyName(WString(u"Back")))->direct());
    }
    EXPECT_EQ(self->refCount(), 1);
    EXPECT_EQ(pair->refCount(), 1);
}

}  // namespace
}  // namespace vistrel
