// TBrevantForm: the main window of the viewer. It holds the engine binding
// Vistrel1, the menus and tool bars, the navigation pane PageControl1 with
// its tabs, the page view frScroll1 and the status bar with the progress
// display. Every widget, action and menu carries its component name as its
// object name.
//
// The work of the window is split by concern over several source files:
//   main_form.cpp            creation, first show, document commands reset,
//                            close and destroy
//   main_form_resources.cpp  the window's widgets, menus, tool bars and icons
//   main_form_view.cpp       the view toggles and small window commands
//   main_form_history.cpp    the file history and the recent-files entries
//   main_form_progress.cpp   the engine's progress events
//   main_form_open.cpp       opening documents
//   main_form_render.cpp     view edits, the single-field setters, rendering
//   main_form_navigation.cpp page and zoom commands, fits, tools, links and
//                            the view history
//   main_form_trees.cpp      the TOC, bookmark and device trees
//   main_form_device.cpp     the device format, preview, prepared pages and
//                            the PDB save
// Each further concern (opening, view state and rendering, navigation,
// trees, device workflow, dialogs, help) adds a file of its own and a
// section below.
#pragma once

#include <QMainWindow>
#include <QRegion>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "viewer/app/page_view_frame.h"
#include "viewer/app/vistrel_binding.h"

class QAction;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QMouseEvent;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brevant {

class ProgressIndicator;
class FilesTab;
class TfFontInfo;
class TfInfo;
class TfOptions;
class TfSecurInfo;
class TQMemOpt;
class TransparentButton;
class TAboutBox;
class TfAddBookmark;
class TfPalm;
class TfPalmFormat;
class TfPassword;
class TfPrepPage;
class TfSplash;
class TfTest;
class TGoToPage;
struct TreeNodeData;

// The binding of an engine tree name to its tree view. The root node is
// held only while the tree is loaded or handed back; the tag counts
// deletions (0 none since the last hand-back, 1 some; -1 on the device
// tree: a PDB save was asked for).
struct TreeBinding {
    QString name;
    QTreeWidget* tree = nullptr;
    bool loaded = false;
    win::ComPtr<ITreeNode> root;
    int tag = 0;
};

// The fields of the view-state text the viewer edits; zoom in percent.
struct ViewFields {
    int x = 0, y = 0;
    int page = 0;
    double zoom = 0;
    int memory = 0, quality = 0, format = 0;
};

// The view last rendered; zoom as a fraction.
struct RenderedView {
    int page = 0;
    double zoom = 0;
    int format = -1;
    int memory = 5, quality = 5;
};

// Rendering suppressed for a scope.
class RenderSuppression {
public:
    explicit RenderSuppression(bool& flag) : flag_(flag) { flag_ = true; }
    ~RenderSuppression() { flag_ = false; }
    RenderSuppression(const RenderSuppression&) = delete;
    RenderSuppression& operator=(const RenderSuppression&) = delete;

private:
    bool& flag_;
};

struct ViewHistoryEntry {
    bool valid = false;
    int page = 0;
    double zoom = 0;  // percent
    int x = 0, y = 0;
};

// The stored file history, oldest first (main_form_history.cpp).
QStringList readFileHistory();

// The y offset that shows a destination's target (main_form_navigation.cpp).
// A destination without a top of its own (a fit, or a null top) has its
// target point at the page's origin, on the bottom edge of the page bitmap
// (bottom pixels high): such a target shows the page from its top.
int fromPageTop(int y, long long bottom);

class TBrevantForm : public QMainWindow, public PageViewHost {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate; an engine that cannot be
    // created is reported by the default error handler and leaves the
    // engine unavailable.
    explicit TBrevantForm(QWidget* parent = nullptr);
    // FormDestroy.
    ~TBrevantForm() override;

    bool engineAvailable() const { return engineAvailable_; }

    // ---- Window life (main_form.cpp) ----
    // Disables the commands that need a document and returns the tools to
    // the hand; also after a failed open or render.
    void ResetDocumentUI();
    // Enables the tree buttons by whether their trees hold entries.
    void UpdateTreeButtons();

    // ---- View toggles (main_form_view.cpp) ----
    void sbLPanelClick();
    void ToolBar3Click();
    void StatusBar1Click();
    // Docking of the two bars ended: back to their edge and height.
    void ToolBar1EndDock();
    void tbStatusEndDock();
    // Opens a drop-down tool button's menu at the button's top-left corner.
    void openDropDown(QToolButton* button, QMenu* menu);

