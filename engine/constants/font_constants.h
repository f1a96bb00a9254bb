// The encoding, font and glyph words of the font code: the names of the
// built-in encodings and their display words, the font-kind and category words
// of the font registry, the style and weight words read from font key names,
// and the Latin, Latin Extended-A and ligature glyph names.
//
// Every one is a WStringConstant built at its place of the load order
// (constant_registry.cpp); use them by name: encodings::WinAnsiEncoding,
// fontwords::Type1, glyphs::Aacute. Glyph names keep their solidus, so that
// they compare equal to the text of a PDF name; the other words have none.
#pragma once

#include <cstdint>

#include "engine/constants/constant_slot.h"
#include "engine/constants/setting_keys.h"
#include "engine/constants/wstring_constant.h"

// The built-in encodings by their lookup names ("StandartEncoding" is the
// standard encoding's) and the expert encoding's name, which has no table;
// then the words the font information shows for them.
#define VISTREL_ENCODING_WORDS(X)              \
    X(MacRomanEncoding, u"MacRomanEncoding")   \
    X(WinAnsiEncoding, u"WinAnsiEncoding")     \
    X(StandartEncoding, u"StandartEncoding")   \
    X(PDFDocEncoding, u"PDFDocEncoding")       \
    X(MacExpertEncoding, u"MacExpertEncoding") \
    X(WinANSI, u"WinANSI")                     \
    X(Standard, u"Standard")                   \
    X(MacRoman, u"MacRoman")                   \
    X(MaxExpert, u"MaxExpert")                 \
    X(Custom, u"Custom")                       \
    X(Modified, u"(Modified)")

// The kind word "TrueType", the category words of the registry's factory
// table, and the style words.
#define VISTREL_FONT_WORDS(X)  \
    X(TrueType, u"TrueType")   \
    X(Standard, u"Standard")   \
    X(PDF, u"PDF")             \
    X(Plain, u"Plain")         \
    X(italic, u"italic")       \
    X(oblique, u"oblique")     \
    X(underline, u"underline") \
    X(strikeout, u"strikeout") \
    X(serif, u"serif")         \
    X(monospace, u"monospace")

// The weight words in the order a weight is decided by (the first one a key
// name contains wins), with their weights.
#define VISTREL_WEIGHT_WORDS(X)       \
    X(thin, u"thin", 100)             \
    X(extralight, u"extralight", 200) \
    X(ultralight, u"ultralight", 200) \
    X(light, u"light", 300)           \
    X(medium, u"medium", 500)         \
    X(semibold, u"semibold", 600)     \
    X(demibold, u"demibold", 600)     \
    X(extrabold, u"extrabold", 800)   \
    X(ultrabold, u"ultrabold", 800)   \
    X(heavy, u"heavy", 900)           \
    X(black, u"black", 900)           \
    X(bold, u"bold", 700)

// The kind words of the Type 1 loaders, and of the Type 3 loader.
#define VISTREL_TYPE1_KIND_WORDS(X) \
    X(Type1, u"Type1")              \
    X(Type1CID, u"Type1CID")
#define VISTREL_TYPE3_KIND_WORDS(X) X(Type3, u"Type3")

