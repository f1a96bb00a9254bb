#include "engine/font/differences.h"

#include "engine/object/pdf_object.h"

namespace vistrel {

Differences::Differences(const PdfArray& array) {
    // 64 bits: a code taken from a number near the top of the 32-bit range
    // can still be raised by every further name.
    int64_t code = 0;
    for (int32_t i = 0; i < array.count() && count() < kMaxPairs; ++i) {
        PdfObject* element = array.at(i) ? array.at(i)->direct() : nullptr;
        if (element && element->kind() == kKindNumber) {
            code = static_cast<PdfNumber*>(element)->intValue();
            continue;
        }
        if (element && element->kind() == kKindName)
            add(code, static_cast<PdfName*>(element)->textValue());
        ++code;
    }
}

bool Differences::add(int64_t code, const WString& name) {
    if (count() >= kMaxPairs || code < 0 || code > 255)
        return false;
    pairs_.push_back(Pair{int32_t(code), name});
    return true;
}

bool Differences::equals(const Differences& other) const {
    if (other.count() != count())
        return false;
    for (size_t i = 0; i < pairs_.size(); ++i) {
        if (pairs_[i].code != other.pairs_[i].code ||
            !wideStringEquals(pairs_[i].name, other.pairs_[i].name)) {
            return false;
        }
    }
    return true;
}

bool sameDifferences(const Differences* a, const Differences* b) {
    if (!a || !b)
        return !a && !b;
    return a->equals(*b);
}

}  // namespace vistrel
