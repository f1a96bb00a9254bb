#include "viewer/components/bitmap_utils.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>

#include "viewer/components/gif_image.h"
#include "viewer/components/icon.h"
#include "viewer/components/picture_test_util.h"
#include "viewer/components/qt_pictures.h"
#include "viewer/components/qt_test_util.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

using testing::pictureFile;

constexpr QRgb kBackdrop = 0xFF102030;

// A 2 x 2 bitmap: red, green on top; blue, white below.
Bitmap quad() {
    Bitmap b(2, 2, 24);
    b.setPixel(0, 0, {255, 0, 0});
    b.setPixel(1, 0, {0, 255, 0});
    b.setPixel(0, 1, {0, 0, 255});
    b.setPixel(1, 1, {255, 255, 255});
    return b;
}

QImage drawn(const Bitmap& bmp, QRect dest, QRect src, Colour transparent) {
    QImage canvas(8, 8, QImage::Format_RGB32);
    canvas.fill(kBackdrop);
    QPainter p(&canvas);
    stretchDrawTransparent(p, dest.x(), dest.y(), dest.width(), dest.height(), bmp, src,
                           transparent);
    return canvas;
}

TEST(BitmapUtils, StretchDrawLeavesOutTheTransparentColour) {
    testing::testApp();
    struct Case {
        const char* name;
        QRect dest, src;
        Colour transparent;
        QPoint at;
        QRgb want;
    } cases[] = {
        {"none draws all, stretched", {0, 0, 4, 4}, {}, kColourNone, {3, 3}, 0xFFFFFFFF},
        {"none draws all, stretched", {0, 0, 4, 4}, {}, kColourNone, {1, 1}, 0xFFFF0000},
        {"default takes lower-left blue", {0, 0, 4, 4}, {}, kColourDefault, {0, 3}, kBackdrop},
        {"default keeps others", {0, 0, 4, 4}, {}, kColourDefault, {3, 0}, 0xFF00FF00},
        {"given colour", {0, 0, 4, 4}, {}, 0xFF0000, {0, 0}, kBackdrop},
        {"size below 1 is the bitmap's", {2, 2, 0, 0}, {}, kColourNone, {3, 2}, 0xFF00FF00},
        {"size below 1 is the bitmap's", {2, 2, 0, 0}, {}, kColourNone, {4, 4}, kBackdrop},
        {"source part", {0, 0, 4, 4}, {1, 0, 1, 2}, kColourNone, {3, 3}, 0xFFFFFFFF},
        {"source part", {0, 0, 4, 4}, {1, 0, 1, 2}, kColourNone, {0, 0}, 0xFF00FF00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(drawn(quad(), c.dest, c.src, c.transparent).pixel(c.at), c.want);
    }
    // A monochrome bitmap leaves out white, whatever colour is asked for.
    Bitmap mono(2, 1, 1);
    mono.palette() = {{0, 0, 0}, {255, 255, 255}};
    mono.setIndex(1, 0, 1);
    QImage m = drawn(mono, {0, 0, 2, 1}, {}, 0x000000);
    EXPECT_EQ(m.pixel(0, 0), 0xFF000000);
    EXPECT_EQ(m.pixel(1, 0), kBackdrop);
}

TEST(QtPictures, DrawsGifFramesWithTheirTransparency) {
    testing::testApp();
    GifImage gif;
    gif.loadFromBytes(pictureFile("anim.gif"));
    const GifFrame& f = gif.frame(0);
    const Bitmap& bmp = gif.frame(0).bitmap();
    int tx = -1, ty = -1;
    for (int y = 0; y < bmp.height() && tx < 0; ++y)
        for (int x = 0; x < bmp.width(); ++x)
            if (colourOf(bmp.pixel(x, y)) == f.transparentColour) {
                tx = x, ty = y;
                break;
            }
    ASSERT_GE(tx, 0);
    for (bool transparent : {true, false}) {
        gif.transparent = transparent;
        QImage canvas(10, 8, QImage::Format_RGB32);
        canvas.fill(kBackdrop);
        QPainter p(&canvas);
        drawGif(p, QRect(0, 0, 10, 8), gif);
        p.end();
        EXPECT_EQ(canvas.pixel(tx, ty),
                  transparent ? kBackdrop : (0xFF000000 | f.transparentColour));
        // The same frame as a picture of its own: left out means alpha 0.
        const QImage picture = gifPicture(gif);
        ASSERT_EQ(picture.size(), QSize(bmp.width(), bmp.height()));
        EXPECT_EQ(picture.pixel(tx, ty), transparent ? 0u : (0xFF000000 | f.transparentColour));
    }
}

TEST(QtPictures, GifAndIconGoThroughTheClipboard) {
    testing::testApp();
    GifImage gif;
    gif.loadFromBytes(pictureFile("c16.gif"));
    auto* mime = new QMimeData;
    saveGifToClipboard(gif, *mime);
    EXPECT_TRUE(mime->hasImage());
    ASSERT_TRUE(mime->hasFormat("GIF Image"));
    QApplication::clipboard()->setMimeData(mime);

    GifImage pasted;
    ASSERT_TRUE(loadGifFromClipboard(pasted, *QApplication::clipboard()->mimeData()));
    ASSERT_EQ(pasted.count(), 1);
    EXPECT_EQ(pasted.frame(0).item().data, gif.frame(0).item().data);
    EXPECT_EQ(pasted.frame(0).bitmap().pixel(3, 4), gif.frame(0).bitmap().pixel(3, 4));

    // A picture with a frame not yet encoded goes out as an image only.
    GifImage fresh;
    Bitmap b(3, 3, 24);
    fresh.assign(b);
    QMimeData imageOnly;
    saveGifToClipboard(fresh, imageOnly);
    EXPECT_FALSE(imageOnly.hasFormat("GIF Image"));
    GifImage fromImage;
    ASSERT_TRUE(loadGifFromClipboard(fromImage, imageOnly));
    EXPECT_EQ(fromImage.frame(0).bitmap().width(), 3);

    Icon icon(pictureFile("red.ico")), back;
    QMimeData iconData;
    saveIconToClipboard(icon, iconData);
    ASSERT_TRUE(loadIconFromClipboard(back, iconData));
    EXPECT_EQ(back.bytes(), icon.bytes());
}

TEST(QtPictures, InstallsTheComponentCursors) {
    testing::testApp();
    EXPECT_FALSE(hasScreenCursor(kHandCursor));
    EXPECT_EQ(screenCursor(kHandCursor).shape(), Qt::ArrowCursor);
    loadComponentCursors();
    struct Case {
        int id;
        QPoint hotSpot;
    } cases[] = {{kHandCursor, {6, 0}}, {kDragCursor, {0, 0}}};
    for (const Case& c : cases) {
        ASSERT_TRUE(hasScreenCursor(c.id));
        QCursor cursor = screenCursor(c.id);
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
        EXPECT_EQ(cursor.hotSpot(), c.hotSpot);
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
    }
    EXPECT_TRUE(cursorResource("RX_UNKNOWN").empty());
}

}  // namespace
}  // namespace brevant
