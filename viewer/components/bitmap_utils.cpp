#include "viewer/components/bitmap_utils.h"

#include <QPainter>

namespace brevant {

QImage toQImage(const Bitmap& bmp) {
    QImage image(bmp.width(), bmp.height(), QImage::Format_RGB32);
    for (int y = 0; y < bmp.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bmp.width(); ++x) {
            Rgb c = bmp.pixel(x, y);
            line[x] = qRgb(c.r, c.g, c.b);
        }
    }
    return image;
}

Bitmap fromQImage(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Bitmap bmp(rgb.width(), rgb.height(), 24);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            bmp.setPixel(x, y,
                         {std::uint8_t(qRed(line[x])), std::uint8_t(qGreen(line[x])),
                          std::uint8_t(qBlue(line[x]))});
    }
    return bmp;
}

QImage transparentImage(const Bitmap& bmp, QRect source, Colour transparent) {
    if (bmp.empty())
        return {};
    if (source.width() < 1 || source.height() < 1)
        source = QRect(0, 0, bmp.width(), bmp.height());
    source &= QRect(0, 0, bmp.width(), bmp.height());
    if (source.isEmpty())
        return {};

    if (transparent == kColourDefault)
        transparent = colourOf(bmp.pixel(0, bmp.height() - 1));
    else if (transparent != kColourNone && bmp.monochrome())
        transparent = kColourWhite;

    QImage part(source.size(), QImage::Format_ARGB32);
    for (int sy = 0; sy < source.height(); ++sy) {
        auto* line = reinterpret_cast<QRgb*>(part.scanLine(sy));
        for (int sx = 0; sx < source.width(); ++sx) {
            Rgb c = bmp.pixel(source.x() + sx, source.y() + sy);
            bool hidden = transparent != kColourNone && colourOf(c) == transparent;
            line[sx] = hidden ? 0 : qRgb(c.r, c.g, c.b);
        }
    }
    return part;
}

void stretchDrawTransparent(QPainter& painter, int x, int y, int width, int height,
                            const Bitmap& bmp, QRect source, Colour transparent) {
    const QImage part = transparentImage(bmp, source, transparent);
    if (part.isNull())
        return;
    if (width < 1)
        width = bmp.width();
    if (height < 1)
        height = bmp.height();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(x, y, width, height), part);
    painter.restore();
}

}  // namespace brevant
