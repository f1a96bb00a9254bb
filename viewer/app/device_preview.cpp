#include "viewer/app/device_preview.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

#include "viewer/app/small_forms.h"
#include "viewer/app/vistrel_binding.h"
#include "viewer/components/cool_form.h"
#include "viewer/components/dib_surface.h"
#include "viewer/components/gif_image.h"
#include "viewer/components/qt_pictures.h"
#include "viewer/components/transparent_button.h"

namespace brevant {
namespace {

// The screen's colour, $638C7B.
const QColor kScreenColour(0x7B, 0x8C, 0x63);

// A round red close mark with a white cross, 13 by 13 pixels on magenta,
// the glyph's transparent colour (its lower-left pixel).
QImage closeGlyph() {
    constexpr int kSize = 13;
    QImage glyph(kSize, kSize, QImage::Format_RGB32);
    glyph.fill(QColor(255, 0, 255));
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const int dx = 2 * x - (kSize - 1), dy = 2 * y - (kSize - 1);
            if (dx * dx + dy * dy > kSize * kSize)
                continue;
            const bool cross = (dx == dy || dx == -dy) && dx * dx <= 36;
            glyph.setPixel(x, y, cross ? qRgb(255, 255, 255) : qRgb(176, 36, 36));
        }
    }
    return glyph;
}

int toInt(long long v) {
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

}  // namespace

QImage devicePicture() {
    const std::unique_ptr<GifImage> gif = programPicture("device.gif");
    return gif->empty() ? QImage() : gifPicture(*gif);
}

TPaintBox::TPaintBox(QWidget* parent)
    : QWidget(parent), surface_(std::make_unique<RetainedSurface>()) {}

TPaintBox::~TPaintBox() = default;

void TPaintBox::paintEvent(QPaintEvent*) {
    // One surface of the box's size, kept while the size stays (the page
    // repaints at every step of a drag).
    if (!surface_->fit(size()))
        return;
    DibSurface& pixels = *surface_->get();
    {
        QImage target = pixels.paintTarget();
        QPainter(&target).fillRect(target.rect(), parentWidget() ? parentWidget()->palette().window()
                                                                  : palette().window());
    }
    if (OnPaint)
        OnPaint(pixels.dc());
    QPainter(this).drawImage(0, 0, pixels.image());
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown)
        OnMouseDown(event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove)
        OnMouseMove(event);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp)
        OnMouseUp(event);
}

TfPalm::TfPalm(TVistrel& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setObjectName("fPalm");
    setFixedSize(kWidth, kHeight);
    // The body first: the form loses its border and takes the outline. Its
    // picture is decoded when the window first shows (showEvent).
    CoolForm1 = new TCoolForm(this);
    CoolForm1->setObjectName("CoolForm1");
    CoolForm1->readMask2(pictureResource("device.rgn"));

    TransparentButton1 = new TransparentButton(this);
    TransparentButton1->setObjectName("TransparentButton1");
    TransparentButton1->setGeometry(198, 10, 24, 21);
    TransparentButton1->setFrameStyle(TransparentButton::FrameStyle::None);
    TransparentButton1->setAutoGray(false);
    TransparentButton1->setGlyph(closeGlyph());
    connect(TransparentButton1, &TransparentButton::clicked, this, &QWidget::close);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(44, 50, kScreenSize, kScreenSize);
    QPalette screen = Panel1->palette();
    screen.setColor(QPalette::Window, kScreenColour);
    Panel1->setPalette(screen);
    Panel1->setAutoFillBackground(true);

    PaintBox1 = new TPaintBox(Panel1);
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->OnPaint = [this](win::HDC dc) { PaintBox1Paint(dc); };
    PaintBox1->OnMouseDown = [this](QMouseEvent* e) { PntPanelG1MouseDown(e); };
    PaintBox1->OnMouseMove = [this](QMouseEvent* e) { PntPanelG1MouseMove(e); };
    PaintBox1->OnMouseUp = [this](QMouseEvent* e) { PntPanelG1MouseUp(e); };

    Action1 = new QAction(this);
    Action1->setObjectName("Action1");
    Action1->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(Action1);
    connect(Action1, &QAction::triggered, this, &QWidget::close);
}

void TfPalm::showEvent(QShowEvent* event) {
    if (CoolForm1->picture().isNull()) {
        // The picture, then the outline again: a new picture drops the
        // outline the form keeps.
        CoolForm1->setPicture(devicePicture());
        CoolForm1->readMask2(pictureResource("device.rgn"));
    }
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfPalm::FormShow() {
    if (QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
    // The page starts at the screen's corner: the view it shows is at
    // offset 0, 0.
    PaintBox1->move(0, 0);
}

void TfPalm::PaintBox1Paint(win::HDC dc) {
    engine_.draw(dc, 0, 0, PaintBox1->width(), PaintBox1->height(), 0, 0);
}

void TfPalm::PntPanelG1MouseDown(QMouseEvent* event) {
    if (dragging_)
        return;
    dragging_ = true;
    const QPoint at = event->position().toPoint();
    grab_ = PaintBox1->mapToGlobal(QPoint(at.x() - PaintBox1->x(), at.y() - PaintBox1->y()));
}

void TfPalm::PntPanelG1MouseMove(QMouseEvent* event) {
    if (!dragging_)
        return;
    const QPoint mouse = event->globalPosition().toPoint();
    clampTop((long long)mouse.y() - grab_.y());
    clampLeft((long long)mouse.x() - grab_.x());
}

void TfPalm::PntPanelG1MouseUp(QMouseEvent*) {
    dragging_ = false;
}

void TfPalm::wheelEvent(QWheelEvent* event) {
    const long long step = event->angleDelta().y() >= 0 ? kWheelStep : -kWheelStep;
    clampTop(PaintBox1->y() + step);
    event->accept();
}

// Above 0 the page would uncover the screen's top; short of the screen's
// bottom it is pinned there (which wins for a page smaller than the screen).
void TfPalm::clampTop(long long top) {
    if (top > 0)
        top = 0;
    if (top + PaintBox1->height() < Panel1->height())
        top = Panel1->height() - PaintBox1->height();
    PaintBox1->move(PaintBox1->x(), toInt(top));
}

void TfPalm::clampLeft(long long left) {
    if (left > 0)
        left = 0;
    if (left + PaintBox1->width() < Panel1->width())
        left = Panel1->width() - PaintBox1->width();
    PaintBox1->move(toInt(left), PaintBox1->y());
}

}  // namespace brevant
