// The main window's widgets, menus, tool bars and popups, as its form
// resource lays them out, and the bindings of the commands this file's
// neighbours handle.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

#include "viewer/app/main_form.h"
#include "viewer/app/progress_indicator.h"
#include "viewer/app/tool_icons.h"
#include "viewer/components/paint_panels.h"
#include "viewer/components/transparent_button.h"

namespace brevant {
namespace {

// The zoom levels of the Zoom menu and of the zoom popup, in percent.
constexpr int kMenuZooms[] = {300, 200, 150, 125, 100, 75, 50, 25};
constexpr int kPopupZooms[] = {600, 500, 400, 300, 200, 150, 125, 100, 75, 50, 25};

QAction* makeAction(QObject* owner, const char* name, const QString& caption) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction* makeCheckable(QObject* owner, const char* name, const QString& caption) {
    QAction* action = makeAction(owner, name, caption);
    action->setCheckable(true);
    return action;
}

QMenu* makeMenu(QWidget* owner, const char* name, const QString& caption) {
    auto* menu = new QMenu(caption, owner);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* addSeparator(QMenu* menu, const char* name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
    return separator;
}

// A tool button showing an action (its state follows the action's).
QToolButton* addButton(QToolBar* bar, const char* name, QAction* action, ToolIcon icon) {
    if (action->icon().isNull())
        action->setIcon(toolIcon(icon));
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
}

// A tool button that opens a popup menu itself.
QToolButton* addDropDown(QToolBar* bar, const char* name, const QString& hint, ToolIcon icon) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setIcon(toolIcon(icon));
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
}

QPushButton* makeButton(QWidget* owner, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, owner);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QTreeWidget* makeTree(QWidget* owner, const char* name) {
    auto* tree = new QTreeWidget(owner);
    tree->setObjectName(QString::fromLatin1(name));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    return tree;
}

// A tab of the navigation pane: the tree above a row of buttons.
QWidget* makeTreeTab(const char* name, const char* treeName, QTreeWidget*& tree,
                     std::initializer_list<QPushButton**> buttons,
                     std::initializer_list<std::pair<const char*, const char*>> names) {
    auto* tab = new QWidget;
    tab->setObjectName(QString::fromLatin1(name));
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    tree = makeTree(tab, treeName);
    column->addWidget(tree);
    if (buttons.size() > 0) {
        // Four buttons share a row of the pane's width; a fifth (the
        // device tab's Save As PDB) goes below the last two, so that every
        // caption has room.
        constexpr int kPerRow = 4;
        auto* rows = new QGridLayout;
        rows->setSpacing(2);
        for (int c = 0; c < kPerRow; ++c)
            rows->setColumnStretch(c, 1);
        int n = 0;
        auto caption = names.begin();
        for (QPushButton** button : buttons) {
            *button = makeButton(tab, caption->first, QString::fromLatin1(caption->second));
            if (n < kPerRow) {
                rows->addWidget(*button, 0, n);
            } else {
                rows->addWidget(*button, 1, kPerRow - 2, 1, 2);
            }
            ++caption;
            ++n;
        }
        column->addLayout(rows);
    }
    return tab;
}

// The progress panel: the outermost bar at the top with the height the
// progress display gives it; below it, what room it leaves is shared by the
// inner two bars.
class ProgressPanel : public QWidget {
public:
    using QWidget::QWidget;

    void arrange(std::array<QProgressBar*, 3> bars) {
        bars_ = bars;
        bars_[0]->installEventFilter(this);
        arrange();
    }

protected:
    void resizeEvent(QResizeEvent*) override { arrange(); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bars_[0] && event->type() == QEvent::Resize)
            arrange();
        return false;
    }

private:
    void arrange() {
        if (!bars_[0])
            return;
        const int outer = bars_[0]->height();
        const int rest = std::max(height() - outer, 0);
        bars_[0]->setGeometry(0, 0, width(), outer);
        bars_[1]->setGeometry(0, outer, width(), (rest + 1) / 2);
        bars_[2]->setGeometry(0, outer + (rest + 1) / 2, width(), rest / 2);
    }

