#include "viewer/app/tool_icons.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include <vector>

#include "viewer/app/app_test_util.h"

namespace brevant {
namespace {

// Every tool button has a picture of its own at the tool bar's 16 pixels,
// drawn by the program whatever the desktop's icon theme holds.
TEST(ToolIconsTest, EveryToolHasAPictureOfItsOwn) {
    testing::testApp();
    std::vector<QImage> pictures;
    for (int i = int(ToolIcon::Open); i <= int(ToolIcon::Options); ++i) {
        const QIcon icon = toolIcon(ToolIcon(i));
        ASSERT_FALSE(icon.isNull()) << i;
        const QImage picture = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(picture.size(), QSize(16, 16)) << i;
        bool inked = false;
        for (int y = 0; y < picture.height() && !inked; ++y) {
            for (int x = 0; x < picture.width() && !inked; ++x)
                inked = qAlpha(picture.pixel(x, y)) != 0;
        }
        EXPECT_TRUE(inked) << i;
        for (std::size_t j = 0; j < pictures.size(); ++j)
            EXPECT_NE(picture, pictures[j]) << i << " and " << j;
        pictures.push_back(picture);
    }
}

}  // namespace
}  // namespace brevant
