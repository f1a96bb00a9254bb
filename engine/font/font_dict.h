// Font dictionaries: the document's parser turns a dictionary whose /Type is
// /Font into one of seven typed classes chosen by its /Subtype (class kind 44,
// installFontDictionaryFactories in pdf_font_factories.h installs the hook).
// Each keeps a copy of the dictionary's entries with the integer widths of
// /Widths and the /FirstChar and /LastChar codes.
#pragma once

#include <cstdint>

#include "engine/core/containers.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class ContentInterpreter;
class EncodingDict;
class FontHandle;

class FontDict : public PdfDict {
public:
    // FontDict::fontKind values, by /Subtype.
    enum : int32_t {
        kType0 = 0,
        kType1 = 1,
        kTrueType = 2,
        kType3 = 3,
        kMMType1 = 4,
        kCIDFontType0 = 5,
        kCIDFontType2 = 6,
    };

    uint16_t classKind() const override;
    virtual int32_t fontKind() const = 0;

    // The integer part of every number of /Widths (other elements skipped,
    // the following ones moving up).
    const GrowableArray<int32_t>& widths() const { return widths_; }
    // /FirstChar and /LastChar cut to 16 bits; 0 and 255 when absent.
    int16_t firstChar() const { return firstChar_; }
    int16_t lastChar() const { return lastChar_; }
    // The font descriptor made from a /FontDescriptor dictionary written
    // without /Type (which the document keeps plain), or null.
    PdfObject* untypedDescriptor() const { return untypedDescriptor_.get(); }

    // The kind of font the registry is asked for: "Type1", "TrueType",
    // "Type3", or "blah" (a kind with no factory and no loader, so that the
    // registry goes straight to its fallback).
    const WString& requestKind() const;

    // The font of the dictionary for a content run: the registry's font of
    // the request kind in the category "PDF", made from this dictionary for
    // the interpreter's device, a live font with an equal description
    // shared. Null when no font can be made.
    virtual Ref<FontHandle> makeFont(ContentInterpreter& interpreter);

protected:
    explicit FontDict(const PdfDict& source);

private:
    GrowableArray<int32_t> widths_{8, &growableArrayHandle};
    int16_t firstChar_ = 0;
    int16_t lastChar_ = 255;
    ObjectRef untypedDescriptor_;
};

#define VISTREL_FONT_DICT_CLASS(Class, kind)                        \
    class Class final : public FontDict {                           \
    public:                                                         \
        explicit Class(const PdfDict& source) : FontDict(source) {} \
        int32_t fontKind() const override { return kind; }          \
        VISTREL_POOLED_CLASS(Class)                                 \
    };

VISTREL_FONT_DICT_CLASS(Type0FontDict, kType0)
VISTREL_FONT_DICT_CLASS(Type1FontDict, kType1)
VISTREL_FONT_DICT_CLASS(TrueTypeFontDict, kTrueType)

// A Type 3 font is asked for through a description of its own, which carries
// the interpreter its glyph procedures run in.
class Type3FontDict final : public FontDict {
public:
    explicit Type3FontDict(const PdfDict& source) : FontDict(source) {}
    int32_t fontKind() const override { return kType3; }
    Ref<FontHandle> makeFont(ContentInterpreter& interpreter) override;
    VISTREL_POOLED_CLASS(Type3FontDict)
};

VISTREL_FONT_DICT_CLASS(MMType1FontDict, kMMType1)
VISTREL_FONT_DICT_CLASS(CIDFontType0Dict, kCIDFontType0)
VISTREL_FONT_DICT_CLASS(CIDFontType2Dict, kCIDFontType2)

#undef VISTREL_FONT_DICT_CLASS

// The typed font dictionary for a dictionary whose /Subtype (dereferenced) is
// /Type1, /TrueType, /MMType1, /Type3, /Type0, /CIDFontType0 or
// /CIDFontType2; null for any other /Subtype, one that is no name, and a copy
// that could not be made.
ObjectRef makeFontDict(const PdfDict& dict);

// Replaces text by the key prefix of the dictionary's kind ("PDF_T1: ", ...).
void fontKindPrefix(const FontDict& dict, WString& text);

// Typed casts: the dereferenced object when it is a font dictionary or an
// encoding dictionary (class kind 45); null otherwise. (asName is the object
// model's.)
FontDict* asFontDict(PdfObject* object);
EncodingDict* asEncodingDict(PdfObject* object);

}  // namespace vistrel
