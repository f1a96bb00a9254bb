#include "viewer/app/annotation_controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>

#include <algorithm>
#include <climits>
#include <cmath>

#include "viewer/app/annotation_frame.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/viewer_cursors.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

// Pixels an annotation outside the page is placed before its left or top
// edge, and past its right or bottom edge.
constexpr long long kBeforePage = 10;
constexpr long long kPastPage = 5;
// A note is at most this many times the larger of the page and the view.
constexpr long long kNoteSizeFactor = 2;

int toInt(long long v) {
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// The annotation colour of a record: red in the low byte, blue in the high.
QColor recordColour(const QString& record) {
    const auto value = static_cast<unsigned>(GetCsvInt(record, 5));
    return QColor(int(value & 255u), int((value >> 8) & 255u), int((value >> 16) & 255u));
}

QImage drawIconPicture() {
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(0, 0, 18, 18);   // the note's outline
    painter.drawLine(1, 6, 17, 6);    // the title band ends
    painter.drawLine(4, 10, 14, 10);  // text lines that leave the body in one piece
    painter.drawLine(4, 14, 14, 14);
    painter.end();
    return image;
}

}  // namespace

const QImage& annotationIconPicture() {
    static const QImage picture = drawIconPicture();
    return picture;
}

void floodFill(QImage& image, int x, int y, QRgb colour) {
    if (!image.valid(x, y))
        return;
    const QRgb target = image.pixel(x, y);
    if (target == colour)
        return;
    // Each pixel changes once and pushes at most four neighbours.
    std::vector<QPoint> pending{QPoint(x, y)};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        if (!image.valid(p) || image.pixel(p) != target)
            continue;
        image.setPixel(p, colour);
        pending.insert(pending.end(), {QPoint(p.x() + 1, p.y()), QPoint(p.x() - 1, p.y()),
                                       QPoint(p.x(), p.y() + 1), QPoint(p.x(), p.y() - 1)});
    }
}

AnnotationIcon::AnnotationIcon(AnnotationControls& controls, QWidget* parent)
    : QLabel(parent), controls_(controls) {}

void AnnotationIcon::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    grab_ = event->globalPosition().toPoint() - pos();
}

void AnnotationIcon::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        move(event->globalPosition().toPoint() - grab_);
}

void AnnotationIcon::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void AnnotationIcon::mouseDoubleClickEvent(QMouseEvent*) {
    AnnotIconDblClick();
}

void AnnotationIcon::AnnotIconDblClick() {
    if (tag < 0) {
        controls_.ShowAnnotationControls(objectName());
        return;
    }
    QWidget* note = controls_.control(tag);
    if (note == nullptr)
        return;
    note->move(pos());
    note->show();
    note->setEnabled(true);
    note->raise();
    hide();
    setEnabled(false);
}

AnnotationControls::AnnotationControls(std::unique_ptr<AnnotationSurface> surface)
    : surface_(std::move(surface)) {}

AnnotationControls::~AnnotationControls() {
    RemoveAnnotationControls(QString());
}

QWidget* AnnotationControls::control(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return controls_[static_cast<std::size_t>(index)];
}

QWidget* AnnotationControls::control(const QString& name) const {
    for (QWidget* c : controls_)
        if (c->objectName() == name)
            return c;
    return nullptr;
}

int AnnotationControls::indexOf(const QWidget* c) const {
    auto at = std::find(controls_.begin(), controls_.end(), c);
    return at == controls_.end() ? -1 : int(at - controls_.begin());
}

bool AnnotationControls::HasAnnotationControl(const QString& name) const {
    return control(name) != nullptr;
}

bool AnnotationControls::mayCreate(const QString& name, const QString& record) const {
    return !record.isEmpty() && !HasAnnotationControl(name) && surface_->annotationViewVisible();
}

QPoint AnnotationControls::placeOnSurface(long long x, long long y) const {
    const QPoint offset = surface_->annotationOffset();
    const QSize extent = surface_->annotationExtent();
    auto axis = [](long long at, long long o, long long e) {
        long long left = at - o;
        if (left < -o)
            left = -o - kBeforePage;
        if (left > e - o)
            left = e - o + kPastPage;
        return toInt(left);
    };
    return {axis(x, offset.x(), extent.width()), axis(y, offset.y(), extent.height())};
}

void AnnotationControls::add(QWidget* c) {
    controls_.push_back(c);
}

