// The main window's parts that show what a document holds, over the engine
// library and the viewer's sample: the note of the first page as an icon
// with its closed pop-up (once per page, moved by a zoom change and a
// scroll, opened by a double click; screenshots with the note closed and
// open are kept), the information dialogs from their menu items, help by
// the focused control's context and from the Help menu, and the Files tab.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "platform/shell/recording_programs_test_util.h"
#include "tests/viewer/real_engine.h"
#include "viewer/app/annotation_controls.h"
#include "viewer/app/annotation_frame.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/files_tab.h"
#include "viewer/app/info_dialogs.h"
#include "viewer/app/options_dialogs.h"
#include "viewer/app/main_form.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

using DocumentParts = testing::RealEngineTest;

TEST_F(DocumentParts, SampleNoteIconPopupZoomScrollAndDoubleClick) {
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

TEST_F(DocumentParts, InformationDialogsHelpAndTheFilesTab) {
    testing::testApp();
    win::test::RecordingPrograms programs;
    TBrevantForm f;
    f.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.engineAvailable());
    f.OpenDocument(QString::fromUtf8(BREVANT_SAMPLE));
    QCoreApplication::processEvents();

    // Font Info lists the fonts the first page used, one frame each.
    QStringList originals;
    f.fFontInfo->run = [&](TfFontInfo& dialog) {
        for (TfrFontInfo* frame : dialog.frames())
            originals << frame->mOriginalName->toPlainText();
        dialog.reject();
    };
    f.FontInfo1->trigger();
    EXPECT_FALSE(originals.isEmpty());

    // General and Security Info show the engine's texts.
    const QString info = f.Vistrel1.infoInStr();
    QString title, method;
    QTimer::singleShot(0, f.fInfo, [&] {
        title = f.fInfo->edits[0]->text();
        f.fInfo->reject();
    });
    f.GeneralInfo1->trigger();
    EXPECT_EQ(title, GetCsvField(info, 1));
    QTimer::singleShot(0, f.fSecurInfo, [&] {
        method = f.fSecurInfo->edits[0]->text();
        f.fSecurInfo->reject();
    });
    f.SecurityInfo1->trigger();
    EXPECT_EQ(method, "None");

    // The options dialog opens from its menu item with the stored values.
    QString zoom;
    QTimer::singleShot(0, f.fOptions, [&] {
        zoom = f.fOptions->eZoom->text();
        f.fOptions->reject();
    });
    f.Options1->trigger();
    EXPECT_EQ(zoom, "100%");

    // F1 in the TOC tree asks for its topic; Help > Contents for the contents.
    QApplication::setActiveWindow(&f);
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    f.tvTOC->setFocus();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(f.tvTOC, &f1);
    std::vector<std::string> opened = programs.takeArgs("xdg-open");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(QString::fromStdString(opened[0]).endsWith(
        "/lumbra.chm/TOC%20%28Table%20of%20Contents%29%20Pane.htm"))
        << opened[0];
    f.HelpContents1->trigger();
    opened = programs.takeArgs("xdg-open");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(
        QString::fromStdString(opened[0]).endsWith("/lumbra.chm/Table%20of%20Contents.htm"));

    // The Files tab fills its roots when first shown.
    EXPECT_EQ(f.tvFiles->topLevelItemCount(), 0);
    f.PageControl1->setCurrentWidget(f.TabSheet4);
    EXPECT_EQ(f.tvFiles->topLevelItemCount(), int(FilesTab::defaultRoots().size()));
    EXPECT_EQ(f.tvFiles->topLevelItem(0)->text(0), "/");
}

}  // namespace
}  // namespace brevant
