#include "viewer/app/annotation_controls.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>

#include "viewer/app/annotation_frame.h"
#include "viewer/app/app_test_util.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

// A 400 by 300 surface over a 612 by 792 page, scrolled to `offset`.
struct Surface : AnnotationSurface {
    QWidget parent;
    QPoint offset{0, 0};
    QSize extent{612, 792};
    bool visible = true;
    Surface() { parent.resize(400, 300); }
    QWidget* annotationParent() override { return &parent; }
    QPoint annotationOffset() const override { return offset; }
    QSize annotationExtent() const override { return extent; }
    bool annotationViewVisible() const override { return visible; }
};

struct AnnotationControlsTest : ::testing::Test {
    AnnotationControlsTest() {
        testing::testApp();
        auto owned = std::make_unique<Surface>();
        surface = owned.get();
        controls = std::make_unique<AnnotationControls>(std::move(owned));
    }
    TfrAnnotation* note(const QString& name) {
        return dynamic_cast<TfrAnnotation*>(controls->control(name));
    }
    AnnotationIcon* icon(const QString& name) {
        return dynamic_cast<AnnotationIcon*>(controls->control(name));
    }
    Surface* surface;
    std::unique_ptr<AnnotationControls> controls;
};

TEST_F(AnnotationControlsTest, PlacementOnAndOffThePage) {
    surface->offset = {20, 30};
    struct Case {
        const char* record;
        QPoint at;
    };
    const Case cases[] = {
        {"100,50,20,20,0,\"t\",\"x\",2", {80, 20}},
        {"0,0,20,20,0,\"t\",\"x\",2", {-20, -30}},
        {"-1,-500,20,20,0,\"t\",\"x\",2", {-30, -40}},      // 10 before the page
        {"613,793,20,20,0,\"t\",\"x\",2", {597, 767}},       // 5 past it
        {"99999999999,5,20,20,0,\"t\",\"x\",2", {-20, -25}},  // not a number: 0
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("SP1_frA%1_").arg(++n);
        controls->CreateAnnotationNote(name, c.record, 1.0, true);
        ASSERT_NE(note(name), nullptr) << c.record;
        EXPECT_EQ(note(name)->pos(), c.at) << c.record;
    }
}

TEST_F(AnnotationControlsTest, CreatedOnceAndOnlyWithARecordOnAVisibleView) {
    controls->CreateAnnotationNote("SP1_frA2_", "1,2,30,40,0,\"a\",\"b\",2", 1.0, true);
    controls->CreateAnnotationNote("SP1_frA2_", "9,9,30,40,0,\"c\",\"d\",2", 1.0, true);
    controls->CreateAnnotationIcon("SP1_frI3_", "", false, 1.0, true);
    surface->visible = false;
    controls->CreateAnnotationIcon("SP1_frI4_", "1,2,3,4,0,\"a\",\"b\",0", false, 1.0, true);
    ASSERT_EQ(controls->count(), 1);
    EXPECT_EQ(note("SP1_frA2_")->pCaption->text(), "a");
}

TEST_F(AnnotationControlsTest, NoteSizeCaptionAndText) {
    struct Case {
        const char* record;
        double scale;
        QSize size;
        QColor caption, text;
        const char* memo;
    };
    const Case cases[] = {
        {"0,0,100,50,255,\"Red\",\"He said \"\"hi\"\", twice\",2", 2.0, {50, 25}, Qt::red, Qt::white,
         "He said \"hi\", twice"},
        {"0,0,100,51,16776960,\"Cyan\",\"\",3", 0.5, {200, 102}, Qt::cyan, Qt::black, ""},
        // Sizes from the document stay within twice the page or view.
        {"0,0,2000000000,-7,8421504,\"Grey\",\"x\",2", 0.01, {1224, 0}, QColor(128, 128, 128),
         Qt::black, "x"},
        {"0,0,10,10,0,\"\",\"\",2", 0.0, {10, 10}, Qt::black, Qt::white, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("SP1_frA%1_").arg(++n);
        controls->CreateAnnotationNote(name, c.record, c.scale, true);
        TfrAnnotation* made = note(name);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->size(), c.size) << c.record;
        const QPalette palette = made->pCaption->palette();
        EXPECT_EQ(palette.color(QPalette::Window), c.caption) << c.record;
        EXPECT_EQ(palette.color(QPalette::WindowText), c.text) << c.record;
        EXPECT_EQ(made->mText->toPlainText(), c.memo);
        EXPECT_EQ(made->tag, -1);
    }
}

