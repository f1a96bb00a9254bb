// Typed objects: the document parser replaces a parsed dictionary by a typed
// copy chosen by its /Type (or /FunctionType), a stream dictionary by a stream
// object chosen by /Type /XObject (or no /Type) and /Subtype, and a
// four-number array by a rectangle. The rest of the engine then tells pages, pages nodes, actions,
// annotations, fonts, encodings, border styles, functions, images and forms
// apart by classKind() alone.
//
// Typed dictionaries are copies of the parsed dictionary (same entries, kind
// 11) and behave as dictionaries in every respect.
#pragma once

#include <cstdint>

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class InputStream;

// A copy of an array of exactly four numbers (x1 y1 x2 y2): kind 10, class
// kind 41; its type name is the array's followed by "{R}".
class PdfRectangle final : public PdfArray {
public:
    explicit PdfRectangle(const PdfArray& source);

    uint16_t classKind() const override;
    WString typeName() const override;

    VISTREL_POOLED_CLASS(PdfRectangle)
};

// A pages node of the page tree (/Type /Pages, or any dictionary with /Kids
// and /Count when walked as one), class kind 39.
class PagesNode final : public PdfDict {
public:
    explicit PagesNode(const PdfDict& source);
    explicit PagesNode(PdfDict&& source);

    uint16_t classKind() const override;

    VISTREL_POOLED_CLASS(PagesNode)
};

// An action dictionary (class kind 37). The kind is 1 for GoTo, 0 for any
// other action; the target of a GoTo is read from /D by its users.
class PdfAction final : public PdfDict {
public:
    enum : int32_t { kOther = 0, kGoTo = 1 };

    PdfAction(const PdfDict& source, int32_t actionKind);

    uint16_t classKind() const override;
    virtual int32_t actionKind() const { return actionKind_; }

    VISTREL_POOLED_CLASS(PdfAction)

private:
    int32_t actionKind_;
};

// An annotation dictionary (class kind 42).
class PdfAnnotation final : public PdfDict {
public:
    enum : int32_t { kOther = 0, kText = 1, kLink = 2, kFreeText = 3, kPopup = 4 };

    PdfAnnotation(const PdfDict& source, int32_t subtypeCode);

    uint16_t classKind() const override;
    // Text 1, Link 2, FreeText 3, Popup 4, any other 0.
    virtual int32_t subtypeCode() const { return subtype_; }
    // For Text and Popup annotations the value of /Open when it is a
    // boolean; false otherwise.
    virtual bool openFlag() const;

    VISTREL_POOLED_CLASS(PdfAnnotation)

private:
    int32_t subtype_;
};

// An encoding dictionary (class kind 45).
class EncodingDict final : public PdfDict {
public:
    explicit EncodingDict(const PdfDict& source);

    uint16_t classKind() const override;

    VISTREL_POOLED_CLASS(EncodingDict)
};

// A border style dictionary (class kind 48).
class BorderStyle final : public PdfDict {
public:
    enum : int32_t { kNone = 0, kSolid = 1, kDashed = 2, kBeveled = 3, kInset = 4, kUnderline = 5 };

    explicit BorderStyle(const PdfDict& source);

    uint16_t classKind() const override;
    // From the name in /S: /S 1, /D 2, /B 3, /I 4, /U 5, otherwise 0.
    int32_t style() const { return style_; }
    // The integer value of /W (a real truncated toward zero), else 0.
    int32_t width() const { return width_; }

    VISTREL_POOLED_CLASS(BorderStyle)

private:
    int32_t style_ = kNone;
    int32_t width_ = 0;
};

// ---------------------------------------------------------------------------
// Factories of typed objects whose classes belong to the rendering and fonts
// code. Each makes a new object (or null) from a parsed dictionary; the
// result counts only when its valid flag is set. Until one is installed, the
// dictionary stays what it was.

// A function from a dictionary (stream null) or a stream dictionary (stream
// positioned at the data); fileKey is the document's file key or null.
using FunctionFactory = ObjectRef (*)(const PdfDict& dict, InputStream* stream,
                                      const uint8_t* fileKey);
// An image XObject over its stream data.
using ImageXObjectFactory = ObjectRef (*)(const PdfDict& dict, InputStream* stream,
                                          const uint8_t* fileKey);
// A font dictionary (chosen by /Subtype), or a font descriptor.
using FontDictFactory = ObjectRef (*)(const PdfDict& dict);

// Each installs a factory (null removes it) and returns the one it replaces.
FunctionFactory setFunctionFactory(FunctionFactory factory);
ImageXObjectFactory setImageXObjectFactory(ImageXObjectFactory factory);
FontDictFactory setFontDictFactory(FontDictFactory factory);
FontDictFactory setFontDescriptorFactory(FontDictFactory factory);

// The factories the document's parser calls through its hooks
// (makeTypedObject, makeStreamObject, makeRectangle of object_parser.h);
// installDocumentFactories installs them there. The engine's start-up calls
// it once, before any document is read; so do the tools and test programs.
//
// createTypedObject takes over a parsed dictionary and returns a typed object
// made from it (the dictionary given back) or the dictionary itself. Objects
// that are not plain dictionaries come back unchanged.
ObjectRef createTypedObject(ObjectRef dict);

// Takes over a parsed stream dictionary; `stream` is the document's input
// positioned at the first data byte, fileKey the document's file key (null
// when not encrypted). Returns a function, image XObject, form XObject or
// plain stream, or the dictionary itself when no stream object can be made.
ObjectRef createStreamObject(ObjectRef dict, InputStream* stream, const uint8_t* fileKey);

// Takes over a parsed array: a rectangle when it holds exactly four numbers,
// else the array itself.
ObjectRef createRectangle(ObjectRef array);

// Installs the three factories above into the document's parser.
void installDocumentFactories();

// The action an object stands for: the action itself when it is one (one
// more reference); a dictionary with both /S and /D (an outline item's or a
// link's own entries) is copied into a new GoTo action whatever /S names, and
// `created` (when given) becomes true. Null otherwise.
Ref<PdfAction> asAction(PdfObject* object, bool* created = nullptr);

// The typed object, borrowed, or null when the object is not one.
PdfAction* asActionObject(PdfObject* object);
PdfAnnotation* asAnnotation(PdfObject* object);

}  // namespace vistrel
