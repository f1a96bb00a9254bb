// The records of the document trees made from what the document and the
// engine hold: pixel positions of links and annotations through the page
// matrix, annotation colours, the font records of the FONTINFO tree and the
// style words of the TEXT tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/object/pdf_object.h"
#include "typelib/vistrel_typelib.h"

namespace vistrel {

class FontDescription;

// The colour of an annotation without a usable /C.
inline constexpr int32_t kDefaultAnnotationColor = 0xA0A0A0;

// A value rounded half away from zero and saturated to 32 bits; none when it
// is not finite.
std::optional<int32_t> roundedPixel(double value);

// The two corners of a link's /Rect (x1 y1 x2 y2 as they stand) through the
// page matrix, each rounded: x, y from the first, x1, y1 from the second,
// not ordered. False when a coordinate is not finite.
bool linkCorners(const double rect[4], const Matrix& m, VISTRELLib::PageLink& link);

// The target point of a link: each coordinate through the matrix, rounded
// half up when above 0, else 0.
void linkTarget(double x, double y, const Matrix& m, VISTRELLib::PageLink& link);

// An annotation's box in pixels: its /Rect numbers truncated toward zero,
// the corners (x1, y2) and (x2, y1) through the page matrix and rounded,
// then the top-left corner, the width and the height (never negative). None
// when a coordinate is not finite.
struct PixelBox {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};
std::optional<PixelBox> annotationBox(const double rect[4], const Matrix& m);

// An annotation colour from its /C: 0x00BBGGRR of the three components
// scaled by 255 (each truncated, saturated, its low byte taken) when /C is
// an array of exactly three numbers; kDefaultAnnotationColor otherwise.
// None when a component is not finite.
std::optional<int32_t> annotationColor(PdfObject* c);

// A font of the FONTINFO tree from what the registry tells of it (key name,
// description text, encoding name). None for a font of another kind. A key
// "Type3 font" takes the number `type3Number` ("Type3 font 1", ...), which
// then grows by one.
struct FontInfoFields {
    VISTRELLib::FontType original = VISTRELLib::FontType::TrueType;
    VISTRELLib::FontType used = VISTRELLib::FontType::TrueType;
    // Empty texts are handed out as null.
    std::u16string originalName;
    std::u16string usedName;
    std::u16string encoding;
};
std::optional<FontInfoFields> fontInfoFields(std::u16string_view key,
                                             std::u16string_view description,
                                             std::u16string_view encoding, int32_t& type3Number);

// The family and the style word of a word's font as the TEXT tree names
// them: "Courier" for monospace, "Times" for serif, else "Helvetica"; "bold"
// above weight 400, then "-italic", "-underline", "-strikeout" (possibly
// empty). A word without a description gets "Helvetica" and no style.
std::u16string fontFamily(const FontDescription* description);
std::u16string fontModificator(const FontDescription* description);

}  // namespace vistrel
