// Font descriptors (/Type /FontDescriptor, class kind 46) with their embedded
// font program, and the test whether a font dictionary brings one.
#pragma once

#include <cstdint>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/parser/pdf_stream.h"

namespace vistrel {

class FontDict;

// The stream of /FontFile, /FontFile2 or /FontFile3 with the kind of program
// it holds. Reference-counted; the descriptor holds one reference.
class FontProgram {
public:
    enum : int32_t {
        kUnknown = 0,
        kType1 = 1,       // /FontFile
        kTrueType = 2,    // /FontFile2
        kCompact = 3,     // /Subtype /Type1C
        kCidCompact = 4,  // /Subtype /CIDFontType0C
    };

    FontProgram(PdfStream* stream, int32_t programKind);
    FontProgram(const FontProgram&) = delete;
    FontProgram& operator=(const FontProgram&) = delete;

    // The program's dictionary and, as an InputStream, its decoded data.
    PdfStream* stream() const { return stream_.get(); }
    int32_t programKind() const { return programKind_; }

    void addRef() { ++refCount_; }
    void release() {
        if (--refCount_ == 0)
            delete this;
    }

    VISTREL_POOLED_CLASS(FontProgram)

private:
    ~FontProgram() = default;

    Ref<PdfStream> stream_;
    int32_t programKind_;
    uint32_t refCount_ = 1;
};

// A font descriptor. It is valid only when /Ascent, /CapHeight, /Descent,
// /Flags, /ItalicAngle and /StemV are all numbers; otherwise the document
// keeps the plain dictionary, and the font has no descriptor (no flags, no
// embedded program). Every field is the integer part of its number; the
// optional ones are 0 when absent.
class FontDescriptorDict final : public PdfDict {
public:
    // Bits of flags() that name the style of a font.
    enum : uint32_t {
        kFixedPitch = 0x1,
        kSerif = 0x2,
        kSymbolic = 0x4,
        kItalic = 0x40,
        kAllCap = 0x10000,
        kSmallCap = 0x20000,
    };

    explicit FontDescriptorDict(const PdfDict& source);

    uint16_t classKind() const override;

    int32_t ascent() const { return ascent_; }
    int32_t descent() const { return descent_; }
    int32_t capHeight() const { return capHeight_; }
    uint32_t flags() const { return flags_; }
    int32_t italicAngle() const { return italicAngle_; }
    int32_t stemV() const { return stemV_; }
    int32_t avgWidth() const { return avgWidth_; }
    int32_t leading() const { return leading_; }
    int32_t maxWidth() const { return maxWidth_; }
    int32_t missingWidth() const { return missingWidth_; }
    int32_t stemH() const { return stemH_; }
    int32_t xHeight() const { return xHeight_; }
    // The embedded program, or null (none, or one of an unknown kind).
    FontProgram* program() const { return program_.get(); }

    VISTREL_POOLED_CLASS(FontDescriptorDict)

private:
    void readProgram();

    int32_t ascent_ = 0;
    int32_t descent_ = 0;
    int32_t capHeight_ = 0;
    uint32_t flags_ = 0;
    int32_t italicAngle_ = 0;
    int32_t stemV_ = 0;
    int32_t avgWidth_ = 0;
    int32_t leading_ = 0;
    int32_t maxWidth_ = 0;
    int32_t missingWidth_ = 0;
    int32_t stemH_ = 0;
    int32_t xHeight_ = 0;
    Ref<FontProgram> program_;
};

// The font descriptor (dereferenced), or null.
FontDescriptorDict* asFontDescriptor(PdfObject* object);

// The descriptor of a font dictionary's /FontDescriptor, or null.
FontDescriptorDict* fontDescriptorOf(const FontDict& font);

// True when the font's /FontDescriptor is a font descriptor with a program.
bool hasEmbeddedProgram(const FontDict& font);

// A new font descriptor made from a parsed dictionary, or null when the
// dictionary lacks one of its required numbers.
ObjectRef makeFontDescriptor(const PdfDict& dict);

}  // namespace vistrel