    // ---- File history (main_form_history.cpp) ----
    // Rebuilds the recent-files entries of the File menu from the history.
    void RebuildRecentFilesMenu();
    const QStringList& fileHistory() const { return fileHistory_; }

    // ---- Progress display (main_form_progress.cpp) ----
    void Vistrel1startProgressIndicator();
    void Vistrel1setProgressIndicator(int percentage);
    void Vistrel1stopProgressIndicator();
    void ResetProgress();
    ProgressIndicator& progress() { return *progress_; }

    // The program's arguments; the first after the program's name is opened
    // when the window is first shown.
    void setCommandLine(const QStringList& arguments) { commandLine_ = arguments; }
    TfSplash* fSplash = nullptr;
    TAboutBox* AboutBox = nullptr;
    // Made at start-up, never shown.
    TfAddBookmark* fAddBookmark = nullptr;
    TfTest* fTest = nullptr;
    // The page and device dialogs and the device preview.
    TGoToPage* GoToPage = nullptr;
    TfPrepPage* fPrepPage = nullptr;
    TfPalmFormat* fPalmFormat = nullptr;
    TfPalm* fPalm = nullptr;

    // ---- Opening documents (main_form_open.cpp) ----
    // Takes the path by value: a caller's path may live in the file history,
    // which opening replaces.
    void OpenDocument(QString path);
    void FileOpen1Execute();
    // The password prompt the open road asks (the window's own by default).
    void setPasswordPrompt(std::function<bool(const QString& file, QString& password)> prompt) {
        askPassword_ = std::move(prompt);
    }

    // ---- View state and rendering (main_form_render.cpp) ----
    bool BeginViewEdit();
    bool CommitViewEdit(bool render);
    // The values to commit, read at BeginViewEdit.
    ViewFields& viewEdit() { return viewEdit_; }
    int GetPage();
    double GetZoomPercent();
    int GetMemoryUsage();
    int GetQuality();
    int GetDeviceFormat();
    void SetPage(int page);
    void SetZoomPercent(double zoom);
    void SetQuality(int quality);
    void SetMemoryUsage(int memory);
    void SetDeviceFormat(int format);
    void RenderView(bool showErrors);
    void RebuildLinkRegion();
    void DisplayGraphics1Click();
    const RenderedView& lastRendered() const { return lastRendered_; }
    const QRegion& linkRegion() const { return linkRegion_; }
    void setRenderSuppressed(bool suppressed) { suppressRender_ = suppressed; }

    // ---- Navigation (main_form_navigation.cpp) ----
    void sbFirstPageClick();
    void sbPrevPageClick();
    void sbNextPageClick();
    void sbLastPageClick();
    void ePageNumEnter();
    void eZOOMEnter();
    void N5001Click(int percent);
    void UpdateZoomChecks();
    void FitWidthClick();
    void Fitheight1Click();
    void Fullpage1Click();
    void tbZoomToolClick();
    void tbHandToolClick();
    void tbPrevViewClick();
    void tbNextViewClick();
    void RecordView(bool advance);
    void GoToView(int index);
    void ScrollTo(int x, int y);
    void Vistrel1changePage(int page);
    void Vistrel1changeZoom(double zoom);
    void Vistrel1changeOffset(int x, int y);
    // Pixels at 100 % (as the engine's fit events give them) at the zoom
    // the view has after a fit.
    int atFittedZoom(win::LONG pixels);
    const std::array<ViewHistoryEntry, 100>& viewHistory() const { return viewHistory_; }
    int viewIndex() const { return viewIndex_; }

    // ---- Navigation trees (main_form_trees.cpp) ----
    void LoadTree(TreeBinding& binding);
    void tvTOCExpanding(QTreeWidgetItem* item);
    // Hands the tree back; false when the user cancelled the PDB save.
    bool ReleaseTree(TreeBinding& binding);
    // Hands back the device and bookmark trees before the document closes
    // (the window's close, or another document's open); false when the user
    // calls the close off.
    bool HandBackBeforeClosing();
    // False when the user cancelled the PDB save question.
    bool SaveTree(TreeBinding& binding);
    void BuildNode(ITreeNode* parent, QTreeWidgetItem* item);
    void bAddBMClick(QObject* sender);
    void bRenameBMClick(QObject* sender);
    void tvTOCEdited(QTreeWidgetItem* item, QString text);
    void bDelBMClick(QObject* sender);
    void DeleteAll1Click(QObject* sender);
    // True when the document's security does not allow bookmarks to be
    // saved; warns once per document while the Bookmarks tab is active.
    bool CheckBookmarksAllowed();
    void GoToTreeEntry(QTreeWidgetItem* item);
    // Whether the tree counts as changed (a deletion or an entry added or
    // relabelled since the last hand-back).
    bool treeChanged(const TreeBinding& binding) const;
    TreeBinding& tocTree() { return trees_[0]; }
    TreeBinding& bookmarkTree() { return trees_[1]; }
    TreeBinding& deviceTree() { return trees_[2]; }
    // The record of a real tree item; null for a placeholder.
    static TreeNodeData* itemData(QTreeWidgetItem* item);

