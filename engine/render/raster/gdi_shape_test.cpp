#include "engine/render/raster/gdi_shape.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/core/settings_store.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_settings.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel {
namespace {

using test::Canvas;

// A shape whose only path is a rectangle is filled as one rectangle of its
// box, right and bottom edges left out as a rectangle fill leaves them: the
// pixels a polygon through the corners of the covered pixels fills (whose
// edges' pixels are filled), with no clip, under a span clip and under a
// clip rectangle. An empty rectangle fills nothing.
TEST(GdiShapeTest, RectangleFillsAsThePolygonOfItsCorners) {
    struct Case {
        const char* label;
        IntRect box;
    } cases[] = {
        {"inside the page", {2, 3, 7, 4}},
        {"two by two", {5, 5, 2, 2}},
        {"over the page's edges", {-4, -2, 30, 8}},
        {"empty", {6, 6, 0, 0}},
    };
    enum Clip { None, Spans, Box };
    for (Clip clip : {None, Spans, Box}) {
        settingsStore().set(settings::Quality, settings::GDCClipMode,
                            SettingValue::ofInteger(clip == Spans ? 1 : 0));
        settingsStore().set(settings::Quality, settings::GDCOptimMode,
                            SettingValue::ofText(WString(u"1")));
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.label) + ", clip " + std::to_string(int(clip)));
            std::string pictures[2];
            for (int asRectangle = 0; asRectangle < 2; ++asRectangle) {
                Canvas cv(16, 12);
                GdiDevice dev(cv.dc, IntPoint(16, 12));
                DeviceColor black(0);
                dev.SetFillColor(black);
                if (clip != None) {
                    std::unique_ptr<Shape> tri = dev.NewShape();
                    tri->MoveTo(IntPoint(0, 0));
                    tri->LineTo(IntPoint(14, 0));
                    tri->LineTo(IntPoint(0, 11));
                    tri->ClosePath();
                    ASSERT_TRUE(dev.SaveClip());
                    ASSERT_TRUE(dev.ClipToShape(*tri, 1));
                }
                std::unique_ptr<Shape> s = dev.NewShape();
                s->MoveTo(IntPoint(0, 0));
                if (asRectangle) {
                    s->paths()[0]->Rectangle(c.box.x, c.box.y, c.box.width, c.box.height);
                    ASSERT_TRUE(s->IsRectangle());
                } else if (c.box.width > 0 && c.box.height > 0) {
                    const std::int32_t right = c.box.x + c.box.width - 1;
                    const std::int32_t bottom = c.box.y + c.box.height - 1;
                    s->MoveTo(IntPoint(c.box.x, c.box.y));
                    s->LineTo(IntPoint(right, c.box.y));
                    s->LineTo(IntPoint(right, bottom));
                    s->LineTo(IntPoint(c.box.x, bottom));
                    s->ClosePath();
                    ASSERT_FALSE(s->IsRectangle());
                }
                s->setPaintMode(Shape::Fill);
                EXPECT_TRUE(s->Paint(IntPoint(), dev));
                // The rectangle takes no span list: nothing was scan-converted.
                if (asRectangle) {
                    EXPECT_FALSE(static_cast<GdiShape*>(s.get())->hasSpanList());
                }
                pictures[asRectangle] = cv.picture();
            }
            EXPECT_EQ(pictures[1], pictures[0]);
        }
    }
    settingsStore().save(settings::Quality, settings::GDCClipMode);
    settingsStore().save(settings::Quality, settings::GDCOptimMode);
}

}  // namespace
}  // namespace vistrel