void AnnotationControls::CreateAnnotationIcon(const QString& name, const QString& record,
                                              bool ownNote, double scale, bool visible) {
    if (!mayCreate(name, record))
        return;
    auto* icon = new AnnotationIcon(*this, surface_->annotationParent());
    icon->setObjectName(name);
    const QImage& picture = annotationIconPicture();
    icon->resize(picture.size());
    icon->move(placeOnSurface(GetCsvInt(record, 1), GetCsvInt(record, 2)));
    QImage coloured = picture;
    const QRgb colour = recordColour(record).rgb();
    floodFill(coloured, 3, 3, colour);
    floodFill(coloured, 10, 12, colour);
    icon->setPixmap(QPixmap::fromImage(coloured));
    icon->setCursor(screenCursor(kFingerCursor));
    icon->setToolTip(GetCsvField(record, 6));
    icon->type = GetCsvInt(record, 8);
    add(icon);
    if (ownNote) {
        CreateAnnotationNote(name + QStringLiteral("Kid"), record, scale, icon->type == 1);
        icon->tag = indexOf(control(name + QStringLiteral("Kid")));
        icon->setEnabled(icon->type == 0);
        icon->setVisible(icon->type == 0);
    } else {
        icon->tag = -1;
        icon->setVisible(visible);
        icon->setEnabled(visible);
    }
    icon->raise();
    placedOffset_ = surface_->annotationOffset();
}

void AnnotationControls::CreateAnnotationNote(const QString& name, const QString& record,
                                              double scale, bool visible) {
    if (!mayCreate(name, record))
        return;
    auto* note = new TfrAnnotation(*this, surface_->annotationParent());
    note->setObjectName(name);
    note->move(placeOnSurface(GetCsvInt(record, 1), GetCsvInt(record, 2)));
    // The size at 100 %; the document gives it, so it is kept within a few
    // times the page and the view.
    if (!(scale > 0))
        scale = 1;
    const QSize extent = surface_->annotationExtent();
    const QSize view = surface_->annotationParent()->size();
    auto side = [&](int field, int pageSide, int viewSide) {
        const long long limit = kNoteSizeFactor * std::max({pageSide, viewSide, 1});
        const double wanted = std::round(GetCsvInt(record, field) / scale);
        return toInt(std::clamp<long long>(
            std::isfinite(wanted) ? static_cast<long long>(std::clamp(wanted, -1e15, 1e15)) : 0, 0,
            limit));
    };
    note->resize(side(3, extent.width(), view.width()), side(4, extent.height(), view.height()));
    note->pCaption->setText(GetCsvField(record, 6));
    const QColor colour = recordColour(record);
    const double brightness = 0.299 * colour.red() + 0.587 * colour.green() + 0.114 * colour.blue();
    note->setCaptionColours(colour, brightness > 127 ? Qt::black : Qt::white);
    note->mText->setPlainText(GetCsvField(record, 7));
    note->setVisible(visible);
    note->setEnabled(visible);
    const int type = GetCsvInt(record, 8);
    note->tag = type == 0 || type == 1 ? count() - 1 : -1;
    add(note);
    placedOffset_ = surface_->annotationOffset();
}

void AnnotationControls::linkIconAndNote(const QString& iconName, const QString& noteName) {
    auto* icon = dynamic_cast<AnnotationIcon*>(control(iconName));
    auto* note = dynamic_cast<TfrAnnotation*>(control(noteName));
    if (icon == nullptr || note == nullptr || icon->tag >= 0)
        return;
    icon->tag = indexOf(note);
    note->tag = indexOf(icon);
}

void AnnotationControls::ShowAnnotationControls(const QString& prefix) {
    for (QWidget* c : controls_) {
        if (c->objectName().startsWith(prefix)) {
            c->show();
            c->setEnabled(true);
            c->raise();
        }
    }
}

void AnnotationControls::RemoveAnnotationControls(const QString& prefix) {
    std::vector<QWidget*> kept;
    for (QWidget* c : controls_) {
        if (c->objectName().startsWith(prefix))
            delete c;
        else
            kept.push_back(c);
    }
    controls_ = std::move(kept);
}

void AnnotationControls::HideAnnotationControls() {
    for (QWidget* c : controls_)
        c->hide();
}

void AnnotationControls::ShowPageAnnotations(int page) {
    const QString prefix = QStringLiteral("SP%1_").arg(page);
    for (QWidget* c : controls_)
        if (c->objectName().startsWith(prefix) && !c->testAttribute(Qt::WA_Disabled))
            c->show();
}

void AnnotationControls::ScaleAnnotations(double factor) {
    const QPoint offset = surface_->annotationOffset();
    for (QWidget* c : controls_) {
        auto scaled = [&](int at, int o) {
            const double v = std::round(factor * (double(at) + o));
            return toInt(static_cast<long long>(std::clamp(v, double(INT_MIN), double(INT_MAX))) - o);
        };
        c->move(scaled(c->x(), offset.x()), scaled(c->y(), offset.y()));
    }
}

void AnnotationControls::offsetChanged(QPoint offset) {
    if (controls_.empty() || offset == placedOffset_)
        return;
    const QPoint by = placedOffset_ - offset;
    for (QWidget* c : controls_)
        c->move(c->pos() + by);
    placedOffset_ = offset;
}

}  // namespace brevant
