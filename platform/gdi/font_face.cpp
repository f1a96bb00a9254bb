#include "platform/gdi/font_face.h"

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <algorithm>

#include "platform/gdi/gdi_font.h"

namespace win::font {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 marks the undefined ones.
constexpr char16_t kHighCodes[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// A UTF-16 unit as a Windows-1252 byte, or '?' when it has none.
char narrow(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighCodes[i] != 0 && kHighCodes[i] == c)
            return char(0x80 + i);
    }
    return '?';
}

constexpr std::size_t kMaxFaceName = LF_FACESIZE - 1;

// A name-table string as narrow text (controls dropped), at most the length
// a face name can have.
std::string decodeName(const FT_SfntName& name) {
    std::string s;
    bool wide =
        name.platform_id == TT_PLATFORM_MICROSOFT || name.platform_id == TT_PLATFORM_APPLE_UNICODE;
    if (wide) {
        for (FT_UInt i = 0; i + 1 < name.string_len && s.size() < kMaxFaceName; i += 2) {
            char32_t c = char32_t(name.string[i]) << 8 | name.string[i + 1];
            if (c >= 0x20)
                s += narrow(c);
        }
    } else {
        for (FT_UInt i = 0; i < name.string_len && s.size() < kMaxFaceName; ++i) {
            FT_Byte c = name.string[i];
            if (c >= 0x20)
                s += c < 0x80 ? char(c) : '?';
        }
    }
    return s;
}

// The best entry for a name id: Windows English, other Windows, Unicode,
// then Macintosh Roman English.
std::string readName(FT_Face face, FT_UShort id) {
    std::string best;
    int bestRank = 0;
    FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != id)
            continue;
        int rank = 0;
        if (name.platform_id == TT_PLATFORM_MICROSOFT) {
            rank = name.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES ? 4 : 3;
        } else if (name.platform_id == TT_PLATFORM_APPLE_UNICODE) {
            rank = 2;
        } else if (name.platform_id == TT_PLATFORM_MACINTOSH &&
                   name.encoding_id == TT_MAC_ID_ROMAN &&
                   name.language_id == TT_MAC_LANGID_ENGLISH) {
            rank = 1;
        }
        if (rank <= bestRank)
            continue;
        std::string s = decodeName(name);
        if (!s.empty()) {
            best = std::move(s);
            bestRank = rank;
        }
    }
    return best;
}

// Family class from the PANOSE classification, else from the IBM class.
std::uint8_t familyClassOf(const TT_OS2* os2, bool fixedPitch) {
    if (fixedPitch)
        return FF_MODERN;
    if (!os2)
        return FF_DONTCARE;
    const FT_Byte* panose = os2->panose;
    switch (panose[0]) {
        case 2:  // Latin text
            if (panose[3] == 9)
                return FF_MODERN;
            if (panose[1] >= 11 && panose[1] <= 15)
                return FF_SWISS;
            if (panose[1] >= 2 && panose[1] <= 10)
                return FF_ROMAN;
            break;
        case 3:
            return FF_SCRIPT;
        case 4:
        case 5:
            return FF_DECORATIVE;
    }
    switch (os2->sFamilyClass >> 8) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 7:
            return FF_ROMAN;
        case 8:
            return FF_SWISS;
        case 9:
        case 12:
            return FF_DECORATIVE;
        case 10:
            return FF_SCRIPT;
    }
    return FF_DONTCARE;
}

// The character maps a byte of text goes through (see glyphForByte).
struct ByteMaps {
    FT_CharMap unicode = nullptr;
    FT_CharMap symbol = nullptr;
    FT_CharMap mac = nullptr;
};

