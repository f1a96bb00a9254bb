#include "viewer/components/dib_surface.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "viewer/components/qt_test_util.h"

namespace brevant {
namespace {

TEST(DibSurface, PixelsDrawnThroughTheDeviceContextArePainted) {
    testing::testApp();
    const size_t bitmaps = win::LiveObjectCount(win::HandleKind::Bitmap);
    const size_t dcs = win::LiveObjectCount(win::HandleKind::DC);
    {
        DibSurface surface(7, 5);
        ASSERT_TRUE(surface.isValid());
        win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
        win::HBRUSH white = win::CreateSolidBrush(win::RGB(255, 255, 255));
        win::RECT all{0, 0, 7, 5}, corner{5, 3, 7, 5};
        win::FillRect(surface.dc(), &all, white);
        win::FillRect(surface.dc(), &corner, red);
        win::SetPixel(surface.dc(), 0, 0, win::RGB(1, 2, 3));
        win::DeleteObject(red);
        win::DeleteObject(white);

        // The image shows the device context's pixels, rows from the top.
        const QImage& image = surface.image();
        EXPECT_EQ(image.size(), QSize(7, 5));
        EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
        EXPECT_EQ(image.pixel(6, 4), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(4, 4), qRgb(255, 255, 255));
        EXPECT_EQ(win::GetPixel(surface.dc(), 6, 4), win::RGB(255, 0, 0));

        // ... without a copy: later drawing shows in the same image.
        win::SetPixel(surface.dc(), 1, 0, win::RGB(0, 0, 255));
        EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));

        QImage target(10, 8, QImage::Format_RGB32);
        target.fill(Qt::black);
        QPainter painter(&target);
        painter.drawImage(QPoint(3, 2), image);
        painter.end();
        EXPECT_EQ(target.pixel(9, 6), qRgb(255, 0, 0));
        EXPECT_EQ(target.pixel(3, 2), qRgb(1, 2, 3));
        EXPECT_EQ(target.pixel(2, 2), qRgb(0, 0, 0));
    }
    // Nothing of the surface is left behind.
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Bitmap), bitmaps);
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::DC), dcs);

    for (QSize size : {QSize(0, 5), QSize(5, 0), QSize(-1, -1)}) {
        DibSurface none(size.width(), size.height());
        EXPECT_FALSE(none.isValid());
        EXPECT_FALSE(none.dc());
    }
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::DC), dcs);
}

}  // namespace
}  // namespace brevant
