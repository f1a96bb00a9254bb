// Small builders of PDF objects for the function tests.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/object/pdf_object.h"
#include "engine/render/function/pdf_function.h"

namespace vistrel::fixtures {

inline ObjectRef num(double v) {
    if (v == double(int32_t(v)))
        return makeRef<PdfNumber>(int32_t(v));
    return makeRef<PdfNumber>(v);
}

inline ObjectRef name(const std::u16string& text) {
    return makeRef<PdfName>(WString(text.c_str()));
}

inline Ref<PdfArray> array(std::initializer_list<double> values) {
    Ref<PdfArray> a = makeRef<PdfArray>();
    for (double v : values)
        a->append(num(v));
    return a;
}

inline Ref<PdfArray> arrayOf(std::initializer_list<ObjectRef> values) {
    Ref<PdfArray> a = makeRef<PdfArray>();
    for (const ObjectRef& v : values)
        a->append(v);
    return a;
}

// A dictionary from (key without its solidus, value) pairs.
inline Ref<PdfDict> dict(std::initializer_list<std::pair<const char16_t*, ObjectRef>> entries) {
    Ref<PdfDict> d = makeRef<PdfDict>();
    for (const auto& e : entries)
        d->put(name(std::u16string(u"/") + e.first), e.second);
    return d;
}

// Evaluates f and answers the outputs; `ok` tells whether it succeeded.
inline std::vector<double> run(const PdfFunction& f, std::initializer_list<double> in, bool& ok) {
    DoubleArray inputs;
    for (double v : in)
        inputs.append(v);
    DoubleArray outputs;
    ok = f.evaluate(inputs, outputs);
    return std::vector<double>(outputs.begin(), outputs.end());
}

}  // namespace vistrel::fixtures