    // ---- Device workflow (main_form_device.cpp) ----
    void Standard1Click(QObject* sender);
    void SelectPalmFormat1Click();
    void PreviewPageIn1Click();
    void ShowOnDeviceAct1Execute();
    void PreparepagesforPalm1Click();
    // Kind 1 every page, 2 the current page, 3 the pages listed, in order.
    void AddDevicePages(int kind, const std::vector<int>& pages = {});
    void AddDevicePage(int page);
    void FileSave1Execute();
    void Vistrel1pdbRecordsLimitExceeded();
    void HotSyncClick();
    int deviceFormat() const { return deviceFormat_; }
    bool deviceChoiceChanged() const { return deviceChoiceChanged_; }
    const QString& pdbFileName() const { return pdbFileName_; }
    // The dialogs the device commands show: the format dialog (given the
    // current format, true on OK with the chosen one), the page range dialog
    // (which calls AddDevicePages), the device preview, the Save dialog
    // (given the proposed name, the chosen one or empty) and the shell's
    // "open" of a written file.
    std::function<bool(int& format)> selectFormatDialog;
    std::function<void()> pageRangeDialog;
    std::function<void()> devicePreview;
    std::function<QString(const QString& proposed)> savePdbDialog;
    std::function<void(const QString& file)> openWithShell;
    // Starts a program by its command line (the HotSync command).
    std::function<void(const QString& commandLine)> startProgram;

    // ---- Files tab, annotations, dialogs and help (main_form_dialogs.cpp) ----
    // Creates the page's annotation controls from the engine's ANNOTATIONS
    // tree, once per page; moves those made at another zoom.
    void RefreshAnnotations();
    // The Font Info command: the FONTINFO tree in the font dialog.
    void ShowFontInfo();
    FilesTab* filesTab = nullptr;
    TfOptions* fOptions = nullptr;
    TQMemOpt* QMemOpt = nullptr;
    TfInfo* fInfo = nullptr;
    TfSecurInfo* fSecurInfo = nullptr;
    TfFontInfo* fFontInfo = nullptr;

    // ---- Page view (PageViewHost) ----
    TVistrel* pageEngine() override;
    int mouseTool() const override { return tool_; }
    bool isOnLink(QPoint pagePoint) const override;
    bool isPageFrozen() const override;
    bool drawPageSnapshot(win::HDC dc) const override;
    void followLinkAt(QPoint pagePoint) override { FollowLinkAt(pagePoint.x(), pagePoint.y()); }
    void setPendingOffset(int x, int y) override;
    void recordViewForZoom() override { RecordView(true); }
    double currentZoomPercent() override { return GetZoomPercent(); }
    void commitZoom(double percent) override;
    void FollowLinkAt(int x, int y);

    // ---- Components ----
    TVistrel Vistrel1;

    // Menus and their items.
    QMenu* File1;
    QAction* FileNew1;
    QAction* FileOpen1;
    QAction* FileSaveAs1;
    QAction* FileSave1;  // Save As PDB
    QMenu* DocumentInfo1;
    QAction* GeneralInfo1;
    QAction* SecurityInfo1;
    QAction* FontInfo1;
    QAction* Options1;
    QAction* RecentFilesEnd;  // tagged -1: the recent-files entries end here
    QAction* FileExit1;
    QMenu* View1;
    QAction* ShowDocumentManagementPane1;
    QAction* ToolBar3;
    QAction* StatusBar1;
    QAction* DisplayGraphics1;
    QAction* QualityMemoryOptions1;
    QAction* HandTool1;
    QAction* ZoomBox1;
    QMenu* Document1;
    QAction* FirstPage1;
    QAction* PrevPage1;
    QAction* NextPage1;
    QAction* LastPage1;
    QAction* GoToPage1;
    QAction* PrevView1;
    QAction* NextView1;
    QMenu* Zoom1;
    std::vector<QAction*> zoomMenuItems;  // 300 % down to 25 %, tagged with the percent
    QAction* ActualSize1;
    QAction* FitWidth;
    QAction* Fullpage1;
    QAction* Fitheight1;
    QMenu* Device1;
    QAction* SelectPalmFormat1;
    QMenu* ImageClarity1;
    QAction* Standard1;            // tag 4
    QAction* MaximizeBrightness1;  // tag 16
    QAction* MaximizeContrast1;    // tag 17
    QAction* PreviewPageIn1;
    QAction* PreviewPages1;  // the Preview Pages action of tbPreviewPages
    QAction* ShowOnDeviceAct1;
    QAction* PreparepagesforPalm1;
    QMenu* Help1;
    QAction* HelpContents1;
    QAction* HelpAbout1;

