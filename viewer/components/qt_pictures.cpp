#include "viewer/components/qt_pictures.h"

#include <QMimeData>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

#include "viewer/components/bitmap_utils.h"
#include "viewer/components/gif_image.h"
#include "viewer/components/icon.h"

namespace brevant {
namespace {

ByteSpan spanOf(const QByteArray& a) {
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size())};
}

QByteArray arrayOf(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

// The colour left out of a frame: its transparent colour when it has one and
// the image is transparent.
Colour leftOut(const GifFrame& frame, const GifImage& gif) {
    return frame.transparentColour != kColourNone && gif.transparent ? frame.transparentColour
                                                                     : kColourNone;
}

}  // namespace

void drawGif(QPainter& painter, const QRect& rect, GifImage& gif) {
    if (gif.frameIndex() < 0)
        return;
    GifFrame& frame = gif.frame(gif.frameIndex());
    const Bitmap& bmp = frame.bitmap();
    stretchDrawTransparent(painter, rect.x(), rect.y(), rect.width(), rect.height(), bmp,
                           QRect(0, 0, bmp.width(), bmp.height()), leftOut(frame, gif));
}

QImage gifPicture(GifImage& gif) {
    if (gif.frameIndex() < 0)
        return {};
    GifFrame& frame = gif.frame(gif.frameIndex());
    const Bitmap& bmp = frame.bitmap();
    return transparentImage(bmp, QRect(0, 0, bmp.width(), bmp.height()), leftOut(frame, gif));
}

void saveGifToClipboard(GifImage& gif, QMimeData& mime) {
    if (gif.count() == 0)
        return;
    mime.setImageData(toQImage(gif.frame(0).bitmap()));
    for (int i = 0; i < gif.count(); ++i)
        if (!gif.frame(i).hasData())
            return;
    mime.setData(kGifClipboardFormat, arrayOf(gif.writeData()));
}

bool loadGifFromClipboard(GifImage& gif, const QMimeData& mime) {
    if (mime.hasFormat(kGifClipboardFormat)) {
        QByteArray data = mime.data(kGifClipboardFormat);
        gif.readData(spanOf(data), false);
        if (mime.hasImage() && gif.count() > 0)
            gif.frame(0).setDecodedBitmap(fromQImage(qvariant_cast<QImage>(mime.imageData())));
        return true;
    }
    if (mime.hasImage()) {
        gif.assign(fromQImage(qvariant_cast<QImage>(mime.imageData())));
        return true;
    }
    return false;
}

QImage iconImage(const Icon& icon) {
    QImage image(icon.width(), icon.height(), QImage::Format_ARGB32);
    const auto& px = icon.argb();
    for (int y = 0; y < icon.height(); ++y)
        std::copy_n(px.data() + std::size_t(y) * std::size_t(icon.width()), icon.width(),
                    reinterpret_cast<QRgb*>(image.scanLine(y)));
    return image;
}

QCursor cursorFromIcon(const Icon& icon, int hotX, int hotY) {
    return QCursor(QPixmap::fromImage(iconImage(icon)), hotX, hotY);
}

void saveIconToClipboard(const Icon& icon, QMimeData& mime) {
    if (icon.empty())
        return;
    mime.setImageData(iconImage(icon));
    mime.setData(kIconClipboardFormat, arrayOf(icon.bytes()));
}

bool loadIconFromClipboard(Icon& icon, const QMimeData& mime) {
    if (!mime.hasFormat(kIconClipboardFormat))
        return false;
    icon.load(spanOf(mime.data(kIconClipboardFormat)));
    return true;
}

}  // namespace brevant
