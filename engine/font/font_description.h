// Font descriptions: what a font is asked for by, reference-counted. The font
// registry keeps one with every live font and reuses the font for a request
// whose description answers equal; widths and programs never take part in
// equality, so requests that differ only in those share one font.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"
#include "engine/core/containers.h"
#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/differences.h"
#include "engine/font/font_descriptor.h"
#include "engine/font/font_dict.h"
#include "engine/render/content/content_interpreter.h"

namespace vistrel {

class InputStream;

class FontDescription {
public:
    // kind() values.
    enum : int32_t {
        kTrueType = 0,
        kType3 = 3,
        kSimple = 256,  // the shared base of the Type 1 and TrueType kinds
        kType1 = 257,
    };

    FontDescription(const FontDescription&) = delete;
    FontDescription& operator=(const FontDescription&) = delete;

    virtual int32_t kind() const = 0;
    // Same kind and the same key name.
    virtual bool equals(const FontDescription* other) const;

    // The key name.
    const WString& name() const { return name_; }
    WString& name() { return name_; }

    // The style read back from the key name: each a case-sensitive search
    // for a word anywhere in it, word boundaries not considered ("sans-serif"
    // holds "serif").
    // "italic" or "oblique".
    bool isItalic() const;
    bool isUnderline() const;
    bool isStrikeout() const;
    bool isSerif() const;
    bool isMonospace() const;
    // The weight of the first weight word the key name holds, in the order
    // of kWeightWords ("thin" first, so anything holding it weighs 100;
    // "semibold" before "bold"); kNormalWeight when it holds none.
    int32_t weight() const;

    void addRef() { ++refCount_; }
    void release() {
        if (--refCount_ == 0)
            delete this;
    }
    uint32_t refCount() const { return refCount_; }

    VISTREL_GLOBAL_ALLOCATOR()

protected:
    FontDescription() = default;
    virtual ~FontDescription() = default;

private:
    WString name_;
    uint32_t refCount_ = 1;
};

// The fields the Type 1 and TrueType descriptions share: the encoding name,
// the /Differences (or none) and the widths per code (may be empty).
class SimpleFontDescription : public FontDescription {
public:
    int32_t kind() const override { return kSimple; }
    // Also the same encoding name and the same differences.
    bool equals(const FontDescription* other) const override;

    const WString& encodingName() const { return encodingName_; }
    WString& encodingName() { return encodingName_; }
    const Differences* differences() const { return differences_.get(); }
    void setDifferences(std::unique_ptr<Differences> differences) {
        differences_ = std::move(differences);
    }
    const DoubleArray& widths() const { return widths_; }
    DoubleArray& widths() { return widths_; }

protected:
    SimpleFontDescription() = default;

private:
    WString encodingName_;
    std::unique_ptr<Differences> differences_;
    DoubleArray widths_;
};

// The embedded program of a description. A document's program is held by a
// counted handle: a purge of the document's objects can free the font
// descriptor that holds it while the font is made and while it lives. Data
// that is no document's is only pointed at, its owner keeping it alive.
class EmbeddedProgram {
public:
    // The program's data, or null.
    InputStream* data() const { return held_ ? held_->stream() : borrowed_; }
    void hold(FontProgram* program) {
        held_ = Ref<FontProgram>::share(program);
        borrowed_ = nullptr;
    }
    void borrow(InputStream* data) {
        held_ = nullptr;
        borrowed_ = data;
    }

private:
    Ref<FontProgram> held_;
    InputStream* borrowed_ = nullptr;
};

class Type1FontDescription final : public SimpleFontDescription {
public:
    Type1FontDescription() = default;

    int32_t kind() const override { return kType1; }
    // Also the same compact flag.
    bool equals(const FontDescription* other) const override;

    // The embedded program's data, or null.
    InputStream* program() const { return program_.data(); }
    // True for a compact (Type 1C) program.
    bool isCompact() const { return isCompact_; }
    // A document's program, held.
    void holdProgram(FontProgram* program, bool isCompact) {
        program_.hold(program);
        isCompact_ = isCompact;
    }
    // Data its owner keeps alive as long as the description.
    void setProgram(InputStream* program, bool isCompact) {
        program_.borrow(program);
        isCompact_ = isCompact;
    }

private:
    EmbeddedProgram program_;
    bool isCompact_ = false;
};

// Metrics are em units (the descriptor's values × 0.001): average and
// maximum width 0 when unknown, ascent and descent -1 when unknown.
class TrueTypeFontDescription final : public SimpleFontDescription {
public:
    TrueTypeFontDescription() = default;

    int32_t kind() const override { return kTrueType; }
    // Also exactly the same four metrics.
    bool equals(const FontDescription* other) const override;

    double avgWidth = 0.0;
    double maxWidth = 0.0;
    double ascent = -1.0;
    double descent = -1.0;

    // The embedded TrueType program's data, or null.
    InputStream* program() const { return program_.data(); }
    // A document's program, held.
    void holdProgram(FontProgram* program) { program_.hold(program); }
    // Data its owner keeps alive as long as the description.
    void setProgram(InputStream* program) { program_.borrow(program); }
    const EmbeddedProgram& embeddedProgram() const { return program_; }
    EmbeddedProgram& embeddedProgram() { return program_; }

private:
    EmbeddedProgram program_;
};

// A Type 3 font is asked for by its font dictionary and the interpreter that
// runs its glyph procedures.
class Type3FontDescription final : public FontDescription {
public:
    // Takes one reference on the dictionary and one on the interpreter's
    // link (the interpreter itself may go first).
    Type3FontDescription(Type3FontDict* fontDict, ContentInterpreter* interpreter);

    int32_t kind() const override { return kType3; }
    // Also font dictionaries that are equal PDF objects.
    bool equals(const FontDescription* other) const override;

    Type3FontDict* fontDict() const { return fontDict_.get(); }
    // The interpreter, or null once it is gone.
    ContentInterpreter* interpreter() const;

private:
    Ref<Type3FontDict> fontDict_;
    Ref<InterpreterLink> interpreter_;
};

}  // namespace vistrel