    // Popup menus.
    QMenu* pmFileList;
    QMenu* pmZOOM;
    std::vector<QAction*> zoomPopupItems;  // 600 % down to 25 %
    QMenu* pmOptions;
    QAction* PreviewPageIn2;
    QAction* SelectPalmFormat2;
    QMenu* pmDocInfo;
    QMenu* pmTree;
    QAction* Open1;
    QAction* Add1;
    QAction* Rename1;
    QAction* Delete1;
    QAction* DeleteAll1;
    QAction* SaveasPDB1;
    QMenu* pmTOC;
    QAction* Open2;

    // Tool bar.
    QToolBar* ToolBar1;
    QToolButton* tbOpen;
    QToolButton* tbSavePDB;
    QToolButton* sbLPanel;
    QToolButton* sbFirstPage;
    QToolButton* sbPrevPage;
    QToolButton* sbNextPage;
    QToolButton* sbLastPage;
    QToolButton* tbPrevView;
    QToolButton* tbNextView;
    QToolButton* tbHandTool;
    QToolButton* tbZoomTool;
    QToolButton* tbActualSize;
    QToolButton* tbFitWidth;
    QToolButton* tbFullPage;
    QToolButton* tbFitHeight;
    QToolButton* tbDisplayGraphics;
    QToolButton* tbPreviewPages;
    QComboBox* cbClarity;
    QToolButton* tbShowOnDevice;
    QToolButton* tbPreparePages;
    QToolButton* tbDocInfo;
    QToolButton* tbOptions;
    QToolButton* tbHotSync;  // hidden

    // A second tool bar of glyph buttons over the page and view commands;
    // hidden, and nothing shows it.
    QToolBar* ToolBar4;
    std::vector<TransparentButton*> toolBar4Buttons;  // TransparentButton1 to 8

    // Status bar: page box, zoom box and zoom levels, then the progress
    // panel with its three bars over the rest of the bar's width.
    QToolBar* tbStatus;
    QWidget* StatusPanel;
    QLineEdit* ePageNum;
    QLineEdit* eZOOM;
    QToolButton* tbZoomLevels;
    QWidget* Panel3;
    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QProgressBar* ProgressBar3;

    // Navigation pane and page view.
    QSplitter* Splitter1;
    QTabWidget* PageControl1;
    QWidget* TabSheet3;  // TOC
    QTreeWidget* tvTOC;
    QWidget* TabSheet1;  // Bookmarks
    QTreeWidget* tvBookmarks;
    QPushButton* bAddBM;
    QPushButton* bRenameBM;
    QPushButton* bDelBM;
    QPushButton* bDelAllBM;
    QWidget* TabSheet2;  // To Device
    QTreeWidget* tvForPalm;
    QPushButton* bAddPalm;
    QPushButton* bRenamePalm;
    QPushButton* bDelPalm;
    QPushButton* bDelAllPalm;
    QPushButton* bSavePDB;
    QWidget* TabSheet4;  // Files
    QComboBox* cbBrowseMask;
    QTreeWidget* tvFiles;
    TfrScroll* frScroll1;

    // Window sizes of the form resource.
    static constexpr int kPaneWidth = 261;
    static constexpr int kPaneHideWidth = 163;  // the pane toggle hides a wider pane
    static constexpr int kToolBarHeight = 28;
    static constexpr int kStatusBarHeight = 19;
    static constexpr int kStatusLeftWidth = 243;  // beside the progress panel

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    // main_form_resources.cpp
    void createComponents();
    void createMenus();
    void createToolBar();
    void createGlyphToolBar();
    void createStatusBar();
    void createPane();
    void bindViewCommands();

    // main_form_dialogs.cpp
    void bindFilesTab();
    void bindDialogs();
    void bindHelp();

