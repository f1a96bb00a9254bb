#include "viewer/app/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

#include "viewer/app/application.h"
#include "viewer/app/device_format_dialog.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/go_to_page_dialog.h"
#include "viewer/app/help_topics.h"
#include "viewer/app/options_dialogs.h"
#include "viewer/app/page_range_dialog.h"
#include "viewer/app/progress_indicator.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"
#include "viewer/app/viewer_cursors.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

// Show states of the stored window placement.
constexpr std::int32_t kShowNormal = 1;
constexpr std::int32_t kShowMinimized = 2;
constexpr std::int32_t kShowMaximized = 3;

int clampToInt(long long v) {
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

}  // namespace

TBrevantForm::TBrevantForm(QWidget* parent) : QMainWindow(parent) {
    createComponents();
    FormCreate();
}

TBrevantForm::~TBrevantForm() {
    FormDestroy();
}

void TBrevantForm::FormCreate() {
    fSplash = new TfSplash([this] { return fOptions->SpinEdit1->value(); }, this);
    AboutBox = new TAboutBox(this);
    connect(HelpAbout1, &QAction::triggered, AboutBox, &QDialog::exec);
    GoToPage = new TGoToPage(*this, this);
    connect(GoToPage1, &QAction::triggered, GoToPage, &QDialog::exec);
    fAddBookmark = new TfAddBookmark(this);
    fPrepPage = new TfPrepPage(Vistrel1, this);
    fPalmFormat = new TfPalmFormat(this);
    fPalm = new TfPalm(Vistrel1, this);
    fTest = new TfTest(*this, this);
    bindFilesTab();
    bindDialogs();
    bindHelp();
    engineAvailable_ = runGuarded([this] { Vistrel1.GetDefaultInterface(); });
    if (!engineAvailable_)
        return;
    linkRegion_ = QRegion(1, 1, 1, 1);
    registerViewerCursors();
    tool_ = kOpenHandCursor;
    for (QAction* item : {DocumentInfo1->menuAction(), PreparepagesforPalm1, PreviewPageIn1,
                          PreviewPageIn2, GeneralInfo1, SecurityInfo1, FontInfo1, GoToPage1})
        item->setEnabled(false);
}

void TBrevantForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TBrevantForm::FormShow() {
    ResetDocumentUI();
    paneWidthMemory_ = kPaneWidth;
    frScroll1->Layout();

    treePath_ = readSetting(settings::kTreePath);
    if (std::optional<WindowPlacement> placement = readMainForm()) {
        const long long width = (long long)placement->right - placement->left;
        const long long height = (long long)placement->bottom - placement->top;
        setGeometry(placement->left, placement->top, clampToInt(width), clampToInt(height));
        if (placement->showState == kShowMaximized) {
            setWindowState(windowState() | Qt::WindowMaximized);
        } else if (placement->showState == kShowMinimized) {
            setWindowState(windowState() | Qt::WindowMinimized);
        }
    }
    deviceFormat_ = readSetting(settings::kPalmFormat);
    // A format the image clarity does not offer reads as Standard.
    if (deviceFormat_ != 16 && deviceFormat_ != 17)
        deviceFormat_ = 4;
    showImageClarity(deviceFormat_);
    fileHistory_ = readFileHistory();
    Panel3->setVisible(readSetting(settings::kProgressIndicator));
    const bool pane = readSetting(settings::kLeftPanel);
    ShowDocumentManagementPane1->setChecked(pane);
    if (!pane)
        setPaneWidth(0);
    if (readSetting(settings::kShowSplash))
        fSplash->show();
    ToolBar1->setVisible(readSetting(settings::kToolBar));
    tbStatus->setVisible(readSetting(settings::kStatusBar));
    DisplayGraphics1->setChecked(readSetting(settings::kDisplayGraphics));
    tbDisplayGraphics->setChecked(DisplayGraphics1->isChecked());
    if (engineAvailable_ && commandLine_.size() > 1)
        OpenDocument(commandLine_[1]);
    if (readSetting(settings::kOpenDialog) && !frScroll1->PageVisible())
        FileOpen1Execute();
    RebuildRecentFilesMenu();
}

