// Helpers of the colour-space tests: objects parsed by a small document, so
// that references and streams resolve, and arrays of numbers.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/containers.h"
#include "engine/core/streams.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/parser/pdf_document.h"
#include "engine/render/color/make_color_space.h"

#include "tests/support/pdf_file_text.h"

namespace vistrel {

// Objects parsed by a document, so that references resolve: object 1 is a
// placeholder catalog, the given bodies are objects 2, 3, ... The trailer
// lists them all; the catalog lets go of the objects (cycles included) when
// it closes.
class Objects {
public:
    explicit Objects(const std::vector<std::string>& bodies) {
        std::vector<std::string> all = {"<< /Type /Catalog >>"};
        all.insert(all.end(), bodies.begin(), bodies.end());
        bytes_ = testing::pdfFileListingObjects(all);
        input_ = std::make_unique<MemoryInputStream>(bytes_.data(), bytes_.size());
        doc_ = std::make_unique<PdfDocument>(input_.get(), false);
        catalog_ = std::make_unique<PdfCatalog>(doc_.get());
    }
    ~Objects() {
        catalog_.reset();
        doc_.reset();
    }
    // The trailer's reference to object `number` (not resolved).
    PdfObject* ref(int32_t number) {
        static const Ref<PdfName> kObjects = makeRef<PdfName>(WString(u"/Objects"));
        PdfArray* objects = asArray(doc_->trailer()->get(*kObjects));
        return objects ? objects->get(number - 1) : nullptr;
    }

private:
    std::string bytes_;
    std::unique_ptr<MemoryInputStream> input_;
    std::unique_ptr<PdfDocument> doc_;
    std::unique_ptr<PdfCatalog> catalog_;
};

inline DoubleArray values(std::initializer_list<double> list) {
    DoubleArray a;
    for (double v : list)
        a.append(v);
    return a;
}

inline std::vector<double> toVector(const DoubleArray& a) {
    return std::vector<double>(a.begin(), a.end());
}

// The space an operand makes: object 2 is an array holding the operand, the
// other bodies are objects 3, 4, ... The space is given up before the
// document.
struct ParsedSpace {
    explicit ParsedSpace(const std::string& operand, const std::vector<std::string>& others = {})
        : objects(withOperand(operand, others)),
          space(makeColorSpace(asArray(objects.ref(2)) ? asArray(objects.ref(2))->at(0) : nullptr)) {}

    static std::vector<std::string> withOperand(const std::string& operand,
                                                const std::vector<std::string>& others) {
        std::vector<std::string> bodies = {"[" + operand + "]"};
        bodies.insert(bodies.end(), others.begin(), others.end());
        return bodies;
    }

    ColorSpace* operator->() const { return space.get(); }

    Objects objects;
    Ref<ColorSpace> space;
};

}  // namespace vistrel
