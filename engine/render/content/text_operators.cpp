// The text object and text-showing operators. The current font keeps its own
// copy of the text state and of the text matrices in device terms, draws the
// glyphs and advances its own text position; these handlers keep the
// interpreter's text state and the font in step, and hand every shown string
// to the page's text lines (when capture is on) before the font draws it.
#include <cstdint>

#include "engine/constants/name_constants.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/matrix.h"
#include "engine/render/content/operators.h"
#include "engine/render/content/text_line_list.h"

namespace vistrel {
namespace {

// Records a string about to be shown, with the font's text matrix where it
// starts: only while capture is on and there is a font.
void capture(ContentInterpreter& in, const PdfString& string) {
    TextState* t = in.textState();
    TextLineList* lines = in.textLines();
    if (!in.capture() || !lines || !t || !t->font)
        return;
    FontRenderer* font = currentFont(in);
    if (!font)
        return;
    const Matrix start = font->textMatrix();
    lines->addShownText(string.textValue(), start, t->font.get());
}

// Captures and then shows a string with the current font. Glyphs are painted
// in the fill colour: while that is a pattern (not painted), the font shows
// the string in the invisible mode of its own, so that it only advances.
void show(ContentInterpreter& in, const PdfString& string) {
    capture(in, string);
    FontRenderer* font = currentFont(in);
    if (!font)
        return;
    const std::int32_t mode = font->renderMode();
    const bool hide = in.graphicsState().fillPattern && mode >= 0 && mode <= 6 && mode != 3;
    if (hide)
        font->setRenderMode(mode < 3 ? 3 : 7);
    font->showString(string.textValue());
    if (hide && currentFont(in) == font)
        font->setRenderMode(mode);
}

// T*: the line matrix moves down by the leading; the text matrix follows.
void nextLine(TextState& t) {
    t.lineMatrix = translated(t.lineMatrix, 0.0, -t.leading);
    t.textMatrix = t.lineMatrix;
}

// Pops the string operand of a showing operator: status 4 when there is
// none, 3 when it is no string.
std::int32_t popString(ContentInterpreter& in, ObjectRef& operand, PdfString*& string) {
    operand = in.operands().pop();
    if (!operand)
        return kStatusTooFewOperands;
    string = asString(operand.get());
    return string ? kStatusDone : kStatusWrongOperand;
}

}  // namespace

std::int32_t opBT(ContentInterpreter& in) {
    if (TextState* t = in.textState()) {
        t->textMatrix = Matrix{};
        t->lineMatrix = Matrix{};
        if (FontRenderer* font = currentFont(in)) {
            const Matrix start = in.deviceMatrix();
            font->setTextMatrix(start, &start);
        }
    }
    in.setMode(kStateText);
    return kStatusDone;
}

std::int32_t opET(ContentInterpreter& in) {
    in.setMode(kStatePage);
    return kStatusDone;
}

std::int32_t opTf(ContentInterpreter& in) {
    const double size = FetchRealOperand(in.operands());
    Ref<PdfName> name = FetchNameOperand(in.operands());
    if (!name)
        return kStatusWrongOperand;
    PdfObject* resource = in.findResource(names::Font, *name);
    PdfObject* font = resource ? resource->direct() : nullptr;
    if (!font || font->kind() != kKindDict || font->classKind() != kClassFontDict)
        return kStatusWrongOperand;
    return selectFont(in, ObjectRef(std::move(name)), *static_cast<PdfDict*>(font), size);
}

std::int32_t selectFont(ContentInterpreter& in, ObjectRef key, PdfDict& fontDict, double size) {
    TextState* t = in.textState();
    if (!t)
        return kStatusDone;
    const Ref<PdfDict> held = Ref<PdfDict>::share(&fontDict);

    // The new font continues where the current one stands.
    Matrix tm, lm;
    if (FontRenderer* current = currentFont(in)) {
        tm = current->textMatrix();
        lm = current->lineMatrix();
    } else {
        tm = lm = multiply(t->textMatrix, in.deviceMatrix());
    }
    t->fontSize = size;

    if (!in.fontUseMap()) {
        std::unique_ptr<FontUseMap> fonts(new FontUseMap);
        in.setFontUseMap(std::move(fonts));
    }
    FontUseMap* fonts = in.fontUseMap();
    t->font = Ref<FontHandle>::share(fonts ? fonts->get(*key) : nullptr);
    if (!t->font) {
        t->font = makeFont(fontDict, in);
        if (!t->font)
            return kStatusWrongOperand;
        if (FontRenderer* font = t->font->font())
            font->attachDevice(in.device(), &in);
        if (fonts)
            fonts->put(std::move(key), t->font);
    }

    FontRenderer* font = currentFont(in);
    if (!font)
        return kStatusDone;
    font->setWordSpacing(t->wordSpacing);
    font->setCharSpacing(t->charSpacing);
    font->setLeading(t->leading);
    font->setHorizontalScale(t->horizontalScaling);
    font->setRenderMode(t->renderMode);
    font->setRise(t->rise);
    font->setFontSize(size);
    font->setTextMatrix(tm, &lm);
    font->fillColorChanged();
    return kStatusDone;
}

std::int32_t opTj(ContentInterpreter& in) {
    ObjectRef operand;
    PdfString* string = nullptr;
    if (const std::int32_t status = popString(in, operand, string))
        return status;
    show(in, *string);
    return kStatusDone;
}

std::int32_t opTJ(ContentInterpreter& in) {
    ObjectRef operand = in.operands().pop();
    if (!operand)
        return kStatusTooFewOperands;
    PdfArray* array = asArray(operand.get());
    if (!array)
        return kStatusWrongOperand;
    TextState* t = in.textState();
    if (!t || !t->font)
        return kStatusDone;
    for (std::int32_t i = 0; i < array->count(); ++i) {
        PdfObject* element = array->at(i);
        if (PdfNumber* number = asNumber(element)) {
            // Thousandths of the font size; the horizontal scaling does not
            // enter. The text state is looked up again: a Type 3 glyph
            // shown before puts back a saved copy of it ("q" ... "Q").
            t = in.textState();
            FontRenderer* font = currentFont(in);
            if (t && font)
                font->translateTextMatrix(number->realValue() * t->fontSize * -0.001, 0.0);
        } else if (PdfString* string = asString(element)) {
            show(in, *string);
        }
    }
    return kStatusDone;
}

std::int32_t opquote(ContentInterpreter& in) {
    ObjectRef operand;
    PdfString* string = nullptr;
    if (const std::int32_t status = popString(in, operand, string))
        return status;
    TextState* t = in.textState();
    if (!t)
        return kStatusDone;
    nextLine(*t);
    if (FontRenderer* font = currentFont(in)) {
        font->nextLine();
        show(in, *string);
    }
    return kStatusDone;
}

std::int32_t opdquote(ContentInterpreter& in) {
    ObjectRef operand = in.operands().pop();
    const double ac = FetchRealOperand(in.operands());
    const double aw = FetchRealOperand(in.operands());
    TextState* t = in.textState();
    // The spacings are set before the string is looked at.
    if (t) {
        t->wordSpacing = aw;
        t->charSpacing = ac;
    }
    if (!operand)
        return kStatusTooFewOperands;
    PdfString* string = asString(operand.get());
    if (!string)
        return kStatusWrongOperand;
    if (!t)
        return kStatusDone;
    nextLine(*t);
    if (FontRenderer* font = currentFont(in)) {
        font->setWordSpacing(aw);
        font->setCharSpacing(ac);
        font->nextLine();
        show(in, *string);
    }
    return kStatusDone;
}

}  // namespace vistrel
