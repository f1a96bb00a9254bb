#include "engine/font/encoding_table.h"

#include <iterator>

#include "engine/constants/constant_slot.h"
#include "engine/constants/font_constants.h"
#include "engine/font/differences.h"

namespace vistrel {

EncodingTable::EncodingTable() : entries_(kCodes, WString()) {}

const WString& EncodingTable::entry(int32_t code) const {
    if (code < 0 || code >= count())
        return emptyWString();
    return entries_[size_t(code)];
}

void EncodingTable::append(const WString& name) {
    entries_.push_back(name);
}

WString EncodingTable::setEntry(const WString& name, int32_t code) {
    if (code < 0 || code >= count())
        return WString();
    WString previous = std::move(entries_[size_t(code)]);
    entries_[size_t(code)] = name;
    return previous;
}

int32_t EncodingTable::indexOf(const WString& name) const {
    if (name.empty())
        return -1;
    for (size_t code = 0; code < entries_.size(); ++code) {
        if (entries_[code].equals(name))
            return int32_t(code);
    }
    return -1;
}

void EncodingTable::applyDifferences(const Differences& differences) {
    // A list made by hand (a standard font request) is not filtered like one
    // read from a document: the code is checked again here.
    for (int32_t i = 0; i < differences.count(); ++i)
        setEntry(differences.name(i), differences.code(i));
}

// ---------------------------------------------------------------------------
// The built-in tables, by code. A null entry has no glyph.

namespace {

using Glyph = const WStringConstant*;
#define G(name) &glyphs::name
constexpr Glyph _ = nullptr;

// Codes 32 to 126 of the Mac Roman, Windows ANSI and PDF document encodings.
// The standard encoding differs at 39 (quoteright) and 96 (quoteleft).
constexpr Glyph kAscii[95] = {
    // 32
    G(space), G(exclam), G(quotedbl), G(numbersign), G(dollar), G(percent), G(ampersand),
    G(quotesingle), G(parenleft), G(parenright), G(asterisk), G(plus), G(comma), G(hyphen),
    G(period), G(slash),
    // 48
    G(zero), G(one), G(two), G(three), G(four), G(five), G(six), G(seven), G(eight), G(nine),
    G(colon), G(semicolon), G(less), G(equal), G(greater), G(question),
    // 64
    G(at), G(A), G(B), G(C), G(D), G(E), G(F), G(G), G(H), G(I), G(J), G(K), G(L), G(M), G(N), G(O),
    // 80
    G(P), G(Q), G(R), G(S), G(T), G(U), G(V), G(W), G(X), G(Y), G(Z), G(bracketleft), G(backslash),
    G(bracketright), G(asciicircum), G(underscore),
    // 96
    G(grave), G(a), G(b), G(c), G(d), G(e), G(f), G(g), G(h), G(i), G(j), G(k), G(l), G(m), G(n),
    G(o),
    // 112
    G(p), G(q), G(r), G(s), G(t), G(u), G(v), G(w), G(x), G(y), G(z), G(braceleft), G(bar),
    G(braceright), G(asciitilde)};

// Codes 161 to 255 of the Windows ANSI and PDF document encodings (the
// Latin-1 characters); code 173 differs between the two.
constexpr Glyph kLatin1[95] = {
    // 161
    G(exclamdown), G(cent), G(sterling), G(currency), G(yen), G(brokenbar), G(section), G(dieresis),
    G(copyright), G(ordfeminine), G(guillemotleft), G(logicalnot), _, G(registered), G(macron),
    // 176
    G(degree), G(plusminus), G(twosuperior), G(threesuperior), G(acute), G(mu), G(paragraph),
    G(periodcentered), G(cedilla), G(onesuperior), G(ordmasculine), G(guillemotright),
    G(onequarter), G(onehalf), G(threequarters), G(questiondown),
    // 192
    G(Agrave), G(Aacute), G(Acircumflex), G(Atilde), G(Adieresis), G(Aring), G(AE), G(Ccedilla),
    G(Egrave), G(Eacute), G(Ecircumflex), G(Edieresis), G(Igrave), G(Iacute), G(Icircumflex),
    G(Idieresis),
    // 208
    G(Eth), G(Ntilde), G(Ograve), G(Oacute), G(Ocircumflex), G(Otilde), G(Odieresis), G(multiply),
    G(Oslash), G(Ugrave), G(Uacute), G(Ucircumflex), G(Udieresis), G(Yacute), G(Thorn),
    G(germandbls),
    // 224
    G(agrave), G(aacute), G(acircumflex), G(atilde), G(adieresis), G(aring), G(ae), G(ccedilla),
    G(egrave), G(eacute), G(ecircumflex), G(edieresis), G(igrave), G(iacute), G(icircumflex),
    G(idieresis),
    // 240
    G(eth), G(ntilde), G(ograve), G(oacute), G(ocircumflex), G(otilde), G(odieresis), G(divide),
    G(oslash), G(ugrave), G(uacute), G(ucircumflex), G(udieresis), G(yacute), G(thorn),
    G(ydieresis)};

// Codes 127 to 160 of the Windows ANSI encoding: every code is given a
// glyph, the unused ones the bullet.
constexpr Glyph kWinAnsi127[34] = {
    // 127
    G(bullet), G(Euro), G(bullet), G(quotesinglbase), G(florin), G(quotedblbase), G(ellipsis),
    G(dagger), G(daggerdbl), G(circumflex), G(perthousand), G(Scaron), G(guilsinglleft), G(OE),
    G(bullet), G(Zcaron), G(bullet),
    // 144
    G(bullet), G(quoteleft), G(quoteright), G(quotedblleft), G(quotedblright), G(bullet), G(endash),
    G(emdash), G(tilde), G(trademark), G(scaron), G(guilsinglright), G(oe), G(bullet), G(zcaron),
    G(Ydieresis),
    // 160
    G(space)};

// Codes 24 to 31 of the PDF document encoding.
constexpr Glyph kPdfDoc24[8] = {G(breve),        G(caron),  G(circumflex), G(dotaccent),
                                G(hungarumlaut), G(ogonek), G(ring),       G(tilde)};

// Codes 127 to 160 of the PDF document encoding.
constexpr Glyph kPdfDoc127[34] = {
    // 127
    _, G(bullet), G(dagger), G(daggerdbl), G(ellipsis), G(emdash), G(endash), G(florin),
    G(fraction), G(guilsinglleft), G(guilsinglright), G(minus), G(perthousand), G(quotedblbase),
    G(quotedblleft), G(quotedblright), G(quoteleft),
    // 144
    G(quoteright), G(quotesinglbase), G(trademark), G(fi), G(fl), G(Lslash), G(OE), G(Scaron),
    G(Ydieresis), G(Zcaron), G(dotlessi), G(lslash), G(oe), G(scaron), G(zcaron), _,
    // 160
    G(Euro)};

// Codes 128 to 255 of the Mac Roman encoding. Code 193 holds exclam.
constexpr Glyph kMacRoman128[128] = {
    // 128
    G(Adieresis), G(Aring), G(Ccedilla), G(Eacute), G(Ntilde), G(Odieresis), G(Udieresis),
    G(aacute), G(agrave), G(acircumflex), G(adieresis), G(atilde), G(aring), G(ccedilla), G(eacute),
    G(egrave),
    // 144
    G(ecircumflex), G(edieresis), G(iacute), G(igrave), G(icircumflex), G(idieresis), G(ntilde),
    G(oacute), G(ograve), G(ocircumflex), G(odieresis), G(otilde), G(uacute), G(ugrave),
    G(ucircumflex), G(udieresis),
    // 160
    G(dagger), G(degree), G(cent), G(sterling), G(section), G(bullet), G(paragraph), G(germandbls),
    G(registered), G(copyright), G(trademark), G(acute), G(dieresis), _, G(AE), G(Oslash),
    // 176
    _, G(plusminus), _, _, G(yen), G(mu), _, _, _, _, _, G(ordfeminine), G(ordmasculine), _, G(ae),
    G(oslash),
    // 192
    G(questiondown), G(exclam), G(logicalnot), _, G(florin), _, _, G(guillemotleft),
    G(guillemotright), G(ellipsis), G(space), G(Agrave), G(Atilde), G(Otilde), G(OE), G(oe),
    // 208
    G(endash), G(emdash), G(quotedblleft), G(quotedblright), G(quoteleft), G(quoteright), G(divide),
    _, G(ydieresis), G(Ydieresis), G(fraction), G(currency), G(guilsinglleft), G(guilsinglright),
    G(fi), G(fl),
    // 224
    G(daggerdbl), G(periodcentered), G(quotesinglbase), G(quotedblbase), G(perthousand),
    G(Acircumflex), G(Ecircumflex), G(Aacute), G(Edieresis), G(Egrave), G(Iacute), G(Icircumflex),
    G(Idieresis), G(Igrave), G(Oacute), G(Ocircumflex),
    // 240
    _, G(Ograve), G(Uacute), G(Ucircumflex), G(Ugrave), G(dotlessi), G(circumflex), G(tilde),
    G(macron), G(breve), G(dotaccent), G(ring), G(cedilla), G(hungarumlaut), G(ogonek), G(caron)};

// Codes 161 to 255 of the standard encoding, which leaves the others empty.
struct CodedGlyph {
    int32_t code;
    Glyph glyph;
};
constexpr CodedGlyph kStandardHigh[] = {
    {161, G(exclamdown)},
    {162, G(cent)},
    {163, G(sterling)},
    {164, G(fraction)},
    {165, G(yen)},
    {166, G(florin)},
    {167, G(section)},
    {168, G(currency)},
    {169, G(quotesingle)},
    {170, G(quotedblleft)},
    {171, G(guillemotleft)},
    {172, G(guilsinglleft)},
    {173, G(guilsinglright)},
    {174, G(fi)},
    {175, G(fl)},
    {177, G(endash)},
    {178, G(dagger)},
    {179, G(daggerdbl)},
    {180, G(periodcentered)},
    {182, G(paragraph)},
    {183, G(bullet)},
    {184, G(quotesinglbase)},
    {185, G(quotedblbase)},
    {186, G(quotedblright)},
    {187, G(guillemotright)},
    {188, G(ellipsis)},
    {189, G(perthousand)},
    {191, G(questiondown)},
    {193, G(grave)},
    {194, G(acute)},
    {195, G(circumflex)},
    {196, G(tilde)},
    {197, G(macron)},
    {198, G(breve)},
    {199, G(dotaccent)},
    {200, G(dieresis)},
    {202, G(ring)},
    {203, G(cedilla)},
    {205, G(hungarumlaut)},
    {206, G(ogonek)},
    {207, G(caron)},
    {208, G(emdash)},
    {225, G(AE)},
    {227, G(ordfeminine)},
    {232, G(Lslash)},
    {233, G(Oslash)},
    {234, G(OE)},
    {235, G(ordmasculine)},
    {241, G(ae)},
    {245, G(dotlessi)},
    {248, G(lslash)},
    {249, G(oslash)},
    {250, G(oe)},
    {251, G(germandbls)},
};

#undef G

// A table's glyphs by code while it is put together.
struct GlyphsByCode {
    Glyph glyphs[EncodingTable::kCodes] = {};

