// The progress display of the status bar: three bars, one per nesting
// level of the engine's progress reports (an export renders pages inside
// its own progress). While the outermost level runs, the page view stays
// frozen on a snapshot of what it showed before: the view fills its page
// area instead of asking the engine to draw, and each report of the
// outermost level copies the snapshot back onto the page surface.
#pragma once

#include <QString>

#include <functional>

#include "platform/gdi/gdi.h"

class QProgressBar;

namespace brevant {

class TPntPanel;

// A copy of the page surface's pixels in a memory device context.
class PageSnapshot {
public:
    PageSnapshot() = default;
    ~PageSnapshot() { End(); }
    PageSnapshot(const PageSnapshot&) = delete;
    PageSnapshot& operator=(const PageSnapshot&) = delete;

    bool exists() const { return exists_; }
    // Copies the surface's pixels, unless a snapshot exists already.
    void Begin(TPntPanel& surface);
    // Puts the copy back onto the whole surface and shows it.
    void CopyBack(TPntPanel& surface) const;
    void End();

private:
    bool exists_ = false;
    win::HDC dc_ = nullptr;
    win::HBITMAP bitmap_ = nullptr;
    win::HGDIOBJ previous_ = nullptr;
    int width_ = 0, height_ = 0;
};

class ProgressIndicator {
public:
    // Bar heights: the outermost bar alone, and shrunk above the next one.
    static constexpr int kFullHeight = 16;
    static constexpr int kShrunkHeight = 7;

    // repaintWindow repaints the main window at once.
    ProgressIndicator(QProgressBar* bar1, QProgressBar* bar2, QProgressBar* bar3,
                      TPntPanel& surface, std::function<void()> repaintWindow);

    void start();
    void set(int percentage);
    void stop();
    // Back to idle from any state: snapshot released, every bar at 0, the
    // outermost bar at its full height.
    void reset();

    QProgressBar* currentBar() const { return current_; }
    int depth() const { return depth_; }
    bool isPageFrozen() const { return snapshot_.exists(); }

private:
    void beginSnapshot();

    QProgressBar* bars_[3];
    TPntPanel& surface_;
    std::function<void()> repaintWindow_;
    QProgressBar* current_ = nullptr;
    int depth_ = 0;
    PageSnapshot snapshot_;
};

}  // namespace brevant
