// The pictures of the components meet Qt here: drawing GIF pictures, icons as
// images and cursors, and the clipboard formats of GIF pictures and icons.
#pragma once

#include <QCursor>
#include <QImage>
#include <QRect>

class QClipboard;
class QMimeData;
class QPainter;

namespace brevant {

class GifImage;
class Icon;

// Clipboard format of icons (their file format).
inline constexpr const char* kIconClipboardFormat = "image/vnd.microsoft.icon";

// Draws the current frame into rect: with its transparent colour left out
// when it has one and the image is transparent, else plainly stretched.
void drawGif(QPainter& painter, const QRect& rect, GifImage& gif);
// The current frame unstretched as drawGif draws it onto a transparent
// image (null when there is none).
QImage gifPicture(GifImage& gif);

// Puts frame 0 as an image and, when every frame has compressed data, the
// GIF file with its 4-byte length in front under "GIF Image".
void saveGifToClipboard(GifImage& gif, QMimeData& mime);
// Takes "GIF Image" data without decoding (frame 0 shows the clipboard's
// image when there is one), else assigns the clipboard's image; false when
// the clipboard holds neither.
bool loadGifFromClipboard(GifImage& gif, const QMimeData& mime);

// The icon's image with its transparency.
QImage iconImage(const Icon& icon);
// A mouse cursor showing the icon with the given hot spot.
QCursor cursorFromIcon(const Icon& icon, int hotX, int hotY);

void saveIconToClipboard(const Icon& icon, QMimeData& mime);
bool loadIconFromClipboard(Icon& icon, const QMimeData& mime);

}  // namespace brevant
