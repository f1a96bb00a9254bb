#include "viewer/app/options_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "viewer/app/help_topics.h"
#include "viewer/app/number_text.h"
#include "viewer/app/settings_table.h"

namespace brevant {
namespace {

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, bool visible) {
    auto* box = named(new QCheckBox(QString::fromLatin1(caption), parent), name);
    box->setVisible(visible);
    return box;
}

// OK (default, accepts) and Cancel (rejects) in a row.
QHBoxLayout* okCancel(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
    ok = named(new QPushButton(QStringLiteral("OK"), dialog), "BitBtn2");
    ok->setDefault(true);
    cancel = named(new QPushButton(QStringLiteral("Cancel"), dialog), "BitBtn1");
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

}  // namespace

TfOptions::TfOptions(QWidget* toolBar, QWidget* statusBar, QWidget* progressPanel,
                     QWidget* parent)
    : QDialog(parent), toolBar_(toolBar), statusBar_(statusBar), progressPanel_(progressPanel) {
    setObjectName("fOptions");
    setWindowTitle(QStringLiteral("Options"));
    setHelpContext(this, 22);
    bindFormHelp(this);
    auto* group = named(new QGroupBox(QStringLiteral("Start Options"), this), "GroupBox1");
    auto* grid = new QGridLayout(group);
    eDefPage = named(new QLineEdit(QStringLiteral("1"), group), "eDefPage");
    eZoom = named(new QLineEdit(QStringLiteral("100%"), group), "eZoom");
    grid->addWidget(new QLabel(QStringLiteral("Default Page Number"), group), 0, 0);
    grid->addWidget(eDefPage, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Default Page Zoom"), group), 1, 0);
    grid->addWidget(eZoom, 1, 1);
    cbOpen = checkBox(group, "cbOpen", "Display Open Dialog", true);
    cbProgress = checkBox(group, "cbProgress", "Show Progress Indicator", true);
    cbInPalm = checkBox(group, "cbInPalm", "Preview in Device Format", true);
    cbAutoStart = checkBox(group, "cbAutoStart", "Autostart PDB Install", true);
    cbIgnorePDBSize = checkBox(group, "cbIgnorePDBSize", "Ignore PDB size limit", true);
    cbSplash = checkBox(group, "cbSplash", "Show Splash", false);
    cbGoTo = checkBox(group, "cbGoTo", "Pop-up 'Go To Page' dialog", false);
    cbLeft = checkBox(group, "cbLeft", "View Navigation Pane", false);
    cbToolbar = checkBox(group, "cbToolbar", "View Tool bar", false);
    cbStatusbar = checkBox(group, "cbStatusbar", "View Status bar", false);
    cbDisplayGraphics = checkBox(group, "cbDisplayGraphics", "Display Graphics", false);
    int row = 2;
    for (QCheckBox* box : {cbOpen, cbProgress, cbInPalm, cbAutoStart, cbIgnorePDBSize, cbSplash,
                           cbGoTo, cbLeft, cbToolbar, cbStatusbar, cbDisplayGraphics})
        grid->addWidget(box, row++, 0, 1, 2);
    eQuality = named(new QLineEdit(QStringLiteral("2"), group), "eQuality");
    eMemory = named(new QLineEdit(QStringLiteral("2"), group), "eMemory");
    SpinEdit1 = named(new QSpinBox(group), "SpinEdit1");
    SpinEdit1->setRange(1, 10);
    SpinEdit1->setValue(3);
    auto* qualityLabel = new QLabel(QStringLiteral("Defaul Quality"), group);
    auto* memoryLabel = new QLabel(QStringLiteral("Default Memory Usage"), group);
    auto* secondsLabel = new QLabel(QStringLiteral("sec"), group);
    for (QWidget* hidden : std::initializer_list<QWidget*>{eQuality, eMemory, SpinEdit1, qualityLabel,
                                                           memoryLabel, secondsLabel})
        hidden->setVisible(false);

    auto* column = new QVBoxLayout(this);
    column->addWidget(group);
    column->addLayout(okCancel(this, BitBtn2, BitBtn1));
    connect(BitBtn2, &QPushButton::clicked, this, &TfOptions::BitBtn2Click);
}

void TfOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfOptions::FormShow() {
    const std::pair<QCheckBox*, const BoolSetting*> boxes[] = {
        {cbOpen, &settings::kOpenDialog},         {cbProgress, &settings::kProgressIndicator},
        {cbInPalm, &settings::kPreviewInPalm},     {cbAutoStart, &settings::kAutostartPdb},
        {cbSplash, &settings::kShowSplash},        {cbGoTo, &settings::kIsGoto},
        {cbLeft, &settings::kLeftPanel},           {cbToolbar, &settings::kToolBar},
        {cbStatusbar, &settings::kStatusBar},      {cbDisplayGraphics, &settings::kDisplayGraphics},
    };
    for (auto [box, setting] : boxes)
        box->setChecked(readSetting(*setting));
    eDefPage->setText(QString::number(readSetting(settings::kDefaultPage)));
    eZoom->setText(QString::number(readSetting(settings::kDefaultZoom)) + QStringLiteral("%"));
}

void TfOptions::BitBtn2Click() {
    const std::pair<const BoolSetting*, QCheckBox*> order[] = {
        {&settings::kProgressIndicator, cbProgress}, {&settings::kShowSplash, cbSplash},
        {&settings::kPreviewInPalm, cbInPalm},       {&settings::kIsGoto, cbGoTo},
        {&settings::kOpenDialog, cbOpen},            {&settings::kLeftPanel, cbLeft},
        {&settings::kToolBar, cbToolbar},            {&settings::kStatusBar, cbStatusbar},
        {&settings::kAutostartPdb, cbAutoStart},     {&settings::kDisplayGraphics, cbDisplayGraphics},
    };
    for (auto [setting, box] : order)
        writeSetting(*setting, box->isChecked());
    writeSetting(settings::kDefaultPage, ParseLeadingInt(eDefPage->text(), 1, false));
    writeSetting(settings::kDefaultZoom, ParseLeadingInt(eZoom->text(), 100, false));
    toolBar_->setVisible(cbToolbar->isChecked());
    statusBar_->setVisible(cbStatusbar->isChecked());
    progressPanel_->setVisible(cbProgress->isChecked());
    accept();
}

TQMemOpt::TQMemOpt(ViewQualityAccess view, QWidget* parent)
    : QDialog(parent), view_(std::move(view)) {
    setObjectName("QMemOpt");
    setWindowTitle(QStringLiteral("Quality/Memory Options"));
    // A context outside the topic table: the help handler shows the contents.
    setHelpContext(this, 1100);
    bindFormHelp(this);
    auto slider = [this](const char* name) {
        auto* bar = named(new QSlider(Qt::Horizontal, this), name);
        bar->setRange(0, 4);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setValue(2);
        bar->setTickPosition(QSlider::TicksBelow);
        bar->setTickInterval(1);
        return bar;
    };
    tbQuality = slider("tbQuality");
    tbQuality->setFocusPolicy(Qt::NoFocus);
    tbMemUse = slider("tbMemUse");
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("Display Quality"), this));
    column->addWidget(tbQuality);
    column->addWidget(new QLabel(QStringLiteral("Draft       Low      Normal      High      Ultra"), this));
    column->addWidget(new QLabel(QStringLiteral("Memory Usage"), this));
    column->addWidget(tbMemUse);
    column->addWidget(new QLabel(QStringLiteral("Less/Slower     Balanced      More/Faster"), this));
    column->addLayout(okCancel(this, BitBtn2, BitBtn1));
    connect(BitBtn2, &QPushButton::clicked, this, &TQMemOpt::BitBtn2Click);
}

void TQMemOpt::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TQMemOpt::FormShow() {
    // The bars end at 4: quality 5 (graphics off) shows as 4.
    tbQuality->setValue(view_.GetQuality());
    tbMemUse->setValue(view_.GetMemoryUsage());
    BitBtn2->setFocus();
}

void TQMemOpt::BitBtn2Click() {
    {
        // Both values first, one render after; the flag clears also when a
        // setter raises.
        struct Suppressed {
            ViewQualityAccess& view;
            explicit Suppressed(ViewQualityAccess& v) : view(v) { view.setRenderSuppressed(true); }
            ~Suppressed() { view.setRenderSuppressed(false); }
            Suppressed(const Suppressed&) = delete;
            Suppressed& operator=(const Suppressed&) = delete;
        } suppressed(view_);
        view_.SetQuality(tbQuality->value());
        view_.SetMemoryUsage(tbMemUse->value());
    }
    if (view_.documentOpen())
        view_.renderView();
    accept();
}

}  // namespace brevant
