#include "tools/inspect_fonts.h"

#include <cstdio>
#include <memory>
#include <string>

#include "engine/constants/name_constants.h"
#include "engine/control/engine_startup.h"
#include "engine/doc/pdf_page.h"
#include "engine/font/font_descriptor.h"
#include "engine/font/font_dict.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/font_renderer.h"
#include "tools/render_presets.h"

namespace vistrel {

namespace {

std::string text(const WString& s) {
    return s.toLatin1();
}

std::string nameText(PdfObject* object) {
    PdfName* name = asName(object);
    return name ? text(name->textValue()) : "";
}

const char* programKindName(const FontDescriptorDict* descriptor) {
    const FontProgram* program = descriptor ? descriptor->program() : nullptr;
    switch (program ? program->programKind() : FontProgram::kUnknown) {
        case FontProgram::kType1:
            return "Type 1";
        case FontProgram::kTrueType:
            return "TrueType";
        case FontProgram::kCompact:
            return "Type 1C";
        case FontProgram::kCidCompact:
            return "CIDFontType0C";
        default:
            return "none";
    }
}

// The font whose descriptor tells the program: a Type 0 font's first
// descendant, any other font itself.
FontDict* programFont(FontDict& font) {
    if (font.fontKind() != FontDict::kType0)
        return &font;
    static const Ref<PdfName> kDescendantFonts = makeRef<PdfName>(WString(u"/DescendantFonts"));
    PdfArray* descendants = asArray(font.get(*kDescendantFonts));
    return descendants && descendants->count() > 0 ? asFontDict(descendants->at(0)) : nullptr;
}

// The font "Tf" would make of the dictionary, described.
std::string loadedFont(FontDict& font, ContentInterpreter& interpreter) {
    Ref<FontHandle> handle = font.makeFont(interpreter);
    FontRenderer* renderer = handle ? handle->font() : nullptr;
    if (!renderer)
        return "no font";
    WString description;
    renderer->description(description);
    return text(description);
}

void printFont(const std::string& resource, PdfObject* value, ContentInterpreter* interpreter) {
    std::string line = resource;
    FontDict* font = asFontDict(value);
    if (!font) {
        std::printf("%s\tnot a font dictionary\n", line.c_str());
        return;
    }
    line += "\tsubtype=" + nameText(font->get(names::Subtype));
    line += "\tbasefont=" + nameText(font->get(names::BaseFont));
    const int32_t number = font->getId().number;
    line += "\tobject=" + (number >= 0 ? std::to_string(number) : std::string("direct"));

    // The factory the registry asks first for the font's kind; the kinds
    // without a factory of their own fall back to the Type 1 one.
    WString outName;
    Ref<FontDescription> description;
    if (font->fontKind() == FontDict::kType3) {
        auto source = makeRef<Type3FontDescription>(static_cast<Type3FontDict*>(font), nullptr);
        description = createType3Font(FontSource(source.get()), outName);
    } else if (font->fontKind() == FontDict::kTrueType) {
        description = createTrueTypeFont(FontSource(font), outName);
    } else {
        description = createType1Font(FontSource(font), outName);
    }
    line += "\tout=" + text(outName);
    line += "\tdescription=" + (description ? text(description->name()) : std::string());

    // Type 3 descriptions carry no encoding: show what the dictionary names.
    WString encodingName;
    const Differences* differences = nullptr;
    FontEncodingChoice type3Encoding;
    if (const auto* simple = dynamic_cast<const SimpleFontDescription*>(description.get())) {
        encodingName = simple->encodingName();
        differences = simple->differences();
    } else {
        type3Encoding = readFontEncoding(*font);
        encodingName = type3Encoding.name;
        differences = type3Encoding.differences.get();
    }
    line += "\tencoding=" + text(encodingName);
    line += "\tdifferences=" + (differences ? std::to_string(differences->count()) : "none");

    FontDict* programOwner = programFont(*font);
    FontDescriptorDict* descriptor = programOwner ? fontDescriptorOf(*programOwner) : nullptr;
    line += std::string("\tprogram=") + programKindName(descriptor);
    char flags[32];
    if (descriptor)
        std::snprintf(flags, sizeof flags, "0x%x", descriptor->flags());
    else
        std::snprintf(flags, sizeof flags, "no descriptor");
    line += std::string("\tflags=") + flags;
    if (interpreter)
        line += "\tloaded=" + loadedFont(*font, *interpreter);
    std::printf("%s\n", line.c_str());
}

}  // namespace

void printPageFonts(PdfPage& page, bool load, const WString& fontsFolder) {
    PdfDict* resources = page.resources();
    PdfDict* fonts = resources ? asDict(resources->get(names::Font)) : nullptr;
    if (!fonts)
        return;
    // Fonts are made as on the page: registered as the control registers
    // them, for an interpreter over the page's resources (without a device).
    std::unique_ptr<ContentInterpreter> interpreter;
    if (load) {
        startRendering(kDefaultQuality, kDefaultMemoryUsage, fontsFolder);
        interpreter = std::make_unique<ContentInterpreter>(fullOperatorStateMap(), kStatePage, true);
        interpreter->setResources(resources);
    }
    for (const auto& entry : fonts->entries())
        printFont(text(entry.key->typeName()), entry.value, interpreter.get());
}

}  // namespace vistrel
