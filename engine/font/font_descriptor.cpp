#include "engine/font/font_descriptor.h"

#include "engine/constants/name_constants.h"
#include "engine/font/font_dict.h"

namespace vistrel {

FontProgram::FontProgram(PdfStream* stream, int32_t programKind)
    : stream_(Ref<PdfStream>::share(stream)), programKind_(programKind) {}

namespace {

// The stream object of an entry (dereferenced) when it is a plain stream.
PdfStream* streamEntry(const PdfDict& dict, const PdfObject& key) {
    PdfStream* stream = asStream(dict.get(key));
    return stream && stream->classKind() == kClassStream ? stream : nullptr;
}

}  // namespace

FontDescriptorDict::FontDescriptorDict(const PdfDict& source) : PdfDict(source) {
    if (!valid())
        return;
    setValid(false);
    const struct {
        const NameConstant& key;
        int32_t* field;
    } kRequired[] = {
        {names::Ascent, &ascent_}, {names::CapHeight, &capHeight_},     {names::Descent, &descent_},
        {names::Flags, nullptr},   {names::ItalicAngle, &italicAngle_}, {names::StemV, &stemV_},
    };
    for (const auto& entry : kRequired) {
        PdfNumber* number = asNumber(get(entry.key));
        if (!number)
            return;
        if (entry.field)
            *entry.field = number->intValue();
        else
            flags_ = static_cast<uint32_t>(number->intValue());
    }
    setValid(true);

    const struct {
        const NameConstant& key;
        int32_t* field;
    } kOptional[] = {
        {names::AvgWidth, &avgWidth_}, {names::Leading, &leading_},
        {names::MaxWidth, &maxWidth_}, {names::MissingWidth, &missingWidth_},
        {names::StemH, &stemH_},       {names::XHeight, &xHeight_},
    };
    for (const auto& entry : kOptional) {
        if (PdfNumber* number = asNumber(get(entry.key)))
            *entry.field = number->intValue();
    }
    readProgram();
}

void FontDescriptorDict::readProgram() {
    PdfStream* stream = nullptr;
    int32_t kind = FontProgram::kUnknown;
    if ((stream = streamEntry(*this, names::FontFile))) {
        kind = FontProgram::kType1;
    } else if ((stream = streamEntry(*this, names::FontFile2))) {
        kind = FontProgram::kTrueType;
    } else if (!(stream = streamEntry(*this, names::FontFile3))) {
        return;
    }
    // The program's own /Subtype has the last word.
    if (PdfName* subtype = asName(stream->get(names::Subtype))) {
        if (names::Type1C.equals(subtype))
            kind = FontProgram::kCompact;
        else if (names::CIDFontType0C.equals(subtype))
            kind = FontProgram::kCidCompact;
    }
    if (kind != FontProgram::kUnknown)
        program_ = makeRef<FontProgram>(stream, kind);
}

uint16_t FontDescriptorDict::classKind() const {
    return kClassFontDescriptor;
}

FontDescriptorDict* asFontDescriptor(PdfObject* object) {
    PdfObject* target = object ? object->direct() : nullptr;
    return target && target->kind() == kKindDict && target->classKind() == kClassFontDescriptor
               ? static_cast<FontDescriptorDict*>(target)
               : nullptr;
}

FontDescriptorDict* fontDescriptorOf(const FontDict& font) {
    if (FontDescriptorDict* typed = asFontDescriptor(font.get(names::FontDescriptor)))
        return typed;
    return asFontDescriptor(font.untypedDescriptor());
}

bool hasEmbeddedProgram(const FontDict& font) {
    FontDescriptorDict* descriptor = fontDescriptorOf(font);
    return descriptor && descriptor->program();
}

ObjectRef makeFontDescriptor(const PdfDict& dict) {
    ObjectRef descriptor = ObjectRef::adopt(new FontDescriptorDict(dict));
    if (!descriptor || !descriptor->valid())
        return nullptr;
    return descriptor;
}

}  // namespace vistrel