// The face's byte maps; the one bytes go through becomes its current map.
ByteMaps selectByteMaps(FT_Face face) {
    ByteMaps m;
    for (FT_Int i = 0; i < face->num_charmaps; ++i) {
        FT_CharMap cm = face->charmaps[i];
        if (cm->encoding == FT_ENCODING_UNICODE && !m.unicode)
            m.unicode = cm;
        else if (cm->encoding == FT_ENCODING_MS_SYMBOL && !m.symbol)
            m.symbol = cm;
        else if (cm->platform_id == TT_PLATFORM_MACINTOSH && cm->encoding_id == TT_MAC_ID_ROMAN &&
                 !m.mac)
            m.mac = cm;
    }
    if (FT_CharMap chosen = m.unicode ? m.unicode : m.symbol ? m.symbol : m.mac)
        FT_Set_Charmap(face, chosen);
    return m;
}

unsigned byteGlyph(FT_Face face, const ByteMaps& m, unsigned b) {
    FT_UInt g = 0;
    if (m.unicode) {
        g = FT_Get_Char_Index(face, windows1252(std::uint8_t(b)));
        // Symbol sets laid out in Unicode keep their codes 0x80 to 0x9F.
        if (g == 0 && b >= 0x80 && b < 0xA0)
            g = FT_Get_Char_Index(face, b);
    } else if (m.symbol) {
        g = FT_Get_Char_Index(face, 0xF000 + b);
        if (g == 0)
            g = FT_Get_Char_Index(face, b);
    } else if (m.mac) {
        g = FT_Get_Char_Index(face, b);
    }
    return FT_Long(g) < face->num_glyphs ? g : 0;
}

// Whether printable ASCII and the Latin-1 letters all have glyphs;
// `glyphOf` is asked for one byte after the other until one has none.
template <class GlyphOf>
bool coversLatin1(GlyphOf glyphOf) {
    for (unsigned b = 0x21; b < 0x100; ++b) {
        if ((b < 0x7F || b >= 0xC0) && glyphOf(b) == 0)
            return false;
    }
    return true;
}

// A face the font calls can use: a scalable TrueType or OpenType one.
bool usable(FT_Face face) {
    return FT_IS_SFNT(face) && FT_IS_SCALABLE(face) && face->units_per_EM != 0 &&
           face->num_glyphs > 0;
}

}  // namespace

char32_t windows1252(std::uint8_t byte) {
    if (byte >= 0x80 && byte < 0xA0 && kHighCodes[byte - 0x80] != 0)
        return kHighCodes[byte - 0x80];
    return byte;
}

std::shared_ptr<FreeType> FreeType::get() {
    static const std::shared_ptr<FreeType> instance = create();
    return instance;
}

std::shared_ptr<FreeType> FreeType::create() {
    std::shared_ptr<FreeType> ft(new FreeType);
    if (FT_Init_FreeType(&ft->library_) != 0)
        ft->library_ = nullptr;
    return ft;
}

FreeType::~FreeType() {
    if (library_)
        FT_Done_FreeType(library_);
}

long Face::countFaces(const std::string& path) {
    std::shared_ptr<FreeType> ft = FreeType::get();
    FT_Face face = nullptr;
    if (!ft->library() || FT_New_Face(ft->library(), path.c_str(), -1, &face) != 0)
        return 0;
    long n = face->num_faces;
    FT_Done_Face(face);
    return n;
}

long Face::countFaces(const Bytes& bytes) {
    std::shared_ptr<FreeType> ft = FreeType::get();
    FT_Face face = nullptr;
    if (!ft->library() || !bytes || bytes->empty() ||
        FT_New_Memory_Face(ft->library(), bytes->data(), FT_Long(bytes->size()), -1, &face) != 0) {
        return 0;
    }
    long n = face->num_faces;
    FT_Done_Face(face);
    return n;
}

std::shared_ptr<Face> Face::open(const std::string& path, long index) {
    std::unique_ptr<Face> f(new Face);
    f->freetype_ = FreeType::get();
    if (!f->freetype_->library())
        return nullptr;
    FT_Error error = FT_New_Face(f->freetype_->library(), path.c_str(), index, &f->face_);
    return finish(std::move(f), error);
}

