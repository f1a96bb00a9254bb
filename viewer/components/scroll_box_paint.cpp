#include "viewer/components/scroll_box_paint.h"

#include <QPaintEvent>
#include <QPainter>

#include "viewer/components/dib_surface.h"
#include "viewer/components/notifying_scroll_bar.h"

namespace brevant {

TScrollBoxPaint::TScrollBoxPaint(QWidget* parent)
    : QScrollArea(parent), surface_(std::make_unique<RetainedSurface>()) {
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        auto* bar = new NotifyingScrollBar(orientation, this);
        bar->OnScroll = [this](ScrollCode, int) {
            if (OnScroll)
                OnScroll(this);
        };
        if (orientation == Qt::Horizontal) {
            setHorizontalScrollBar(bar);
        } else {
            setVerticalScrollBar(bar);
        }
    }
}

TScrollBoxPaint::~TScrollBoxPaint() = default;

void TScrollBoxPaint::paintEvent(QPaintEvent* event) {
    if (!surface_->fit(viewport()->size()))
        return;
    {
        LentHandle lent(canvas_, surface_->dc());
        Paint();
    }
    QPainter painter(viewport());
    painter.drawImage(event->rect(), surface_->get()->image(), event->rect());
}

void TScrollBoxPaint::Paint() {
    if (OnPaint)
        OnPaint(this);
}

}  // namespace brevant
