// Moving through a document: page commands, the page and zoom boxes, the
// zoom menus, fits, the wheel, the tools, links and the view history.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

#include "viewer/app/csv_fields.h"
#include "viewer/app/main_form.h"
#include "viewer/app/number_text.h"
#include "viewer/app/viewer_cursors.h"
#include "viewer/components/message_service.h"
#include "viewer/components/paint_panels.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

constexpr int kHistorySize = 100;
// Pixels the page moves for one wheel message.
constexpr int kWheelStep = 15;

int nextIndex(int i) {
    return (i + 1) % kHistorySize;
}

int previousIndex(int i) {
    return (i + kHistorySize - 1) % kHistorySize;
}

}  // namespace

int fromPageTop(int y, long long bottom) {
    return bottom > 0 && y >= bottom ? 0 : y;
}

void TBrevantForm::bindNavigation() {
    connect(FirstPage1, &QAction::triggered, this, [this] { sbFirstPageClick(); });
    connect(PrevPage1, &QAction::triggered, this, [this] { sbPrevPageClick(); });
    connect(NextPage1, &QAction::triggered, this, [this] { sbNextPageClick(); });
    connect(LastPage1, &QAction::triggered, this, [this] { sbLastPageClick(); });
    connect(PrevView1, &QAction::triggered, this, [this] { tbPrevViewClick(); });
    connect(NextView1, &QAction::triggered, this, [this] { tbNextViewClick(); });
    connect(FitWidth, &QAction::triggered, this, [this] { FitWidthClick(); });
    connect(Fitheight1, &QAction::triggered, this, [this] { Fitheight1Click(); });
    connect(Fullpage1, &QAction::triggered, this, [this] { Fullpage1Click(); });
    connect(ActualSize1, &QAction::triggered, this, [this] { N5001Click(100); });
    connect(HandTool1, &QAction::triggered, this, [this] { tbHandToolClick(); });
    connect(ZoomBox1, &QAction::triggered, this, [this] { tbZoomToolClick(); });
    connect(DisplayGraphics1, &QAction::triggered, this, [this] { DisplayGraphics1Click(); });
    connect(FileOpen1, &QAction::triggered, this, [this] { FileOpen1Execute(); });
    for (const std::vector<QAction*>* items : {&zoomMenuItems, &zoomPopupItems}) {
        for (QAction* item : *items) {
            connect(item, &QAction::triggered, this,
                    [this, item] { N5001Click(item->data().toInt()); });
        }
    }
    connect(pmZOOM, &QMenu::aboutToShow, this, [this] { UpdateZoomChecks(); });
    // With the zoom-box tool the page surface offers the zoom popup.
    connect(frScroll1->PntPanel1, &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { pmZOOM->popup(frScroll1->PntPanel1->mapToGlobal(at)); });
    connect(File1, &QMenu::triggered, this, [this](QAction* item) {
        // The recent-files entries carry their index in the history.
        if (item->parent() == File1 && item->data().isValid() && item->data().toInt() >= 0 &&
            item->data().toInt() < fileHistory_.size())
            OpenDocument(fileHistory_[item->data().toInt()]);
    });
    connect(pmFileList, &QMenu::aboutToShow, this, [this] {
        pmFileList->clear();
        const int count = int(fileHistory_.size());
        for (int i = 1; i <= 5 && i <= count; ++i) {
            QString caption = fileHistory_[count - i];
            QAction* entry = pmFileList->addAction(caption.replace(u'&', QStringLiteral("&&")));
            const QString path = fileHistory_[count - i];
            connect(entry, &QAction::triggered, this, [this, path] { OpenDocument(path); });
        }
    });
    Vistrel1.OnchangePage = [this](TVistrel*, win::LONG page) { Vistrel1changePage(page); };
    Vistrel1.OnchangeZoom = [this](TVistrel*, double zoom) { Vistrel1changeZoom(zoom); };
    Vistrel1.OnchangeOffset = [this](TVistrel*, win::LONG x, win::LONG y) {
        Vistrel1changeOffset(x, y);
    };
    // A destination that fits the page shows it from its top edge, or from
    // the top (or left) it gives, which the engine hands over in pixels at
    // 100 %: the offset after the render is that point at the fitted zoom.
    Vistrel1.OnfitWidth = [this](TVistrel*, win::LONG top) {
        frScroll1->FitPage(1);
        setPendingOffset(0, atFittedZoom(top));
    };
    Vistrel1.OnfitHeight = [this](TVistrel*, win::LONG left) {
        frScroll1->FitPage(2);
        setPendingOffset(atFittedZoom(left), 0);
    };
    Vistrel1.OnfitWindow = [this](TVistrel*) {
        frScroll1->FitPage(0);
        setPendingOffset(0, 0);
    };
    Vistrel1.OnfitRectangle = [this](TVistrel*, win::LONG x, win::LONG y, win::LONG width,
                                     win::LONG height) { frScroll1->FitRect(x, y, width, height); };
}

