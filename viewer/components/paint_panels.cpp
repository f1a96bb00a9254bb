#include "viewer/components/paint_panels.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include "viewer/components/dib_surface.h"

namespace brevant {
namespace {

// The frame of the paint protocol: Rectangle (0, 0, width, height), the
// outline on the outermost pixels, the inside filled with the brush.
void drawFrame(QPainter& painter, const PaintCanvas& canvas, QSize size) {
    painter.setPen(canvas.pen);
    painter.setBrush(canvas.brush);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
}

// Without a handler the event goes on to the parent.
void call(const MouseEventHandler& handler, QMouseEvent* event) {
    if (handler) {
        handler(event);
    } else {
        event->ignore();
    }
}

}  // namespace

TPntPanel::TPntPanel(QWidget* parent)
    : QWidget(parent), surface_(std::make_unique<RetainedSurface>()) {
    // The panel paints all of itself; Qt neither erases nor fills it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

TPntPanel::~TPntPanel() = default;

win::HDC TPntPanel::surfaceDC() const {
    return surface_->dc();
}

void TPntPanel::surfaceChanging() {
    if (OnSurfaceChanging)
        OnSurfaceChanging();
}

void TPntPanel::drawDirect(const std::function<void(win::HDC dc)>& draw) {
    surfaceChanging();
    if (!surface_->fit(size()))
        return;
    draw(surface_->dc());
    presentOnly_ = true;
    repaint();
    presentOnly_ = false;
}

void TPntPanel::paintEvent(QPaintEvent* event) {
    if (!presentOnly_)
        surfaceChanging();
    if (!surface_->fit(size()))
        return;
    DibSurface& pixels = *surface_->get();
    if (!presentOnly_) {
        canvas_.setHandle(pixels.dc());
        int noDraw = 1;
        if (OnDraw)
            OnDraw(this, pixels.dc(), noDraw);
        if (noDraw > 0) {
            QImage target = pixels.paintTarget();
            QPainter painter(&target);
            drawFrame(painter, canvas_, size());
        }
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), pixels.image(), event->rect());
}

void TPntPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    surfaceChanging();
    surface_->fit(size());
    canvas_.setHandle(surface_->dc());
    if (OnResize)
        OnResize();
}

void TPntPanel::mousePressEvent(QMouseEvent* event) {
    call(OnMouseDown, event);
}

void TPntPanel::mouseMoveEvent(QMouseEvent* event) {
    call(OnMouseMove, event);
}

void TPntPanel::mouseReleaseEvent(QMouseEvent* event) {
    call(OnMouseUp, event);
}

TPntPanelG::TPntPanelG(QWidget* parent) : QWidget(parent) {
    // Not opaque: the parent shows wherever the panel does not draw.
    setAttribute(Qt::WA_NoSystemBackground);
    resize(150, 150);
}

void TPntPanelG::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    int noDraw = 1;
    if (OnDraw) {
        // The handler draws into a surface whose pixels are marked in their
        // fourth byte, which GDI drawing clears; only drawn pixels are
        // painted over the parent.
        DibSurface layer(width(), height());
        if (layer.isValid()) {
            QImage target = layer.paintTarget();
            for (int y = 0; y < target.height(); ++y) {
                auto* row = reinterpret_cast<quint32*>(target.scanLine(y));
                std::fill(row, row + target.width(), 0xFF000000u);
            }
        }
        {
            LentHandle lent(canvas_, layer.dc());
            OnDraw(this, layer.dc(), noDraw);
        }
        if (layer.isValid()) {
            QImage drawn(layer.image().size(), QImage::Format_ARGB32);
            for (int y = 0; y < drawn.height(); ++y) {
                auto* from = reinterpret_cast<const quint32*>(layer.image().constScanLine(y));
                auto* to = reinterpret_cast<quint32*>(drawn.scanLine(y));
                for (int x = 0; x < drawn.width(); ++x)
                    to[x] = (from[x] >> 24) == 0xFF ? 0u : (from[x] | 0xFF000000u);
            }
            painter.drawImage(0, 0, drawn);
        }
    }
    if (noDraw > 0) {
        canvas_.brush.setStyle(Qt::NoBrush);
        drawFrame(painter, canvas_, size());
    }
}

void TPntPanelG::wheelEvent(QWheelEvent* event) {
    event->accept();  // swallowed, not passed to the parent
}

void TPntPanelG::mousePressEvent(QMouseEvent* event) {
    call(OnMouseDown, event);
}

void TPntPanelG::mouseMoveEvent(QMouseEvent* event) {
    call(OnMouseMove, event);
}

void TPntPanelG::mouseReleaseEvent(QMouseEvent* event) {
    call(OnMouseUp, event);
}

}  // namespace brevant
