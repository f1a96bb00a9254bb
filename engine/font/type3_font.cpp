#include "engine/font/type3_font.h"

#include <cstddef>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/matrix.h"

namespace vistrel {
namespace {

// Glyph procedures under way, one inside the other (one thread runs them
// all).
std::int32_t openGlyphRuns = 0;

// firstChar zeros, then /Widths x 0.001, then one zero for every code after
// /LastChar up to 255.
DoubleArray type3Widths(const Type3FontDict* font) {
    DoubleArray widths;
    if (!font)
        return widths;
    for (std::int32_t i = 0; i < font->firstChar(); ++i)
        widths.append(0.0);
    for (const std::int32_t w : font->widths())
        widths.append(w * 0.001);
    const std::int32_t last = font->lastChar();
    if (last + 1 < 256) {
        for (std::int32_t i = 0; i < 255 - last; ++i)
            widths.append(0.0);
    }
    return widths;
}

InterpreterLink* linkOf(ContentInterpreter* interpreter) {
    return interpreter ? interpreter->link() : nullptr;
}

// The text state a font holds, kept across a glyph procedure: a procedure
// may select the font being drawn again ("Tf" shares a live font), which
// would move it.
struct FontTextState {
    explicit FontTextState(const FontRenderer& font)
        : textMatrix(font.textMatrix()),
          lineMatrix(font.lineMatrix()),
          charSpacing(font.charSpacing()),
          wordSpacing(font.wordSpacing()),
          horizontalScale(font.horizontalScale()),
          leading(font.leading()),
          fontSize(font.fontSize()),
          rise(font.rise()),
          renderMode(font.renderMode()) {}

    void applyTo(FontRenderer& font) const {
        font.setCharSpacing(charSpacing);
        font.setWordSpacing(wordSpacing);
        font.setHorizontalScale(horizontalScale);
        font.setLeading(leading);
        font.setRenderMode(renderMode);
        font.setRise(rise);
        font.setFontSize(fontSize);
        font.setTextMatrix(textMatrix, &lineMatrix);
    }