void TBrevantForm::showImageClarity(int format) {
    QAction* items[] = {Standard1, MaximizeBrightness1, MaximizeContrast1};
    for (int i = 0; i < 3; ++i) {
        if (items[i]->data().toInt() == format) {
            items[i]->setChecked(true);
            cbClarity->setCurrentIndex(i);
        }
    }
}

void TBrevantForm::ResetDocumentUI() {
    tool_ = kOpenHandCursor;
    frScroll1->SetPageVisible(false);
    // The preview items too, as at creation: without a document they
    // would ask for renders of nothing.
    for (QAction* command :
         {DocumentInfo1->menuAction(), PreparepagesforPalm1, GeneralInfo1, SecurityInfo1, FontInfo1,
          PreviewPageIn1, PreviewPageIn2, PreviewPages1, GoToPage1, ShowOnDeviceAct1, FitWidth,
          Fullpage1, Fitheight1, FirstPage1, PrevPage1, NextPage1, LastPage1, PrevView1, NextView1,
          ActualSize1, Zoom1->menuAction()})
        command->setEnabled(false);
    for (QWidget* control : {static_cast<QWidget*>(tbZoomLevels), static_cast<QWidget*>(bAddBM),
                             static_cast<QWidget*>(bAddPalm)})
        control->setEnabled(false);
    for (QLineEdit* box : {ePageNum, eZOOM}) {
        box->clear();
        box->setEnabled(false);
    }
    HandTool1->setChecked(true);
    ZoomBox1->setChecked(false);
    UpdateTreeButtons();
}

void TBrevantForm::UpdateTreeButtons() {
    const bool device = tvForPalm->topLevelItemCount() > 0;
    FileSave1->setEnabled(device);
    for (QPushButton* button : {bRenamePalm, bDelPalm, bDelAllPalm})
        button->setEnabled(device);
    const bool bookmarks = tvBookmarks->topLevelItemCount() > 0;
    for (QPushButton* button : {bRenameBM, bDelBM, bDelAllBM})
        button->setEnabled(bookmarks);
}

void TBrevantForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TBrevantForm::FormCloseQuery() {
    questionAnswered_ = false;
    return HandBackBeforeClosing();
}

bool TBrevantForm::HandBackBeforeClosing() {
    // The trees are handed back while the close can still be called off.
    struct Closing {
        bool& flag;
        bool& despiteLoss;
        ~Closing() { flag = despiteLoss = false; }
    } closing{closing_, closeDespiteLoss_};
    closing_ = true;
    closeDespiteLoss_ = false;
    return ReleaseTree(deviceTree()) && ReleaseTree(bookmarkTree());
}

void TBrevantForm::FormClose() {
    WindowPlacement placement;
    placement.showState = isMaximized()   ? kShowMaximized
                          : isMinimized() ? kShowMinimized
                                          : kShowNormal;
    placement.minX = placement.minY = placement.maxX = placement.maxY = -1;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    writeMainForm(placement);
    writeSetting(settings::kTreePath, treePath_);
}

void TBrevantForm::FormDestroy() {
    CloseHelp();
    links_.reset();
    stateNode_.reset();
    runGuarded([this] { ReleaseTree(tocTree()); });
    runGuarded([this] { ReleaseTree(bookmarkTree()); });
    if (engineAvailable_)
        runGuarded([this] { Vistrel1.close(); });
}

TVistrel* TBrevantForm::pageEngine() {
    return engineAvailable_ ? &Vistrel1 : nullptr;
}

bool TBrevantForm::isOnLink(QPoint pagePoint) const {
    return linkRegion_.contains(pagePoint);
}

bool TBrevantForm::isPageFrozen() const {
    return progress_->isPageFrozen();
}

bool TBrevantForm::drawPageSnapshot(win::HDC dc) const {
    return progress_->drawSnapshot(dc);
}

int TBrevantForm::paneWidth() const {
    const QList<int> sizes = Splitter1->sizes();
    return sizes.isEmpty() ? 0 : sizes[0];
}

void TBrevantForm::setPaneWidth(int width) {
    const QList<int> sizes = Splitter1->sizes();
    int total = 0;
    for (int size : sizes)
        total += size;
    Splitter1->setSizes({width, std::max(total - width, 0)});
}

}  // namespace brevant
