// The description factories of PDF fonts: plain functions that turn a font
// dictionary (or, for Type 3 fonts, the description its dictionary made) into
// a new FontDescription with one reference for the caller, and write the
// font's out name. The font registry calls them for the kinds "Type1",
// "TrueType" and "Type3" of the category "PDF".
//
// Two names come out of the Type 1 and TrueType factories: the out name, the
// kind prefix followed by /BaseFont as written ("PDF_T1: Helvetica-Bold"), and
// the description's key name, /BaseFont with the descriptor's style flags as
// suffixes, lower-cased ("helvetica-bold-serif").
#pragma once

#include <memory>

#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/differences.h"
#include "engine/font/font_description.h"
#include "engine/font/font_source.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class FontDict;

// What a font dictionary's /Encoding names.
struct FontEncodingChoice {
    // "MacRomanEncoding", "WinAnsiEncoding" or "StandartEncoding" for the
    // base encodings of those names (/StandartEncoding, so spelled, is the
    // only name that reaches the standard encoding), else empty.
    WString name;
    // True when a base encoding name was given (a name /Encoding, or an
    // encoding dictionary's /BaseEncoding name), whether known or not.
    bool nameGiven = false;
    // The /Differences of an encoding dictionary, when it has an array there.
    std::unique_ptr<Differences> differences;
};
FontEncodingChoice readFontEncoding(const FontDict& font);

// A Type1FontDescription from a font dictionary: the description is named
// by /BaseFont with the "-serif", "-italic", "-symbol", "-all_cap",
// "-smallcap", "-monospace" suffixes of the descriptor's flags; it takes the
// descriptor's Type 1 or Type 1C program, and the widths per code in em
// units (firstChar zeros before the /Widths entries, zeros after them up to
// 256 codes).
Ref<FontDescription> createType1Font(const FontSource& source, WString& outName);

// A TrueTypeFontDescription, as the Type 1 one with the suffixes ",serif"
// and so on, the descriptor's TrueType program and metrics, the average of
// the widths when the descriptor gives none, and a default encoding when no
// base encoding name is given ("WinAnsiEncoding" for a /TrueType font,
// "StandartEncoding" for the others).
Ref<FontDescription> createTrueTypeFont(const FontSource& source, WString& outName);

// A copy of the Type3FontDescription the source is; the out name is
// "Type3 font".
Ref<FontDescription> createType3Font(const FontSource& source, WString& outName);

// Installs the typed-object hooks for /Type /Font (makeFontDict) and
// /Type /FontDescriptor (makeFontDescriptor), and the font dictionaries'
// make-font step for "Tf" (FontDict::makeFont). The engine's start-up calls
// it once, before any document is read; so do the tools and test programs.
void installFontDictionaryFactories();

}  // namespace vistrel