    Matrix textMatrix, lineMatrix;
    double charSpacing, wordSpacing, horizontalScale, leading, fontSize, rise;
    std::int32_t renderMode;
};

}  // namespace

Type3Font::Type3Font(const Type3FontDescription& description, OutputDevice* device)
    : FontRenderer(&static_cast<const DoubleArray&>(type3Widths(description.fontDict())), device),
      fontDict_(Ref<Type3FontDict>::share(description.fontDict())),
      interpreter_(Ref<InterpreterLink>::share(linkOf(description.interpreter()))) {
    readDictionary();
    setDeviceSize(1.0);
}

Type3Font::Type3Font(const Type3Font& source)
    : FontRenderer(&source.widths(), source.device()),
      fontDict_(source.fontDict_),
      interpreter_(source.interpreter_) {
    readDictionary();
    FontTextState(source).applyTo(*this);
    setDeviceSize(source.deviceSize());
}

Type3Font::~Type3Font() = default;

void Type3Font::readDictionary() {
    fontMatrix_ = Matrix{};
    if (!fontDict_)
        return;
    runner_.resources = Ref<PdfDict>::share(asDict(fontDict_->get(names::Resources)));
    charProcs_ = Ref<PdfDict>::share(asDict(fontDict_->get(names::CharProcs)));
    // Only an array of six elements counts; an element that is no number
    // keeps the identity's value.
    PdfArray* m = asArray(fontDict_->get(names::FontMatrix));
    if (m && m->count() == 6) {
        double* terms[6] = {&fontMatrix_.a, &fontMatrix_.b, &fontMatrix_.c,
                            &fontMatrix_.d, &fontMatrix_.e, &fontMatrix_.f};
        for (std::int32_t i = 0; i < 6; ++i) {
            if (PdfNumber* n = asNumber(m->at(i)))
                *terms[i] = n->realValue();
        }
    }
}

bool Type3Font::isUsable() const {
    return fontDict_ || interpreter();
}

std::unique_ptr<DrawableBase> Type3Font::clone() const {
    return std::unique_ptr<DrawableBase>(new Type3Font(*this));
}

bool Type3Font::attachDevice(OutputDevice* device, ContentInterpreter* interpreter) {
    if (this->device())
        detachDevice();
    if (!FontRenderer::attachDevice(device, interpreter))
        return false;
    if (interpreter)
        interpreter_ = Ref<InterpreterLink>::share(interpreter->link());
    return true;
}

ContentInterpreter* Type3Font::interpreter() const {
    return interpreter_ ? interpreter_->get() : nullptr;
}

bool Type3Font::drawGlyph(std::uint16_t /*code*/, IntPoint /*point*/) {
    return false;
}

void Type3Font::description(WString& text) const {
    text.assignText(u"Type3 font");
}

void Type3Font::updateDeviceHeight() {
    setDeviceSize(fontSize());
}

double Type3Font::programAdvance(std::uint16_t /*code*/) {
    return 0.0;
}

Ref<PdfStream> Type3Font::glyphProcedure(std::uint16_t code) const {
    if (!fontDict_ || !charProcs_)
        return nullptr;
    EncodingDict* encoding = asEncodingDict(fontDict_->get(names::Encoding));
    PdfArray* differences = encoding ? asArray(encoding->get(names::Differences)) : nullptr;
    if (!differences)
        return nullptr;
    // A number sets the running code, a name stands for it and raises it;
    // other elements change nothing.
    std::uint16_t running = 0;
    for (std::int32_t i = 0; i < differences->count(); ++i) {
        PdfObject* element = differences->at(i);
        if (PdfNumber* number = asNumber(element)) {
            running = static_cast<std::uint16_t>(number->intValue());
        } else if (PdfName* name = asName(element)) {
            if (running == code) {
                PdfObject* procedure = charProcs_->get(*name);
                PdfObject* stream = procedure ? procedure->direct() : nullptr;
                if (!stream || stream->classKind() != kClassStream)
                    return nullptr;
                return Ref<PdfStream>::share(static_cast<PdfStream*>(stream));
            }
            ++running;
        }
    }
    return nullptr;
}

bool Type3Font::showGlyph(std::uint16_t code) {
    Ref<PdfStream> procedure =
        glyphs_.procedure(code, [this](std::uint16_t c) { return glyphProcedure(c); });
    if (!procedure) {
        // Nothing to draw; the string goes on after the glyph's advance.
        FontRenderer::showGlyph(code);
        return true;
    }
    // A font whose glyph is being drawn is not entered again, and
    // procedures nest only so deep: a glyph skipped so only advances.
    ContentInterpreter* in = interpreter();
    if (in && !drawing_ && openGlyphRuns < kMaxGlyphNesting && in->enterNested(procedure.get())) {
        // A glyph that only draws an image mask is drawn from its kept image
        // where one fits.
        runProcedure(*in, *procedure, code, glyphs_.isStencil(code, *procedure));
        in->leaveNested(procedure.get());
    }
    const double tx = glyphWidth(code) * fontSize() * fontMatrix_.a * 1000.0 + charSpacing();
    translateTextMatrix(tx, 0.0);
    return true;
}

void Type3Font::runProcedure(ContentInterpreter& in, PdfStream& procedure, std::uint16_t code,
                             bool keep) {
    const FontTextState kept(*this);
    const std::int32_t mode = in.mode();
    in.setMode(kStatePage);
    // The procedure cannot show text with the font it draws.
    Ref<FontHandle> font;
    if (TextState* text = in.textState())
        font = std::move(text->font);
    const Matrix base = in.baseMatrix();
    in.setBaseMatrix(multiply(fontMatrix_, renderingMatrix()));

    InputStream* input = in.contentInput();
    if (keep && glyphs_.draw(code, base, in)) {
        // Drawn from the image the procedure drew at an earlier showing.
    } else if (procedure.open()) {
        in.setContentInput(&procedure);
        const std::size_t outerStates = in.savedStateCount();
        in.saveGraphicsState();
        // The glyph matrix holds the transformation in force already.
        in.graphicsState().ctm = Matrix{};
        in.updateDeviceMatrix();
        // Only the outermost procedure switches the progress display off:
        // the settings store keeps one parked value per key.
        const bool outermost = openGlyphRuns == 0;
        if (outermost) {
            settingsStore().save(settings::Interface, settings::ProgressIndicator);
            settingsStore().set(settings::Interface, settings::ProgressIndicator,
                                SettingValue::ofBoolean(false));
        }
        ++openGlyphRuns;
        drawing_ = true;
        KeptImage image;
        KeptImage* outerKeeper = in.imageKeeper();
        if (keep)
            in.setImageKeeper(&image);
        const std::uint64_t workBefore = in.workDone();
        runContentStream(runner_, in);
        if (keep) {
            in.setImageKeeper(outerKeeper);
            if (!in.workSpent())
                glyphs_.keep(code, in.baseMatrix(), image, in.workDone() - workBefore);
        }
        drawing_ = false;
        --openGlyphRuns;
        if (outermost)
            settingsStore().restore(settings::Interface, settings::ProgressIndicator);
        // The base matrix first, so that "Q" hands the device the line width
        // of the content outside. States the procedure saved and left open
        // go as well, so that the outer state is back whatever it did.
        in.setBaseMatrix(base);
        while (in.savedStateCount() > outerStates)
            in.restoreGraphicsState();
        procedure.close();
        in.setContentInput(input);
    }
    in.setBaseMatrix(base);
    in.setMode(mode);
    if (TextState* after = in.textState())
        after->font = std::move(font);
    kept.applyTo(*this);
}

std::unique_ptr<FontRenderer> loadType3Font(FontDescription& description, OutputDevice* device) {
    if (description.kind() != FontDescription::kType3)
        return nullptr;
    return std::unique_ptr<FontRenderer>(
        new Type3Font(static_cast<Type3FontDescription&>(description), device));
}

}  // namespace vistrel
