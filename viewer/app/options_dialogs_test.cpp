#include "viewer/app/options_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include "tests/support/temp_config_home.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/settings_table.h"

namespace brevant {
namespace {

using vistrel::test::TempConfigHome;

struct Bars {
    QWidget toolBar, statusBar, progress;
    Bars() {
        for (QWidget* bar : {&toolBar, &statusBar, &progress})
            bar->setVisible(true);
    }
};

TEST(OptionsDialog, ShowsTheStoredSettingsAndItsTable) {
    testing::testApp();
    TempConfigHome home;
    writeSetting(settings::kDefaultZoom, 150);
    writeSetting(settings::kOpenDialog, true);
    writeSetting(settings::kToolBar, false);
    Bars bars;
    TfOptions dialog(&bars.toolBar, &bars.statusBar, &bars.progress);
    dialog.FormShow();
    EXPECT_EQ(dialog.eDefPage->text(), "1");
    EXPECT_EQ(dialog.eZoom->text(), "150%");
    EXPECT_TRUE(dialog.cbOpen->isChecked());
    EXPECT_FALSE(dialog.cbToolbar->isChecked());
    EXPECT_TRUE(dialog.cbProgress->isChecked());
    EXPECT_FALSE(dialog.cbGoTo->isChecked());
    // Shown and hidden controls, with their captions.
    struct Control {
        QWidget* widget;
        bool shown;
        const char* caption;
    };
    const Control controls[] = {
        {dialog.cbOpen, true, "Display Open Dialog"},
        {dialog.cbProgress, true, "Show Progress Indicator"},
        {dialog.cbInPalm, true, "Preview in Device Format"},
        {dialog.cbAutoStart, true, "Autostart PDB Install"},
        {dialog.cbIgnorePDBSize, true, "Ignore PDB size limit"},
        {dialog.cbSplash, false, "Show Splash"},
        {dialog.cbGoTo, false, "Pop-up 'Go To Page' dialog"},
        {dialog.cbLeft, false, "View Navigation Pane"},
        {dialog.cbToolbar, false, "View Tool bar"},
        {dialog.cbStatusbar, false, "View Status bar"},
        {dialog.cbDisplayGraphics, false, "Display Graphics"},
    };
    for (const Control& c : controls) {
        EXPECT_EQ(!c.widget->isHidden(), c.shown) << c.caption;
        EXPECT_EQ(static_cast<QCheckBox*>(c.widget)->text(), c.caption);
    }
    EXPECT_TRUE(dialog.SpinEdit1->isHidden());
    EXPECT_EQ(dialog.SpinEdit1->value(), 3);
}

TEST(OptionsDialog, OkStoresTheNumbersAndBarsAtOnce) {
    testing::testApp();
    struct Case {
        const char* page;
        const char* zoom;
        int storedPage, storedZoom;
    };
    const Case cases[] = {
        {"abc", "75 %", 1, 75},
        {"3", " 200%", 3, 200},
        {"-5 pages", "", -5, 100},
    };
    for (const Case& c : cases) {
        TempConfigHome home;
        Bars bars;
        TfOptions dialog(&bars.toolBar, &bars.statusBar, &bars.progress);
        dialog.FormShow();
        dialog.eDefPage->setText(c.page);
        dialog.eZoom->setText(c.zoom);
        dialog.cbProgress->setChecked(false);
        dialog.cbAutoStart->setChecked(false);
        dialog.cbIgnorePDBSize->setChecked(true);
        dialog.BitBtn2Click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(readSetting(settings::kDefaultPage), c.storedPage) << c.page;
        EXPECT_EQ(readSetting(settings::kDefaultZoom), c.storedZoom) << c.zoom;
        EXPECT_FALSE(readSetting(settings::kProgressIndicator));
        EXPECT_FALSE(readSetting(settings::kAutostartPdb));
        EXPECT_TRUE(readSetting(settings::kToolBar));
        EXPECT_TRUE(bars.progress.isHidden());
        EXPECT_FALSE(bars.toolBar.isHidden());
    }
}

TEST(OptionsDialog, CancelChangesNothing) {
    testing::testApp();
    TempConfigHome home;
    Bars bars;
    TfOptions dialog(&bars.toolBar, &bars.statusBar, &bars.progress);
    QTimer::singleShot(0, &dialog, [&] {
        dialog.eDefPage->setText("7");
        dialog.cbProgress->setChecked(false);
        dialog.BitBtn1->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(readSetting(settings::kDefaultPage), 1);
    EXPECT_TRUE(readSetting(settings::kProgressIndicator));
    EXPECT_FALSE(bars.progress.isHidden());
}

// A view with quality and memory usage, recording what the dialog does.
struct FakeView {
    int quality = 4, memory = 4;
    bool open = false, suppressed = false;
    int renders = 0;
    std::vector<std::string> calls;
    ViewQualityAccess access() {
        ViewQualityAccess a;
        a.GetQuality = [this] { return quality; };
        a.GetMemoryUsage = [this] { return memory; };
        a.SetQuality = [this](int q) {
            calls.push_back("quality " + std::to_string(q) + (suppressed ? " suppressed" : ""));
            quality = q;
        };
        a.SetMemoryUsage = [this](int m) {
            calls.push_back("memory " + std::to_string(m) + (suppressed ? " suppressed" : ""));
            memory = m;
        };
        a.setRenderSuppressed = [this](bool s) { suppressed = s; };
        a.documentOpen = [this] { return open; };
        a.renderView = [this] {
            calls.push_back(suppressed ? "render suppressed" : "render");
        };
        return a;
    }
};

TEST(QualityDialog, OkSetsBothThenRendersWhenADocumentIsOpen) {
    testing::testApp();
    struct Case {
        int quality, memory;
        bool open;
        int newQuality, newMemory;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {2, 3, true, 0, 4, {"quality 0 suppressed", "memory 4 suppressed", "render"}},
        {2, 3, false, 1, 1, {"quality 1 suppressed", "memory 1 suppressed"}},
        // Graphics off (quality 5) reads as 4 on the bar, and OK sets 4.
        {5, 4, false, -1, -1, {"quality 4 suppressed", "memory 4 suppressed"}},
    };
    for (const Case& c : cases) {
        FakeView view;
        view.quality = c.quality;
        view.memory = c.memory;
        view.open = c.open;
        TQMemOpt dialog(view.access());
        dialog.FormShow();
        EXPECT_EQ(dialog.tbQuality->value(), std::min(c.quality, 4));
        EXPECT_EQ(dialog.tbMemUse->value(), c.memory);
        if (c.newQuality >= 0) {
            dialog.tbQuality->setValue(c.newQuality);
            dialog.tbMemUse->setValue(c.newMemory);
        }
        dialog.BitBtn2Click();
        EXPECT_EQ(view.calls, c.calls);
        EXPECT_FALSE(view.suppressed);
    }
    FakeView view;
    TQMemOpt dialog(view.access());
    QTimer::singleShot(0, &dialog, [&] {
        dialog.tbQuality->setValue(0);
        dialog.BitBtn1->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(view.calls.empty());
}

}  // namespace
}  // namespace brevant
