// Opening documents: every road into a document (the Open command, the
// recent files, the command line) ends in OpenDocument.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "viewer/app/annotation_controls.h"
#include "viewer/app/application.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

constexpr int kHistoryLength = 5;
constexpr win::HRESULT kAccessDenied = win::HRESULT(0x80070005u);
// The empty password, then at most three typed ones.
constexpr int kLastAttempt = 4;

}  // namespace

void TBrevantForm::FileOpen1Execute() {
    if (!engineAvailable_)
        return;
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), readSetting(settings::kOpenDir),
                                     QStringLiteral("PDF files (*.pdf)"));
    if (!path.isEmpty())
        OpenDocument(path);
}

// A copy: the history the path may come from is replaced below.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void TBrevantForm::OpenDocument(QString path) {
    questionAnswered_ = false;
    if (!HandBackBeforeClosing())
        return;

    // The history keeps absolute, normalised paths, so that an entry made
    // from a path typed relative to one folder opens from any other.
    // Duplicates are compared as they are: Linux file names differ by case.
    const QString stored = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    fileHistory_ = readFileHistory();
    fileHistory_.removeAll(stored);
    fileHistory_.append(stored);
    while (fileHistory_.size() > kHistoryLength)
        fileHistory_.removeFirst();
    writeSetting(settings::kOpenDir, QFileInfo(path).absolutePath() + u'/');
    writeSetting(settings::kFileHistory, fileHistory_.join(QStringLiteral("\r\n")));
    RebuildRecentFilesMenu();

    ReleaseTree(tocTree());
    Vistrel1.close();
    frScroll1->annotations().RemoveAnnotationControls(QString());
    // The views of the document left go with it, also when no other opens.
    viewHistory_.fill({});
    viewIndex_ = 0;

    QString password;
    win::HRESULT result = win::S_OK;
    for (int attempt = 1;; ++attempt) {
        result = Vistrel1.open(path, password);
        if (result != kAccessDenied)
            break;
        if (attempt > 1)
            showError(QStringLiteral("Incorrect password"));
        if (attempt == kLastAttempt) {
            showWithoutDocument();
            return;
        }
        const QString file = QFileInfo(path).fileName();
        const bool confirmed = askPassword_ ? askPassword_(file, password)
                                            : TfPassword(this).AskPassword(file, password);
        if (!confirmed) {
            showWithoutDocument();
            return;
        }
    }
    if (result != win::S_OK) {
        showError(QStringLiteral("There was an error opening this document."));
        showWithoutDocument();
        return;
    }

    bookmarkWarningGiven_ = false;
    documentLength_ = QFileInfo(Vistrel1.filename()).size();
    const QString title = "Lumbra for Palm OS - " + Vistrel1.filename();
    setWindowTitle(title);
    if (auto* app = dynamic_cast<BrevantApplication*>(QCoreApplication::instance()))
        app->setTitle(title);

    if (!BeginViewEdit())
        return;
    viewEdit_.page = readSetting(settings::kDefaultPage);
    viewEdit_.zoom = readSetting(settings::kDefaultZoom);
    viewEdit_.format = readSetting(settings::kPreviewInPalm) ? deviceFormat_ : 0;
    viewEdit_.quality = readSetting(settings::kDisplayGraphics) ? 4 : 5;
    viewEdit_.memory = 4;
    ToolBar1->setVisible(readSetting(settings::kToolBar));
    tbStatus->setVisible(readSetting(settings::kStatusBar));
    lastRendered_ = RenderedView{};
    deviceChoiceChanged_ = false;
    pdbFileName_.clear();
    tabShown(PageControl1->currentWidget());

    win::ComPtr<ITreeNode> toc = Vistrel1.root(QStringLiteral("TOC"));
    const bool tocShown = toc && nodeKids(toc.get()) > 0;
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), tocShown);

    // The quality counts as changed, so the whole state reaches the engine.
    viewRead_.quality = -1;
    setPendingOffset(0, 0);
    if (!CommitViewEdit(true))
        RenderView(true);
    if (lastRendered_.page > 0)
        enableDocumentCommands();
}

void TBrevantForm::showWithoutDocument() {
    ResetDocumentUI();
    const QString title = QStringLiteral("Lumbra for Palm OS");
    setWindowTitle(title);
    if (auto* app = dynamic_cast<BrevantApplication*>(QCoreApplication::instance()))
        app->setTitle(title);
    for (QAction* toggle : {PreviewPageIn1, PreviewPageIn2, PreviewPages1})
        toggle->setChecked(false);
    for (const std::vector<QAction*>* items : {&zoomMenuItems, &zoomPopupItems}) {
        for (QAction* item : *items)
            item->setChecked(false);
    }
    cbClarity->setEnabled(false);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), true);
}

void TBrevantForm::enableDocumentCommands() {
    for (QAction* command : {DocumentInfo1->menuAction(), PreparepagesforPalm1, PreviewPageIn1,
                             PreviewPageIn2, GeneralInfo1, SecurityInfo1, FontInfo1, PreviewPages1,
                             GoToPage1, ShowOnDeviceAct1, FitWidth, Fullpage1, Fitheight1,
                             ActualSize1, Zoom1->menuAction()})
        command->setEnabled(true);
    for (QWidget* control : {static_cast<QWidget*>(tbZoomLevels), static_cast<QWidget*>(bAddBM),
                             static_cast<QWidget*>(bAddPalm), static_cast<QWidget*>(eZOOM),
                             static_cast<QWidget*>(ePageNum)})
        control->setEnabled(true);
}

}  // namespace brevant
