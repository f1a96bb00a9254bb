#include "engine/font/font_dict.h"

#include "engine/constants/font_constants.h"
#include "engine/constants/name_constants.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/font_descriptor.h"
#include "engine/font/font_registry.h"
#include "engine/render/content/content_interpreter.h"

namespace vistrel {

namespace {

constinit const WString kNoFactoryKind{u"blah", WString::kConstant};

// The key prefixes by FontDict::fontKind.
constinit const WString kPrefixes[] = {
    {u"PDF_T0: ", WString::kConstant},   {u"PDF_T1: ", WString::kConstant},
    {u"PDF_TT: ", WString::kConstant},   {u"PDF_T3: ", WString::kConstant},
    {u"PDF_MMT1: ", WString::kConstant}, {u"PDF_CID0: ", WString::kConstant},
    {u"PDF_CID2: ", WString::kConstant},
};

template <class T>
ObjectRef makeTyped(const PdfDict& dict) {
    return ObjectRef::adopt(new T(dict));
}

int16_t cutTo16Bits(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
}

}  // namespace

FontDict::FontDict(const PdfDict& source) : PdfDict(source) {
    if (PdfArray* widths = asArray(get(names::Widths))) {
        for (int32_t i = 0; i < widths->count(); ++i) {
            PdfNumber* width = asNumber(widths->at(i));
            if (width && !widths_.append(width->intValue())) {
                setValid(false);
                return;
            }
        }
    }
    if (PdfNumber* first = asNumber(get(names::FirstChar)))
        firstChar_ = cutTo16Bits(first->intValue());
    if (PdfNumber* last = asNumber(get(names::LastChar)))
        lastChar_ = cutTo16Bits(last->intValue());
    // Many producers (pdfTeX before 2002 among them) write the descriptor
    // without /Type: reached from here it is read as a descriptor all the
    // same, valid when its required numbers are there.
    PdfObject* descriptor = get(names::FontDescriptor);
    if (PdfDict* plain = asDict(descriptor); plain && plain->classKind() == kClassPlain)
        untypedDescriptor_ = makeFontDescriptor(*plain);
}

uint16_t FontDict::classKind() const {
    return kClassFontDict;
}

const WString& FontDict::requestKind() const {
    switch (fontKind()) {
        case kType1:
            return fontwords::Type1;
        case kTrueType:
            return fontwords::TrueType;
        case kType3:
            return fontwords::Type3;
        default:
            return kNoFactoryKind;
    }
}

Ref<FontHandle> FontDict::makeFont(ContentInterpreter& interpreter) {
    FontRegistry* registry = fontRegistry();
    if (!registry)
        return nullptr;
    return registry->createFont(requestKind(), fontwords::PDF, FontSource(this),
                                interpreter.device(), true);
}

Ref<FontHandle> Type3FontDict::makeFont(ContentInterpreter& interpreter) {
    FontRegistry* registry = fontRegistry();
    if (!registry)
        return nullptr;
    auto description = makeRef<Type3FontDescription>(this, &interpreter);
    if (!description)
        return nullptr;
    return registry->createFont(fontwords::Type3, fontwords::PDF, FontSource(description.get()),
                                interpreter.device(), true);
}

ObjectRef makeFontDict(const PdfDict& dict) {
    static const struct {
        const NameConstant& subtype;
        ObjectRef (*make)(const PdfDict&);
    } kClasses[] = {
        {names::Type1, makeTyped<Type1FontDict>},
        {names::TrueType, makeTyped<TrueTypeFontDict>},
        {names::MMType1, makeTyped<MMType1FontDict>},
        {names::Type3, makeTyped<Type3FontDict>},
        {names::Type0, makeTyped<Type0FontDict>},
        {names::CIDFontType0, makeTyped<CIDFontType0Dict>},
        {names::CIDFontType2, makeTyped<CIDFontType2Dict>},
    };
    PdfName* subtype = asName(dict.get(names::Subtype));
    if (!subtype)
        return nullptr;
    for (const auto& entry : kClasses) {
        if (!entry.subtype.equals(subtype))
            continue;
        ObjectRef font = entry.make(dict);
        if (!font || !font->valid())
            return nullptr;
        return font;
    }
    return nullptr;
}

void fontKindPrefix(const FontDict& dict, WString& text) {
    const int32_t kind = dict.fontKind();
    if (kind >= 0 && kind < int32_t(std::size(kPrefixes)))
        text.assign(kPrefixes[kind]);
}

FontDict* asFontDict(PdfObject* object) {
    PdfObject* target = object ? object->direct() : nullptr;
    return target && target->kind() == kKindDict && target->classKind() == kClassFontDict
               ? static_cast<FontDict*>(target)
               : nullptr;
}

EncodingDict* asEncodingDict(PdfObject* object) {
    PdfObject* target = object ? object->direct() : nullptr;
    return target && target->kind() == kKindDict && target->classKind() == kClassEncoding
               ? static_cast<EncodingDict*>(target)
               : nullptr;
}

}  // namespace vistrel