    // main_form.cpp
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    // Applies a stored "Palm Format" to the image clarity choice.
    void showImageClarity(int format);
    int paneWidth() const;
    void setPaneWidth(int width);

    // main_form_render.cpp
    // The view fields of the engine's current state text.
    ViewFields readView();
    void putViewField(int field, const QString& value);
    void updateViewActions();
    void bindNavigation();
    void enableDocumentCommands();
    // After an open that failed (the document before it closed): the
    // window as at a fresh start, without a document.
    void showWithoutDocument();

    // main_form_trees.cpp
    void bindTrees();
    void tabShown(QWidget* tab);
    // The tree a tree command acts on: the tree of the popup for its items,
    // else the active tab's.
    TreeBinding& targetTree(QObject* sender);
    TreeBinding* bindingOf(QTreeWidget* tree);
    // A new item of the node at index (-1: the end) below parent (null:
    // the top level).
    QTreeWidgetItem* addTreeItem(TreeBinding& binding, QTreeWidgetItem* parent, int index,
                                 const win::ComPtr<ITreeNode>& node, bool saved);
    void treeMousePress(QTreeWidget* tree, QMouseEvent* event);
    void treeKeyPress(QTreeWidget* tree, QKeyEvent* event);
    void clearTree(TreeBinding& binding);
    // Runs work under the wait cursor (and a wait window while the main
    // window is hidden).
    void runTreeHandBack(const std::function<void()>& work);
    // After a hand-back: a Save As PDB leaves the tag at 1; otherwise the
    // tree counts as unchanged again.
    void endHandBack(TreeBinding& binding);
    // A new State node named after the tree with the tree's entries below
    // it, put as the engine's tree unless a Save As PDB asked for it.
    win::ComPtr<ITreeNode> handBackRoot(TreeBinding& binding);
    // After a hand-back: whether the tree may leave the window. A tree the
    // engine did not store while the window closes is lost unless the user
    // keeps the window open: they are told why and asked (once per close).
    bool handBackAccepted();
    // Why the trees could not be stored, as the document's file shows it.
    QString treeStoreFailure();

    // main_form_device.cpp
    void bindDeviceCommands();
    // The PDB steps of the device tree's hand-back; false when cancelled.
    bool SavePalmTree(TreeBinding& binding);

    // ---- Main-window state ----
    bool engineAvailable_ = false;
    std::unique_ptr<ProgressIndicator> progress_;
    // The links of the current page in page pixels; never empty of meaning
    // (it starts as the one pixel at 1, 1).
    QRegion linkRegion_;
    int tool_ = 5;
    // Pane width remembered while the pane is hidden.
    int paneWidthMemory_ = kPaneWidth;
    QStringList fileHistory_;
    // The device format of the Palm export: 4, 16 or 17.
    int deviceFormat_ = 4;
    // The Files tab's saved path.
    QString treePath_;
    std::function<bool(const QString&, QString&)> askPassword_;
    QStringList commandLine_;
    // The held State node of the view edit and its two copies of the fields.
    win::ComPtr<ITreeNode> stateNode_;
    ViewFields viewRead_, viewEdit_;
    RenderedView lastRendered_;
    bool suppressRender_ = false;
    bool pendingOffset_ = false;
    int pendingX_ = 0, pendingY_ = 0;
    win::ComPtr<ITreeNode> links_;
    std::array<ViewHistoryEntry, 100> viewHistory_{};
    int viewIndex_ = 0;
    // "TOC", "BookMarks" and "ForPalm".
    std::array<TreeBinding, 3> trees_;
    // The tree whose popup menu is open.
    QTreeWidget* popupTree_ = nullptr;
    bool allowSelection_ = false;
    bool changeEventsSuppressed_ = false;
    bool bookmarkWarningGiven_ = false;
    bool deviceChoiceChanged_ = false;
    // Set by Save As PDB (the save question counts as answered Yes) and by
    // Cancel in the save question (the caller stops).
    bool questionAnswered_ = false;
    QString pdbFileName_;
    // While the document closes, a tree the engine did not store is
    // reported; closeDespiteLoss_ once the user chose to close all the same.
    bool closing_ = false;
    bool closeDespiteLoss_ = false;
    // Set by a hand-back the engine refused.
    bool treeStoreFailed_ = false;
    // The length of the document's file when it was opened or last took a
    // tree: any other length means another program changed it.
    qint64 documentLength_ = -1;
};

}  // namespace brevant
