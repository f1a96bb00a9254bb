#include "engine/control/page_geometry.h"

#include <cmath>

#include "engine/constants/name_constants.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_page.h"
#include "engine/render/content/matrix.h"

namespace vistrel {

namespace {

double element(PdfArray& box, int32_t i) {
    PdfNumber* n = asNumber(box.get(i));
    return n ? n->realValue() : std::nan("");
}

}  // namespace

double getNumberValue(PdfArray& rectangle) {
    return element(rectangle, 0);
}

double getNumberValue2(PdfArray& rectangle) {
    return element(rectangle, 1);
}

bool readPageGeometry(PdfPage& page, double zoom, PageGeometry& out) {
    PdfArray* box = asRectangle(getInheritedAttribute(&page, names::CropBox, true));
    if (!box)
        box = asRectangle(getInheritedAttribute(&page, names::MediaBox, true));
    if (!box || box->count() != 4)
        return false;
    PageGeometry g;
    g.x1 = getNumberValue(*box);
    g.y1 = getNumberValue2(*box);
    g.x2 = element(*box, 2);
    g.y2 = element(*box, 3);
    if (!std::isfinite(g.x1) || !std::isfinite(g.y1) || !std::isfinite(g.x2) ||
        !std::isfinite(g.y2))
        return false;
    if (PdfNumber* r = asNumber(getInheritedAttribute(&page, names::Rotate, true))) {
        int32_t rotation = r->intValue() % 360;
        if (rotation < 0)
            rotation += 360;
        g.rotation = rotation % 90 == 0 ? rotation : 0;
    }
    g.width = std::fabs(g.x2 - g.x1) * zoom;
    g.height = std::fabs(g.y2 - g.y1) * zoom;
    out = g;
    return true;
}

bool pageBitmapSize(const PageGeometry& geometry, std::int32_t maxSide, std::int64_t maxPixels,
                    std::int32_t& width, std::int32_t& height) {
    const bool turned = geometry.rotation == 90 || geometry.rotation == 270;
    const double w = std::trunc(turned ? geometry.height : geometry.width);
    const double h = std::trunc(turned ? geometry.width : geometry.height);
    // The comparisons are false for NaN.
    if (!(w >= 1 && h >= 1 && w <= maxSide && h <= maxSide && w * h <= double(maxPixels)))
        return false;
    width = std::int32_t(w);
    height = std::int32_t(h);
    return true;
}

Matrix pageMatrix(const PageGeometry& g, double zoom) {
    Matrix m{zoom, 0, 0, zoom, 0, 0};
    switch (g.rotation) {
        case 0:
            concatMatrix(m, Matrix{1, 0, 0, -1, 0, g.height});
            break;
        case 90:
            concatMatrix(m, Matrix{0, 1, 1, 0, 0, 0});
            break;
        case 180:
            concatMatrix(m, Matrix{-1, 0, 0, 1, g.width, 0});
            break;
        case 270:
            concatMatrix(m, Matrix{0, -1, -1, 0, g.height, g.width});
            break;
    }
    return translated(m, -g.x1, -g.y1);
}

std::int32_t roundToLong(double value) {
    if (std::isnan(value))
        return 0;
    const double r = value < 0 ? std::trunc(value - 0.5) : std::trunc(value + 0.5);
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return std::int32_t(r);
}

}  // namespace vistrel
