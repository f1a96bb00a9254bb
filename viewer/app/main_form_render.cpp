// View edits, the single-field setters and rendering: the engine keeps the
// view in its State node, read and put back as the view-state text
// "x,y,page,zoom,memory,quality,format".
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "viewer/app/annotation_controls.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/main_form.h"
#include "viewer/app/number_text.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

double zoomField(const QString& text) {
    bool ok = false;
    const double zoom = GetCsvField(text, 4).trimmed().toDouble(&ok);
    return ok ? zoom : 0;
}

ViewFields parseView(const QString& text) {
    ViewFields view;
    view.x = GetCsvInt(text, 1);
    view.y = GetCsvInt(text, 2);
    view.page = GetCsvInt(text, 3);
    view.zoom = zoomField(text) * 100;
    view.memory = GetCsvInt(text, 5);
    view.quality = GetCsvInt(text, 6);
    view.format = GetCsvInt(text, 7);
    return view;
}

QString zoomBoxText(double percent) {
    return QString::number(std::llround(percent)) + u'%';
}

// The wait cursor while a render runs; the progress display and the normal
// cursor come back however the render road is left.
class RenderRoad {
public:
    explicit RenderRoad(TBrevantForm& form) : form_(form) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~RenderRoad() {
        form_.ResetProgress();
        QApplication::restoreOverrideCursor();
    }
    RenderRoad(const RenderRoad&) = delete;
    RenderRoad& operator=(const RenderRoad&) = delete;

private:
    TBrevantForm& form_;
};

}  // namespace

ViewFields TBrevantForm::readView() {
    win::ComPtr<ITreeNode> state = Vistrel1.State();
    return state ? parseView(nodeStateText(state.get())) : ViewFields{};
}

void TBrevantForm::putViewField(int field, const QString& value) {
    win::ComPtr<ITreeNode> state = Vistrel1.State();
    if (!state)
        return;
    setNodeStateText(state.get(), SetCsvField(nodeStateText(state.get()), field, value));
    Vistrel1.setState(state.get());
}

bool TBrevantForm::BeginViewEdit() {
    stateNode_ = Vistrel1.State();
    if (!stateNode_)
        return false;
    viewRead_ = viewEdit_ = parseView(nodeStateText(stateNode_.get()));
    return true;
}

bool TBrevantForm::CommitViewEdit(bool render) {
    if (!stateNode_)
        return false;
    const int pages = Vistrel1.pages();
    if (viewEdit_.page > pages)
        viewEdit_.page = pages;
    ePageNum->setText(QString::number(viewEdit_.page) + " of " + QString::number(pages));
    const ViewFields& a = viewEdit_;
    const ViewFields& b = viewRead_;
    if (a.page == b.page && a.zoom == b.zoom && a.memory == b.memory && a.quality == b.quality &&
        a.format == b.format)
        return false;
    const QString text = QStringList{QString::number(a.x),
                                     QString::number(a.y),
                                     QString::number(a.page),
                                     extendedFloatText(a.zoom / 100),
                                     QString::number(a.memory),
                                     QString::number(a.quality),
                                     QString::number(a.format)}
                             .join(u',');
    setNodeStateText(stateNode_.get(), text);
    Vistrel1.setState(stateNode_.get());
    if (eZOOM->text().isEmpty() || (render && a.zoom != b.zoom))
        eZOOM->setText(zoomBoxText(a.zoom));
    if (!render)
        return false;
    RenderView(true);
    return true;
}

int TBrevantForm::GetPage() {
    return readView().page;
}

double TBrevantForm::GetZoomPercent() {
    return readView().zoom;
}

int TBrevantForm::GetMemoryUsage() {
    return readView().memory;
}

int TBrevantForm::GetQuality() {
    return readView().quality;
}

int TBrevantForm::GetDeviceFormat() {
    return readView().format;
}

void TBrevantForm::SetPage(int page) {
    page = std::min<int>(page, Vistrel1.pages());
    if (page == GetPage() || page <= 0)
        return;
    RecordView(true);
    putViewField(3, QString::number(page));
}

void TBrevantForm::SetZoomPercent(double zoom) {
    const double fraction = zoom / 100;
    if (fraction == readView().zoom / 100 || !(fraction > 0) || fraction > 6)
        return;
    RecordView(true);
    putViewField(4, extendedFloatText(fraction));
}

void TBrevantForm::SetQuality(int quality) {
    if (quality != GetQuality() && quality >= 0 && quality <= 5)
        putViewField(6, QString::number(quality));
}

void TBrevantForm::SetMemoryUsage(int memory) {
    if (memory != GetMemoryUsage() && memory >= 0 && memory <= 4)
        putViewField(5, QString::number(memory));
}