TEST_F(AnnotationControlsTest, IconsWithTheirOwnNotes) {
    // Closed (type 0): the icon shows, its note waits hidden; open (type 1):
    // the note shows instead. Each names the other by its index.
    controls->CreateAnnotationIcon("SP1_frI2_", "10,10,80,60,65280,\"Closed\",\"c\",0", true, 1.0, true);
    controls->CreateAnnotationIcon("SP1_frI4_", "50,50,80,60,65280,\"Open\",\"o\",1", true, 1.0, true);
    AnnotationIcon* closed = icon("SP1_frI2_");
    AnnotationIcon* open = icon("SP1_frI4_");
    ASSERT_TRUE(closed && open && note("SP1_frI2_Kid") && note("SP1_frI4_Kid"));
    EXPECT_EQ(closed->tag, 1);
    EXPECT_EQ(note("SP1_frI2_Kid")->tag, 0);
    EXPECT_EQ(open->tag, 3);
    EXPECT_EQ(note("SP1_frI4_Kid")->tag, 2);
    EXPECT_FALSE(closed->isHidden());
    EXPECT_TRUE(note("SP1_frI2_Kid")->isHidden());
    EXPECT_TRUE(open->isHidden());
    EXPECT_FALSE(open->isEnabledTo(&surface->parent));
    EXPECT_FALSE(note("SP1_frI4_Kid")->isHidden());
    EXPECT_EQ(closed->toolTip(), "Closed");
    EXPECT_EQ(closed->size(), annotationIconPicture().size());

    // The picture's two white areas take the annotation's colour; the
    // outline stays.
    const QImage picture = closed->pixmap().toImage();
    EXPECT_EQ(picture.pixelColor(3, 3), QColor(0, 255, 0));
    EXPECT_EQ(picture.pixelColor(10, 12), QColor(0, 255, 0));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(19, 19).alpha(), 0);

    // Double click: the note comes to the icon, which goes.
    closed->move(33, 44);
    closed->AnnotIconDblClick();
    EXPECT_EQ(note("SP1_frI2_Kid")->pos(), QPoint(33, 44));
    EXPECT_FALSE(note("SP1_frI2_Kid")->isHidden());
    EXPECT_TRUE(closed->isHidden());
    // Close: the icon comes back where the note's corner is.
    note("SP1_frI2_Kid")->move(70, 80);
    note("SP1_frI2_Kid")->Image2Click();
    EXPECT_TRUE(note("SP1_frI2_Kid")->isHidden());
    EXPECT_EQ(closed->pos(), QPoint(70, 80));
    EXPECT_FALSE(closed->isHidden());
}

TEST_F(AnnotationControlsTest, IconWithoutItsOwnNoteAndAPopupNote) {
    controls->CreateAnnotationIcon("SP1_frI2_", "10,10,20,20,0,\"T\",\"x\",0", false, 1.0, true);
    controls->CreateAnnotationNote("SP1_frA3_", "30,30,90,60,0,\"T\",\"x\",2", 1.0, false);
    EXPECT_EQ(icon("SP1_frI2_")->tag, -1);
    EXPECT_TRUE(note("SP1_frA3_")->isHidden());
    // Closing a pop-up note only hides it.
    note("SP1_frA3_")->show();
    note("SP1_frA3_")->Image2Click();
    EXPECT_TRUE(note("SP1_frA3_")->isHidden());
    EXPECT_FALSE(icon("SP1_frI2_")->isHidden());
    // A double click on such an icon shows the controls named after it.
    icon("SP1_frI2_")->hide();
    icon("SP1_frI2_")->AnnotIconDblClick();
    EXPECT_FALSE(icon("SP1_frI2_")->isHidden());
    EXPECT_TRUE(note("SP1_frA3_")->isHidden());
}

TEST_F(AnnotationControlsTest, AnIconOpensItsPopupOnceLinked) {
    controls->CreateAnnotationIcon("SP1_frI2_", "10,10,20,20,0,\"T\",\"x\",0", false, 1.0, true);
    controls->CreateAnnotationNote("SP1_frA3_", "300,30,90,60,0,\"T\",\"x\",2", 1.0, false);
    controls->linkIconAndNote("SP1_frI2_", "SP1_frA3_");
    controls->linkIconAndNote("SP1_frI2_", "SP1_frA9_");  // no such note: nothing
    EXPECT_EQ(icon("SP1_frI2_")->tag, 1);
    EXPECT_EQ(note("SP1_frA3_")->tag, 0);
    icon("SP1_frI2_")->AnnotIconDblClick();
    EXPECT_FALSE(note("SP1_frA3_")->isHidden());
    EXPECT_EQ(note("SP1_frA3_")->pos(), QPoint(10, 10));
    EXPECT_TRUE(icon("SP1_frI2_")->isHidden());
    note("SP1_frA3_")->Image2Click();
    EXPECT_FALSE(icon("SP1_frI2_")->isHidden());
}

