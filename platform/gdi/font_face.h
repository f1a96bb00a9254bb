// One TrueType or OpenType face read through FreeType: what the font calls
// need of its tables (names, style, Windows metrics), its character map for
// single-byte text, glyph advances and outlines. Internal to the stand-in.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace win::font {

// The process's FreeType library, shared by every face so that it outlives
// them whatever order process-wide tables are torn down in.
class FreeType {
public:
    static std::shared_ptr<FreeType> get();
    // A library apart from the process's, for a thread that opens faces
    // while others use the process's library (FreeType libraries are not
    // shared between threads unlocked).
    static std::shared_ptr<FreeType> create();
    FreeType(const FreeType&) = delete;
    FreeType& operator=(const FreeType&) = delete;
    ~FreeType();
    FT_Library library() const { return library_; }

private:
    FreeType() = default;
    FT_Library library_ = nullptr;
};

using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// Facts read once from a face's tables; lengths are in font units.
struct FaceInfo {
    std::string family;             // legacy family name, at most 31 characters
    std::string typographicFamily;  // empty when the face has none
    int unitsPerEm = 1000;
    int weight = 400;
    bool italic = false;
    bool fixedPitch = false;
    std::uint8_t familyClass = 0;  // FF_ROMAN, FF_SWISS, ... or FF_DONTCARE
    bool coversLatin1 = false;
    int ascent = 0;  // Windows ascent and descent (cell = both)
    int descent = 0;
    int externalLeading = 0;
    int averageWidth = 0;
    int maximumWidth = 0;
    int underlinePosition = 0;  // top of the stroke, above the baseline
    int underlineThickness = 0;
    int strikeoutPosition = 0;  // top of the stroke, above the baseline
    int strikeoutThickness = 0;

    bool operator==(const FaceInfo&) const = default;
};

// A glyph outline in 1/64 font units, y up.
struct Outline {
    using ContourEnd = std::remove_pointer_t<decltype(FT_Outline::contours)>;
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<ContourEnd> contours;
    int flags = 0;  // FT_OUTLINE_EVEN_ODD_FILL or 0
};

class Face {
public:
    // Faces a file or a block of bytes holds (0 when FreeType refuses it).
    static long countFaces(const std::string& path);
    static long countFaces(const Bytes& bytes);
    // Face `index`, or null when FreeType refuses it or it is not a
    // scalable TrueType or OpenType face.
    static std::shared_ptr<Face> open(const std::string& path, long index);
    static std::shared_ptr<Face> open(const Bytes& bytes, long index);
    // The info of the face open(path, index) opens, or none when it refuses
    // it, read without what only drawing needs (for a listing of faces).
    static std::optional<FaceInfo> readInfo(const std::string& path, long index,
                                            std::shared_ptr<FreeType> library);

    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;
    ~Face();

    const FaceInfo& info() const { return info_; }
    // The glyph for a byte of text: Windows-1252 through the Unicode map,
    // 0xF000 + byte through a symbol map when the face has only that, else
    // the byte through its Macintosh map. 0 is the missing glyph.
    unsigned glyphForByte(std::uint8_t byte) const { return byteGlyphs_[byte]; }
    // Unhinted advance in font units.
    long advance(unsigned glyph) const;
    // The advance of the glyph for a byte of text, read once per face.
    long byteAdvance(std::uint8_t byte) const;
    // False for a glyph without an outline (or one FreeType cannot load).
    // The first glyphs asked for are kept, so that fonts of other sizes on
    // the same face load them once.
    bool outline(unsigned glyph, Outline& out) const;

private:
    Face() = default;
    static std::shared_ptr<Face> finish(std::unique_ptr<Face> face, FT_Error error);
    bool readTables();
    void buildByteMap();

    std::shared_ptr<FreeType> freetype_;
    Bytes bytes_;  // the data of a face opened from memory
    FT_Face face_ = nullptr;
    FaceInfo info_;
    std::array<unsigned, 256> byteGlyphs_{};
    mutable std::array<long, 256> byteAdvances_{};
    mutable bool byteAdvancesRead_ = false;
    // Outlines by glyph (empty: none), while they hold at most
    // kMaxKeptPoints points together.
    static constexpr std::size_t kMaxKeptPoints = std::size_t(1) << 18;
    mutable std::unordered_map<unsigned, Outline> outlines_;
    mutable std::size_t keptPoints_ = 0;
    bool loadOutline(unsigned glyph, Outline& out) const;
};

// Windows-1252 to Unicode (the undefined codes stand for themselves).
char32_t windows1252(std::uint8_t byte);

}  // namespace win::font