std::shared_ptr<Face> Face::open(const Bytes& bytes, long index) {
    if (!bytes || bytes->empty())
        return nullptr;
    std::unique_ptr<Face> f(new Face);
    f->freetype_ = FreeType::get();
    f->bytes_ = bytes;
    if (!f->freetype_->library())
        return nullptr;
    FT_Error error = FT_New_Memory_Face(f->freetype_->library(), bytes->data(),
                                        FT_Long(bytes->size()), index, &f->face_);
    return finish(std::move(f), error);
}

std::shared_ptr<Face> Face::finish(std::unique_ptr<Face> f, FT_Error error) {
    if (error != 0) {
        f->face_ = nullptr;
        return nullptr;
    }
    FT_Face face = f->face_;
    if (!usable(face))
        return nullptr;
    // One pixel per font unit: unhinted outlines then come out in 1/64
    // font units, keeping the fractions of CFF coordinates.
    if (FT_Set_Pixel_Sizes(face, face->units_per_EM, face->units_per_EM) != 0)
        return nullptr;
    f->buildByteMap();
    if (!f->readTables())
        return nullptr;
    f->info_.coversLatin1 = coversLatin1([&f](unsigned b) { return f->byteGlyphs_[b]; });
    return std::shared_ptr<Face>(f.release());
}

std::optional<FaceInfo> Face::readInfo(const std::string& path, long index,
                                       std::shared_ptr<FreeType> library) {
    std::unique_ptr<Face> f(new Face);
    f->freetype_ = std::move(library);
    if (!f->freetype_->library() ||
        FT_New_Face(f->freetype_->library(), path.c_str(), index, &f->face_) != 0) {
        f->face_ = nullptr;
        return std::nullopt;
    }
    // What open() does besides reads nothing the facts depend on: the tables
    // are read in font units whatever the size (and sizing a usable face to
    // its units per em cannot fail), and the coverage needs the glyphs of
    // the bytes it checks only, up to the first one missing.
    FT_Face face = f->face_;
    if (!usable(face) || !f->readTables())
        return std::nullopt;
    const ByteMaps maps = selectByteMaps(face);
    f->info_.coversLatin1 = coversLatin1([&](unsigned b) { return byteGlyph(face, maps, b); });
    return std::move(f->info_);
}

Face::~Face() {
    if (face_)
        FT_Done_Face(face_);
}

void Face::buildByteMap() {
    const ByteMaps maps = selectByteMaps(face_);
    for (unsigned b = 0; b < 256; ++b)
        byteGlyphs_[b] = byteGlyph(face_, maps, b);
}

