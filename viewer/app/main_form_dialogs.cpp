// The main window's Files tab, annotation controls, option and information
// dialogs and help.
#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>

#include "viewer/app/annotation_controls.h"
#include "viewer/app/annotation_plan.h"
#include "viewer/app/device_format_dialog.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/files_tab.h"
#include "viewer/app/go_to_page_dialog.h"
#include "viewer/app/help_topics.h"
#include "viewer/app/info_dialogs.h"
#include "viewer/app/main_form.h"
#include "viewer/app/options_dialogs.h"
#include "viewer/app/page_range_dialog.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"

namespace brevant {
namespace {

// The engine's trees are shallow; a deeper one is cut off here.
constexpr int kMaxTreeDepth = 64;

AnnotationNode readAnnotationTree(ITreeNode* node, int depth) {
    AnnotationNode copy;
    copy.record = nodeAnnotationText(node);
    if (depth >= kMaxTreeDepth)
        return copy;
    const win::LONG kids = nodeKids(node);
    for (win::LONG i = 1; i <= kids; ++i)
        if (win::ComPtr<ITreeNode> kid = nodeKid(node, i))
            copy.kids.push_back(readAnnotationTree(kid.get(), depth + 1));
    return copy;
}

}  // namespace

void TBrevantForm::RefreshAnnotations() {
    AnnotationControls& controls = frScroll1->annotations();
    const double zoom = GetZoomPercent() / 100;
    if (lastRendered_.zoom > 0)
        controls.ScaleAnnotations(zoom / lastRendered_.zoom);
    win::ComPtr<ITreeNode> tree = Vistrel1.root(QStringLiteral("ANNOTATIONS"));
    if (!tree)
        return;
    const AnnotationNode root = readAnnotationTree(tree.get(), 0);
    for (const AnnotationPlan& plan : planAnnotations(GetPage(), root)) {
        if (plan.icon)
            controls.CreateAnnotationIcon(plan.name, plan.record, plan.ownNote, zoom, plan.visible);
        else
            controls.CreateAnnotationNote(plan.name, plan.record, zoom, plan.visible);
        // An icon and its pop-up's note name each other, so that a double
        // click on the icon opens the note and closing the note brings the
        // icon back (as for an icon's own note).
        if (!plan.iconName.isEmpty())
            controls.linkIconAndNote(plan.iconName, plan.name);
    }
}

void TBrevantForm::bindFilesTab() {
    filesTab = new FilesTab(
        tvFiles, cbBrowseMask, treePath_, [this](const QString& path) { OpenDocument(path); },
        FilesTab::defaultRoots());
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (PageControl1->currentWidget() == TabSheet4)
            filesTab->TabSheet4Show();
    });
}

void TBrevantForm::bindDialogs() {
    fOptions = new TfOptions(ToolBar1, tbStatus, Panel3, this);
    connect(Options1, &QAction::triggered, fOptions, &QDialog::exec);

    ViewQualityAccess view;
    view.GetQuality = [this] { return GetQuality(); };
    view.GetMemoryUsage = [this] { return GetMemoryUsage(); };
    view.SetQuality = [this](int q) { SetQuality(q); };
    view.SetMemoryUsage = [this](int m) { SetMemoryUsage(m); };
    view.setRenderSuppressed = [this](bool s) { setRenderSuppressed(s); };
    view.documentOpen = [this] { return !Vistrel1.filename().isEmpty(); };
    view.renderView = [this] { RenderView(true); };
    QMemOpt = new TQMemOpt(std::move(view), this);
    connect(QualityMemoryOptions1, &QAction::triggered, this, [this] {
        if (QMemOpt->exec() != QDialog::Accepted)
            return;
        writeSetting(settings::kDefaultQuality, GetQuality());
        writeSetting(settings::kDefaultMemoryUsage, GetMemoryUsage());
    });

    fInfo = new TfInfo([this] { return Vistrel1.infoInStr(); }, this);
    fSecurInfo = new TfSecurInfo([this] { return Vistrel1.securityInfoInStr(); }, this);
    fFontInfo = new TfFontInfo(this);
    connect(GeneralInfo1, &QAction::triggered, this, [this] {
        if (!Vistrel1.filename().isEmpty())
            fInfo->exec();
    });
    connect(SecurityInfo1, &QAction::triggered, this, [this] {
        if (!Vistrel1.filename().isEmpty())
            fSecurInfo->exec();
    });
    connect(FontInfo1, &QAction::triggered, this, [this] { ShowFontInfo(); });
}

void TBrevantForm::ShowFontInfo() {
    if (Vistrel1.filename().isEmpty())
        return;
    win::ComPtr<ITreeNode> fonts = Vistrel1.root(QStringLiteral("FONTINFO"));
    if (!fonts)
        return;
    QStringList records;
    const win::LONG count = nodeKids(fonts.get());
    for (win::LONG i = 1; i <= count; ++i)
        if (win::ComPtr<ITreeNode> font = nodeKid(fonts.get(), i))
            records << nodeFontInfoText(font.get());
    fFontInfo->ShowFonts(records);
}

void TBrevantForm::bindHelp() {
    // F1 asks for the focused control's topic; the contents come from the
    // Help menu only.
    bindFormHelp(this);
    HelpContents1->setShortcut(QKeySequence());
    connect(HelpContents1, &QAction::triggered, this, [] { ShowHelpContents(); });
    setHelpContext(tvTOC, 42);
    setHelpContext(tvBookmarks, 43);
    setHelpContext(tvForPalm, 44);
    setHelpContext(tvFiles, 45);
    setHelpContext(fSplash, 2);
    bindFormHelp(fSplash);
    setHelpContext(AboutBox, 59);
    bindFormHelp(AboutBox);
    const std::pair<QWidget*, int> dialogs[] = {
        {GoToPage, 13}, {fPrepPage, 26}, {fPalmFormat, 32}, {fPalm, 18}};
    for (auto [dialog, context] : dialogs) {
        setHelpContext(dialog, context);
        bindFormHelp(dialog);
    }
}

}  // namespace brevant