    std::array<QProgressBar*, 3> bars_{};
};

}  // namespace

void TBrevantForm::createComponents() {
    setObjectName("BrevantForm");
    setWindowTitle(QStringLiteral("Lumbra for Palm OS"));
    resize(800, 600);
    createMenus();
    createToolBar();
    createGlyphToolBar();
    createStatusBar();
    createPane();
    progress_ = std::make_unique<ProgressIndicator>(ProgressBar1, ProgressBar2, ProgressBar3,
                                                    *frScroll1->PntPanel1);
    Vistrel1.setObjectName("Vistrel1");
    Vistrel1.OnstartProgressIndicator = [this](TVistrel*) { Vistrel1startProgressIndicator(); };
    Vistrel1.OnsetProgressIndicator = [this](TVistrel*, win::SHORT percentage) {
        Vistrel1setProgressIndicator(percentage);
    };
    Vistrel1.OnstopProgressIndicator = [this](TVistrel*) { Vistrel1stopProgressIndicator(); };
    bindViewCommands();
    bindNavigation();
    bindTrees();
    bindDeviceCommands();
}

void TBrevantForm::createMenus() {
    // Actions.
    FileNew1 = makeAction(this, "FileNew1", tr("&New"));
    FileNew1->setShortcut(QKeySequence::New);
    FileOpen1 = makeAction(this, "FileOpen1", tr("&Open..."));
    FileOpen1->setShortcut(QKeySequence::Open);
    FileOpen1->setIcon(toolIcon(ToolIcon::Open));
    FileSaveAs1 = makeAction(this, "FileSaveAs1", tr("Save &As..."));
    FileSave1 = makeAction(this, "FileSave1", tr("Save As &PDB..."));
    FileSave1->setShortcut(QKeySequence::Save);
    FileSave1->setIcon(toolIcon(ToolIcon::SavePdb));
    GeneralInfo1 = makeAction(this, "GeneralInfo1", tr("&General Info..."));
    SecurityInfo1 = makeAction(this, "SecurityInfo1", tr("&Security Info..."));
    FontInfo1 = makeAction(this, "FontInfo1", tr("&Font Info..."));
    Options1 = makeAction(this, "Options1", tr("&Options..."));
    FileExit1 = makeAction(this, "FileExit1", tr("E&xit"));
    ShowDocumentManagementPane1 =
        makeCheckable(this, "ShowDocumentManagementPane1", tr("Show Document &Management Pane"));
    ShowDocumentManagementPane1->setChecked(true);
    ToolBar3 = makeCheckable(this, "ToolBar3", tr("&Tool Bar"));
    StatusBar1 = makeCheckable(this, "StatusBar1", tr("&Status Bar"));
    DisplayGraphics1 = makeCheckable(this, "DisplayGraphics1", tr("Display &Graphics"));
    DisplayGraphics1->setChecked(true);
    QualityMemoryOptions1 =
        makeAction(this, "QualityMemoryOptions1", tr("&Quality/Memory Options..."));
    HandTool1 = makeCheckable(this, "HandTool1", tr("&Hand Tool"));
    ZoomBox1 = makeCheckable(this, "ZoomBox1", tr("&Zoom Box"));
    auto* tools = new QActionGroup(this);
    tools->addAction(HandTool1);
    tools->addAction(ZoomBox1);
    HandTool1->setChecked(true);
    FirstPage1 = makeAction(this, "FirstPage1", tr("&First Page"));
    FirstPage1->setShortcut(Qt::CTRL | Qt::Key_Home);
    PrevPage1 = makeAction(this, "PrevPage1", tr("&Previous Page"));
    PrevPage1->setShortcut(Qt::Key_PageUp);
    NextPage1 = makeAction(this, "NextPage1", tr("&Next Page"));
    NextPage1->setShortcut(Qt::Key_PageDown);
    LastPage1 = makeAction(this, "LastPage1", tr("&Last Page"));
    LastPage1->setShortcut(Qt::CTRL | Qt::Key_End);
    GoToPage1 = makeAction(this, "GoToPage1", tr("&Go To Page..."));
    GoToPage1->setShortcut(Qt::CTRL | Qt::Key_G);
    PrevView1 = makeAction(this, "PrevView1", tr("Previous &View"));
    PrevView1->setShortcut(Qt::ALT | Qt::Key_Left);
    NextView1 = makeAction(this, "NextView1", tr("Ne&xt View"));
    NextView1->setShortcut(Qt::ALT | Qt::Key_Right);
    ActualSize1 = makeAction(this, "ActualSize1", tr("&Actual Size"));
    FitWidth = makeAction(this, "FitWidth", tr("Fit &Width"));
    Fullpage1 = makeAction(this, "Fullpage1", tr("F&ull Page"));
    Fitheight1 = makeAction(this, "Fitheight1", tr("Fit &Height"));
    SelectPalmFormat1 = makeAction(this, "SelectPalmFormat1", tr("Select Device &Format..."));
    SelectPalmFormat2 = makeAction(this, "SelectPalmFormat2", tr("Select Device &Format..."));
    Standard1 = makeCheckable(this, "Standard1", tr("Standard (2bit)"));
    Standard1->setData(4);
    MaximizeBrightness1 =
        makeCheckable(this, "MaximizeBrightness1", tr("Maximize Brightness (4bit)"));
    MaximizeBrightness1->setData(16);
    MaximizeContrast1 = makeCheckable(this, "MaximizeContrast1", tr("Maximize Contrast (4bit)"));
    MaximizeContrast1->setData(17);
    PreviewPageIn1 = makeCheckable(this, "PreviewPageIn1", tr("&Preview page in device format"));
    PreviewPageIn2 = makeCheckable(this, "PreviewPageIn2", tr("&Preview page in Device format"));
    PreviewPages1 = makeCheckable(this, "PreviewPages1", tr("Preview Pages"));
    ShowOnDeviceAct1 = makeAction(this, "ShowOnDeviceAct1", tr("&Show Page on Device..."));
    PreparepagesforPalm1 = makeAction(this, "PreparepagesforPalm1", tr("P&repare pages..."));
    HelpContents1 = makeAction(this, "HelpContents1", tr("&Contents"));
    HelpContents1->setShortcut(QKeySequence::HelpContents);
    HelpAbout1 = makeAction(this, "HelpAbout1", tr("&About..."));

    // File: nine fixed items, the recent files from position 9 on, then the
    // item tagged -1 that ends them.
    File1 = makeMenu(this, "File1", tr("&File"));
    File1->addAction(FileNew1);
    File1->addAction(FileOpen1);
    File1->addAction(FileSaveAs1);
    File1->addAction(FileSave1);
    addSeparator(File1, "N1");
    DocumentInfo1 = makeMenu(this, "DocumentInfo1", tr("&Document Info"));
    DocumentInfo1->addAction(GeneralInfo1);
    DocumentInfo1->addAction(SecurityInfo1);
    DocumentInfo1->addAction(FontInfo1);
    File1->addMenu(DocumentInfo1);
    addSeparator(File1, "N2");
    File1->addAction(Options1);
    addSeparator(File1, "N3");
    RecentFilesEnd = addSeparator(File1, "N4");
    RecentFilesEnd->setData(-1);
    File1->addAction(FileExit1);

    View1 = makeMenu(this, "View1", tr("&View"));
    View1->addAction(ShowDocumentManagementPane1);
    View1->addAction(ToolBar3);
    View1->addAction(StatusBar1);
    addSeparator(View1, "N5");
    View1->addAction(HandTool1);
    View1->addAction(ZoomBox1);
    addSeparator(View1, "N6");
    View1->addAction(DisplayGraphics1);
    View1->addAction(QualityMemoryOptions1);

    Document1 = makeMenu(this, "Document1", tr("&Document"));
    Document1->addAction(FirstPage1);
    Document1->addAction(PrevPage1);
    Document1->addAction(NextPage1);
    Document1->addAction(LastPage1);
    addSeparator(Document1, "N7");
    Document1->addAction(GoToPage1);
    addSeparator(Document1, "N8");
    Document1->addAction(PrevView1);
    Document1->addAction(NextView1);

    Zoom1 = makeMenu(this, "Zoom1", tr("&Zoom"));
    for (int percent : kMenuZooms) {
        QAction* item = makeCheckable(this, qPrintable(QStringLiteral("N%1").arg(percent * 10 + 2)),
                                      QStringLiteral("%1%").arg(percent));
        item->setData(percent);
        Zoom1->addAction(item);
        zoomMenuItems.push_back(item);
    }
    addSeparator(Zoom1, "N9");
    Zoom1->addAction(ActualSize1);
    Zoom1->addAction(FitWidth);
    Zoom1->addAction(Fullpage1);
    Zoom1->addAction(Fitheight1);

    Device1 = makeMenu(this, "Device1", tr("De&vice"));
    Device1->addAction(SelectPalmFormat1);
    ImageClarity1 = makeMenu(this, "ImageClarity1", tr("&Image Clarity"));
    auto* clarity = new QActionGroup(this);
    for (QAction* item : {Standard1, MaximizeBrightness1, MaximizeContrast1}) {
        clarity->addAction(item);
        ImageClarity1->addAction(item);
    }
    Device1->addMenu(ImageClarity1);
    addSeparator(Device1, "N10");
    Device1->addAction(PreviewPageIn1);
    Device1->addAction(ShowOnDeviceAct1);
    addSeparator(Device1, "N11");
    Device1->addAction(PreparepagesforPalm1);
    Device1->addAction(FileSave1);

    Help1 = makeMenu(this, "Help1", tr("&Help"));
    Help1->addAction(HelpContents1);
    addSeparator(Help1, "N12");
    Help1->addAction(HelpAbout1);

    for (QMenu* menu : {File1, View1, Document1, Zoom1, Device1, Help1})
        menuBar()->addMenu(menu);

    // Popups.
    pmFileList = makeMenu(this, "pmFileList", QString());
    pmZOOM = makeMenu(this, "pmZOOM", QString());
    for (int percent : kPopupZooms) {
        QAction* item = makeCheckable(this, qPrintable(QStringLiteral("N%1").arg(percent * 10 + 1)),
                                      QStringLiteral("%1%").arg(percent));
        item->setData(percent);
        pmZOOM->addAction(item);
        zoomPopupItems.push_back(item);
    }
    pmOptions = makeMenu(this, "pmOptions", QString());
    pmOptions->addAction(PreviewPageIn2);
    pmOptions->addAction(SelectPalmFormat2);
    addSeparator(pmOptions, "N13");
    pmOptions->addAction(Options1);
    pmOptions->addAction(QualityMemoryOptions1);
    pmDocInfo = makeMenu(this, "pmDocInfo", QString());
    pmDocInfo->addAction(GeneralInfo1);
    pmDocInfo->addAction(SecurityInfo1);
    pmDocInfo->addAction(FontInfo1);
    pmTree = makeMenu(this, "pmTree", QString());
    Open1 = makeAction(this, "Open1", tr("&Open"));
    Add1 = makeAction(this, "Add1", QStringLiteral("Add"));
    Rename1 = makeAction(this, "Rename1", tr("&Rename"));
    Delete1 = makeAction(this, "Delete1", tr("&Delete"));
    DeleteAll1 = makeAction(this, "DeleteAll1", tr("Delete A&ll"));
    SaveasPDB1 = makeAction(this, "SaveasPDB1", tr("Save as &PDB..."));
    for (QAction* item : {Open1, Add1, Rename1, Delete1, DeleteAll1})
        pmTree->addAction(item);
    addSeparator(pmTree, "N14");
    pmTree->addAction(SaveasPDB1);
    pmTOC = makeMenu(this, "pmTOC", QString());
    Open2 = makeAction(this, "Open2", tr("&Open"));
    pmTOC->addAction(Open2);
}

