// The annotations of the viewer's sample on the main window's page view,
// over the engine library: the note of the first page becomes an icon with
// its closed pop-up, once per page, moved by a zoom change and a scroll and
// opened by a double click. Screenshots with the note closed and open are kept.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QLabel>

#include "tests/viewer/real_engine.h"
#include "viewer/app/annotation_controls.h"
#include "viewer/app/annotation_frame.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/main_form.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

using AnnotationRoad = testing::RealEngineTest;

TEST_F(AnnotationRoad, SampleNoteIconPopupZoomScrollAndDoubleClick) {
    testing::testApp();
    TBrevantForm f;
    f.resize(900, 700);
    f.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.engineAvailable());
    f.OpenDocument(QString::fromUtf8(BREVANT_SAMPLE));
    QCoreApplication::processEvents();
    AnnotationControls& controls = f.frScroll1->annotations();
    ASSERT_EQ(controls.count(), 2);
    auto* icon = dynamic_cast<AnnotationIcon*>(controls.control("SP1_frI2_"));
    auto* note = dynamic_cast<TfrAnnotation*>(controls.control("SP1_frA3_"));
    ASSERT_TRUE(icon && note);
    EXPECT_FALSE(icon->isHidden());
    EXPECT_TRUE(note->isHidden());
    EXPECT_EQ(icon->toolTip(), "Reviewer");
    EXPECT_EQ(note->pCaption->text(), "Reviewer");
    EXPECT_EQ(note->mText->toPlainText(), "A note on the first page.");
    EXPECT_EQ(note->size(), QSize(160, 140));
    // The note's /Rect [530 700 550 720] on a 792-point page at 100 %.
    auto pagePos = [&](QWidget* w) { return w->pos() + f.frScroll1->GetOffset(); };
    EXPECT_EQ(pagePos(icon), QPoint(530, 72));

    f.commitZoom(200);
    QCoreApplication::processEvents();
    EXPECT_EQ(controls.count(), 2);  // moved, not made again
    EXPECT_EQ(pagePos(icon), QPoint(1060, 144));
    EXPECT_FALSE(icon->isHidden());

    const QPoint before = icon->pos();
    f.ScrollTo(f.frScroll1->GetOffset().x() + 40, f.frScroll1->GetOffset().y() + 30);
    EXPECT_EQ(icon->pos(), before - QPoint(40, 30));

    f.sbNextPageClick();
    QCoreApplication::processEvents();
    EXPECT_TRUE(icon->isHidden());
    EXPECT_EQ(controls.count(), 2);
    f.sbPrevPageClick();
    QCoreApplication::processEvents();
    EXPECT_FALSE(icon->isHidden());
    EXPECT_EQ(controls.count(), 2);

    f.commitZoom(100);
    f.ScrollTo(0, 0);
    QCoreApplication::processEvents();
    QDir().mkpath(BREVANT_SCREENSHOTS);
    f.grab().save(QString(BREVANT_SCREENSHOTS "/annotation_icon.png"));
    icon->AnnotIconDblClick();
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->pos(), icon->pos());
    EXPECT_TRUE(icon->isHidden());
    f.grab().save(QString(BREVANT_SCREENSHOTS "/annotation_open.png"));
    note->Image2Click();
    EXPECT_FALSE(icon->isHidden());
}

}  // namespace
}  // namespace brevant