void TBrevantForm::SetDeviceFormat(int format) {
    if (format == GetDeviceFormat())
        return;
    putViewField(7, QString::number(format));
    RenderView(true);
    PreviewPageIn1->setChecked(format > 0);
    tbPreviewPages->setChecked(format > 0);
    cbClarity->setEnabled(tbPreviewPages->isChecked());
}

void TBrevantForm::commitZoom(double percent) {
    if (!BeginViewEdit())
        return;
    viewEdit_.zoom = percent;
    CommitViewEdit(true);
}

void TBrevantForm::setPendingOffset(int x, int y) {
    pendingX_ = x;
    pendingY_ = y;
    pendingOffset_ = true;
}

void TBrevantForm::RenderView(bool showErrors) {
    if (!engineAvailable_ || suppressRender_)
        return;
    RenderRoad road(*this);
    const ViewFields view = readView();
    const double zoom = view.zoom / 100;
    const RenderedView& last = lastRendered_;
    if (view.page == last.page && view.format == last.format && view.memory == last.memory &&
        view.quality == last.quality && zoom == last.zoom)
        return;
    frScroll1->annotations().HideAnnotationControls();
    if (Vistrel1.render() != win::S_OK) {
        if (!showErrors)
            return;
        showError(QStringLiteral("Page cannot be rendered at selected zoom level."));
        if (lastRendered_.page == 0) {
            ResetDocumentUI();
            return;
        }
        // Back to the last good view, rendered without a second message.
        suppressRender_ = true;
        const RenderedView good = lastRendered_;
        putViewField(3, QString::number(good.page));
        putViewField(4, extendedFloatText(good.zoom));
        putViewField(7, QString::number(good.format));
        putViewField(5, QString::number(good.memory));
        putViewField(6, QString::number(good.quality));
        suppressRender_ = false;
        Vistrel1changePage(good.page);
        Vistrel1changeZoom(good.zoom);
        lastRendered_.zoom = -1;
        RenderView(false);
        return;
    }
    if (!frScroll1->PageVisible())
        frScroll1->SetPageVisible(true);
    fPalm->PaintBox1->resize(std::max<win::LONG>(Vistrel1.width(), 0),
                             std::max<win::LONG>(Vistrel1.height(), 0));
    frScroll1->Layout();
    RebuildLinkRegion();
    if (pendingOffset_) {
        pendingOffset_ = false;
        frScroll1->ScrollToPoint(pendingX_, pendingY_);
    }
    frScroll1->Invalidate();
    frScroll1->annotations().ShowPageAnnotations(view.page);
    const int pages = Vistrel1.pages();
    for (QAction* action : {FirstPage1, PrevPage1})
        action->setEnabled(view.page > 1);
    for (QAction* action : {NextPage1, LastPage1})
        action->setEnabled(view.page < pages);
    GoToPage1->setEnabled(pages > 1);
    if (viewHistory_[size_t(viewIndex_)].valid)
        viewIndex_ = (viewIndex_ + 1) % int(viewHistory_.size());
    updateViewActions();
    PreviewPageIn1->setChecked(view.format > 0);
    tbPreviewPages->setChecked(view.format > 0);
    cbClarity->setEnabled(tbPreviewPages->isChecked());
    lastRendered_ = {view.page, zoom, view.format, view.memory, view.quality};
    Vistrel1changePage(view.page);
    Vistrel1changeZoom(zoom);
}

void TBrevantForm::RebuildLinkRegion() {
    RefreshAnnotations();
    links_ = Vistrel1.root(QStringLiteral("LINKS"));
    QRegion region;
    if (links_) {
        const win::LONG count = nodeKids(links_.get());
        for (win::LONG i = 1; i <= count; ++i) {
            win::ComPtr<ITreeNode> link = nodeKid(links_.get(), i);
            if (!link)
                continue;
            const QString text = nodeLinkText(link.get());
            const QPoint a(GetCsvInt(text, 1), GetCsvInt(text, 2));
            const QPoint b(GetCsvInt(text, 3), GetCsvInt(text, 4));
            region += QRect(a, b).normalized();
        }
    }
    linkRegion_ = region;
}

void TBrevantForm::DisplayGraphics1Click() {
    const bool checked = DisplayGraphics1->isChecked();
    tbDisplayGraphics->setChecked(checked);
    writeSetting(settings::kDisplayGraphics, checked);
    suppressRender_ = true;
    SetQuality(checked ? 4 : 5);
    SetMemoryUsage(4);
    suppressRender_ = false;
    if (!Vistrel1.filename().isEmpty())
        RenderView(true);
}

}  // namespace brevant
