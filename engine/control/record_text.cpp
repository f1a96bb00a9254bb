#include "engine/control/record_text.h"

#include "engine/core/wstring.h"

namespace vistrel {

using namespace VISTRELLib;

void appendNumberField(std::u16string& out, int32_t value) {
    char16_t buffer[16];
    out += WideFormat(value, buffer, 16);
}

void appendRealField(std::u16string& out, double value) {
    char16_t buffer[400];
    out += WideFormatReal(value, buffer, 400);
}

void appendQuotedField(std::u16string& out, const char16_t* text, size_t length) {
    out += u'"';
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == u'"')
            out += u'"';
        out += text[i];
    }
    out += u'"';
}

void appendQuotedField(std::u16string& out, BSTR text) {
    appendQuotedField(out, text, win::SysStringLen(text));
}

namespace {

void appendNumbers(std::u16string& out, std::initializer_list<int32_t> values) {
    for (int32_t value : values) {
        if (!out.empty())
            out += u',';
        appendNumberField(out, value);
    }
}

void appendQuoted(std::u16string& out, BSTR text) {
    out += u',';
    appendQuotedField(out, text);
}

void appendNumber(std::u16string& out, int32_t value) {
    out += u',';
    appendNumberField(out, value);
}

}  // namespace

std::u16string stateText(const DocState& state) {
    std::u16string out;
    appendNumbers(out, {state.x, state.y, state.page});
    out += u',';
    appendRealField(out, state.zoom);
    appendNumbers(out, {state.memoryUsage, state.quality, LONG(state.PalmFormat)});
    return out;
}

std::u16string linkText(const PageLink& link) {
    std::u16string out;
    appendNumbers(out, {link.x, link.y, link.x1, link.y1, link.toPage, link.toX, link.toY});
    return out;
}

std::u16string annotationText(const PageAnnotation& annotation) {
    std::u16string out;
    appendNumbers(
        out, {annotation.x, annotation.y, annotation.width, annotation.height, annotation.color});
    appendQuoted(out, annotation.caption);
    appendQuoted(out, annotation.text);
    appendNumber(out, LONG(annotation.type));
    return out;
}

std::u16string fontInfoText(const FontInfo& font) {
    std::u16string out;
    appendNumbers(out, {LONG(font.original)});
    appendQuoted(out, font.originalName);
    appendNumber(out, LONG(font.used));
    appendQuoted(out, font.usedName);
    appendQuoted(out, font.encoding);
    return out;
}

std::u16string wordInfoText(const WordInfo& word) {
    std::u16string out;
    appendNumbers(out, {word.x, word.y, word.x1, word.y1});
    appendQuoted(out, word.fontFamily);
    appendQuoted(out, word.fontModificator);
    appendNumber(out, word.fontSize);
    return out;
}

// The wide-text number readers take terminated texts; a NUL inside a field
// ends it there.
int32_t readIntegerField(std::u16string_view field) {
    return WideToLong(std::u16string(field).c_str(), 10);
}

double readRealField(std::u16string_view field) {
    return WideToDouble(std::u16string(field).c_str());
}

bool readStateText(std::u16string_view text, DocState& state) {
    // The zoom (field 4) and the device format (field 7) are not LONG fields.
    LONG* const integers[] = {&state.x,           &state.y,       &state.page, nullptr,
                              &state.memoryUsage, &state.quality, nullptr};
    size_t start = 0;
    for (int field = 0; field < 7; ++field) {
        std::u16string_view value;
        if (field < 6) {
            const size_t comma = text.find(u',', start);
            if (comma == std::u16string_view::npos)
                return false;
            value = text.substr(start, comma - start);
            start = comma + 1;
        } else {
            value = text.substr(start);
        }
        if (value.empty())
            return false;
        if (field == 3) {
            state.zoom = readRealField(value);
        } else if (field == 6) {
            state.PalmFormat = PalmFormat(readIntegerField(value));
        } else {
            *integers[field] = readIntegerField(value);
        }
    }
    return true;
}

}  // namespace vistrel
