// The encoding, font and glyph words of the font code: the names of the
// built-in encodings and their display words, the font-kind and category words
// of the font registry, the style and weight words read from font key names,
// and the Latin and Latin Extended-A glyph names.
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
// standard encoding's), then the words the font information shows for them.
#define VISTREL_ENCODING_WORDS(X)            \
    X(MacRomanEncoding, u"MacRomanEncoding") \
    X(WinAnsiEncoding, u"WinAnsiEncoding")   \
    X(StandartEncoding, u"StandartEncoding") \
    X(PDFDocEncoding, u"PDFDocEncoding")     \
    X(WinANSI, u"WinANSI")                   \
    X(Standard, u"Standard")                 \
    X(MacRoman, u"MacRoman")                 \
    X(MaxExpert, u"MaxExpert")               \
    X(Custom, u"Custom")

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
// params::K (glyphs::K names it too).
#define VISTREL_LATIN_GLYPH_NAMES(X)      \
    X(A, u"/A")                           \
    X(AE, u"/AE")                         \
    X(Aacute, u"/Aacute")                 \
    X(Acircumflex, u"/Acircumflex")       \
    X(Adieresis, u"/Adieresis")           \
    X(Agrave, u"/Agrave")                 \
    X(Aring, u"/Aring")                   \
    X(Atilde, u"/Atilde")                 \
    X(B, u"/B")                           \
    X(C, u"/C")                           \
    X(Ccedilla, u"/Ccedilla")             \
    X(D, u"/D")                           \
    X(E, u"/E")                           \
    X(Eacute, u"/Eacute")                 \
    X(Ecircumflex, u"/Ecircumflex")       \
    X(Edieresis, u"/Edieresis")           \
    X(Egrave, u"/Egrave")                 \
    X(Eth, u"/Eth")                       \
    X(Euro, u"/Euro")                     \
    X(F, u"/F")                           \
    X(G, u"/G")                           \
    X(H, u"/H")                           \
    X(I, u"/I")                           \
    X(Iacute, u"/Iacute")                 \
    X(Icircumflex, u"/Icircumflex")       \
    X(Idieresis, u"/Idieresis")           \
    X(Igrave, u"/Igrave")                 \
    X(J, u"/J")                           \
    X(L, u"/L")                           \
    X(Lslash, u"/Lslash")                 \
    X(M, u"/M")                           \
    X(N, u"/N")                           \
    X(Ntilde, u"/Ntilde")                 \
    X(O, u"/O")                           \
    X(OE, u"/OE")                         \
    X(Oacute, u"/Oacute")                 \
    X(Ocircumflex, u"/Ocircumflex")       \
    X(Odieresis, u"/Odieresis")           \
    X(Ograve, u"/Ograve")                 \
    X(Oslash, u"/Oslash")                 \
    X(Otilde, u"/Otilde")                 \
    X(P, u"/P")                           \
    X(Q, u"/Q")                           \
    X(R, u"/R")                           \
    X(S, u"/S")                           \
    X(Scaron, u"/Scaron")                 \
    X(T, u"/T")                           \
    X(Thorn, u"/Thorn")                   \
    X(U, u"/U")                           \
    X(Uacute, u"/Uacute")                 \
    X(Ucircumflex, u"/Ucircumflex")       \
    X(Udieresis, u"/Udieresis")           \
    X(Ugrave, u"/Ugrave")                 \
    X(V, u"/V")                           \
    X(W, u"/W")                           \
    X(X, u"/X")                           \
    X(Y, u"/Y")                           \
    X(Yacute, u"/Yacute")                 \
    X(Ydieresis, u"/Ydieresis")           \
    X(Z, u"/Z")                           \
    X(Zcaron, u"/Zcaron")                 \
    X(a, u"/a")                           \
    X(aacute, u"/aacute")                 \
    X(acircumflex, u"/acircumflex")       \
    X(acute, u"/acute")                   \
    X(adieresis, u"/adieresis")           \
    X(ae, u"/ae")                         \
    X(agrave, u"/agrave")                 \
    X(ampersand, u"/ampersand")           \
    X(aring, u"/aring")                   \
    X(asciicircum, u"/asciicircum")       \
    X(asciitilde, u"/asciitilde")         \
    X(asterisk, u"/asterisk")             \
    X(at, u"/at")                         \
    X(atilde, u"/atilde")                 \
    X(b, u"/b")                           \
    X(backslash, u"/backslash")           \
    X(bar, u"/bar")                       \
    X(braceleft, u"/braceleft")           \
    X(braceright, u"/braceright")         \
    X(bracketleft, u"/bracketleft")       \
    X(bracketright, u"/bracketright")     \
    X(breve, u"/breve")                   \
    X(brokenbar, u"/brokenbar")           \
    X(bullet, u"/bullet")                 \
    X(c, u"/c")                           \
    X(caron, u"/caron")                   \
    X(ccedilla, u"/ccedilla")             \
    X(cedilla, u"/cedilla")               \
    X(cent, u"/cent")                     \
    X(circumflex, u"/circumflex")         \
    X(colon, u"/colon")                   \
    X(comma, u"/comma")                   \
    X(copyright, u"/copyright")           \
    X(currency, u"/currency")             \
    X(d, u"/d")                           \
    X(dagger, u"/dagger")                 \
    X(daggerdbl, u"/daggerdbl")           \
    X(degree, u"/degree")                 \
    X(dieresis, u"/dieresis")             \
    X(divide, u"/divide")                 \
    X(dollar, u"/dollar")                 \
    X(dotaccent, u"/dotaccent")           \
    X(dotlessi, u"/dotlessi")             \
    X(e, u"/e")                           \
    X(eacute, u"/eacute")                 \
    X(ecircumflex, u"/ecircumflex")       \
    X(edieresis, u"/edieresis")           \
    X(egrave, u"/egrave")                 \
    X(eight, u"/eight")                   \
    X(ellipsis, u"/ellipsis")             \
    X(emdash, u"/emdash")                 \
    X(endash, u"/endash")                 \
    X(equal, u"/equal")                   \
    X(eth, u"/eth")                       \
    X(exclam, u"/exclam")                 \
    X(exclamdown, u"/exclamdown")         \
    X(f, u"/f")                           \
    X(fi, u"/fi")                         \
    X(five, u"/five")                     \
    X(fl, u"/fl")                         \
    X(florin, u"/florin")                 \
    X(four, u"/four")                     \
    X(fraction, u"/fraction")             \
    X(g, u"/g")                           \
    X(germandbls, u"/germandbls")         \
    X(grave, u"/grave")                   \
    X(greater, u"/greater")               \
    X(guillemotleft, u"/guillemotleft")   \
    X(guillemotright, u"/guillemotright") \
    X(guilsinglleft, u"/guilsinglleft")   \
    X(guilsinglright, u"/guilsinglright") \
    X(h, u"/h")                           \
    X(hungarumlaut, u"/hungarumlaut")     \
    X(hyphen, u"/hyphen")                 \
    X(i, u"/i")                           \
    X(iacute, u"/iacute")                 \
    X(icircumflex, u"/icircumflex")       \
    X(idieresis, u"/idieresis")           \
    X(igrave, u"/igrave")                 \
    X(j, u"/j")                           \
    X(k, u"/k")                           \
    X(l, u"/l")                           \
    X(less, u"/less")                     \
    X(logicalnot, u"/logicalnot")         \
    X(lslash, u"/lslash")                 \
    X(m, u"/m")                           \
    X(macron, u"/macron")                 \
    X(minus, u"/minus")                   \
    X(mu, u"/mu")                         \
    X(multiply, u"/multiply")             \
    X(n, u"/n")                           \
    X(nine, u"/nine")                     \
    X(ntilde, u"/ntilde")                 \
    X(numbersign, u"/numbersign")         \
    X(o, u"/o")                           \
    X(oacute, u"/oacute")                 \
    X(ocircumflex, u"/ocircumflex")       \
    X(odieresis, u"/odieresis")           \
    X(oe, u"/oe")                         \
    X(ogonek, u"/ogonek")                 \
    X(ograve, u"/ograve")                 \
    X(one, u"/one")                       \
    X(onehalf, u"/onehalf")               \
    X(onequarter, u"/onequarter")         \
    X(onesuperior, u"/onesuperior")       \
    X(ordfeminine, u"/ordfeminine")       \
    X(ordmasculine, u"/ordmasculine")     \
    X(oslash, u"/oslash")                 \
    X(otilde, u"/otilde")                 \
    X(p, u"/p")                           \
    X(paragraph, u"/paragraph")           \
    X(parenleft, u"/parenleft")           \
    X(parenright, u"/parenright")         \
    X(percent, u"/percent")               \
    X(period, u"/period")                 \
    X(periodcentered, u"/periodcentered") \
    X(perthousand, u"/perthousand")       \
    X(plus, u"/plus")                     \
    X(plusminus, u"/plusminus")           \
    X(q, u"/q")                           \
    X(question, u"/question")             \
    X(questiondown, u"/questiondown")     \
    X(quotedbl, u"/quotedbl")             \
    X(quotedblbase, u"/quotedblbase")     \
    X(quotedblleft, u"/quotedblleft")     \
    X(quotedblright, u"/quotedblright")   \
    X(quoteleft, u"/quoteleft")           \
    X(quoteright, u"/quoteright")         \
    X(quotesinglbase, u"/quotesinglbase") \
    X(quotesingle, u"/quotesingle")       \
    X(r, u"/r")                           \
    X(rcaron, u"/rcaron")                 \
    X(registered, u"/registered")         \
    X(ring, u"/ring")                     \
    X(s, u"/s")                           \
    X(scaron, u"/scaron")                 \
    X(section, u"/section")               \
    X(semicolon, u"/semicolon")           \
    X(seven, u"/seven")                   \
    X(six, u"/six")                       \
    X(slash, u"/slash")                   \
    X(space, u"/space")                   \
    X(sterling, u"/sterling")             \
    X(t, u"/t")                           \
    X(thorn, u"/thorn")                   \
    X(three, u"/three")                   \
    X(threequarters, u"/threequarters")   \
    X(threesuperior, u"/threesuperior")   \
    X(tilde, u"/tilde")                   \
    X(trademark, u"/trademark")           \
    X(two, u"/two")                       \
    X(twosuperior, u"/twosuperior")       \
    X(u, u"/u")                           \
    X(uacute, u"/uacute")                 \
    X(ucircumflex, u"/ucircumflex")       \
    X(udieresis, u"/udieresis")           \
    X(ugrave, u"/ugrave")                 \
    X(underscore, u"/underscore")         \
    X(v, u"/v")                           \
    X(w, u"/w")                           \
    X(x, u"/x")                           \
    X(y, u"/y")                           \
    X(yacute, u"/yacute")                 \
    X(ydieresis, u"/ydieresis")           \
    X(yen, u"/yen")                       \
    X(z, u"/z")                           \
    X(zcaron, u"/zcaron")                 \
    X(zero, u"/zero")

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
inline constexpr int kEncodingWordCount = encoding_index::kCount;
inline constexpr int kFontWordCount = font_index::kCount;
inline constexpr int kWeightWordCount = weight_index::kCount;
inline constexpr int kType1KindWordCount = type1_kind_index::kCount;
inline constexpr int kType3KindWordCount = type3_kind_index::kCount;
inline constexpr int kLatinGlyphCount = latin_index::kCount;
inline constexpr int kLatinExtAGlyphCount = latin_ext_a_index::kCount;
#undef VISTREL_W
#undef VISTREL_X
extern ConstantSlot<WStringConstant> encodingWordSlots[kEncodingWordCount];
extern ConstantSlot<WStringConstant> fontWordSlots[kFontWordCount];
extern ConstantSlot<WStringConstant> weightWordSlots[kWeightWordCount];
extern ConstantSlot<WStringConstant> type1KindWordSlots[kType1KindWordCount];
extern ConstantSlot<WStringConstant> type3KindWordSlots[kType3KindWordCount];
extern ConstantSlot<WStringConstant> latinGlyphSlots[kLatinGlyphCount];
extern ConstantSlot<WStringConstant> latinExtAGlyphSlots[kLatinExtAGlyphCount];
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
