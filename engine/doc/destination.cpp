#include "engine/doc/destination.h"

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {

Destination::Destination(const PdfArray& source) : PdfArray(source) {
    setValid(false);
    if (count() >= 2 && asRef(at(0))) {
        page_ = at(0);
        page_->addRef();
        setValid(true);
    }
}

Destination::Destination(PdfObject* pageRef) : page_(pageRef) {
    if (page_)
        page_->addRef();
    setValid(page_ != nullptr);
}

Destination::~Destination() {
    releaseRef(page_);
}

uint16_t Destination::classKind() const {
    return kClassDestination;
}

WString Destination::typeName() const {
    WString result(u"{Destination ");
    if (page_)
        result.append(page_->typeName());
    result.appendText(u" }");
    return result;
}

void Destination::readParameters(double* const* fields, int32_t n, int32_t length,
                                 bool nullsAllowed) {
    if (!valid())
        return;
    setValid(false);
    if (nullsAllowed ? count() < length : count() != length)
        return;
    for (int32_t i = 0; i < n; ++i) {
        PdfObject* element = at(2 + i);
        if (element && element->kind() == kKindNumber) {
            *fields[i] = static_cast<PdfNumber*>(element)->realValue();
        } else if (nullsAllowed && element && element->kind() == kKindNull) {
            *fields[i] = kUnsetCoordinate;
        } else {
            return;
        }
    }
    setValid(true);
}

XYZDestination::XYZDestination(const PdfArray& source) : Destination(source) {
    double* const fields[] = {&left_, &top_, &zoom_};
    readParameters(fields, 3, 5, true);
    if (zoom_ == 0)
        zoom_ = kUnsetCoordinate;
}

XYZDestination::XYZDestination(PdfObject* pageRef) : Destination(pageRef) {}

FitHDestination::FitHDestination(const PdfArray& source) : Destination(source) {
    double* const fields[] = {&top_};
    readParameters(fields, 1, 3, false);
}

FitVDestination::FitVDestination(const PdfArray& source) : Destination(source) {
    double* const fields[] = {&left_};
    readParameters(fields, 1, 3, false);
}

FitRDestination::FitRDestination(const PdfArray& source) : Destination(source) {
    double* const fields[] = {&left_, &bottom_, &right_, &top_};
    readParameters(fields, 4, 6, false);
}

FitBHDestination::FitBHDestination(const PdfArray& source) : Destination(source) {
    double* const fields[] = {&top_};
    readParameters(fields, 1, 3, false);
}

FitBVDestination::FitBVDestination(const PdfArray& source) : Destination(source) {
    double* const fields[] = {&left_};
    readParameters(fields, 1, 3, false);
}

const char16_t* fitTypeName(uint16_t fitType) {
    static const char16_t* const kNames[] = {u"/XYZ",  u"/Fit",  u"/FitH",  u"/FitV",
                                             u"/FitR", u"/FitB", u"/FitBH", u"/FitBV"};
    return fitType < 8 ? kNames[fitType] : u"";
}

namespace {

template <class T>
Ref<Destination> make(const PdfArray& array) {
    return Ref<Destination>::adopt(new T(array));
}

// An explicit destination array: a page reference, a fit name and exactly the
// fit's parameters.
Ref<Destination> parseArray(PdfArray* array) {
    if (array->count() < 2 || !asRef(array->at(0)))
        return {};
    PdfObject* fit = array->at(1);
    if (!fit || fit->kind() != kKindName)
        return {};
    struct FitEntry {
        const NameConstant& name;
        int32_t length;
        Ref<Destination> (*build)(const PdfArray&);
    };
    const FitEntry fits[] = {
        {names::Fit, 2, make<FitDestination>},     {names::FitB, 2, make<FitBDestination>},
        {names::FitH, 3, make<FitHDestination>},   {names::FitV, 3, make<FitVDestination>},
        {names::FitBV, 3, make<FitBVDestination>}, {names::FitBH, 3, make<FitBHDestination>},
        {names::FitR, 6, make<FitRDestination>},   {names::XYZ, 5, make<XYZDestination>},
    };
    for (const FitEntry& entry : fits) {
        if (entry.name.equals(fit))
            return array->count() == entry.length ? entry.build(*array) : Ref<Destination>();
    }
    return {};
}

bool isPage(PdfObject* object) {
    if (object->classKind() == kClassPage)
        return true;
    // A page dictionary the typed-object factory did not turn into a page.
    if (object->kind() != kKindDict)
        return false;
    PdfObject* type = static_cast<PdfDict*>(object)->get(names::Type);
    return type && names::Page.equals(type->direct());
}

// The value stored for a named destination: /Dests first, then the name tree.
PdfObject* lookupName(PdfObject* key, PdfDict* dests, PdfDict* namesDict) {
    if (dests) {
        if (PdfObject* value = dests->get(*key))
            return value;
    }
    if (!namesDict)
        return nullptr;
    PdfDict* tree = asDict(namesDict->get(names::Dests));
    if (!tree)
        return nullptr;
    const WString& text = static_cast<PdfString*>(key)->textValue();
    // Name-tree keys are strings; a name key is compared without its solidus.
    if (key->kind() == kKindName && text.size() > 0 && text.at(0) == u'/')
        return lookupNameTreeValue(tree, text.substr(1, text.size() - 1));
    return lookupNameTreeValue(tree, text);
}

}  // namespace

Ref<Destination> readDestination(PdfObject* object, PdfDict* dests, PdfDict* namesDict) {
    PdfObject* x = object;
    for (int hop = 0; hop <= kMaxDestinationHops && x; ++hop) {
        PdfObject* d = x->direct();
        if (!d)
            return {};
        const uint16_t kind = d->kind();
        if (kind == kKindArray)
            return parseArray(static_cast<PdfArray*>(d));
        if (kind != kKindString && kind != kKindName)
            return {};

        PdfObject* value = lookupName(d, dests, namesDict);
        if (!value)
            return {};
        PdfObject* target = value->direct();
        if (!target)
            return {};
        if (isPage(target)) {
            if (!asRef(value))
                return {};
            return Ref<Destination>::adopt(new XYZDestination(value));
        }
        if (target->kind() == kKindDict)
            x = static_cast<PdfDict*>(target)->get(names::D);
        else if (target->kind() == kKindArray)
            x = target;
        else
            return {};
    }
    return {};
}

}  // namespace vistrel
