// Font dictionaries read from document data: the input is a list of object
// bodies separated by lines holding "%%" (object n is the n-th body), written
// into a small PDF file whose trailer lists them all under /Objects. Every
// object is fetched through the document, which types font dictionaries and
// descriptors; each font dictionary then goes through the description
// factories and the descriptions are compared. A catalog is open meanwhile,
// as in the engine, and lets go of the object graph (cycles included) when
// it closes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/font_descriptor.h"
#include "engine/font/font_dict.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "tests/support/pdf_file_text.h"

using namespace vistrel;

namespace {

constexpr size_t kMaxObjects = 64;

void readProgram(FontDescriptorDict& descriptor) {
    FontProgram* program = descriptor.program();
    if (!program || !program->stream()->open())
        return;
    char buffer[256];
    for (int i = 0; i < 16 && program->stream()->read(buffer, sizeof buffer) > 0; ++i) {
    }
    program->stream()->close();
}

void describe(FontDict& font, std::vector<Ref<FontDescription>>& made) {
    const FontFactory factories[] = {createType1Font, createTrueTypeFont};
    for (FontFactory factory : factories) {
        WString outName;
        if (Ref<FontDescription> d = factory(FontSource(&font), outName))
            made.push_back(d);
    }
    WString outName;
    if (font.fontKind() == FontDict::kType3) {
        auto source = makeRef<Type3FontDescription>(static_cast<Type3FontDict*>(&font), nullptr);
        if (Ref<FontDescription> d = createType3Font(FontSource(source.get()), outName))
            made.push_back(d);
    }
    FontEncodingChoice encoding = readFontEncoding(font);
    fontKindPrefix(font, outName);
    (void)font.requestKind();
    (void)hasEmbeddedProgram(font);
    if (FontDescriptorDict* descriptor = fontDescriptorOf(font))
        readProgram(*descriptor);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool installed = [] {
        installDocumentFactories();
        installFontDictionaryFactories();
        return true;
    }();
    (void)installed;

    const std::string file =
        testing::pdfFileListingObjects(testing::splitObjectBodies(data, size, kMaxObjects));
    MemoryInputStream stream(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    PdfDocument document(&stream, true);
    static const Ref<PdfName> kObjects = makeRef<PdfName>(WString(u"/Objects"));
    PdfArray* objects = document.trailer() ? asArray(document.trailer()->get(*kObjects)) : nullptr;
    if (!objects)
        return 0;
    std::vector<Ref<FontDescription>> made;
    {
        PdfCatalog catalog(&document);
        for (int32_t i = 0; i < objects->count(); ++i) {
            PdfObject* object = objects->at(i) ? objects->at(i)->direct() : nullptr;
            if (FontDict* font = asFontDict(object))
                describe(*font, made);
            else if (FontDescriptorDict* descriptor = asFontDescriptor(object))
                readProgram(*descriptor);
        }
        for (const auto& a : made) {
            for (const auto& b : made)
                (void)a->equals(b.get());
        }
        made.clear();
    }
    return 0;
}
