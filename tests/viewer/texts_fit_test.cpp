// Every label, button caption, group title, tab caption, menu text and
// field of the main window and of its dialogs fits its widget at the
// default font: no text is drawn wider (or, wrapped, taller) than the room
// its widget gives it. The information dialogs filled from a real document
// are checked over the engine library (info_texts_fit_test.cpp).
#include <gtest/gtest.h>

#include <QDialog>
#include <QTabWidget>

#include <memory>

#include "tests/viewer/clipped_texts.h"
#include "tests/viewer/fake_engine_client.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"

namespace brevant {
namespace {

class TextsFit : public testing::FakeEngineTest {
protected:
    void SetUp() override {
        FakeEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
    }
};

TEST_F(TextsFit, MainWindowAndDialogs) {
    TBrevantForm form;
    form.show();
    form.OpenDocument("/tmp/sample.pdf");
    QCoreApplication::processEvents();
    QStringList clipped;
    // Every tab of the navigation pane in turn.
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        QCoreApplication::processEvents();
        clipped << testing::clippedTexts(&form);
    }
    // The dialogs as they show, and the password prompt with a long name.
    std::vector<QDialog*> dialogs;
    for (QDialog* dialog : form.findChildren<QDialog*>()) {
        // The test form is never shown.
        if (dialog->objectName() != "fTest")
            dialogs.push_back(dialog);
    }
    TfPassword password(&form);
    password.Label1->setText("\"Annual report of the society, 2024.pdf\" is protected.");
    dialogs.push_back(&password);
    for (QDialog* dialog : dialogs) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        dialog->show();
        QCoreApplication::processEvents();
        clipped << testing::clippedTexts(dialog);
        dialog->hide();
    }
    EXPECT_EQ(clipped.join('\n').toStdString(), "");
}

}  // namespace
}  // namespace brevant