// The Latin glyph names, less "/K", which is the decode-parameter key
// params::K (glyphs::K names it too). The list's parameter is not called X:
// the glyph X is one of its entries.
#define VISTREL_LATIN_GLYPH_NAMES(ENTRY)      \
    ENTRY(A, u"/A")                           \
    ENTRY(AE, u"/AE")                         \
    ENTRY(Aacute, u"/Aacute")                 \
    ENTRY(Acircumflex, u"/Acircumflex")       \
    ENTRY(Adieresis, u"/Adieresis")           \
    ENTRY(Agrave, u"/Agrave")                 \
    ENTRY(Aring, u"/Aring")                   \
    ENTRY(Atilde, u"/Atilde")                 \
    ENTRY(B, u"/B")                           \
    ENTRY(C, u"/C")                           \
    ENTRY(Ccedilla, u"/Ccedilla")             \
    ENTRY(D, u"/D")                           \
    ENTRY(E, u"/E")                           \
    ENTRY(Eacute, u"/Eacute")                 \
    ENTRY(Ecircumflex, u"/Ecircumflex")       \
    ENTRY(Edieresis, u"/Edieresis")           \
    ENTRY(Egrave, u"/Egrave")                 \
    ENTRY(Eth, u"/Eth")                       \
    ENTRY(Euro, u"/Euro")                     \
    ENTRY(F, u"/F")                           \
    ENTRY(G, u"/G")                           \
    ENTRY(H, u"/H")                           \
    ENTRY(I, u"/I")                           \
    ENTRY(Iacute, u"/Iacute")                 \
    ENTRY(Icircumflex, u"/Icircumflex")       \
    ENTRY(Idieresis, u"/Idieresis")           \
    ENTRY(Igrave, u"/Igrave")                 \
    ENTRY(J, u"/J")                           \
    ENTRY(L, u"/L")                           \
    ENTRY(Lslash, u"/Lslash")                 \
    ENTRY(M, u"/M")                           \
    ENTRY(N, u"/N")                           \
    ENTRY(Ntilde, u"/Ntilde")                 \
    ENTRY(O, u"/O")                           \
    ENTRY(OE, u"/OE")                         \
    ENTRY(Oacute, u"/Oacute")                 \
    ENTRY(Ocircumflex, u"/Ocircumflex")       \
    ENTRY(Odieresis, u"/Odieresis")           \
    ENTRY(Ograve, u"/Ograve")                 \
    ENTRY(Oslash, u"/Oslash")                 \
    ENTRY(Otilde, u"/Otilde")                 \
    ENTRY(P, u"/P")                           \
    ENTRY(Q, u"/Q")                           \
    ENTRY(R, u"/R")                           \
    ENTRY(S, u"/S")                           \
    ENTRY(Scaron, u"/Scaron")                 \
    ENTRY(T, u"/T")                           \
    ENTRY(Thorn, u"/Thorn")                   \
    ENTRY(U, u"/U")                           \
    ENTRY(Uacute, u"/Uacute")                 \
    ENTRY(Ucircumflex, u"/Ucircumflex")       \
    ENTRY(Udieresis, u"/Udieresis")           \
    ENTRY(Ugrave, u"/Ugrave")                 \
    ENTRY(V, u"/V")                           \
    ENTRY(W, u"/W")                           \
    ENTRY(X, u"/X")                           \
    ENTRY(Y, u"/Y")                           \
    ENTRY(Yacute, u"/Yacute")                 \
    ENTRY(Ydieresis, u"/Ydieresis")           \
    ENTRY(Z, u"/Z")                           \
    ENTRY(Zcaron, u"/Zcaron")                 \
    ENTRY(a, u"/a")                           \
    ENTRY(aacute, u"/aacute")                 \
    ENTRY(acircumflex, u"/acircumflex")       \
    ENTRY(acute, u"/acute")                   \
    ENTRY(adieresis, u"/adieresis")           \
    ENTRY(ae, u"/ae")                         \
    ENTRY(agrave, u"/agrave")                 \
    ENTRY(ampersand, u"/ampersand")           \
    ENTRY(aring, u"/aring")                   \
    ENTRY(asciicircum, u"/asciicircum")       \
    ENTRY(asciitilde, u"/asciitilde")         \
    ENTRY(asterisk, u"/asterisk")             \
    ENTRY(at, u"/at")                         \
    ENTRY(atilde, u"/atilde")                 \
    ENTRY(b, u"/b")                           \
    ENTRY(backslash, u"/backslash")           \
    ENTRY(bar, u"/bar")                       \
    ENTRY(braceleft, u"/braceleft")           \
    ENTRY(braceright, u"/braceright")         \
    ENTRY(bracketleft, u"/bracketleft")       \
    ENTRY(bracketright, u"/bracketright")     \
    ENTRY(breve, u"/breve")                   \
    ENTRY(brokenbar, u"/brokenbar")           \
    ENTRY(bullet, u"/bullet")                 \
    ENTRY(c, u"/c")                           \
    ENTRY(caron, u"/caron")                   \
    ENTRY(ccedilla, u"/ccedilla")             \
    ENTRY(cedilla, u"/cedilla")               \
    ENTRY(cent, u"/cent")                     \
    ENTRY(circumflex, u"/circumflex")         \
    ENTRY(colon, u"/colon")                   \
    ENTRY(comma, u"/comma")                   \
    ENTRY(copyright, u"/copyright")           \
    ENTRY(currency, u"/currency")             \
    ENTRY(d, u"/d")                           \
    ENTRY(dagger, u"/dagger")                 \
    ENTRY(daggerdbl, u"/daggerdbl")           \
    ENTRY(degree, u"/degree")                 \
    ENTRY(dieresis, u"/dieresis")             \
    ENTRY(divide, u"/divide")                 \
    ENTRY(dollar, u"/dollar")                 \
    ENTRY(dotaccent, u"/dotaccent")           \
    ENTRY(dotlessi, u"/dotlessi")             \
    ENTRY(e, u"/e")                           \
    ENTRY(eacute, u"/eacute")                 \
    ENTRY(ecircumflex, u"/ecircumflex")       \
    ENTRY(edieresis, u"/edieresis")           \
    ENTRY(egrave, u"/egrave")                 \
    ENTRY(eight, u"/eight")                   \
    ENTRY(ellipsis, u"/ellipsis")             \
    ENTRY(emdash, u"/emdash")                 \
    ENTRY(endash, u"/endash")                 \
    ENTRY(equal, u"/equal")                   \
    ENTRY(eth, u"/eth")                       \
    ENTRY(exclam, u"/exclam")                 \
    ENTRY(exclamdown, u"/exclamdown")         \
    ENTRY(f, u"/f")                           \
    ENTRY(fi, u"/fi")                         \
    ENTRY(five, u"/five")                     \
    ENTRY(fl, u"/fl")                         \
    ENTRY(florin, u"/florin")                 \
    ENTRY(four, u"/four")                     \
    ENTRY(fraction, u"/fraction")             \
    ENTRY(g, u"/g")                           \
    ENTRY(germandbls, u"/germandbls")         \
    ENTRY(grave, u"/grave")                   \
    ENTRY(greater, u"/greater")               \
    ENTRY(guillemotleft, u"/guillemotleft")   \
    ENTRY(guillemotright, u"/guillemotright") \
    ENTRY(guilsinglleft, u"/guilsinglleft")   \
    ENTRY(guilsinglright, u"/guilsinglright") \
    ENTRY(h, u"/h")                           \
    ENTRY(hungarumlaut, u"/hungarumlaut")     \
    ENTRY(hyphen, u"/hyphen")                 \
    ENTRY(i, u"/i")                           \
    ENTRY(iacute, u"/iacute")                 \
    ENTRY(icircumflex, u"/icircumflex")       \
    ENTRY(idieresis, u"/idieresis")           \
    ENTRY(igrave, u"/igrave")                 \
    ENTRY(j, u"/j")                           \
    ENTRY(k, u"/k")                           \
    ENTRY(l, u"/l")                           \
    ENTRY(less, u"/less")                     \
    ENTRY(logicalnot, u"/logicalnot")         \
    ENTRY(lslash, u"/lslash")                 \
    ENTRY(m, u"/m")                           \
    ENTRY(macron, u"/macron")                 \
    ENTRY(minus, u"/minus")                   \
    ENTRY(mu, u"/mu")                         \
    ENTRY(multiply, u"/multiply")             \
    ENTRY(n, u"/n")                           \
    ENTRY(nine, u"/nine")                     \
    ENTRY(ntilde, u"/ntilde")                 \
    ENTRY(numbersign, u"/numbersign")         \
    ENTRY(o, u"/o")                           \
    ENTRY(oacute, u"/oacute")                 \
    ENTRY(ocircumflex, u"/ocircumflex")       \
    ENTRY(odieresis, u"/odieresis")           \
    ENTRY(oe, u"/oe")                         \
    ENTRY(ogonek, u"/ogonek")                 \
    ENTRY(ograve, u"/ograve")                 \
    ENTRY(one, u"/one")                       \
    ENTRY(onehalf, u"/onehalf")               \
    ENTRY(onequarter, u"/onequarter")         \
    ENTRY(onesuperior, u"/onesuperior")       \
    ENTRY(ordfeminine, u"/ordfeminine")       \
    ENTRY(ordmasculine, u"/ordmasculine")     \
    ENTRY(oslash, u"/oslash")                 \
    ENTRY(otilde, u"/otilde")                 \
    ENTRY(p, u"/p")                           \
    ENTRY(paragraph, u"/paragraph")           \
    ENTRY(parenleft, u"/parenleft")           \
    ENTRY(parenright, u"/parenright")         \
    ENTRY(percent, u"/percent")               \
    ENTRY(period, u"/period")                 \
    ENTRY(periodcentered, u"/periodcentered") \
    ENTRY(perthousand, u"/perthousand")       \
    ENTRY(plus, u"/plus")                     \
    ENTRY(plusminus, u"/plusminus")           \
    ENTRY(q, u"/q")                           \
    ENTRY(question, u"/question")             \
    ENTRY(questiondown, u"/questiondown")     \
    ENTRY(quotedbl, u"/quotedbl")             \
    ENTRY(quotedblbase, u"/quotedblbase")     \
    ENTRY(quotedblleft, u"/quotedblleft")     \
    ENTRY(quotedblright, u"/quotedblright")   \
    ENTRY(quoteleft, u"/quoteleft")           \
    ENTRY(quoteright, u"/quoteright")         \
    ENTRY(quotesinglbase, u"/quotesinglbase") \
    ENTRY(quotesingle, u"/quotesingle")       \
    ENTRY(r, u"/r")                           \
    ENTRY(rcaron, u"/rcaron")                 \
    ENTRY(registered, u"/registered")         \
    ENTRY(ring, u"/ring")                     \
    ENTRY(s, u"/s")                           \
    ENTRY(scaron, u"/scaron")                 \
    ENTRY(section, u"/section")               \
    ENTRY(semicolon, u"/semicolon")           \
    ENTRY(seven, u"/seven")                   \
    ENTRY(six, u"/six")                       \
    ENTRY(slash, u"/slash")                   \
    ENTRY(space, u"/space")                   \
    ENTRY(sterling, u"/sterling")             \
    ENTRY(t, u"/t")                           \
    ENTRY(thorn, u"/thorn")                   \
    ENTRY(three, u"/three")                   \
    ENTRY(threequarters, u"/threequarters")   \
    ENTRY(threesuperior, u"/threesuperior")   \
    ENTRY(tilde, u"/tilde")                   \
    ENTRY(trademark, u"/trademark")           \
    ENTRY(two, u"/two")                       \
    ENTRY(twosuperior, u"/twosuperior")       \
    ENTRY(u, u"/u")                           \
    ENTRY(uacute, u"/uacute")                 \
    ENTRY(ucircumflex, u"/ucircumflex")       \
    ENTRY(udieresis, u"/udieresis")           \
    ENTRY(ugrave, u"/ugrave")                 \
    ENTRY(underscore, u"/underscore")         \
    ENTRY(v, u"/v")                           \
    ENTRY(w, u"/w")                           \
    ENTRY(x, u"/x")                           \
    ENTRY(y, u"/y")                           \
    ENTRY(yacute, u"/yacute")                 \
    ENTRY(ydieresis, u"/ydieresis")           \
    ENTRY(yen, u"/yen")                       \
    ENTRY(z, u"/z")                           \
    ENTRY(zcaron, u"/zcaron")                 \
    ENTRY(zero, u"/zero")