TEST_F(AnnotationControlsTest, NoteMovesWithinTheSurfaceAndKeepsItsMinimumSize) {
    controls->CreateAnnotationNote("SP1_frA2_", "50,60,100,80,0,\"T\",\"x\",2", 1.0, true);
    TfrAnnotation* n = note("SP1_frA2_");
    const QPoint grab(500, 500);
    n->pCaptionMouseDown(grab);
    n->pCaptionMouseMove(grab + QPoint(20, 10));
    EXPECT_EQ(n->pos(), QPoint(70, 70));
    n->pCaptionMouseMove(grab - QPoint(400, 400));
    EXPECT_EQ(n->pos(), QPoint(0, 0));
    n->pCaptionMouseUp();
    n->pCaptionMouseMove(grab);
    EXPECT_EQ(n->pos(), QPoint(0, 0));

    n->Panel4MouseDown(grab);
    n->Panel4MouseMove(grab + QPoint(15, -5));
    EXPECT_EQ(n->size(), QSize(115, 75));
    n->Panel4MouseMove(grab - QPoint(80, 50));
    EXPECT_EQ(n->size(), QSize(30, 30));
    n->Panel4MouseUp();
}

// The note's paint panel lies under its parts over the whole note and
// draws its outline; it follows the note's size.
TEST_F(AnnotationControlsTest, NotePaintPanelOutlinesTheNote) {
    controls->CreateAnnotationNote("SP1_frA2_", "50,60,100,80,255,\"T\",\"x\",2", 1.0, true);
    TfrAnnotation* n = note("SP1_frA2_");
    auto* panel = n->findChild<TPntPanelG*>("PntPanelG1");
    ASSERT_NE(panel, nullptr);
    for (QSize size : {QSize(100, 80), QSize(140, 90)}) {
        n->resize(size);
        const QImage shown = n->grab().toImage();
        EXPECT_EQ(panel->geometry(), n->rect());
        for (QPoint corner : {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1)})
            EXPECT_EQ(shown.pixel(corner), qRgb(0, 0, 0)) << corner.x();
        EXPECT_EQ(shown.pixel(size.width() / 2, 8), qRgb(255, 0, 0));  // the caption
    }
}

// The close picture stands out from the black strip it lies on.
TEST_F(AnnotationControlsTest, NoteCloseCrossShowsOnTheCaptionStrip) {
    controls->CreateAnnotationNote("SP1_frA2_", "50,60,100,80,255,\"T\",\"x\",2", 1.0, true);
    TfrAnnotation* n = note("SP1_frA2_");
    const QImage shown = n->grab().toImage();
    const QRect cross = n->Image2->geometry().translated(n->Panel1->pos());
    ASSERT_FALSE(cross.isEmpty());
    int light = 0;
    for (int y = cross.top(); y <= cross.bottom(); ++y) {
        for (int x = cross.left(); x <= cross.right(); ++x)
            light += qGray(shown.pixel(x, y)) > 160;
    }
    EXPECT_GE(light, 8);
}

TEST_F(AnnotationControlsTest, ScrollZoomShowHideAndRemove) {
    controls->CreateAnnotationNote("SP1_frA2_", "100,100,10,10,0,\"\",\"\",2", 1.0, true);
    controls->CreateAnnotationNote("SP2_frA2_", "200,100,10,10,0,\"\",\"\",2", 1.0, false);
    controls->CreateAnnotationNote("SP1_frA3_", "300,100,10,10,0,\"\",\"\",2", 1.0, true);
    note("SP1_frA3_")->setEnabled(false);

    surface->offset = {40, 25};
    controls->offsetChanged(surface->offset);
    EXPECT_EQ(note("SP1_frA2_")->pos(), QPoint(60, 75));
    controls->offsetChanged(surface->offset);  // unchanged: stays
    EXPECT_EQ(note("SP1_frA2_")->pos(), QPoint(60, 75));

    controls->ScaleAnnotations(1.5);
    EXPECT_EQ(note("SP1_frA2_")->pos(), QPoint(110, 125));  // page 150,150 less the offset

    controls->HideAnnotationControls();
    controls->ShowPageAnnotations(1);
    EXPECT_FALSE(note("SP1_frA2_")->isHidden());
    EXPECT_TRUE(note("SP2_frA2_")->isHidden());
    EXPECT_TRUE(note("SP1_frA3_")->isHidden());  // disabled ones stay hidden
    controls->ShowAnnotationControls("SP2_");
    EXPECT_FALSE(note("SP2_frA2_")->isHidden());

    QPointer<QWidget> gone = controls->control(0);
    controls->RemoveAnnotationControls("SP1_");
    EXPECT_EQ(controls->count(), 1);
    EXPECT_TRUE(gone.isNull());
    controls->RemoveAnnotationControls(QString());
    EXPECT_EQ(controls->count(), 0);
}

TEST(FloodFill, FillsOneAreaAndStopsOnItsOwnColour) {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::white);
    image.setPixel(1, 0, qRgb(0, 0, 0));
    image.setPixel(1, 1, qRgb(0, 0, 0));
    image.setPixel(1, 2, qRgb(0, 0, 0));
    floodFill(image, 0, 0, qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(0, 2), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(2, 0), qRgb(255, 255, 255));
    floodFill(image, 3, 2, qRgb(255, 255, 255));  // the same colour: nothing, and it ends
    floodFill(image, 9, 9, qRgb(0, 0, 255));      // outside: nothing
    EXPECT_EQ(image.pixel(3, 2), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace brevant
