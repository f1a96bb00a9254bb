// The device preview over the engine library: the sample's first page in
// the compatible device format, drawn by the engine into the preview's
// screen. The screenshot is kept under the build's screenshots folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>

#include <utility>

#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/dib_surface.h"

namespace brevant {
namespace {

using DevicePreview = testing::RealEngineTest;

TEST_F(DevicePreview, ShowsTheRenderedPageInTheScreen) {
    testing::testApp();
    writeSetting(settings::kShowSplash, false);
    TBrevantForm form;
    form.show();
    QCoreApplication::processEvents();
    form.OpenDocument(BREVANT_SAMPLE);
    form.SetDeviceFormat(4);
    ASSERT_EQ(form.lastRendered().format, 4);

    // The page as the engine draws it from its bitmap.
    const int width = form.Vistrel1.width(), height = form.Vistrel1.height();
    DibSurface page(width, height);
    ASSERT_TRUE(page.isValid());
    ASSERT_EQ(form.Vistrel1.draw(page.dc(), 0, 0, width, height, 0, 0), win::S_OK);

    TfPalm& palm = *form.fPalm;
    EXPECT_EQ(palm.PaintBox1->size(), QSize(width, height));
    palm.show();
    QCoreApplication::processEvents();
    // Dragged to the sample's picture: the screen shows the page from 40, 180.
    const QPoint origin = palm.PaintBox1->mapToGlobal(QPoint(0, 0));
    for (auto [type, at] : {std::pair{QEvent::MouseButtonPress, QPoint(100, 100)},
                            std::pair{QEvent::MouseMove, QPoint(60, -80)},
                            std::pair{QEvent::MouseButtonRelease, QPoint(60, -80)}}) {
        QMouseEvent event(type, QPointF(at), QPointF(origin + at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(palm.PaintBox1, &event);
    }
    ASSERT_EQ(palm.PaintBox1->pos(), QPoint(-40, -180));
    const QImage shot = palm.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(BREVANT_SCREENSHOTS);
    shot.save(BREVANT_SCREENSHOTS "/device_preview.png");
    EXPECT_EQ(testing::differences(shot.copy(44, 50, 160, 160),
                                   [&](int x, int y) { return page.image().pixel(x + 40, y + 180); }),
              "");
    palm.close();
}

}  // namespace
}  // namespace brevant