void TBrevantForm::createToolBar() {
    ToolBar1 = new QToolBar(tr("Tool Bar"), this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setAllowedAreas(Qt::TopToolBarArea);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(kToolBarHeight);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    tbOpen = addButton(ToolBar1, "tbOpen", FileOpen1, ToolIcon::Open);
    tbOpen->setMenu(pmFileList);
    tbOpen->setPopupMode(QToolButton::MenuButtonPopup);
    tbSavePDB = addButton(ToolBar1, "tbSavePDB", FileSave1, ToolIcon::SavePdb);
    tbDocInfo = addDropDown(ToolBar1, "tbDocInfo", tr("Document Info"), ToolIcon::DocInfo);
    tbOptions = addDropDown(ToolBar1, "tbOptions", tr("Options"), ToolIcon::Options);
    ToolBar1->addSeparator();
    sbLPanel = addButton(ToolBar1, "sbLPanel", ShowDocumentManagementPane1, ToolIcon::Pane);
    ToolBar1->addSeparator();
    sbFirstPage = addButton(ToolBar1, "sbFirstPage", FirstPage1, ToolIcon::FirstPage);
    sbPrevPage = addButton(ToolBar1, "sbPrevPage", PrevPage1, ToolIcon::PrevPage);
    sbNextPage = addButton(ToolBar1, "sbNextPage", NextPage1, ToolIcon::NextPage);
    sbLastPage = addButton(ToolBar1, "sbLastPage", LastPage1, ToolIcon::LastPage);
    ToolBar1->addSeparator();
    tbPrevView = addButton(ToolBar1, "tbPrevView", PrevView1, ToolIcon::PrevView);
    tbNextView = addButton(ToolBar1, "tbNextView", NextView1, ToolIcon::NextView);
    ToolBar1->addSeparator();
    tbHandTool = addButton(ToolBar1, "tbHandTool", HandTool1, ToolIcon::Hand);
    tbZoomTool = addButton(ToolBar1, "tbZoomTool", ZoomBox1, ToolIcon::ZoomBox);
    ToolBar1->addSeparator();
    tbActualSize = addButton(ToolBar1, "tbActualSize", ActualSize1, ToolIcon::ActualSize);
    tbFitWidth = addButton(ToolBar1, "tbFitWidth", FitWidth, ToolIcon::FitWidth);
    tbFullPage = addButton(ToolBar1, "tbFullPage", Fullpage1, ToolIcon::FullPage);
    tbFitHeight = addButton(ToolBar1, "tbFitHeight", Fitheight1, ToolIcon::FitHeight);
    ToolBar1->addSeparator();
    tbDisplayGraphics =
        addButton(ToolBar1, "tbDisplayGraphics", DisplayGraphics1, ToolIcon::DisplayGraphics);
    tbPreviewPages = addButton(ToolBar1, "tbPreviewPages", PreviewPages1, ToolIcon::PreviewPages);
    cbClarity = new QComboBox(ToolBar1);
    cbClarity->setObjectName("cbClarity");
    cbClarity->addItems(
        {Standard1->text(), MaximizeBrightness1->text(), MaximizeContrast1->text()});
    cbClarity->setEnabled(false);
    // Sized to its fixed captions once: a box that follows its contents
    // resizes itself outside the bar's layout a moment after it is filled,
    // so that the first paint would show it taller than the bar keeps it.
    cbClarity->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    ToolBar1->addWidget(cbClarity);
    tbShowOnDevice =
        addButton(ToolBar1, "tbShowOnDevice", ShowOnDeviceAct1, ToolIcon::ShowOnDevice);
    tbPreparePages =
        addButton(ToolBar1, "tbPreparePages", PreparepagesforPalm1, ToolIcon::PreparePages);
}

void TBrevantForm::createGlyphToolBar() {
    ToolBar4 = new QToolBar(tr("Glyph Bar"), this);
    ToolBar4->setObjectName("ToolBar4");
    ToolBar4->setAllowedAreas(Qt::TopToolBarArea);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, ToolBar4);
    QAction* const commands[] = {FirstPage1, PrevPage1, NextPage1, LastPage1,
                                 PrevView1,  NextView1, HandTool1, ZoomBox1};
    int n = 1;
    for (QAction* action : commands) {
        auto* button = new TransparentButton(ToolBar4);
        button->setObjectName(QStringLiteral("TransparentButton%1").arg(n++));
        button->setFixedSize(kToolBarHeight - 4, kToolBarHeight - 4);
        button->setToolTip(action->text().remove(u'&'));
        // The glyph's lower-left pixel gives the colour that stays
        // transparent.
        QImage glyph(16, 16, QImage::Format_RGB32);
        glyph.fill(Qt::magenta);
        {
            // The icon its command's tool button shows already.
            QPainter painter(&glyph);
            action->icon().paint(&painter, glyph.rect());
        }
        button->setGlyph(glyph);
        connect(button, &TransparentButton::clicked, action, &QAction::trigger);
        ToolBar4->addWidget(button);
        toolBar4Buttons.push_back(button);
    }
    ToolBar4->hide();
    ToolBar4->toggleViewAction()->setVisible(false);  // not offered by the bars' menu
}