#define VISTREL_LATIN_EXT_A_GLYPH_NAMES(X) \
    X(Amacron, u"/Amacron")                \
    X(amacron, u"/amacron")                \
    X(Abreve, u"/Abreve")                  \
    X(abreve, u"/abreve")                  \
    X(Aogonek, u"/Aogonek")                \
    X(aogonek, u"/aogonek")                \
    X(Cacute, u"/Cacute")                  \
    X(cacute, u"/cacute")                  \
    X(Ccircumflex, u"/Ccircumflex")        \
    X(ccircumflex, u"/ccircumflex")        \
    X(Ccaron, u"/Ccaron")                  \
    X(ccaron, u"/ccaron")                  \
    X(Dcaron, u"/Dcaron")                  \
    X(dcaron, u"/dcaron")                  \
    X(Dstroke, u"/Dstroke")                \
    X(dstroke, u"/dstroke")                \
    X(Emacron, u"/Emacron")                \
    X(emacron, u"/emacron")                \
    X(Ebreve, u"/Ebreve")                  \
    X(ebreve, u"/ebreve")                  \
    X(Eogonek, u"/Eogonek")                \
    X(eogonek, u"/eogonek")                \
    X(Ecaron, u"/Ecaron")                  \
    X(ecaron, u"/ecaron")                  \
    X(Gcircumflex, u"/Gcircumflex")        \
    X(gcircumflex, u"/gcircumflex")        \
    X(Gbreve, u"/Gbreve")                  \
    X(gbreve, u"/gbreve")                  \
    X(Gcedilla, u"/Gcedilla")              \
    X(gcedilla, u"/gcedilla")              \
    X(Hcircumflex, u"/Hcircumflex")        \
    X(hcircumflex, u"/hcircumflex")        \
    X(Itilde, u"/Itilde")                  \
    X(itilde, u"/itilde")                  \
    X(Imacron, u"/Imacron")                \
    X(imacron, u"/imacron")                \
    X(Ibreve, u"/Ibreve")                  \
    X(ibreve, u"/ibreve")                  \
    X(Iogonek, u"/Iogonek")                \
    X(iogonek, u"/iogonek")                \
    X(LJ, u"/LJ")                          \
    X(lj, u"/lj")                          \
    X(Jcircumflex, u"/Jcircumflex")        \
    X(jcircumflex, u"/jcircumflex")        \
    X(Kcedilla, u"/Kcedilla")              \
    X(kcedilla, u"/kcedilla")              \
    X(Lacute, u"/Lacute")                  \
    X(lacute, u"/lacute")                  \
    X(Lcedilla, u"/Lcedilla")              \
    X(lcedila, u"/lcedila")                \
    X(Lcaron, u"/Lcaron")                  \
    X(lcaron, u"/lcaron")                  \
    X(Lstroke, u"/Lstroke")                \
    X(lstroke, u"/lstroke")                \
    X(Macute, u"/Macute")                  \
    X(macute, u"/macute")                  \
    X(Ncedilla, u"/Ncedilla")              \
    X(ncedilla, u"/ncedilla")              \
    X(Ncaron, u"/Ncaron")                  \
    X(ncaron, u"/ncaron")                  \
    X(Omacron, u"/Omacron")                \
    X(omacron, u"/omacron")                \
    X(Obreve, u"/Obreve")                  \
    X(obreve, u"/obreve")                  \
    X(Racute, u"/Racute")                  \
    X(racute, u"/racute")                  \
    X(Rcedilla, u"/Rcedilla")              \
    X(rcedilla, u"/rcedilla")              \
    X(Rcaron, u"/Rcaron")                  \
    X(Sacute, u"/Sacute")                  \
    X(sacute, u"/sacute")                  \
    X(Scircumflex, u"/Scircumflex")        \
    X(scircumflex, u"/scircumflex")        \
    X(Scedilla, u"/Scedilla")              \
    X(scedilla, u"/scedilla")              \
    X(Tcedilla, u"/Tcedilla")              \
    X(tcedilla, u"/tcedilla")              \
    X(Tcaron, u"/Tcaron")                  \
    X(tcaron, u"/tcaron")                  \
    X(Tstroke, u"/Tstroke")                \
    X(tstroke, u"/tstroke")                \
    X(Utilde, u"/Utilde")                  \
    X(utilde, u"/utilde")                  \
    X(Umacron, u"/Umacron")                \
    X(umacron, u"/umacron")                \
    X(Ubreve, u"/Ubreve")                  \
    X(ubreve, u"/ubreve")                  \
    X(Uring, u"/Uring")                    \
    X(uring, u"/uring")                    \
    X(Uogonek, u"/Uogonek")                \
    X(uogonek, u"/uogonek")                \
    X(Wcircumflex, u"/Wcircumflex")        \
    X(wcircumflex, u"/wcircumflex")        \
    X(Ycircumflex, u"/Ycircumflex")        \
    X(ycircumflex, u"/ycircumflex")        \
    X(Zacute, u"/Zacute")                  \
    X(zacute, u"/zacute")

