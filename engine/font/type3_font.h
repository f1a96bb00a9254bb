// Type 3 fonts: every glyph is a small content stream, its glyph procedure,
// run through the interpreter that shows the text. The glyph of a code is the
// procedure /CharProcs holds under the code's name in the /Differences of the
// font's encoding dictionary; /FontMatrix maps the procedure's glyph space
// into text space.
//
// The font keeps a counted link to the interpreter, not the interpreter: a
// font the registry keeps after its page draws through the interpreter of the
// page that selects it next ("Tf" attaches it), and never through one that
// is gone.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/ref.h"
#include "engine/doc/content_runner.h"
#include "engine/font/font_description.h"
#include "engine/font/type3_glyph_cache.h"
#include "engine/render/content/font_renderer.h"

namespace vistrel {

class PdfStream;

class Type3Font final : public FontRenderer {
public:
    // Glyph procedures run inside one another at most this deep; a glyph
    // that would go deeper, or one of a font whose glyph is being drawn
    // already, draws nothing and only advances.
    static constexpr std::int32_t kMaxGlyphNesting = 4;

    // From the description's font dictionary and interpreter; attached to
    // the device when one is given. The widths are /Widths x 0.001 from
    // /FirstChar, padded with zeros after /LastChar up to code 255.
    Type3Font(const Type3FontDescription& description, OutputDevice* device);
    ~Type3Font() override;

    // True with a font dictionary or an interpreter.
    bool isUsable() const override;
    // A font built again from the same dictionary, with this font's
    // interpreter, text state, matrices, device and widths.
    std::unique_ptr<DrawableBase> clone() const override;
    // Detaches first; with an interpreter, glyph procedures run in it from
    // now on.
    bool attachDevice(OutputDevice* device, ContentInterpreter* interpreter) override;
    // Runs the code's glyph procedure under the text rendering matrix and
    // advances by the code's width in glyph space. A code without a
    // procedure draws nothing and advances by its width. True.
    bool showGlyph(std::uint16_t code) override;
    // Glyphs are drawn only by showGlyph.
    bool drawGlyph(std::uint16_t code, IntPoint point) override;
    double descent() const override { return 0.2; }
    double ascent() const override { return 0.8; }
    bool capturesText() const override { return false; }
    bool allowsTextBar() const override { return false; }
    // "Type3 font".
    void description(WString& text) const override;
    bool isReleasable() const override { return false; }
    // The device size is the font size.
    void updateDeviceHeight() override;
    double programAdvance(std::uint16_t code) override;

    const Matrix& fontMatrix() const { return fontMatrix_; }
    const Type3GlyphCache& glyphCache() const { return glyphs_; }
    // The interpreter glyph procedures run in; null when none was given or
    // it is gone.
    ContentInterpreter* interpreter() const;

private:
    Type3Font(const Type3Font& source);

    // Reads /Resources, /CharProcs and /FontMatrix of the dictionary.
    void readDictionary();
    // The glyph procedure of a code, or null.
    Ref<PdfStream> glyphProcedure(std::uint16_t code) const;
    // Runs a procedure in the interpreter inside "q" and "Q", with the glyph
    // matrix as base matrix; with keep, the image a stencil procedure draws
    // is kept for the code's later showings.
    void runProcedure(ContentInterpreter& in, PdfStream& procedure, std::uint16_t code, bool keep);

    Ref<Type3FontDict> fontDict_;
    Ref<InterpreterLink> interpreter_;
    ContentRunner runner_;
    Matrix fontMatrix_;
    Ref<PdfDict> charProcs_;
    // A glyph procedure of this font is running.
    bool drawing_ = false;
    Type3GlyphCache glyphs_;
};

// The "Type3" loader: a Type3Font for a Type 3 description, else null.
std::unique_ptr<FontRenderer> loadType3Font(FontDescription& description, OutputDevice* device);

}  // namespace vistrel