    template <size_t N>
    void put(int32_t first, const Glyph (&run)[N]) {
        for (size_t i = 0; i < N; ++i)
            glyphs[size_t(first) + i] = run[i];
    }
    void fill(EncodingTable& table) const {
        table.clear();
        for (Glyph glyph : glyphs)
            table.append(glyph ? *glyph : emptyWString());
    }
};

}  // namespace

void buildStandardEncoding(EncodingTable& table) {
    GlyphsByCode t;
    t.put(32, kAscii);
    t.glyphs[39] = &glyphs::quoteright;
    t.glyphs[96] = &glyphs::quoteleft;
    for (const CodedGlyph& g : kStandardHigh)
        t.glyphs[g.code] = g.glyph;
    t.fill(table);
}

void buildMacRomanEncoding(EncodingTable& table) {
    GlyphsByCode t;
    t.put(32, kAscii);
    t.put(128, kMacRoman128);
    t.fill(table);
}

void buildWinAnsiEncoding(EncodingTable& table) {
    GlyphsByCode t;
    t.put(32, kAscii);
    t.put(127, kWinAnsi127);
    t.put(161, kLatin1);
    t.glyphs[173] = &glyphs::hyphen;
    t.fill(table);
}

void buildPdfDocEncoding(EncodingTable& table) {
    GlyphsByCode t;
    t.put(24, kPdfDoc24);
    t.put(32, kAscii);
    t.put(127, kPdfDoc127);
    t.put(161, kLatin1);
    t.fill(table);
}

// ---------------------------------------------------------------------------
// The built-in tables as static objects.

namespace {

struct BuiltInTable {
    const WStringConstant& name;
    void (*build)(EncodingTable&);
};
constexpr BuiltInTable kBuiltIns[] = {
    {encodings::StandartEncoding, buildStandardEncoding},
    {encodings::MacRomanEncoding, buildMacRomanEncoding},
    {encodings::WinAnsiEncoding, buildWinAnsiEncoding},
    {encodings::PDFDocEncoding, buildPdfDocEncoding},
};
constexpr size_t kBuiltInCount = std::size(kBuiltIns);

ConstantSlot<EncodingTable> gTables[kBuiltInCount];
bool gTablesBuilt = false;

}  // namespace

void buildEncodingTables() {
    if (gTablesBuilt)
        return;
    for (size_t i = 0; i < kBuiltInCount; ++i) {
        gTables[i].construct();
        kBuiltIns[i].build(gTables[i].object);
    }
    gTablesBuilt = true;
}

void destroyEncodingTables() {
    if (!gTablesBuilt)
        return;
    for (size_t i = kBuiltInCount; i-- > 0;)
        gTables[i].destroy();
    gTablesBuilt = false;
}

const EncodingTable* encodingTableByName(const WString& name) {
    if (!gTablesBuilt)
        return nullptr;
    for (size_t i = 0; i < kBuiltInCount; ++i) {
        if (kBuiltIns[i].name.equals(name))
            return &gTables[i].object;
    }
    return nullptr;
}

}  // namespace vistrel
