#include "engine/control/tree_records.h"

#include <algorithm>
#include <cmath>

#include "engine/control/page_geometry.h"
#include "engine/font/font_description.h"

namespace vistrel {

using namespace VISTRELLib;

namespace {

// Truncated toward zero and saturated to 32 bits; none when not finite.
std::optional<int32_t> truncated(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double t = std::trunc(value);
    if (t >= 2147483647.0)
        return INT32_MAX;
    if (t <= -2147483648.0)
        return INT32_MIN;
    return int32_t(t);
}

// A difference of two 32-bit values, saturated.
int32_t distance(int32_t a, int32_t b) {
    const int64_t d = int64_t(a) - int64_t(b);
    return int32_t(std::min<int64_t>(d < 0 ? -d : d, INT32_MAX));
}

// A point through the matrix, rounded; false when not finite.
bool pixelPoint(const Matrix& m, double x, double y, int32_t& px, int32_t& py) {
    double tx, ty;
    transformPoint(m, x, y, tx, ty);
    const std::optional<int32_t> rx = roundedPixel(tx), ry = roundedPixel(ty);
    if (!rx || !ry)
        return false;
    px = *rx;
    py = *ry;
    return true;
}

// The target coordinate: rounded half up above 0, else 0.
int32_t targetPixel(double t) {
    if (!(t > 0))
        return 0;
    const double r = std::trunc(t + 0.5);
    return r >= 2147483647.0 ? INT32_MAX : int32_t(r);
}

}  // namespace

std::optional<int32_t> roundedPixel(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    return roundToLong(value);
}

bool linkCorners(const double rect[4], const Matrix& m, PageLink& link) {
    return pixelPoint(m, rect[0], rect[1], link.x, link.y) &&
           pixelPoint(m, rect[2], rect[3], link.x1, link.y1);
}

void linkTarget(double x, double y, const Matrix& m, PageLink& link) {
    double tx, ty;
    transformPoint(m, x, y, tx, ty);
    link.toX = targetPixel(tx);
    link.toY = targetPixel(ty);
}

std::optional<PixelBox> annotationBox(const double rect[4], const Matrix& m) {
    std::optional<int32_t> t[4];
    for (int i = 0; i < 4; ++i) {
        t[i] = truncated(rect[i]);
        if (!t[i])
            return std::nullopt;
    }
    int32_t x1, y1, x2, y2;
    if (!pixelPoint(m, *t[0], *t[3], x1, y1) || !pixelPoint(m, *t[2], *t[1], x2, y2))
        return std::nullopt;
    return PixelBox{std::min(x1, x2), std::min(y1, y2), distance(x1, x2), distance(y1, y2)};
}

std::optional<int32_t> annotationColor(PdfObject* c) {
    PdfArray* components = asArray(c);
    if (!components || components->count() != 3)
        return kDefaultAnnotationColor;
    int32_t bytes[3];
    for (int32_t i = 0; i < 3; ++i) {
        PdfNumber* n = asNumber(components->at(i));
        if (!n)
            return kDefaultAnnotationColor;
        const std::optional<int32_t> scaled = truncated(n->realValue() * 255);
        if (!scaled)
            return std::nullopt;
        bytes[i] = *scaled & 255;
    }
    return (bytes[2] << 16) | (bytes[1] << 8) | bytes[0];
}

std::optional<FontInfoFields> fontInfoFields(std::u16string_view key,
                                             std::u16string_view description,
                                             std::u16string_view encoding, int32_t& type3Number) {
    FontInfoFields f;
    bool subset = false;
    std::u16string name;
    std::u16string_view usedName;
    if (key == u"Type3 font") {
        name = key;
        name += u' ';
        for (char c : std::to_string(type3Number))
            name += char16_t(c);
        ++type3Number;
        f.original = f.used = FontType::Type3;
        subset = true;
    } else {
        const size_t colon = key.find(u':');
        if (colon == std::u16string_view::npos)
            return std::nullopt;
        const std::u16string_view tag = key.substr(0, colon);
        std::u16string_view rest = key.substr(colon + 1);
        if (const size_t plus = rest.find(u'+'); plus != std::u16string_view::npos)
            rest = rest.substr(plus + 1);
        name = rest;
        if (tag == u"PDF_TT") {
            f.original = FontType::TrueType;
        } else if (tag == u"PDF_T1") {
            f.original = FontType::Type1;
        } else if (tag == u"PDF_T1C") {
            f.original = FontType::Type1C;
        } else {
            return std::nullopt;
        }
        const size_t dcolon = description.find(u':');
        if (dcolon == std::u16string_view::npos)
            return std::nullopt;
        const std::u16string_view dtag = description.substr(0, dcolon);
        usedName = description.substr(dcolon + 1);
        if (const size_t plus = usedName.find(u'+'); plus != std::u16string_view::npos) {
            subset = true;
            usedName = usedName.substr(plus + 1);
        }
        if (dtag == u"TrueType") {
            f.used = FontType::TrueType;
        } else if (dtag == u"T1") {
            f.used = FontType::Type1;
        } else if (dtag == u"T1C") {
            f.used = FontType::Type1C;
        } else {
            return std::nullopt;
        }
    }
    f.originalName = name;
    f.usedName = subset ? std::u16string(u"Embedded subset") : std::u16string(usedName);
    f.encoding = encoding;
    return f;
}

std::u16string fontFamily(const FontDescription* description) {
    if (description && description->isMonospace())
        return u"Courier";
    if (description && description->isSerif())
        return u"Times";
    return u"Helvetica";
}

std::u16string fontModificator(const FontDescription* description) {
    std::u16string out;
    if (!description)
        return out;
    if (description->weight() > 400)
        out += u"bold";
    if (description->isItalic())
        out += u"-italic";
    if (description->isUnderline())
        out += u"-underline";
    if (description->isStrikeout())
        out += u"-strikeout";
    return out;
}

}  // namespace vistrel