void TBrevantForm::createStatusBar() {
    tbStatus = new QToolBar(tr("Status Bar"), this);
    tbStatus->setObjectName("tbStatus");
    tbStatus->setAllowedAreas(Qt::BottomToolBarArea);
    tbStatus->setFixedHeight(kStatusBarHeight);
    // The bar's whole height is for its boxes and the 16-pixel progress bar.
    tbStatus->setStyleSheet(
        QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"));
    addToolBar(Qt::BottomToolBarArea, tbStatus);

    auto* panel = new QWidget(tbStatus);
    panel->setObjectName("StatusPanel");
    panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    StatusPanel = panel;
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* left = new QWidget(panel);
    left->setObjectName("StatusLeft");
    left->setFixedWidth(kStatusLeftWidth);
    auto* boxes = new QHBoxLayout(left);
    boxes->setContentsMargins(2, 0, 2, 0);
    boxes->setSpacing(3);
    const auto box = [&](const char* name, const QString& label, int width) {
        auto* caption = new QLabel(label, left);
        caption->setStyleSheet(QStringLiteral("font-size: 11px;"));
        boxes->addWidget(caption);
        auto* edit = new QLineEdit(left);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFixedSize(width, kStatusBarHeight - 2);
        edit->setTextMargins(0, 0, 0, 0);
        edit->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; font-size: 11px; }"));
        boxes->addWidget(edit);
        return edit;
    };
    ePageNum = box("ePageNum", tr("Page:"), 84);
    eZOOM = box("eZOOM", tr("Zoom:"), 48);
    tbZoomLevels = new QToolButton(left);
    tbZoomLevels->setObjectName("tbZoomLevels");
    tbZoomLevels->setArrowType(Qt::DownArrow);
    tbZoomLevels->setAutoRaise(true);
    tbZoomLevels->setFixedSize(kStatusBarHeight - 2, kStatusBarHeight - 2);
    tbZoomLevels->setToolTip(tr("Zoom levels"));
    boxes->addWidget(tbZoomLevels);
    boxes->addStretch();
    row->addWidget(left);

    auto* progressPanel = new ProgressPanel(panel);
    Panel3 = progressPanel;
    Panel3->setObjectName("Panel3");
    Panel3->setFixedHeight(ProgressIndicator::kFullHeight);
    int n = 1;
    for (QProgressBar** bar : {&ProgressBar1, &ProgressBar2, &ProgressBar3}) {
        *bar = new QProgressBar(Panel3);
        (*bar)->setObjectName(QStringLiteral("ProgressBar%1").arg(n++));
        (*bar)->setRange(0, 100);
        (*bar)->setValue(0);
        (*bar)->setTextVisible(false);
    }
    ProgressBar1->setFixedHeight(ProgressIndicator::kFullHeight);
    progressPanel->arrange({ProgressBar1, ProgressBar2, ProgressBar3});
    // The progress panel takes the bar's width but the boxes' 243 pixels.
    Panel3->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(Panel3, 1);
    tbStatus->addWidget(panel);
}