// The ligatures of f beyond /fi and /fl, under their names and their
// Unicode names, the f_ forms and /uniFB00 to /uniFB04.
#define VISTREL_LIGATURE_GLYPH_NAMES(X) \
    X(ff, u"/ff")                       \
    X(ffi, u"/ffi")                     \
    X(ffl, u"/ffl")                     \
    X(f_f, u"/f_f")                     \
    X(f_f_i, u"/f_f_i")                 \
    X(f_f_l, u"/f_f_l")                 \
    X(uniFB00, u"/uniFB00")             \
    X(uniFB01, u"/uniFB01")             \
    X(uniFB02, u"/uniFB02")             \
    X(uniFB03, u"/uniFB03")             \
    X(uniFB04, u"/uniFB04")

namespace vistrel {

// The weight of a font whose key name holds none of the weight words.
inline constexpr int32_t kNormalWeight = 400;

namespace detail {
#define VISTREL_X(id, text) kIndex_##id,
#define VISTREL_W(id, text, weight) kIndex_##id,
// One enumeration per list, each in a namespace of its own (a word may stand
// in two lists).
namespace encoding_index {
enum : int { VISTREL_ENCODING_WORDS(VISTREL_X) kCount };
}
namespace font_index {
enum : int { VISTREL_FONT_WORDS(VISTREL_X) kCount };
}
namespace weight_index {
enum : int { VISTREL_WEIGHT_WORDS(VISTREL_W) kCount };
}
namespace type1_kind_index {
enum : int { VISTREL_TYPE1_KIND_WORDS(VISTREL_X) kCount };
}
namespace type3_kind_index {
enum : int { VISTREL_TYPE3_KIND_WORDS(VISTREL_X) kCount };
}
namespace latin_index {
enum : int { VISTREL_LATIN_GLYPH_NAMES(VISTREL_X) kCount };
}
namespace latin_ext_a_index {
enum : int { VISTREL_LATIN_EXT_A_GLYPH_NAMES(VISTREL_X) kCount };
}
namespace ligature_index {
enum : int { VISTREL_LIGATURE_GLYPH_NAMES(VISTREL_X) kCount };
}
inline constexpr int kEncodingWordCount = encoding_index::kCount;
inline constexpr int kFontWordCount = font_index::kCount;
inline constexpr int kWeightWordCount = weight_index::kCount;
inline constexpr int kType1KindWordCount = type1_kind_index::kCount;
inline constexpr int kType3KindWordCount = type3_kind_index::kCount;
inline constexpr int kLatinGlyphCount = latin_index::kCount;
inline constexpr int kLatinExtAGlyphCount = latin_ext_a_index::kCount;
inline constexpr int kLigatureGlyphCount = ligature_index::kCount;
#undef VISTREL_W
#undef VISTREL_X
extern ConstantSlot<WStringConstant> encodingWordSlots[kEncodingWordCount];
extern ConstantSlot<WStringConstant> fontWordSlots[kFontWordCount];
extern ConstantSlot<WStringConstant> weightWordSlots[kWeightWordCount];
extern ConstantSlot<WStringConstant> type1KindWordSlots[kType1KindWordCount];
extern ConstantSlot<WStringConstant> type3KindWordSlots[kType3KindWordCount];
extern ConstantSlot<WStringConstant> latinGlyphSlots[kLatinGlyphCount];
extern ConstantSlot<WStringConstant> latinExtAGlyphSlots[kLatinExtAGlyphCount];
extern ConstantSlot<WStringConstant> ligatureGlyphSlots[kLigatureGlyphCount];
}  // namespace detail

#define VISTREL_SLOT_REF(slots, index, id) \
    inline constexpr WStringConstant& id = detail::slots[detail::index::kIndex_##id].object;

namespace encodings {
#define VISTREL_X(id, text) VISTREL_SLOT_REF(encodingWordSlots, encoding_index, id)
VISTREL_ENCODING_WORDS(VISTREL_X)
#undef VISTREL_X
}  // namespace encodings

namespace fontwords {
#define VISTREL_X(id, text) VISTREL_SLOT_REF(fontWordSlots, font_index, id)
#define VISTREL_W(id, text, weight) VISTREL_SLOT_REF(weightWordSlots, weight_index, id)
VISTREL_FONT_WORDS(VISTREL_X)
VISTREL_WEIGHT_WORDS(VISTREL_W)
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(type1KindWordSlots, type1_kind_index, id)
VISTREL_TYPE1_KIND_WORDS(VISTREL_X)
#undef VISTREL_W
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(type3KindWordSlots, type3_kind_index, id)
VISTREL_TYPE3_KIND_WORDS(VISTREL_X)
#undef VISTREL_X
}  // namespace fontwords

namespace glyphs {
#define VISTREL_X(id, text) VISTREL_SLOT_REF(latinGlyphSlots, latin_index, id)
VISTREL_LATIN_GLYPH_NAMES(VISTREL_X)
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(latinExtAGlyphSlots, latin_ext_a_index, id)
VISTREL_LATIN_EXT_A_GLYPH_NAMES(VISTREL_X)
#undef VISTREL_X
#define VISTREL_X(id, text) VISTREL_SLOT_REF(ligatureGlyphSlots, ligature_index, id)
VISTREL_LIGATURE_GLYPH_NAMES(VISTREL_X)
#undef VISTREL_X
// One constant serves as the decode-parameter key and as the glyph name.
inline constexpr WStringConstant& K = params::K;
}  // namespace glyphs

#undef VISTREL_SLOT_REF

// A weight word and its weight.
struct WeightWord {
    const WStringConstant* word;
    int32_t weight;
};

// The weight words in their order.
inline constexpr WeightWord kWeightWords[] = {
#define VISTREL_W(id, text, weight) {&fontwords::id, weight},
    VISTREL_WEIGHT_WORDS(VISTREL_W)
#undef VISTREL_W
};

}  // namespace vistrel
