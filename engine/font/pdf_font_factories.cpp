#include "engine/font/pdf_font_factories.h"

#include <new>

#include "engine/constants/font_constants.h"
#include "engine/constants/name_constants.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/font_descriptor.h"
#include "engine/font/font_dict.h"
#include "engine/render/content/font_handle.h"

namespace vistrel {

namespace {

// The words appended to a description name for the descriptor's style
// flags, in this order.
struct StyleSuffix {
    uint32_t flag;
    const char16_t* word;
};
constexpr StyleSuffix kDashSuffixes[] = {
    {FontDescriptorDict::kSerif, u"-serif"},       {FontDescriptorDict::kItalic, u"-italic"},
    {FontDescriptorDict::kSymbolic, u"-symbol"},   {FontDescriptorDict::kAllCap, u"-all_cap"},
    {FontDescriptorDict::kSmallCap, u"-smallcap"}, {FontDescriptorDict::kFixedPitch, u"-monospace"},
};
constexpr StyleSuffix kCommaSuffixes[] = {
    {FontDescriptorDict::kSerif, u",serif"},       {FontDescriptorDict::kItalic, u",italic"},
    {FontDescriptorDict::kSymbolic, u",symbol"},   {FontDescriptorDict::kAllCap, u",all_cap"},
    {FontDescriptorDict::kSmallCap, u",smallcap"}, {FontDescriptorDict::kFixedPitch, u",monospace"},
};

// The encoding name for a base encoding name, or empty.
const WString& knownEncoding(const PdfName& name) {
    static const struct {
        const NameConstant& name;
        const WStringConstant& encoding;
    } kEncodings[] = {
        {names::MacRomanEncoding, encodings::MacRomanEncoding},
        {names::WinAnsiEncoding, encodings::WinAnsiEncoding},
        {names::StandartEncoding, encodings::StandartEncoding},
    };
    for (const auto& entry : kEncodings) {
        if (entry.name.equals(&name))
            return entry.encoding;
    }
    return emptyWString();
}

// The sum and number of the /Widths entries.
struct WidthTotal {
    double sum = 0.0;
    int32_t count = 0;
};

// The widths per code in em units; empty when /Widths gives none.
bool fillWidths(const FontDict& font, DoubleArray& widths, WidthTotal& total) {
    if (font.widths().empty())
        return true;
    for (int32_t code = 0; code < font.firstChar(); ++code) {
        if (!widths.append(0.0))
            return false;
    }
    for (int32_t width : font.widths()) {
        const double w = width * 0.001;
        if (!widths.append(w))
            return false;
        total.sum += w;
        ++total.count;
    }
    while (widths.count() < 256) {
        if (!widths.append(0.0))
            return false;
    }
    return true;
}

// What the Type 1 and TrueType factories share: names, widths, encoding and
// style suffixes. False when memory runs out.
bool describeSimpleFont(const FontDict& font, SimpleFontDescription& description, WString& outName,
                        const StyleSuffix (&suffixes)[6], WidthTotal& total,
                        bool& encodingNameGiven) {
    fontKindPrefix(font, outName);
    if (PdfName* base = asName(font.get(names::BaseFont))) {
        WString text = base->textValue().substr(1, base->textValue().size() - 1);
        if (!description.name().assign(text) || !outName.append(text))
            return false;
    }
    if (!fillWidths(font, description.widths(), total))
        return false;

    FontEncodingChoice encoding = readFontEncoding(font);
    if (!description.encodingName().assign(encoding.name))
        return false;
    description.setDifferences(std::move(encoding.differences));
    encodingNameGiven = encoding.nameGiven;

    if (FontDescriptorDict* descriptor = fontDescriptorOf(font)) {
        for (const StyleSuffix& suffix : suffixes) {
            if ((descriptor->flags() & suffix.flag) && !description.name().appendText(suffix.word))
                return false;
        }
    }
    description.name().toLower();
    return true;
}

}  // namespace

FontEncodingChoice readFontEncoding(const FontDict& font) {
    FontEncodingChoice choice;
    PdfObject* encoding = font.get(names::Encoding);
    PdfName* baseName = nullptr;
    if (EncodingDict* dict = asEncodingDict(encoding)) {
        baseName = asName(dict->get(names::BaseEncoding));
        if (PdfArray* differences = asArray(dict->get(names::Differences)))
            choice.differences.reset(new (std::nothrow) Differences(*differences));
    } else {
        baseName = asName(encoding);
    }
    if (baseName) {
        choice.nameGiven = true;
        choice.name.assign(knownEncoding(*baseName));
    }
    return choice;
}

Ref<FontDescription> createType1Font(const FontSource& source, WString& outName) {
    FontDict* font = asFontDict(source.object());
    if (!font)
        return nullptr;
    auto description = makeRef<Type1FontDescription>();
    if (!description)
        return nullptr;
    WidthTotal total;
    bool encodingNameGiven = false;
    if (!describeSimpleFont(*font, *description, outName, kDashSuffixes, total,
                            encodingNameGiven)) {
        return nullptr;
    }
    if (FontDescriptorDict* descriptor = fontDescriptorOf(*font)) {
        if (FontProgram* program = descriptor->program()) {
            if (program->programKind() == FontProgram::kCompact)
                description->holdProgram(program, true);
            else if (program->programKind() == FontProgram::kType1)
                description->holdProgram(program, false);
        }
    }
    return description;
}

Ref<FontDescription> createTrueTypeFont(const FontSource& source, WString& outName) {
    FontDict* font = asFontDict(source.object());
    if (!font)
        return nullptr;
    auto description = makeRef<TrueTypeFontDescription>();
    if (!description)
        return nullptr;
    WidthTotal total;
    bool encodingNameGiven = false;
    if (!describeSimpleFont(*font, *description, outName, kCommaSuffixes, total,
                            encodingNameGiven)) {
        return nullptr;
    }
    if (FontDescriptorDict* descriptor = fontDescriptorOf(*font)) {
        if (FontProgram* program = descriptor->program()) {
            if (program->programKind() == FontProgram::kTrueType)
                description->holdProgram(program);
        }
        description->avgWidth = descriptor->avgWidth() * 0.001;
        description->maxWidth = descriptor->maxWidth() * 0.001;
        description->ascent = descriptor->ascent() * 0.001;
        description->descent = -double(descriptor->descent()) * 0.001;
    }
    if (description->avgWidth == 0.0 && total.count > 0)
        description->avgWidth = total.sum / total.count;
    if (!encodingNameGiven) {
        const WString& fallback = font->fontKind() == FontDict::kTrueType
                                      ? encodings::WinAnsiEncoding
                                      : encodings::StandartEncoding;
        if (!description->encodingName().assign(fallback))
            return nullptr;
    }
    return description;
}

Ref<FontDescription> createType3Font(const FontSource& source, WString& outName) {
    const auto* type3 = dynamic_cast<const Type3FontDescription*>(source.description());
    if (!type3)
        return nullptr;
    outName.assignText(u"Type3 font");
    return makeRef<Type3FontDescription>(type3->fontDict(), type3->interpreter());
}

namespace {

// "Tf"'s making of a font: the descriptor's program is held while the font
// is made, since a purge of the document's objects in between (when memory
// runs short) can free the descriptor that holds it.
Ref<FontHandle> makeFontOfDict(PdfDict& fontDict, ContentInterpreter& interpreter) {
    FontDict* font = asFontDict(&fontDict);
    if (!font)
        return nullptr;
    const FontDescriptorDict* descriptor = fontDescriptorOf(*font);
    const Ref<FontProgram> held =
        Ref<FontProgram>::share(descriptor ? descriptor->program() : nullptr);
    return font->makeFont(interpreter);
}

}  // namespace

void installFontDictionaryFactories() {
    setFontDictFactory(makeFontDict);
    setFontDescriptorFactory(makeFontDescriptor);
    setFontMaker(makeFontOfDict);
}

}  // namespace vistrel