void TBrevantForm::createPane() {
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(true);

    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setMinimumWidth(0);
    // A smaller tab font, so that the four captions fit the pane's width.
    QFont tabFont = PageControl1->tabBar()->font();
    tabFont.setPixelSize(11);
    PageControl1->tabBar()->setFont(tabFont);
    TabSheet3 = makeTreeTab("TabSheet3", "tvTOC", tvTOC, {}, {});
    TabSheet1 = makeTreeTab("TabSheet1", "tvBookmarks", tvBookmarks,
                            {&bAddBM, &bRenameBM, &bDelBM, &bDelAllBM},
                            {{"bAddBM", "Add"},
                             {"bRenameBM", "Rename"},
                             {"bDelBM", "Delete"},
                             {"bDelAllBM", "Delete All"}});
    TabSheet2 = makeTreeTab("TabSheet2", "tvForPalm", tvForPalm,
                            {&bAddPalm, &bRenamePalm, &bDelPalm, &bDelAllPalm, &bSavePDB},
                            {{"bAddPalm", "Add"},
                             {"bRenamePalm", "Rename"},
                             {"bDelPalm", "Delete"},
                             {"bDelAllPalm", "Delete All"},
                             {"bSavePDB", "Save As PDB"}});
    tvTOC->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvTOC->setContextMenuPolicy(Qt::CustomContextMenu);
    tvBookmarks->setContextMenuPolicy(Qt::CustomContextMenu);
    tvForPalm->setContextMenuPolicy(Qt::CustomContextMenu);
    // The buttons share what width the pane has.
    for (QPushButton* button : {bAddBM, bRenameBM, bDelBM, bDelAllBM, bAddPalm, bRenamePalm,
                                bDelPalm, bDelAllPalm, bSavePDB})
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    auto* files = new QVBoxLayout(TabSheet4);
    files->setContentsMargins(2, 2, 2, 2);
    files->setSpacing(2);
    cbBrowseMask = new QComboBox(TabSheet4);
    cbBrowseMask->setObjectName("cbBrowseMask");
    cbBrowseMask->setEditable(true);
    cbBrowseMask->addItems({QStringLiteral("*.pdf"), QStringLiteral("*.*")});
    cbBrowseMask->setCurrentIndex(0);
    files->addWidget(cbBrowseMask);
    tvFiles = makeTree(TabSheet4, "tvFiles");
    files->addWidget(tvFiles);

    PageControl1->addTab(TabSheet3, tr("TOC"));
    PageControl1->addTab(TabSheet1, tr("Bookmarks"));
    PageControl1->addTab(TabSheet2, tr("To Device"));
    PageControl1->addTab(TabSheet4, tr("Files"));

    frScroll1 = new TfrScroll(*this, Splitter1);
    Splitter1->addWidget(PageControl1);
    Splitter1->addWidget(frScroll1);
    Splitter1->setCollapsible(0, true);
    Splitter1->setCollapsible(1, false);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);
    layout()->activate();
    Splitter1->setSizes({kPaneWidth, Splitter1->width() - kPaneWidth});
}

}  // namespace brevant
