#include "viewer/app/progress_indicator.h"

#include <QProgressBar>

#include <chrono>

#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

// Sets the bar's value and leaves its paint to the window's next one
// instead of painting the bar at once.
void setValueWithNextPaint(QProgressBar* bar, int value) {
    // A bar whose updates are off paints nothing at once anyway.
    if (bar->value() == value || !bar->updatesEnabled()) {
        bar->setValue(value);
        return;
    }
    bar->setUpdatesEnabled(false);
    bar->setValue(value);
    bar->setUpdatesEnabled(true);  // which asks for the paint
}

}  // namespace

void PageSnapshot::Begin(TPntPanel& surface) {
    if (exists_)
        return;
    surface_ = &surface;
    width_ = surface.width();
    height_ = surface.height();
    exists_ = true;
}

void PageSnapshot::Keep() {
    if (!surface_)
        return;
    // The surface's pixels have not changed since the snapshot began.
    win::HDC source = surface_->surfaceDC();
    surface_ = nullptr;
    bitmap_ = win::CreateCompatibleBitmap(source, width_, height_);
    dc_ = win::CreateCompatibleDC(source);
    if (dc_ && bitmap_) {
        previous_ = win::SelectObject(dc_, bitmap_);
        win::BitBlt(dc_, 0, 0, width_, height_, source, 0, 0, win::SRCCOPY);
    }
}

bool PageSnapshot::Draw(win::HDC target) {
    if (!exists_)
        return false;
    Keep();
    return dc_ && win::BitBlt(target, 0, 0, width_, height_, dc_, 0, 0, win::SRCCOPY);
}

void PageSnapshot::End() {
    if (!exists_)
        return;
    exists_ = false;
    surface_ = nullptr;
    if (dc_ && previous_)
        win::SelectObject(dc_, previous_);
    if (dc_)
        win::DeleteDC(dc_);
    if (bitmap_)
        win::DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
}

ProgressIndicator::ProgressIndicator(QProgressBar* bar1, QProgressBar* bar2, QProgressBar* bar3,
                                     TPntPanel& surface)
    : bars_{bar1, bar2, bar3}, surface_(surface), clock_([] {
          using namespace std::chrono;
          return std::int64_t(
              duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
      }) {
    surface_.OnSurfaceChanging = [this] { snapshot_.Keep(); };
}

ProgressIndicator::~ProgressIndicator() {
    surface_.OnSurfaceChanging = nullptr;
}

void ProgressIndicator::start() {
    ++depth_;
    if (!current_) {
        // The surface holds what the view shows: nothing needs painting
        // first, and nothing is copied before the surface changes.
        snapshot_.Begin(surface_);
        startedAt_ = clock_();
        current_ = bars_[0];
        bars_[0]->setFixedHeight(kFullHeight);
    } else if (current_ == bars_[0]) {
        current_ = bars_[1];
        bars_[0]->setFixedHeight(kShrunkHeight);
    } else {
        current_ = bars_[2];
    }
    current_->setValue(0);
}

void ProgressIndicator::set(int percentage) {
    // A report of the quiet time would be on screen only until the work
    // ends, mostly a few milliseconds later, and its paint (with the
    // emptied bar's after it) would take about as long as that work.
    if (current_ && clock_() - startedAt_ >= kQuietTime)
        current_->setValue(percentage);
}

void ProgressIndicator::stop() {
    if (depth_ > 0)
        --depth_;
    if (!current_)
        return;
    if (current_ == bars_[0]) {
        // The outermost level ends: what it reported on is shown next (the
        // rendered page is painted at once), and the emptied bar is painted
        // in that paint rather than in one of its own before it.
        setValueWithNextPaint(current_, 0);
    } else {
        current_->setValue(0);
    }
    if (current_ == bars_[1]) {
        current_ = bars_[0];
    } else if (current_ == bars_[0]) {
        current_ = nullptr;
        bars_[0]->setFixedHeight(kFullHeight);
        snapshot_.End();
    } else if (depth_ == 2) {
        current_ = bars_[1];
    }
}

void ProgressIndicator::reset() {
    snapshot_.End();
    current_ = bars_[1];
    depth_ = 0;
    stop();
    stop();
    // The two stops leave the innermost bar as it was; it goes back to 0
    // with the others.
    bars_[2]->setValue(0);
}

}  // namespace brevant