void TBrevantForm::sbFirstPageClick() {
    RecordView(true);
    setPendingOffset(0, 0);
    if (BeginViewEdit()) {
        viewEdit_.page = 1;
        CommitViewEdit(true);
    }
}

void TBrevantForm::sbPrevPageClick() {
    RecordView(true);
    setPendingOffset(0, 0);
    if (BeginViewEdit()) {
        viewEdit_.page -= 1;
        CommitViewEdit(true);
    }
}

void TBrevantForm::sbNextPageClick() {
    RecordView(true);
    setPendingOffset(0, 0);
    if (BeginViewEdit()) {
        viewEdit_.page += 1;
        CommitViewEdit(true);
    }
}

void TBrevantForm::sbLastPageClick() {
    RecordView(true);
    setPendingOffset(0, 0);
    if (BeginViewEdit()) {
        viewEdit_.page = Vistrel1.pages();
        CommitViewEdit(true);
    }
}

void TBrevantForm::ePageNumEnter() {
    int page = 0;
    try {
        page = ParseLeadingInt(ePageNum->text(), 0, true);
    } catch (const NumberError&) {
        showMessage({windowTitle(),
                     "There is no page numbered '" + ePageNum->text() + "' in this document."});
        ePageNum->setText(QString::number(GetPage()));
        ePageNum->setFocus();
        ePageNum->selectAll();
        return;
    }
    setPendingOffset(0, 0);
    if (BeginViewEdit()) {
        viewEdit_.page = page;
        CommitViewEdit(true);
    }
}

void TBrevantForm::eZOOMEnter() {
    int zoom = 0;
    try {
        zoom = ClampZoomPercent(ParseLeadingInt(eZOOM->text(), 0, true));
    } catch (const NumberError&) {
        showMessage({windowTitle(), "Error in Zoom numbered '" + eZOOM->text() + "'"});
        eZOOM->setText(QString::number(std::llround(GetZoomPercent())) + u'%');
        eZOOM->setFocus();
        eZOOM->selectAll();
        return;
    }
    if (BeginViewEdit()) {
        viewEdit_.zoom = zoom;
        CommitViewEdit(true);
    }
}

void TBrevantForm::N5001Click(int percent) {
    RecordView(true);
    commitZoom(percent);
}

void TBrevantForm::UpdateZoomChecks() {
    const long long zoom = std::llround(GetZoomPercent());
    for (const std::vector<QAction*>* items : {&zoomMenuItems, &zoomPopupItems}) {
        for (QAction* item : *items)
            item->setChecked(item->data().toInt() == zoom);
    }
}

void TBrevantForm::FitWidthClick() {
    if (Vistrel1.filename().isEmpty())
        return;
    RecordView(true);
    frScroll1->FitPage(1);
}

void TBrevantForm::Fitheight1Click() {
    if (Vistrel1.filename().isEmpty())
        return;
    RecordView(true);
    frScroll1->FitPage(2);
}

void TBrevantForm::Fullpage1Click() {
    if (Vistrel1.filename().isEmpty())
        return;
    RecordView(true);
    frScroll1->FitPage(0);
}

