#include "engine/font/glyph_names.h"

#include "engine/constants/font_constants.h"
#include "engine/font/encoding_table.h"

namespace vistrel {
namespace {

struct GlyphValue {
    const WString* name;
    char16_t value;
};

// The names and values of the glyph-name map: the letters and digits, then
// the others. Some values are the engine's own and differ from the usual
// ones (/minus and the dashes U+002D, /bullet U+00B7, /degree U+00BA, /ring
// U+00B0, /Eth and /idieresis U+00F0, /dotlessi U+02DA); captured text has
// always read them so.
constexpr GlyphValue kGlyphValues[] = {
    {&glyphs::A, 0x0041},
    {&glyphs::B, 0x0042},
    {&glyphs::C, 0x0043},
    {&glyphs::D, 0x0044},
    {&glyphs::E, 0x0045},
    {&glyphs::F, 0x0046},
    {&glyphs::G, 0x0047},
    {&glyphs::H, 0x0048},
    {&glyphs::I, 0x0049},
    {&glyphs::J, 0x004A},
    {&glyphs::K, 0x004B},
    {&glyphs::L, 0x004C},
    {&glyphs::M, 0x004D},
    {&glyphs::N, 0x004E},
    {&glyphs::O, 0x004F},
    {&glyphs::P, 0x0050},
    {&glyphs::Q, 0x0051},
    {&glyphs::R, 0x0052},
    {&glyphs::S, 0x0053},
    {&glyphs::T, 0x0054},
    {&glyphs::U, 0x0055},
    {&glyphs::V, 0x0056},
    {&glyphs::W, 0x0057},
    {&glyphs::X, 0x0058},
    {&glyphs::Y, 0x0059},
    {&glyphs::Z, 0x005A},
    {&glyphs::a, 0x0061},
    {&glyphs::b, 0x0062},
    {&glyphs::c, 0x0063},
    {&glyphs::d, 0x0064},
    {&glyphs::e, 0x0065},
    {&glyphs::f, 0x0066},
    {&glyphs::g, 0x0067},
    {&glyphs::h, 0x0068},
    {&glyphs::i, 0x0069},
    {&glyphs::j, 0x006A},
    {&glyphs::k, 0x006B},
    {&glyphs::l, 0x006C},
    {&glyphs::m, 0x006D},
    {&glyphs::n, 0x006E},
    {&glyphs::o, 0x006F},
    {&glyphs::p, 0x0070},
    {&glyphs::q, 0x0071},
    {&glyphs::r, 0x0072},
    {&glyphs::s, 0x0073},
    {&glyphs::t, 0x0074},
    {&glyphs::u, 0x0075},
    {&glyphs::v, 0x0076},
    {&glyphs::w, 0x0077},
    {&glyphs::x, 0x0078},
    {&glyphs::y, 0x0079},
    {&glyphs::z, 0x007A},
    {&glyphs::zero, 0x0030},
    {&glyphs::one, 0x0031},
    {&glyphs::two, 0x0032},
    {&glyphs::three, 0x0033},
    {&glyphs::four, 0x0034},
    {&glyphs::five, 0x0035},
    {&glyphs::six, 0x0036},
    {&glyphs::seven, 0x0037},
    {&glyphs::eight, 0x0038},
    {&glyphs::nine, 0x0039},
    {&glyphs::space, 0x0020},
    {&glyphs::exclam, 0x0021},
    {&glyphs::quotedbl, 0x0022},
    {&glyphs::numbersign, 0x0023},
    {&glyphs::dollar, 0x0024},
    {&glyphs::percent, 0x0025},
    {&glyphs::ampersand, 0x0026},
    {&glyphs::quotesingle, 0x0027},
    {&glyphs::parenleft, 0x0028},
    {&glyphs::parenright, 0x0029},
    {&glyphs::asterisk, 0x002A},
    {&glyphs::plus, 0x002B},
    {&glyphs::comma, 0x002C},
    {&glyphs::hyphen, 0x002D},
    {&glyphs::minus, 0x002D},
    {&glyphs::period, 0x002E},
    {&glyphs::fraction, 0x002F},
    {&glyphs::slash, 0x002F},
    {&glyphs::colon, 0x003A},
    {&glyphs::semicolon, 0x003B},
    {&glyphs::less, 0x003C},
    {&glyphs::equal, 0x003D},
    {&glyphs::greater, 0x003E},
    {&glyphs::question, 0x003F},
    {&glyphs::at, 0x0040},
    {&glyphs::bracketleft, 0x005B},
    {&glyphs::backslash, 0x005C},
    {&glyphs::bracketright, 0x005D},
    {&glyphs::asciicircum, 0x005E},
    {&glyphs::underscore, 0x005F},
    {&glyphs::grave, 0x0060},
    {&glyphs::braceleft, 0x007B},
    {&glyphs::bar, 0x007C},
    {&glyphs::braceright, 0x007D},
    {&glyphs::asciitilde, 0x007E},
    {&glyphs::exclamdown, 0x00A1},
    {&glyphs::cent, 0x00A2},
    {&glyphs::sterling, 0x00A3},
    {&glyphs::currency, 0x00A4},
    {&glyphs::yen, 0x00A5},
    {&glyphs::brokenbar, 0x00A6},
    {&glyphs::section, 0x00A7},
    {&glyphs::dieresis, 0x00A8},
    {&glyphs::copyright, 0x00A9},
    {&glyphs::ordfeminine, 0x00AA},
    {&glyphs::guillemotleft, 0x00AB},
    {&glyphs::logicalnot, 0x00AC},
    {&glyphs::registered, 0x00AE},
    {&glyphs::macron, 0x00AF},
    {&glyphs::ring, 0x00B0},
    {&glyphs::plusminus, 0x00B1},
    {&glyphs::twosuperior, 0x00B2},
    {&glyphs::threesuperior, 0x00B3},
    {&glyphs::acute, 0x00B4},
    {&glyphs::mu, 0x00B5},
    {&glyphs::paragraph, 0x00B6},
    {&glyphs::bullet, 0x00B7},
    {&glyphs::periodcentered, 0x00B7},
    {&glyphs::cedilla, 0x00B8},
    {&glyphs::onesuperior, 0x00B9},
    {&glyphs::degree, 0x00BA},
    {&glyphs::ordmasculine, 0x00BA},
    {&glyphs::guillemotright, 0x00BB},
    {&glyphs::onequarter, 0x00BC},
    {&glyphs::onehalf, 0x00BD},
    {&glyphs::threequarters, 0x00BE},
    {&glyphs::questiondown, 0x00BF},
    {&glyphs::Agrave, 0x00C0},
    {&glyphs::Aacute, 0x00C1},
    {&glyphs::Acircumflex, 0x00C2},
    {&glyphs::Atilde, 0x00C3},
    {&glyphs::Adieresis, 0x00C4},
    {&glyphs::Aring, 0x00C5},
    {&glyphs::AE, 0x00C6},
    {&glyphs::Ccedilla, 0x00C7},
    {&glyphs::Egrave, 0x00C8},
    {&glyphs::Eacute, 0x00C9},
    {&glyphs::Ecircumflex, 0x00CA},
    {&glyphs::Edieresis, 0x00CB},
    {&glyphs::Igrave, 0x00CC},
    {&glyphs::Iacute, 0x00CD},
    {&glyphs::Icircumflex, 0x00CE},
    {&glyphs::Idieresis, 0x00CF},
    {&glyphs::Ntilde, 0x00D1},
    {&glyphs::Ograve, 0x00D2},
    {&glyphs::Oacute, 0x00D3},
    {&glyphs::Ocircumflex, 0x00D4},
    {&glyphs::Otilde, 0x00D5},
    {&glyphs::Odieresis, 0x00D6},
    {&glyphs::multiply, 0x00D7},
    {&glyphs::Oslash, 0x00D8},
    {&glyphs::Ugrave, 0x00D9},
    {&glyphs::Uacute, 0x00DA},
    {&glyphs::Ucircumflex, 0x00DB},
    {&glyphs::Udieresis, 0x00DC},
    {&glyphs::Yacute, 0x00DD},
    {&glyphs::Thorn, 0x00DE},
    {&glyphs::germandbls, 0x00DF},
    {&glyphs::agrave, 0x00E0},
    {&glyphs::aacute, 0x00E1},
    {&glyphs::acircumflex, 0x00E2},
    {&glyphs::atilde, 0x00E3},
    {&glyphs::adieresis, 0x00E4},
    {&glyphs::aring, 0x00E5},
    {&glyphs::ae, 0x00E6},
    {&glyphs::ccedilla, 0x00E7},
    {&glyphs::egrave, 0x00E8},
    {&glyphs::eacute, 0x00E9},
    {&glyphs::ecircumflex, 0x00EA},
    {&glyphs::edieresis, 0x00EB},
    {&glyphs::igrave, 0x00EC},
    {&glyphs::iacute, 0x00ED},
    {&glyphs::icircumflex, 0x00EE},
    {&glyphs::Eth, 0x00F0},
    {&glyphs::eth, 0x00F0},
    {&glyphs::idieresis, 0x00F0},
    {&glyphs::ntilde, 0x00F1},
    {&glyphs::ograve, 0x00F2},
    {&glyphs::oacute, 0x00F3},
    {&glyphs::ocircumflex, 0x00F4},
    {&glyphs::otilde, 0x00F5},
    {&glyphs::odieresis, 0x00F6},
    {&glyphs::divide, 0x00F7},
    {&glyphs::oslash, 0x00F8},
    {&glyphs::ugrave, 0x00F9},
    {&glyphs::uacute, 0x00FA},
    {&glyphs::ucircumflex, 0x00FB},
    {&glyphs::udieresis, 0x00FC},
    {&glyphs::yacute, 0x00FD},
    {&glyphs::thorn, 0x00FE},
    {&glyphs::ydieresis, 0x00FF},
    {&glyphs::Amacron, 0x0100},
    {&glyphs::amacron, 0x0101},
    {&glyphs::Abreve, 0x0102},
    {&glyphs::abreve, 0x0103},
    {&glyphs::Aogonek, 0x0104},
    {&glyphs::aogonek, 0x0105},
    {&glyphs::Cacute, 0x0106},
    {&glyphs::cacute, 0x0107},
    {&glyphs::Ccircumflex, 0x0108},
    {&glyphs::ccircumflex, 0x0109},
    {&glyphs::Ccaron, 0x010C},
    {&glyphs::ccaron, 0x010D},
    {&glyphs::Dcaron, 0x010E},
    {&glyphs::dcaron, 0x010F},
    {&glyphs::Dstroke, 0x0110},
    {&glyphs::dstroke, 0x0111},
    {&glyphs::Emacron, 0x0112},
    {&glyphs::emacron, 0x0113},
    {&glyphs::Ebreve, 0x0114},
    {&glyphs::ebreve, 0x0115},
    {&glyphs::Eogonek, 0x0118},
    {&glyphs::eogonek, 0x0119},
    {&glyphs::Ecaron, 0x011A},
    {&glyphs::ecaron, 0x011B},
    {&glyphs::Gcircumflex, 0x011C},
    {&glyphs::gcircumflex, 0x011D},
    {&glyphs::Gbreve, 0x011E},
    {&glyphs::gbreve, 0x011F},
    {&glyphs::Gcedilla, 0x0122},
    {&glyphs::gcedilla, 0x0123},
    {&glyphs::Hcircumflex, 0x0124},
    {&glyphs::hcircumflex, 0x0125},
    {&glyphs::Itilde, 0x0128},
    {&glyphs::itilde, 0x0129},
    {&glyphs::Imacron, 0x012A},
    {&glyphs::imacron, 0x012B},
    {&glyphs::Ibreve, 0x012C},
    {&glyphs::ibreve, 0x012D},
    {&glyphs::Iogonek, 0x012E},
    {&glyphs::iogonek, 0x012F},
    {&glyphs::LJ, 0x0132},
    {&glyphs::lj, 0x0133},
    {&glyphs::Jcircumflex, 0x0134},
    {&glyphs::jcircumflex, 0x0135},
    {&glyphs::Kcedilla, 0x0136},
    {&glyphs::kcedilla, 0x0137},
    {&glyphs::Lacute, 0x0139},
    {&glyphs::lacute, 0x013A},
    {&glyphs::Lcedilla, 0x013B},
    {&glyphs::lcedila, 0x013C},
    {&glyphs::Lcaron, 0x013D},
    {&glyphs::lcaron, 0x013E},
    {&glyphs::Lslash, 0x0141},
    {&glyphs::Lstroke, 0x0141},
    {&glyphs::lslash, 0x0142},
    {&glyphs::lstroke, 0x0142},
    {&glyphs::Macute, 0x0143},
    {&glyphs::macute, 0x0144},
    {&glyphs::Ncedilla, 0x0145},
    {&glyphs::ncedilla, 0x0146},
    {&glyphs::Ncaron, 0x0147},
    {&glyphs::ncaron, 0x0148},
    {&glyphs::Omacron, 0x014C},
    {&glyphs::omacron, 0x014D},
    {&glyphs::Obreve, 0x014E},
    {&glyphs::obreve, 0x014F},
    {&glyphs::OE, 0x0152},
    {&glyphs::oe, 0x0153},
    {&glyphs::Racute, 0x0154},
    {&glyphs::racute, 0x0155},
    {&glyphs::Rcedilla, 0x0156},
    {&glyphs::rcedilla, 0x0157},
    {&glyphs::Rcaron, 0x0158},
    {&glyphs::rcaron, 0x0159},
    {&glyphs::Sacute, 0x015A},
    {&glyphs::sacute, 0x015B},
    {&glyphs::Scircumflex, 0x015C},
    {&glyphs::scircumflex, 0x015D},
    {&glyphs::Scedilla, 0x015E},
    {&glyphs::scedilla, 0x015F},
    {&glyphs::Scaron, 0x0160},
    {&glyphs::scaron, 0x0161},
    {&glyphs::Tcedilla, 0x0162},
    {&glyphs::tcedilla, 0x0163},
    {&glyphs::Tcaron, 0x0164},
    {&glyphs::tcaron, 0x0165},
    {&glyphs::Tstroke, 0x0166},
    {&glyphs::tstroke, 0x0167},
    {&glyphs::Utilde, 0x0168},
    {&glyphs::utilde, 0x0169},
    {&glyphs::Umacron, 0x016A},
    {&glyphs::umacron, 0x016B},
    {&glyphs::Ubreve, 0x016C},
    {&glyphs::ubreve, 0x016D},
    {&glyphs::Uring, 0x016E},
    {&glyphs::uring, 0x016F},
    {&glyphs::Uogonek, 0x0172},
    {&glyphs::uogonek, 0x0173},
    {&glyphs::Wcircumflex, 0x0174},
    {&glyphs::wcircumflex, 0x0175},
    {&glyphs::Ycircumflex, 0x0176},
    {&glyphs::ycircumflex, 0x0177},
    {&glyphs::Ydieresis, 0x0178},
    {&glyphs::Zacute, 0x0179},
    {&glyphs::zacute, 0x017A},
    {&glyphs::Zcaron, 0x017D},
    {&glyphs::zcaron, 0x017E},
    {&glyphs::florin, 0x0192},
    {&glyphs::circumflex, 0x02C6},
    {&glyphs::caron, 0x02C7},
    {&glyphs::breve, 0x02D8},
    {&glyphs::dotaccent, 0x02D9},
    {&glyphs::dotlessi, 0x02DA},
    {&glyphs::ogonek, 0x02DB},
    {&glyphs::tilde, 0x02DC},
    {&glyphs::hungarumlaut, 0x02DD},
    {&glyphs::endash, 0x2013},
    {&glyphs::emdash, 0x2014},
    {&glyphs::quoteleft, 0x2018},
    {&glyphs::quoteright, 0x2019},
    {&glyphs::quotesinglbase, 0x201A},
    {&glyphs::quotedblleft, 0x201C},
    {&glyphs::quotedblright, 0x201D},
    {&glyphs::quotedblbase, 0x201E},
    {&glyphs::dagger, 0x2020},
    {&glyphs::daggerdbl, 0x2021},
    {&glyphs::ellipsis, 0x2026},
    {&glyphs::perthousand, 0x2030},
    {&glyphs::guilsinglleft, 0x2039},
    {&glyphs::guilsinglright, 0x203A},
    {&glyphs::Euro, 0x20AC},
    {&glyphs::trademark, 0x2122},
    {&glyphs::fi, 0xFB01},
    {&glyphs::fl, 0xFB02},
    {&glyphs::ff, 0xFB00},
    {&glyphs::ffi, 0xFB03},
    {&glyphs::ffl, 0xFB04},
    {&glyphs::f_f, 0xFB00},
    {&glyphs::f_f_i, 0xFB03},
    {&glyphs::f_f_l, 0xFB04},
    {&glyphs::uniFB00, 0xFB00},
    {&glyphs::uniFB01, 0xFB01},
    {&glyphs::uniFB02, 0xFB02},
    {&glyphs::uniFB03, 0xFB03},
    {&glyphs::uniFB04, 0xFB04},
};

struct AccentEntry {
    const WString* name;
    const WString* first;
    // Null for fewer components.
    const WString* second;
    const WString* third = nullptr;
};

// Accented letters are recorded as their plain letter, ligatures as their
// letters, the dashes as /minus and /quotedblright as /quotedblleft.
constexpr AccentEntry kAccents[] = {
    {&glyphs::Aacute, &glyphs::A, nullptr},
    {&glyphs::Acircumflex, &glyphs::A, nullptr},
    {&glyphs::Adieresis, &glyphs::A, nullptr},
    {&glyphs::Agrave, &glyphs::A, nullptr},
    {&glyphs::Aring, &glyphs::A, nullptr},
    {&glyphs::Atilde, &glyphs::A, nullptr},
    {&glyphs::AE, &glyphs::A, &glyphs::E},
    {&glyphs::Ccedilla, &glyphs::C, nullptr},
    {&glyphs::Eacute, &glyphs::E, nullptr},
    {&glyphs::Ecircumflex, &glyphs::E, nullptr},
    {&glyphs::Edieresis, &glyphs::E, nullptr},
    {&glyphs::Egrave, &glyphs::E, nullptr},
    {&glyphs::Iacute, &glyphs::I, nullptr},
    {&glyphs::Icircumflex, &glyphs::I, nullptr},
    {&glyphs::Idieresis, &glyphs::I, nullptr},
    {&glyphs::Igrave, &glyphs::I, nullptr},
    {&glyphs::Lslash, &glyphs::L, nullptr},
    {&glyphs::Ntilde, &glyphs::N, nullptr},
    {&glyphs::Oacute, &glyphs::O, nullptr},
    {&glyphs::Ocircumflex, &glyphs::O, nullptr},
    {&glyphs::Odieresis, &glyphs::O, nullptr},
    {&glyphs::Ograve, &glyphs::O, nullptr},
    {&glyphs::Oslash, &glyphs::O, nullptr},
    {&glyphs::Otilde, &glyphs::O, nullptr},
    {&glyphs::OE, &glyphs::O, &glyphs::E},
    {&glyphs::Scaron, &glyphs::S, nullptr},
    {&glyphs::Uacute, &glyphs::U, nullptr},
    {&glyphs::Ucircumflex, &glyphs::U, nullptr},
    {&glyphs::Udieresis, &glyphs::U, nullptr},
    {&glyphs::Ugrave, &glyphs::U, nullptr},
    {&glyphs::Yacute, &glyphs::Y, nullptr},
    {&glyphs::Ydieresis, &glyphs::Y, nullptr},
    {&glyphs::Zcaron, &glyphs::Z, nullptr},
    {&glyphs::aacute, &glyphs::a, nullptr},
    {&glyphs::acircumflex, &glyphs::a, nullptr},
    {&glyphs::adieresis, &glyphs::a, nullptr},
    {&glyphs::agrave, &glyphs::a, nullptr},
    {&glyphs::aring, &glyphs::a, nullptr},
    {&glyphs::atilde, &glyphs::a, nullptr},
    {&glyphs::ae, &glyphs::a, &glyphs::e},
    {&glyphs::ccedilla, &glyphs::c, nullptr},
    {&glyphs::eacute, &glyphs::e, nullptr},
    {&glyphs::ecircumflex, &glyphs::e, nullptr},
    {&glyphs::edieresis, &glyphs::e, nullptr},
    {&glyphs::egrave, &glyphs::e, nullptr},
    {&glyphs::fi, &glyphs::f, &glyphs::i},
    {&glyphs::fl, &glyphs::f, &glyphs::l},
    {&glyphs::dotlessi, &glyphs::i, nullptr},
    {&glyphs::iacute, &glyphs::i, nullptr},
    {&glyphs::icircumflex, &glyphs::i, nullptr},
    {&glyphs::idieresis, &glyphs::i, nullptr},
    {&glyphs::igrave, &glyphs::i, nullptr},
    {&glyphs::lslash, &glyphs::l, nullptr},
    {&glyphs::ntilde, &glyphs::n, nullptr},
    {&glyphs::oacute, &glyphs::o, nullptr},
    {&glyphs::ocircumflex, &glyphs::o, nullptr},
    {&glyphs::odieresis, &glyphs::o, nullptr},
    {&glyphs::ograve, &glyphs::o, nullptr},
    {&glyphs::oslash, &glyphs::o, nullptr},
    {&glyphs::otilde, &glyphs::o, nullptr},
    {&glyphs::oe, &glyphs::o, &glyphs::e},
    {&glyphs::scaron, &glyphs::s, nullptr},
    {&glyphs::uacute, &glyphs::u, nullptr},
    {&glyphs::ucircumflex, &glyphs::u, nullptr},
    {&glyphs::udieresis, &glyphs::u, nullptr},
    {&glyphs::ugrave, &glyphs::u, nullptr},
    {&glyphs::yacute, &glyphs::y, nullptr},
    {&glyphs::zcaron, &glyphs::z, nullptr},
    {&glyphs::emdash, &glyphs::minus, nullptr},
    {&glyphs::endash, &glyphs::minus, nullptr},
    {&glyphs::hyphen, &glyphs::minus, nullptr},
    {&glyphs::quotedblright, &glyphs::quotedblleft, nullptr},
    {&glyphs::Amacron, &glyphs::A, nullptr},
    {&glyphs::amacron, &glyphs::a, nullptr},
    {&glyphs::Abreve, &glyphs::A, nullptr},
    {&glyphs::abreve, &glyphs::a, nullptr},
    {&glyphs::Aogonek, &glyphs::A, nullptr},
    {&glyphs::aogonek, &glyphs::a, nullptr},
    {&glyphs::Cacute, &glyphs::C, nullptr},
    {&glyphs::cacute, &glyphs::c, nullptr},
    {&glyphs::Ccircumflex, &glyphs::C, nullptr},
    {&glyphs::ccircumflex, &glyphs::c, nullptr},
    {&glyphs::Ccaron, &glyphs::C, nullptr},
    {&glyphs::ccaron, &glyphs::c, nullptr},
    {&glyphs::Dcaron, &glyphs::D, nullptr},
    {&glyphs::dcaron, &glyphs::d, nullptr},
    {&glyphs::Dstroke, &glyphs::D, nullptr},
    {&glyphs::dstroke, &glyphs::d, nullptr},
    {&glyphs::Emacron, &glyphs::E, nullptr},
    {&glyphs::emacron, &glyphs::e, nullptr},
    {&glyphs::Ebreve, &glyphs::E, nullptr},
    {&glyphs::ebreve, &glyphs::e, nullptr},
    {&glyphs::Eogonek, &glyphs::E, nullptr},
    {&glyphs::eogonek, &glyphs::e, nullptr},
    {&glyphs::Ecaron, &glyphs::E, nullptr},
    {&glyphs::ecaron, &glyphs::e, nullptr},
    {&glyphs::Gcircumflex, &glyphs::G, nullptr},
    {&glyphs::gcircumflex, &glyphs::g, nullptr},
    {&glyphs::Gbreve, &glyphs::G, nullptr},
    {&glyphs::gbreve, &glyphs::g, nullptr},
    {&glyphs::Gcedilla, &glyphs::G, nullptr},
    {&glyphs::gcedilla, &glyphs::g, nullptr},
    {&glyphs::Hcircumflex, &glyphs::H, nullptr},
    {&glyphs::hcircumflex, &glyphs::h, nullptr},
    {&glyphs::Itilde, &glyphs::I, nullptr},
    {&glyphs::itilde, &glyphs::i, nullptr},
    {&glyphs::Imacron, &glyphs::I, nullptr},
    {&glyphs::imacron, &glyphs::i, nullptr},
    {&glyphs::Ibreve, &glyphs::I, nullptr},
    {&glyphs::ibreve, &glyphs::i, nullptr},
    {&glyphs::Iogonek, &glyphs::I, nullptr},
    {&glyphs::iogonek, &glyphs::i, nullptr},
    {&glyphs::LJ, &glyphs::L, &glyphs::J},
    {&glyphs::lj, &glyphs::l, &glyphs::j},
    {&glyphs::Jcircumflex, &glyphs::J, nullptr},
    {&glyphs::jcircumflex, &glyphs::j, nullptr},
    {&glyphs::Kcedilla, &glyphs::K, nullptr},
    {&glyphs::kcedilla, &glyphs::k, nullptr},
    {&glyphs::Lacute, &glyphs::L, nullptr},
    {&glyphs::lacute, &glyphs::l, nullptr},
    {&glyphs::Lcedilla, &glyphs::L, nullptr},
    {&glyphs::lcedila, &glyphs::l, nullptr},
    {&glyphs::Lcaron, &glyphs::L, nullptr},
    {&glyphs::lcaron, &glyphs::l, nullptr},
    {&glyphs::Lstroke, &glyphs::L, nullptr},
    {&glyphs::lstroke, &glyphs::l, nullptr},
    {&glyphs::Macute, &glyphs::M, nullptr},
    {&glyphs::macute, &glyphs::m, nullptr},
    {&glyphs::Ncedilla, &glyphs::N, nullptr},
    {&glyphs::ncedilla, &glyphs::n, nullptr},
    {&glyphs::Ncaron, &glyphs::N, nullptr},
    {&glyphs::ncaron, &glyphs::n, nullptr},
    {&glyphs::Omacron, &glyphs::O, nullptr},
    {&glyphs::omacron, &glyphs::o, nullptr},
    {&glyphs::Obreve, &glyphs::O, nullptr},
    {&glyphs::obreve, &glyphs::o, nullptr},
    {&glyphs::Racute, &glyphs::R, nullptr},
    {&glyphs::racute, &glyphs::r, nullptr},
    {&glyphs::Rcedilla, &glyphs::R, nullptr},
    {&glyphs::rcedilla, &glyphs::r, nullptr},
    {&glyphs::Rcaron, &glyphs::R, nullptr},
    {&glyphs::rcaron, &glyphs::r, nullptr},
    {&glyphs::Sacute, &glyphs::S, nullptr},
    {&glyphs::sacute, &glyphs::s, nullptr},
    {&glyphs::Scircumflex, &glyphs::S, nullptr},
    {&glyphs::scircumflex, &glyphs::s, nullptr},
    {&glyphs::Scedilla, &glyphs::S, nullptr},
    {&glyphs::scedilla, &glyphs::s, nullptr},
    {&glyphs::Tcedilla, &glyphs::T, nullptr},
    {&glyphs::tcedilla, &glyphs::t, nullptr},
    {&glyphs::Tcaron, &glyphs::T, nullptr},
    {&glyphs::tcaron, &glyphs::t, nullptr},
    {&glyphs::Tstroke, &glyphs::T, nullptr},
    {&glyphs::tstroke, &glyphs::t, nullptr},
    {&glyphs::Utilde, &glyphs::U, nullptr},
    {&glyphs::utilde, &glyphs::u, nullptr},
    {&glyphs::Umacron, &glyphs::U, nullptr},
    {&glyphs::umacron, &glyphs::u, nullptr},
    {&glyphs::Ubreve, &glyphs::U, nullptr},
    {&glyphs::ubreve, &glyphs::u, nullptr},
    {&glyphs::Uring, &glyphs::U, nullptr},
    {&glyphs::uring, &glyphs::u, nullptr},
    {&glyphs::Uogonek, &glyphs::U, nullptr},
    {&glyphs::uogonek, &glyphs::u, nullptr},
    {&glyphs::Wcircumflex, &glyphs::W, nullptr},
    {&glyphs::wcircumflex, &glyphs::w, nullptr},
    {&glyphs::Ycircumflex, &glyphs::Y, nullptr},
    {&glyphs::ycircumflex, &glyphs::y, nullptr},
    {&glyphs::Zacute, &glyphs::Z, nullptr},
    {&glyphs::zacute, &glyphs::z, nullptr},
    {&glyphs::ff, &glyphs::f, &glyphs::f},
    {&glyphs::ffi, &glyphs::f, &glyphs::f, &glyphs::i},
    {&glyphs::ffl, &glyphs::f, &glyphs::f, &glyphs::l},
    {&glyphs::f_f, &glyphs::f, &glyphs::f},
    {&glyphs::f_f_i, &glyphs::f, &glyphs::f, &glyphs::i},
    {&glyphs::f_f_l, &glyphs::f, &glyphs::f, &glyphs::l},
    {&glyphs::uniFB00, &glyphs::f, &glyphs::f},
    {&glyphs::uniFB01, &glyphs::f, &glyphs::i},
    {&glyphs::uniFB02, &glyphs::f, &glyphs::l},
    {&glyphs::uniFB03, &glyphs::f, &glyphs::f, &glyphs::i},
    {&glyphs::uniFB04, &glyphs::f, &glyphs::f, &glyphs::l},
};

GlyphNameMap* theGlyphNameMap = nullptr;
AccentMap* theAccentMap = nullptr;

}  // namespace

GlyphNameMap::GlyphNameMap() : map_(0, 64, 64, 0.75) {}

bool GlyphNameMap::insert(const WString& name, char16_t value) {
    return map_.insert(&name, value);
}

void buildGlyphNameMap(GlyphNameMap& map) {
    for (const GlyphValue& row : kGlyphValues)
        map.insert(*row.name, row.value);
}

AccentMap::AccentMap() : map_(Components(), 181, 64, 0.75) {}

bool AccentMap::insert(const WString& name, const WString& component) {
    return map_.insert(&name, Components{&component});
}

bool AccentMap::insert(const WString& name, const WString& first, const WString& second) {
    return map_.insert(&name, Components{&first, &second});
}

bool AccentMap::insert(const WString& name, const WString& first, const WString& second,
                       const WString& third) {
    return map_.insert(&name, Components{&first, &second, &third});
}

std::span<const WString* const> AccentMap::components(const WString& name) const {
    return map_.get(&name);
}

void AccentMap::build() {
    if (built_)
        return;
    for (const AccentEntry& row : kAccents) {
        if (row.third)
            insert(*row.name, *row.first, *row.second, *row.third);
        else if (row.second)
            insert(*row.name, *row.first, *row.second);
        else
            insert(*row.name, *row.first);
    }
    built_ = true;
}

namespace {
constexpr std::int32_t kFirstTexLigature = 11;
}  // namespace

const WString* texLigatureName(std::int32_t code) {
    const WString* const names[] = {&glyphs::ff, &glyphs::fi, &glyphs::fl, &glyphs::ffi,
                                    &glyphs::ffl};
    if (code < kFirstTexLigature || code >= kFirstTexLigature + std::int32_t(std::size(names)))
        return nullptr;
    return names[code - kFirstTexLigature];
}

bool followsTexLigatures(const EncodingTable& table) {
    bool named = false;
    for (std::int32_t code = kFirstTexLigature; const WString* ligature = texLigatureName(code);
         ++code) {
        const WString& entry = table.entry(code);
        if (entry.empty())
            continue;
        if (!entry.equals(*ligature))
            return false;
        named = true;
    }
    return named;
}

const GlyphNameMap* glyphNameMap() {
    return theGlyphNameMap;
}

AccentMap* accentMap() {
    return theAccentMap;
}

void createGlyphNameMaps() {
    if (!theGlyphNameMap) {
        theGlyphNameMap = new GlyphNameMap();
        if (theGlyphNameMap)
            buildGlyphNameMap(*theGlyphNameMap);
    }
    if (!theAccentMap)
        theAccentMap = new AccentMap();
}

void destroyGlyphNameMaps() {
    delete theAccentMap;
    theAccentMap = nullptr;
    delete theGlyphNameMap;
    theGlyphNameMap = nullptr;
}

}  // namespace vistrel
