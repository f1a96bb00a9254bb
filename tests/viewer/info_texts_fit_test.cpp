// The information dialogs filled from a real document through the engine
// library: every field of General Info (its dates included), Security Info
// and Font Info shows its whole text.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QTimer>

#include <memory>

#include "tests/viewer/clipped_texts.h"
#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/info_dialogs.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"

namespace brevant {
namespace {

class InfoTextsFit : public testing::RealEngineTest {
protected:
    void SetUp() override {
        RealEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
    }
};

// A PowerPoint document with both dates in a zone (the longest form the
// engine writes), long creator and producer names and a TrueType font.
TEST_F(InfoTextsFit, EveryInformationDialogOfARealDocument) {
    const QString document = QStringLiteral(VISTREL_CORPUS_DIR "/simple4.pdf");
    if (!QFileInfo::exists(document))
        GTEST_SKIP() << "no corpus";
    TBrevantForm form;
    form.show();
    form.OpenDocument(document);
    QCoreApplication::processEvents();
    ASSERT_GT(form.lastRendered().page, 0);

    QStringList clipped;
    for (QAction* command : {form.GeneralInfo1, form.SecurityInfo1}) {
        QDialog* shown = nullptr;
        QTimer::singleShot(0, &form, [&] {
            shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(shown);
            QCoreApplication::processEvents();
            clipped << testing::clippedTexts(shown);
            shown->reject();
        });
        command->trigger();
        ASSERT_TRUE(shown) << command->objectName().toStdString();
    }
    ASSERT_EQ(form.fInfo->edits[6]->text(), "08 Apr 2020 10:26:27 GMT+01:00");
    ASSERT_EQ(form.fInfo->edits[7]->text(), "08 Apr 2020 10:26:27 GMT+01:00");

    int fonts = 0;
    form.fFontInfo->run = [&](TfFontInfo& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        fonts = int(dialog.frames().size());
        clipped << testing::clippedTexts(&dialog);
        dialog.hide();
    };
    form.FontInfo1->trigger();
    EXPECT_GT(fonts, 0);
    EXPECT_EQ(clipped.join('\n').toStdString(), "");
}

}  // namespace
}  // namespace brevant