void TBrevantForm::tbZoomToolClick() {
    tool_ = kZoomInCursor;
    tbZoomTool->setChecked(true);
    ZoomBox1->setChecked(true);
    tbHandTool->setChecked(false);
    HandTool1->setChecked(false);
    frScroll1->PntPanel1->setCursor(screenCursor(kZoomInCursor));
    frScroll1->PntPanel1->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TBrevantForm::tbHandToolClick() {
    tool_ = kOpenHandCursor;
    tbHandTool->setChecked(true);
    HandTool1->setChecked(true);
    tbZoomTool->setChecked(false);
    ZoomBox1->setChecked(false);
    frScroll1->PntPanel1->setCursor(screenCursor(kOpenHandCursor));
    frScroll1->PntPanel1->setContextMenuPolicy(Qt::NoContextMenu);
}

int TBrevantForm::atFittedZoom(win::LONG pixels) {
    const double at = std::round(pixels * GetZoomPercent() / 100);
    return int(std::clamp(at, 0.0, double(INT_MAX)));
}

void TBrevantForm::Vistrel1changePage(int page) {
    ePageNum->setText(QString::number(page) + " of " + QString::number(Vistrel1.pages()));
}

void TBrevantForm::Vistrel1changeZoom(double zoom) {
    eZOOM->setText(QString::number(std::llround(zoom * 100)) + u'%');
    UpdateZoomChecks();
}

void TBrevantForm::Vistrel1changeOffset(int x, int y) {
    setPendingOffset(x, y);
}

void TBrevantForm::wheelEvent(QWheelEvent* event) {
    const QPoint at = frScroll1->mapFromGlobal(event->globalPosition().toPoint());
    const QRect inside = frScroll1->rect().adjusted(1, 1, -1, -1);
    if (!frScroll1->isVisible() || !inside.contains(at)) {
        QMainWindow::wheelEvent(event);
        return;
    }
    const QPoint offset = frScroll1->GetOffset();
    const int step = event->angleDelta().y() < 0 ? kWheelStep : -kWheelStep;
    frScroll1->ScrollToPoint(TfrScroll::kKeep, int(std::clamp<long long>(
                                                   (long long)offset.y() + step, INT_MIN + 1,
                                                   INT_MAX - 1)));
    frScroll1->PntPanel1->repaint();
    event->accept();
}

void TBrevantForm::FollowLinkAt(int x, int y) {
    if (!links_)
        return;
    const win::LONG count = nodeKids(links_.get());
    for (win::LONG i = 1; i <= count; ++i) {
        win::ComPtr<ITreeNode> link = nodeKid(links_.get(), i);
        if (!link)
            continue;
        const QString text = nodeLinkText(link.get());
        const int x1 = GetCsvInt(text, 1), y1 = GetCsvInt(text, 2);
        const int x2 = GetCsvInt(text, 3), y2 = GetCsvInt(text, 4);
        if (x < std::min(x1, x2) || x > std::max(x1, x2) || y < std::min(y1, y2) ||
            y > std::max(y1, y2))
            continue;
        // The target's top as the link gives it, in pixels of this page.
        const int top = fromPageTop(GetCsvInt(text, 7), Vistrel1.height());
        RecordView(true);
        if (BeginViewEdit()) {
            viewEdit_.page = GetCsvInt(text, 5);
            CommitViewEdit(true);
        }
        ScrollTo(GetCsvInt(text, 6), top);
        return;
    }
}

void TBrevantForm::ScrollTo(int x, int y) {
    frScroll1->ScrollToPoint(x, y);
    frScroll1->Invalidate();
}

void TBrevantForm::RecordView(bool advance) {
    const ViewFields view = readView();
    const QPoint offset = frScroll1->GetOffset();
    viewHistory_[size_t(viewIndex_)] = {true, view.page, view.zoom, offset.x(), offset.y()};
    if (advance) {
        viewHistory_[size_t(nextIndex(viewIndex_))].valid = false;
        viewHistory_[size_t(nextIndex(nextIndex(viewIndex_)))].valid = false;
    }
    updateViewActions();
}

void TBrevantForm::GoToView(int index) {
    if (index < 0 || index >= kHistorySize || !viewHistory_[size_t(index)].valid)
        return;
    const ViewHistoryEntry entry = viewHistory_[size_t(index)];
    RecordView(false);
    if (BeginViewEdit()) {
        viewEdit_.page = entry.page;
        viewEdit_.zoom = entry.zoom;
        CommitViewEdit(true);
    }
    ScrollTo(entry.x, entry.y);
    viewIndex_ = index;
    updateViewActions();
}

void TBrevantForm::tbPrevViewClick() {
    GoToView(previousIndex(viewIndex_));
}

void TBrevantForm::tbNextViewClick() {
    GoToView(nextIndex(viewIndex_));
}

void TBrevantForm::updateViewActions() {
    PrevView1->setEnabled(viewHistory_[size_t(previousIndex(viewIndex_))].valid);
    NextView1->setEnabled(viewHistory_[size_t(nextIndex(viewIndex_))].valid);
}

}  // namespace brevant
