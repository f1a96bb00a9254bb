// The glyph-name and accent maps: every row, names in neither map, and how
// the maps behave as maps.
#include "engine/font/glyph_names.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/constants/font_constants.h"

namespace vistrel {
namespace {

struct NameValue {
    const char16_t* name;
    char16_t value;
};

// Every name of the glyph-name map with its value, as the engine has always
// captured them (the unusual ones included: /minus, /fraction, /bullet,
// /degree, /ring, /Eth, /idieresis, /dotlessi, /LJ, /Macute).
constexpr NameValue kValues[] = {
    {u"/A", 0x0041},
    {u"/B", 0x0042},
    {u"/C", 0x0043},
    {u"/D", 0x0044},
    {u"/E", 0x0045},
    {u"/F", 0x0046},
    {u"/G", 0x0047},
    {u"/H", 0x0048},
    {u"/I", 0x0049},
    {u"/J", 0x004A},
    {u"/K", 0x004B},
    {u"/L", 0x004C},
    {u"/M", 0x004D},
    {u"/N", 0x004E},
    {u"/O", 0x004F},
    {u"/P", 0x0050},
    {u"/Q", 0x0051},
    {u"/R", 0x0052},
    {u"/S", 0x0053},
    {u"/T", 0x0054},
    {u"/U", 0x0055},
    {u"/V", 0x0056},
    {u"/W", 0x0057},
    {u"/X", 0x0058},
    {u"/Y", 0x0059},
    {u"/Z", 0x005A},
    {u"/a", 0x0061},
    {u"/b", 0x0062},
    {u"/c", 0x0063},
    {u"/d", 0x0064},
    {u"/e", 0x0065},
    {u"/f", 0x0066},
    {u"/g", 0x0067},
    {u"/h", 0x0068},
    {u"/i", 0x0069},
    {u"/j", 0x006A},
    {u"/k", 0x006B},
    {u"/l", 0x006C},
    {u"/m", 0x006D},
    {u"/n", 0x006E},
    {u"/o", 0x006F},
    {u"/p", 0x0070},
    {u"/q", 0x0071},
    {u"/r", 0x0072},
    {u"/s", 0x0073},
    {u"/t", 0x0074},
    {u"/u", 0x0075},
    {u"/v", 0x0076},
    {u"/w", 0x0077},
    {u"/x", 0x0078},
    {u"/y", 0x0079},
    {u"/z", 0x007A},
    {u"/zero", 0x0030},
    {u"/one", 0x0031},
    {u"/two", 0x0032},
    {u"/three", 0x0033},
    {u"/four", 0x0034},
    {u"/five", 0x0035},
    {u"/six", 0x0036},
    {u"/seven", 0x0037},
    {u"/eight", 0x0038},
    {u"/nine", 0x0039},
    {u"/space", 0x0020},
    {u"/exclam", 0x0021},
    {u"/quotedbl", 0x0022},
    {u"/numbersign", 0x0023},
    {u"/dollar", 0x0024},
    {u"/percent", 0x0025},
    {u"/ampersand", 0x0026},
    {u"/quotesingle", 0x0027},
    {u"/parenleft", 0x0028},
    {u"/parenright", 0x0029},
    {u"/asterisk", 0x002A},
    {u"/plus", 0x002B},
    {u"/comma", 0x002C},
    {u"/hyphen", 0x002D},
    {u"/minus", 0x002D},
    {u"/period", 0x002E},
    {u"/fraction", 0x002F},
    {u"/slash", 0x002F},
    {u"/colon", 0x003A},
    {u"/semicolon", 0x003B},
    {u"/less", 0x003C},
    {u"/equal", 0x003D},
    {u"/greater", 0x003E},
    {u"/question", 0x003F},
    {u"/at", 0x0040},
    {u"/bracketleft", 0x005B},
    {u"/backslash", 0x005C},
    {u"/bracketright", 0x005D},
    {u"/asciicircum", 0x005E},
    {u"/underscore", 0x005F},
    {u"/grave", 0x0060},
    {u"/braceleft", 0x007B},
    {u"/bar", 0x007C},
    {u"/braceright", 0x007D},
    {u"/asciitilde", 0x007E},
    {u"/exclamdown", 0x00A1},
    {u"/cent", 0x00A2},
    {u"/sterling", 0x00A3},
    {u"/currency", 0x00A4},
    {u"/yen", 0x00A5},
    {u"/brokenbar", 0x00A6},
    {u"/section", 0x00A7},
    {u"/dieresis", 0x00A8},
    {u"/copyright", 0x00A9},
    {u"/ordfeminine", 0x00AA},
    {u"/guillemotleft", 0x00AB},
    {u"/logicalnot", 0x00AC},
    {u"/registered", 0x00AE},
    {u"/macron", 0x00AF},
    {u"/ring", 0x00B0},
    {u"/plusminus", 0x00B1},
    {u"/twosuperior", 0x00B2},
    {u"/threesuperior", 0x00B3},
    {u"/acute", 0x00B4},
    {u"/mu", 0x00B5},
    {u"/paragraph", 0x00B6},
    {u"/bullet", 0x00B7},
    {u"/periodcentered", 0x00B7},
    {u"/cedilla", 0x00B8},
    {u"/onesuperior", 0x00B9},
    {u"/degree", 0x00BA},
    {u"/ordmasculine", 0x00BA},
    {u"/guillemotright", 0x00BB},
    {u"/onequarter", 0x00BC},
    {u"/onehalf", 0x00BD},
    {u"/threequarters", 0x00BE},
    {u"/questiondown", 0x00BF},
    {u"/Agrave", 0x00C0},
    {u"/Aacute", 0x00C1},
    {u"/Acircumflex", 0x00C2},
    {u"/Atilde", 0x00C3},
    {u"/Adieresis", 0x00C4},
    {u"/Aring", 0x00C5},
    {u"/AE", 0x00C6},
    {u"/Ccedilla", 0x00C7},
    {u"/Egrave", 0x00C8},
    {u"/Eacute", 0x00C9},
    {u"/Ecircumflex", 0x00CA},
    {u"/Edieresis", 0x00CB},
    {u"/Igrave", 0x00CC},
    {u"/Iacute", 0x00CD},
    {u"/Icircumflex", 0x00CE},
    {u"/Idieresis", 0x00CF},
    {u"/Ntilde", 0x00D1},
    {u"/Ograve", 0x00D2},
    {u"/Oacute", 0x00D3},
    {u"/Ocircumflex", 0x00D4},
    {u"/Otilde", 0x00D5},
    {u"/Odieresis", 0x00D6},
    {u"/multiply", 0x00D7},
    {u"/Oslash", 0x00D8},
    {u"/Ugrave", 0x00D9},
    {u"/Uacute", 0x00DA},
    {u"/Ucircumflex", 0x00DB},
    {u"/Udieresis", 0x00DC},
    {u"/Yacute", 0x00DD},
    {u"/Thorn", 0x00DE},
    {u"/germandbls", 0x00DF},
    {u"/agrave", 0x00E0},
    {u"/aacute", 0x00E1},
    {u"/acircumflex", 0x00E2},
    {u"/atilde", 0x00E3},
    {u"/adieresis", 0x00E4},
    {u"/aring", 0x00E5},
    {u"/ae", 0x00E6},
    {u"/ccedilla", 0x00E7},
    {u"/egrave", 0x00E8},
    {u"/eacute", 0x00E9},
    {u"/ecircumflex", 0x00EA},
    {u"/edieresis", 0x00EB},
    {u"/igrave", 0x00EC},
    {u"/iacute", 0x00ED},
    {u"/icircumflex", 0x00EE},
    {u"/Eth", 0x00F0},
    {u"/eth", 0x00F0},
    {u"/idieresis", 0x00F0},
    {u"/ntilde", 0x00F1},
    {u"/ograve", 0x00F2},
    {u"/oacute", 0x00F3},
    {u"/ocircumflex", 0x00F4},
    {u"/otilde", 0x00F5},
    {u"/odieresis", 0x00F6},
    {u"/divide", 0x00F7},
    {u"/oslash", 0x00F8},
    {u"/ugrave", 0x00F9},
    {u"/uacute", 0x00FA},
    {u"/ucircumflex", 0x00FB},
    {u"/udieresis", 0x00FC},
    {u"/yacute", 0x00FD},
    {u"/thorn", 0x00FE},
    {u"/ydieresis", 0x00FF},
    {u"/Amacron", 0x0100},
    {u"/amacron", 0x0101},
    {u"/Abreve", 0x0102},
    {u"/abreve", 0x0103},
    {u"/Aogonek", 0x0104},
    {u"/aogonek", 0x0105},
    {u"/Cacute", 0x0106},
    {u"/cacute", 0x0107},
    {u"/Ccircumflex", 0x0108},
    {u"/ccircumflex", 0x0109},
    {u"/Ccaron", 0x010C},
    {u"/ccaron", 0x010D},
    {u"/Dcaron", 0x010E},
    {u"/dcaron", 0x010F},
    {u"/Dstroke", 0x0110},
    {u"/dstroke", 0x0111},
    {u"/Emacron", 0x0112},
    {u"/emacron", 0x0113},
    {u"/Ebreve", 0x0114},
    {u"/ebreve", 0x0115},
    {u"/Eogonek", 0x0118},
    {u"/eogonek", 0x0119},
    {u"/Ecaron", 0x011A},
    {u"/ecaron", 0x011B},
    {u"/Gcircumflex", 0x011C},
    {u"/gcircumflex", 0x011D},
    {u"/Gbreve", 0x011E},
    {u"/gbreve", 0x011F},
    {u"/Gcedilla", 0x0122},
    {u"/gcedilla", 0x0123},
    {u"/Hcircumflex", 0x0124},
    {u"/hcircumflex", 0x0125},
    {u"/Itilde", 0x0128},
    {u"/itilde", 0x0129},
    {u"/Imacron", 0x012A},
    {u"/imacron", 0x012B},
    {u"/Ibreve", 0x012C},
    {u"/ibreve", 0x012D},
    {u"/Iogonek", 0x012E},
    {u"/iogonek", 0x012F},
    {u"/LJ", 0x0132},
    {u"/lj", 0x0133},
    {u"/Jcircumflex", 0x0134},
    {u"/jcircumflex", 0x0135},
    {u"/Kcedilla", 0x0136},
    {u"/kcedilla", 0x0137},
    {u"/Lacute", 0x0139},
    {u"/lacute", 0x013A},
    {u"/Lcedilla", 0x013B},
    {u"/lcedila", 0x013C},
    {u"/Lcaron", 0x013D},
    {u"/lcaron", 0x013E},
    {u"/Lslash", 0x0141},
    {u"/Lstroke", 0x0141},
    {u"/lslash", 0x0142},
    {u"/lstroke", 0x0142},
    {u"/Macute", 0x0143},
    {u"/macute", 0x0144},
    {u"/Ncedilla", 0x0145},
    {u"/ncedilla", 0x0146},
    {u"/Ncaron", 0x0147},
    {u"/ncaron", 0x0148},
    {u"/Omacron", 0x014C},
    {u"/omacron", 0x014D},
    {u"/Obreve", 0x014E},
    {u"/obreve", 0x014F},
    {u"/OE", 0x0152},
    {u"/oe", 0x0153},
    {u"/Racute", 0x0154},
    {u"/racute", 0x0155},
    {u"/Rcedilla", 0x0156},
    {u"/rcedilla", 0x0157},
    {u"/Rcaron", 0x0158},
    {u"/rcaron", 0x0159},
    {u"/Sacute", 0x015A},
    {u"/sacute", 0x015B},
    {u"/Scircumflex", 0x015C},
    {u"/scircumflex", 0x015D},
    {u"/Scedilla", 0x015E},
    {u"/scedilla", 0x015F},
    {u"/Scaron", 0x0160},
    {u"/scaron", 0x0161},
    {u"/Tcedilla", 0x0162},
    {u"/tcedilla", 0x0163},
    {u"/Tcaron", 0x0164},
    {u"/tcaron", 0x0165},
    {u"/Tstroke", 0x0166},
    {u"/tstroke", 0x0167},
    {u"/Utilde", 0x0168},
    {u"/utilde", 0x0169},
    {u"/Umacron", 0x016A},
    {u"/umacron", 0x016B},
    {u"/Ubreve", 0x016C},
    {u"/ubreve", 0x016D},
    {u"/Uring", 0x016E},
    {u"/uring", 0x016F},
    {u"/Uogonek", 0x0172},
    {u"/uogonek", 0x0173},
    {u"/Wcircumflex", 0x0174},
    {u"/wcircumflex", 0x0175},
    {u"/Ycircumflex", 0x0176},
    {u"/ycircumflex", 0x0177},
    {u"/Ydieresis", 0x0178},
    {u"/Zacute", 0x0179},
    {u"/zacute", 0x017A},
    {u"/Zcaron", 0x017D},
    {u"/zcaron", 0x017E},
    {u"/florin", 0x0192},
    {u"/circumflex", 0x02C6},
    {u"/caron", 0x02C7},
    {u"/breve", 0x02D8},
    {u"/dotaccent", 0x02D9},
    {u"/dotlessi", 0x02DA},
    {u"/ogonek", 0x02DB},
    {u"/tilde", 0x02DC},
    {u"/hungarumlaut", 0x02DD},
    {u"/endash", 0x2013},
    {u"/emdash", 0x2014},
    {u"/quoteleft", 0x2018},
    {u"/quoteright", 0x2019},
    {u"/quotesinglbase", 0x201A},
    {u"/quotedblleft", 0x201C},
    {u"/quotedblright", 0x201D},
    {u"/quotedblbase", 0x201E},
    {u"/dagger", 0x2020},
    {u"/daggerdbl", 0x2021},
    {u"/ellipsis", 0x2026},
    {u"/perthousand", 0x2030},
    {u"/guilsinglleft", 0x2039},
    {u"/guilsinglright", 0x203A},
    {u"/Euro", 0x20AC},
    {u"/trademark", 0x2122},
    {u"/fi", 0xFB01},
    {u"/fl", 0xFB02},
    {u"/ff", 0xFB00},
    {u"/ffi", 0xFB03},
    {u"/ffl", 0xFB04},
    {u"/f_f", 0xFB00},
    {u"/f_f_i", 0xFB03},
    {u"/f_f_l", 0xFB04},
    {u"/uniFB00", 0xFB00},
    {u"/uniFB01", 0xFB01},
    {u"/uniFB02", 0xFB02},
    {u"/uniFB03", 0xFB03},
    {u"/uniFB04", 0xFB04},
};

TEST(GlyphNameMapTest, EveryName) {
    const GlyphNameMap& map = *glyphNameMap();
    EXPECT_EQ(std::size(kValues), 338u);
    EXPECT_EQ(map.count(), 338);
    for (const NameValue& row : kValues)
        EXPECT_EQ(map.value(WString(row.name)), row.value) << WString(row.name).toUtf8();
}

// Values no name gives, and names the map does not hold.
TEST(GlyphNameMapTest, WhatItDoesNotHold) {
    for (const NameValue& row : kValues) {
        for (char16_t never : {u'\u00A0', u'\u00AD', u'\u00D0', u'\u00EF', u'\u0131'})
            EXPECT_NE(row.value, never);
    }
    const GlyphNameMap& map = *glyphNameMap();
    for (const char16_t* name : {u"/uni0041", u"/G65", u"A", u"/", u"", u"/Aacute ", u"/lcedilla"})
        EXPECT_EQ(map.value(WString(name)), 0) << WString(name).toUtf8();
}

TEST(GlyphNameMapTest, InsertReplaces) {
    GlyphNameMap map;
    EXPECT_EQ(map.value(glyphs::A), 0);
    EXPECT_TRUE(map.insert(glyphs::A, u'x'));
    EXPECT_TRUE(map.insert(glyphs::A, u'A'));
    EXPECT_EQ(map.count(), 1);
    EXPECT_EQ(map.value(WString(u"/A")), u'A');
}

struct NameParts {
    const char16_t* name;
    // The component names, each with its solidus, one after the other.
    const char16_t* parts;
};

// Every name of the accent map with its components.
constexpr NameParts kAccents[] = {
    {u"/Aacute", u"/A"},      {u"/Acircumflex", u"/A"}, {u"/Adieresis", u"/A"},
    {u"/Agrave", u"/A"},      {u"/Aring", u"/A"},       {u"/Atilde", u"/A"},
    {u"/AE", u"/A/E"},        {u"/Ccedilla", u"/C"},    {u"/Eacute", u"/E"},
    {u"/Ecircumflex", u"/E"}, {u"/Edieresis", u"/E"},   {u"/Egrave", u"/E"},
    {u"/Iacute", u"/I"},      {u"/Icircumflex", u"/I"}, {u"/Idieresis", u"/I"},
    {u"/Igrave", u"/I"},      {u"/Lslash", u"/L"},      {u"/Ntilde", u"/N"},
    {u"/Oacute", u"/O"},      {u"/Ocircumflex", u"/O"}, {u"/Odieresis", u"/O"},
    {u"/Ograve", u"/O"},      {u"/Oslash", u"/O"},      {u"/Otilde", u"/O"},
    {u"/OE", u"/O/E"},        {u"/Scaron", u"/S"},      {u"/Uacute", u"/U"},
    {u"/Ucircumflex", u"/U"}, {u"/Udieresis", u"/U"},   {u"/Ugrave", u"/U"},
    {u"/Yacute", u"/Y"},      {u"/Ydieresis", u"/Y"},   {u"/Zcaron", u"/Z"},
    {u"/aacute", u"/a"},      {u"/acircumflex", u"/a"}, {u"/adieresis", u"/a"},
    {u"/agrave", u"/a"},      {u"/aring", u"/a"},       {u"/atilde", u"/a"},
    {u"/ae", u"/a/e"},        {u"/ccedilla", u"/c"},    {u"/eacute", u"/e"},
    {u"/ecircumflex", u"/e"}, {u"/edieresis", u"/e"},   {u"/egrave", u"/e"},
    {u"/fi", u"/f/i"},        {u"/fl", u"/f/l"},        {u"/dotlessi", u"/i"},
    {u"/iacute", u"/i"},      {u"/icircumflex", u"/i"}, {u"/idieresis", u"/i"},
    {u"/igrave", u"/i"},      {u"/lslash", u"/l"},      {u"/ntilde", u"/n"},
    {u"/oacute", u"/o"},      {u"/ocircumflex", u"/o"}, {u"/odieresis", u"/o"},
    {u"/ograve", u"/o"},      {u"/oslash", u"/o"},      {u"/otilde", u"/o"},
    {u"/oe", u"/o/e"},        {u"/scaron", u"/s"},      {u"/uacute", u"/u"},
    {u"/ucircumflex", u"/u"}, {u"/udieresis", u"/u"},   {u"/ugrave", u"/u"},
    {u"/yacute", u"/y"},      {u"/zcaron", u"/z"},      {u"/emdash", u"/minus"},
    {u"/endash", u"/minus"},  {u"/hyphen", u"/minus"},  {u"/quotedblright", u"/quotedblleft"},
    {u"/Amacron", u"/A"},     {u"/amacron", u"/a"},     {u"/Abreve", u"/A"},
    {u"/abreve", u"/a"},      {u"/Aogonek", u"/A"},     {u"/aogonek", u"/a"},
    {u"/Cacute", u"/C"},      {u"/cacute", u"/c"},      {u"/Ccircumflex", u"/C"},
    {u"/ccircumflex", u"/c"}, {u"/Ccaron", u"/C"},      {u"/ccaron", u"/c"},
    {u"/Dcaron", u"/D"},      {u"/dcaron", u"/d"},      {u"/Dstroke", u"/D"},
    {u"/dstroke", u"/d"},     {u"/Emacron", u"/E"},     {u"/emacron", u"/e"},
    {u"/Ebreve", u"/E"},      {u"/ebreve", u"/e"},      {u"/Eogonek", u"/E"},
    {u"/eogonek", u"/e"},     {u"/Ecaron", u"/E"},      {u"/ecaron", u"/e"},
    {u"/Gcircumflex", u"/G"}, {u"/gcircumflex", u"/g"}, {u"/Gbreve", u"/G"},
    {u"/gbreve", u"/g"},      {u"/Gcedilla", u"/G"},    {u"/gcedilla", u"/g"},
    {u"/Hcircumflex", u"/H"}, {u"/hcircumflex", u"/h"}, {u"/Itilde", u"/I"},
    {u"/itilde", u"/i"},      {u"/Imacron", u"/I"},     {u"/imacron", u"/i"},
    {u"/Ibreve", u"/I"},      {u"/ibreve", u"/i"},      {u"/Iogonek", u"/I"},
    {u"/iogonek", u"/i"},     {u"/LJ", u"/L/J"},        {u"/lj", u"/l/j"},
    {u"/Jcircumflex", u"/J"}, {u"/jcircumflex", u"/j"}, {u"/Kcedilla", u"/K"},
    {u"/kcedilla", u"/k"},    {u"/Lacute", u"/L"},      {u"/lacute", u"/l"},
    {u"/Lcedilla", u"/L"},    {u"/lcedila", u"/l"},     {u"/Lcaron", u"/L"},
    {u"/lcaron", u"/l"},      {u"/Lstroke", u"/L"},     {u"/lstroke", u"/l"},
    {u"/Macute", u"/M"},      {u"/macute", u"/m"},      {u"/Ncedilla", u"/N"},
    {u"/ncedilla", u"/n"},    {u"/Ncaron", u"/N"},      {u"/ncaron", u"/n"},
    {u"/Omacron", u"/O"},     {u"/omacron", u"/o"},     {u"/Obreve", u"/O"},
    {u"/obreve", u"/o"},      {u"/Racute", u"/R"},      {u"/racute", u"/r"},
    {u"/Rcedilla", u"/R"},    {u"/rcedilla", u"/r"},    {u"/Rcaron", u"/R"},
    {u"/rcaron", u"/r"},      {u"/Sacute", u"/S"},      {u"/sacute", u"/s"},
    {u"/Scircumflex", u"/S"}, {u"/scircumflex", u"/s"}, {u"/Scedilla", u"/S"},
    {u"/scedilla", u"/s"},    {u"/Tcedilla", u"/T"},    {u"/tcedilla", u"/t"},
    {u"/Tcaron", u"/T"},      {u"/tcaron", u"/t"},      {u"/Tstroke", u"/T"},
    {u"/tstroke", u"/t"},     {u"/Utilde", u"/U"},      {u"/utilde", u"/u"},
    {u"/Umacron", u"/U"},     {u"/umacron", u"/u"},     {u"/Ubreve", u"/U"},
    {u"/ubreve", u"/u"},      {u"/Uring", u"/U"},       {u"/uring", u"/u"},
    {u"/Uogonek", u"/U"},     {u"/uogonek", u"/u"},     {u"/Wcircumflex", u"/W"},
    {u"/wcircumflex", u"/w"}, {u"/Ycircumflex", u"/Y"}, {u"/ycircumflex", u"/y"},
    {u"/Zacute", u"/Z"},      {u"/zacute", u"/z"},      {u"/ff", u"/f/f"},
    {u"/ffi", u"/f/f/i"},     {u"/ffl", u"/f/f/l"},     {u"/f_f", u"/f/f"},
    {u"/f_f_i", u"/f/f/i"},   {u"/f_f_l", u"/f/f/l"},   {u"/uniFB00", u"/f/f"},
    {u"/uniFB01", u"/f/i"},   {u"/uniFB02", u"/f/l"},   {u"/uniFB03", u"/f/f/i"},
    {u"/uniFB04", u"/f/f/l"},
};

std::u16string partsOf(const AccentMap& map, const WString& name) {
    std::u16string out;
    for (const WString* part : map.components(name))
        out += part->view();
    return out;
}

TEST(AccentMapTest, EveryName) {
    AccentMap& map = *accentMap();
    map.build();
    EXPECT_EQ(std::size(kAccents), 181u);
    EXPECT_EQ(map.count(), 181);
    for (const NameParts& row : kAccents) {
        EXPECT_EQ(partsOf(map, WString(row.name)), std::u16string(row.parts))
            << WString(row.name).toUtf8();
        // Every component has a value of its own.
        for (const WString* part : map.components(WString(row.name)))
            EXPECT_NE(glyphNameMap()->value(*part), 0) << part->toUtf8();
    }
    for (const char16_t* name : {u"/A", u"/uni0041", u"/quotedblleft", u"/minus", u"/ellipsis"})
        EXPECT_TRUE(map.components(WString(name)).empty()) << WString(name).toUtf8();
}

TEST(AccentMapTest, BuildOnceAndInsertReplaces) {
    AccentMap map;
    EXPECT_FALSE(map.built());
    EXPECT_EQ(map.count(), 0);
    EXPECT_TRUE(map.insert(glyphs::oe, glyphs::o));
    EXPECT_TRUE(map.insert(glyphs::oe, glyphs::o, glyphs::e));
    EXPECT_EQ(partsOf(map, glyphs::oe), u"/o/e");
    EXPECT_TRUE(map.insert(glyphs::oe, glyphs::e));
    EXPECT_EQ(partsOf(map, glyphs::oe), u"/e");
    map.build();
    EXPECT_TRUE(map.built());
    EXPECT_EQ(map.count(), 181);
    EXPECT_EQ(partsOf(map, glyphs::oe), u"/o/e");
    map.insert(glyphs::oe, glyphs::e);
    map.build();
    EXPECT_EQ(partsOf(map, glyphs::oe), u"/e");
}

}  // namespace
}  // namespace vistrel
