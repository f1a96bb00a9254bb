#include "engine/doc/typed_objects.h"

#include <utility>

#include "engine/constants/name_constants.h"
#include "engine/doc/pdf_page.h"
#include "engine/parser/object_parser.h"
#include "engine/parser/pdf_stream.h"

namespace vistrel {

namespace {

FunctionFactory gFunctionFactory = nullptr;
ImageXObjectFactory gImageFactory = nullptr;
FontDictFactory gFontFactory = nullptr;
FontDictFactory gFontDescriptorFactory = nullptr;

// The name an entry holds directly (a reference to a name does not count).
const PdfName* nameEntry(const PdfDict& dict, const PdfObject& key) {
    return nameOf(dict.get(key));
}

bool sameName(const PdfName* name, const NameConstant& constant) {
    return name && constant.equals(name);
}

template <class T, class... Args>
ObjectRef makeTyped(Args&&... args) {
    return ObjectRef::adopt(new T(std::forward<Args>(args)...));
}

// The typed object made from a dictionary: its entries are taken over when
// nothing else holds it (a dictionary just parsed), else copied.
template <class T>
ObjectRef makeTypedFrom(const ObjectRef& object) {
    auto& dict = static_cast<PdfDict&>(*object);
    if (object->refCount() == 1)
        return makeTyped<T>(std::move(dict));
    return makeTyped<T>(static_cast<const PdfDict&>(dict));
}

int32_t annotationCode(const PdfName* subtype) {
    if (sameName(subtype, names::Text))
        return PdfAnnotation::kText;
    if (sameName(subtype, names::Link))
        return PdfAnnotation::kLink;
    if (sameName(subtype, names::FreeText))
        return PdfAnnotation::kFreeText;
    if (sameName(subtype, names::Popup))
        return PdfAnnotation::kPopup;
    return PdfAnnotation::kOther;
}

}  // namespace

// ---------------------------------------------------------------------------

PdfRectangle::PdfRectangle(const PdfArray& source) : PdfArray(source) {}

uint16_t PdfRectangle::classKind() const {
    return kClassRectangle;
}

WString PdfRectangle::typeName() const {
    WString name = PdfArray::typeName();
    name.append(u"{R}");
    return name;
}

PagesNode::PagesNode(const PdfDict& source) : PdfDict(source) {}
PagesNode::PagesNode(PdfDict&& source) : PdfDict(std::move(source)) {}

uint16_t PagesNode::classKind() const {
    return kClassPagesNode;
}

PdfAction::PdfAction(const PdfDict& source, int32_t actionKind)
    : PdfDict(source), actionKind_(actionKind) {}

uint16_t PdfAction::classKind() const {
    return kClassAction;
}

PdfAnnotation::PdfAnnotation(const PdfDict& source, int32_t subtypeCode)
    : PdfDict(source), subtype_(subtypeCode) {}

uint16_t PdfAnnotation::classKind() const {
    return kClassAnnotation;
}

bool PdfAnnotation::openFlag() const {
    if (subtype_ != kText && subtype_ != kPopup)
        return false;
    const PdfObject* open = get(names::Open);
    return open && open->kind() == kKindBoolean && static_cast<const PdfBoolean*>(open)->value();
}

EncodingDict::EncodingDict(const PdfDict& source) : PdfDict(source) {}

uint16_t EncodingDict::classKind() const {
    return kClassEncoding;
}

BorderStyle::BorderStyle(const PdfDict& source) : PdfDict(source) {
    if (const PdfName* s = nameEntry(*this, names::S)) {
        static const struct {
            const NameConstant& name;
            int32_t style;
        } kStyles[] = {
            {names::S, kSolid}, {names::D, kDashed},    {names::B, kBeveled},
            {names::I, kInset}, {names::U, kUnderline},
        };
        for (const auto& entry : kStyles) {
            if (sameName(s, entry.name)) {
                style_ = entry.style;
                break;
            }
        }
    }
    if (const PdfNumber* w = asNumber(get(names::W)))
        width_ = w->intValue();
}

uint16_t BorderStyle::classKind() const {
    return kClassBorderStyle;
}

// ---------------------------------------------------------------------------

void installDocumentFactories() {
    setTypedObjectFactory(createTypedObject);
    setStreamObjectFactory(createStreamObject);
    setRectangleFactory(createRectangle);
}

FunctionFactory setFunctionFactory(FunctionFactory factory) {
    FunctionFactory old = gFunctionFactory;
    gFunctionFactory = factory;
    return old;
}

ImageXObjectFactory setImageXObjectFactory(ImageXObjectFactory factory) {
    ImageXObjectFactory old = gImageFactory;
    gImageFactory = factory;
    return old;
}

FontDictFactory setFontDictFactory(FontDictFactory factory) {
    FontDictFactory old = gFontFactory;
    gFontFactory = factory;
    return old;
}

FontDictFactory setFontDescriptorFactory(FontDictFactory factory) {
    FontDictFactory old = gFontDescriptorFactory;
    gFontDescriptorFactory = factory;
    return old;
}

ObjectRef createTypedObject(ObjectRef object) {
    if (!object || object->kind() != kKindDict || object->classKind() != kClassPlain)
        return object;
    const PdfDict& d = static_cast<const PdfDict&>(*object);

    if (gFunctionFactory) {
        if (ObjectRef function = gFunctionFactory(d, nullptr, nullptr))
            return function;
    }

    const PdfName* type = nameEntry(d, names::Type);
    if (!type)
        return object;

    ObjectRef typed;
    if (sameName(type, names::Page)) {
        typed = makeTypedFrom<PdfPage>(object);
    } else if (sameName(type, names::Pages)) {
        typed = makeTypedFrom<PagesNode>(object);
    } else if (sameName(type, names::Action)) {
        const PdfName* s = nameEntry(d, names::S);
        if (!s)
            return object;
        typed = makeTyped<PdfAction>(
            d, sameName(s, names::GoTo) ? PdfAction::kGoTo : PdfAction::kOther);
    } else if (sameName(type, names::Annot)) {
        const PdfName* subtype = nameEntry(d, names::Subtype);
        if (!subtype)
            return object;
        typed = makeTyped<PdfAnnotation>(d, annotationCode(subtype));
    } else if (sameName(type, names::Font)) {
        if (gFontFactory)
            typed = gFontFactory(d);
    } else if (sameName(type, names::FontDescriptor)) {
        if (gFontDescriptorFactory)
            typed = gFontDescriptorFactory(d);
    } else if (sameName(type, names::Encoding)) {
        typed = makeTyped<EncodingDict>(d);
    } else if (sameName(type, names::Border)) {
        typed = makeTyped<BorderStyle>(d);
    } else {
        return object;
    }
    if (typed && typed->valid())
        return typed;
    return object;
}

ObjectRef createStreamObject(ObjectRef object, InputStream* stream, const uint8_t* fileKey) {
    if (!object || object->kind() != kKindDict || object->classKind() != kClassPlain)
        return object;
    const PdfDict& d = static_cast<const PdfDict&>(*object);

    if (gFunctionFactory) {
        ObjectRef function = gFunctionFactory(d, stream, fileKey);
        if (function && function->valid())
            return function;
    }

    // /Type is optional in an external object's stream: without it /Subtype
    // alone decides.
    const PdfName* type = nameEntry(d, names::Type);
    if (!d.get(names::Type) || sameName(type, names::XObject) || sameName(type, names::Xobject)) {
        const PdfName* subtype = nameEntry(d, names::Subtype);
        ObjectRef xobject;
        if (sameName(subtype, names::Image)) {
            if (gImageFactory)
                xobject = gImageFactory(d, stream, fileKey);
        } else if (sameName(subtype, names::Form)) {
            xobject = makeTyped<FormXObject>(d, stream, fileKey);
        }
        if (xobject && xobject->valid())
            return xobject;
    }

    if (Ref<PdfStream> plain = makePlainStream(d, stream, fileKey))
        return plain;
    return object;
}

ObjectRef createRectangle(ObjectRef object) {
    if (!object || object->kind() != kKindArray || object->classKind() != kClassPlain)
        return object;
    const PdfArray& a = static_cast<const PdfArray&>(*object);
    if (a.count() != 4)
        return object;
    for (int32_t i = 0; i < 4; ++i) {
        if (!a.at(i) || a.at(i)->kind() != kKindNumber)
            return object;
    }
    ObjectRef rectangle = makeTyped<PdfRectangle>(a);
    return rectangle ? rectangle : object;
}

Ref<PdfAction> asAction(PdfObject* object, bool* created) {
    if (created)
        *created = false;
    PdfDict* d = asDict(object);
    if (!d)
        return nullptr;
    if (d->classKind() == kClassAction)
        return Ref<PdfAction>::share(static_cast<PdfAction*>(d));
    if (!d->get(names::S) || !d->get(names::D))
        return nullptr;
    Ref<PdfAction> action = makeRef<PdfAction>(*d, PdfAction::kGoTo);
    if (action && created)
        *created = true;
    return action;
}

PdfAction* asActionObject(PdfObject* object) {
    PdfDict* d = asDict(object);
    return d && d->classKind() == kClassAction ? static_cast<PdfAction*>(d) : nullptr;
}

PdfAnnotation* asAnnotation(PdfObject* object) {
    PdfDict* d = asDict(object);
    return d && d->classKind() == kClassAnnotation ? static_cast<PdfAnnotation*>(d) : nullptr;
}

}  // namespace vistrel