bool Face::readTables() {
    FaceInfo& in = info_;
    in.unitsPerEm = face_->units_per_EM;
    in.family = readName(face_, TT_NAME_ID_FONT_FAMILY);
    in.typographicFamily = readName(face_, TT_NAME_ID_TYPOGRAPHIC_FAMILY);
    if (in.family.empty() && face_->family_name)
        in.family = std::string(face_->family_name).substr(0, kMaxFaceName);
    if (in.typographicFamily == in.family)
        in.typographicFamily.clear();

    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HEAD));
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
    auto* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(face_, FT_SFNT_POST));
    if (os2 && os2->version == 0xFFFF)
        os2 = nullptr;
    if (!head || !hhea)
        return false;

    bool boldFlag = (head->Mac_Style & 1) || (os2 && (os2->fsSelection & 0x20));
    in.weight = boldFlag ? FW_BOLD : FW_NORMAL;
    if (os2 && os2->usWeightClass >= 1 && os2->usWeightClass <= 1000)
        in.weight = os2->usWeightClass;
    in.italic = (head->Mac_Style & 2) || (os2 && (os2->fsSelection & 0x201));
    in.fixedPitch = post && post->isFixedPitch != 0;
    in.familyClass = familyClassOf(os2, in.fixedPitch);

    const int em = in.unitsPerEm;
    if (os2) {
        in.ascent = os2->usWinAscent;
        in.descent = os2->usWinDescent;
    }
    if (in.ascent + in.descent == 0) {
        in.ascent = std::max<int>(hhea->Ascender, 0);
        in.descent = std::max<int>(-hhea->Descender, 0);
    }
    if (in.ascent + in.descent == 0) {
        in.ascent = em * 4 / 5;
        in.descent = em - in.ascent;
    }
    int hheaCell = int(hhea->Ascender) - int(hhea->Descender);
    in.externalLeading = std::max(0, int(hhea->Line_Gap) - (in.ascent + in.descent - hheaCell));

    in.maximumWidth = hhea->advance_Width_Max;
    if (os2 && os2->xAvgCharWidth > 0) {
        in.averageWidth = os2->xAvgCharWidth;
    } else {
        // Mean of the advances that are not zero.
        long long sum = 0, n = 0;
        for (FT_Long g = 0; g < face_->num_glyphs; ++g) {
            long a = advance(unsigned(g));
            if (a > 0)
                sum += a, ++n;
        }
        in.averageWidth = n ? int(sum / n) : em / 2;
    }

    in.underlinePosition = post ? post->underlinePosition : 0;
    in.underlineThickness = post ? post->underlineThickness : 0;
    if (in.underlineThickness <= 0) {
        in.underlineThickness = std::max(1, em / 20);
        in.underlinePosition = -em / 10;
    }
    in.strikeoutPosition = os2 ? os2->yStrikeoutPosition : 0;
    in.strikeoutThickness = os2 ? os2->yStrikeoutSize : 0;
    if (in.strikeoutThickness <= 0 || in.strikeoutPosition <= 0) {
        in.strikeoutThickness = in.underlineThickness;
        in.strikeoutPosition = em * 3 / 10;
    }
    return true;
}

long Face::advance(unsigned glyph) const {
    FT_Fixed a = 0;
    if (FT_Long(glyph) >= face_->num_glyphs || FT_Get_Advance(face_, glyph, FT_LOAD_NO_SCALE, &a))
        return 0;
    return a > 0 ? long(a) : 0;
}

long Face::byteAdvance(std::uint8_t byte) const {
    if (!byteAdvancesRead_) {
        for (unsigned b = 0; b < 256; ++b)
            byteAdvances_[b] = advance(byteGlyphs_[b]);
        byteAdvancesRead_ = true;
    }
    return byteAdvances_[byte];
}

bool Face::outline(unsigned glyph, Outline& out) const {
    if (auto it = outlines_.find(glyph); it != outlines_.end()) {
        out = it->second;
        return !out.points.empty();
    }
    const bool loaded = loadOutline(glyph, out);
    if (out.points.size() + 1 <= kMaxKeptPoints - keptPoints_) {
        keptPoints_ += out.points.size() + 1;
        outlines_.emplace(glyph, out);
    }
    return loaded;
}

bool Face::loadOutline(unsigned glyph, Outline& out) const {
    out.points.clear();
    out.tags.clear();
    out.contours.clear();
    out.flags = 0;
    if (FT_Long(glyph) >= face_->num_glyphs)
        return false;
    if (FT_Load_Glyph(face_, glyph,
                      FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_TRANSFORM) != 0) {
        return false;
    }
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points <= 0 ||
        slot->outline.n_contours <= 0) {
        return false;
    }
    const FT_Outline& o = slot->outline;
    out.points.assign(o.points, o.points + o.n_points);
    out.tags.assign(o.tags, o.tags + o.n_points);
    out.contours.assign(o.contours, o.contours + o.n_contours);
    out.flags = o.flags & FT_OUTLINE_EVEN_ODD_FILL;
    return true;
}

}  // namespace win::font
