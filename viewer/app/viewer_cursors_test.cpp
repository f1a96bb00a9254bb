#include "viewer/app/viewer_cursors.h"

#include <gtest/gtest.h>

#include <QPixmap>

#include "viewer/app/app_test_util.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

// Each cursor is drawn, registered under its number, and has its hot spot
// on a drawn pixel.
TEST(ViewerCursors, RegisteredWithTheirNumbers) {
    testing::testApp();
    registerViewerCursors();
    for (int id : {5, 6, 7, 8, 10}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(hasScreenCursor(id));
        QCursor cursor = screenCursor(id);
        QImage image = cursor.pixmap().toImage();
        ASSERT_EQ(image.size(), QSize(32, 32));
        EXPECT_EQ(qAlpha(image.pixel(cursor.hotSpot())), 255);
    }
    EXPECT_FALSE(hasScreenCursor(9));
}

}  // namespace
}  // namespace brevant
