// The progress display of the status bar: three bars, one per nesting
// level of the engine's progress reports (an export renders pages inside
// its own progress). While the outermost level runs, the page view stays
// frozen on a snapshot of what it showed before: a paint of the view then
// shows the snapshot instead of asking the engine to draw. The reports
// paint nothing themselves (the bars repaint themselves when their value
// shows a change), so a render that reports often costs no window paints;
// the outermost bar, emptied when its level ends, is painted with what
// follows (the rendered page) rather than on its own before it. Reports
// that come within a short quiet time of the outermost start are not
// shown: a render that is over by then (a page turn) paints no bar at all,
// a longer one shows its bars from its next report on.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/gdi/gdi.h"

class QProgressBar;

namespace brevant {

class TPntPanel;

// A copy of the page surface's pixels in a memory device context. The copy
// is made when the surface is about to change: until then the surface
// itself still holds the pixels, and a render that paints nothing on it
// copies nothing.
class PageSnapshot {
public:
    PageSnapshot() = default;
    ~PageSnapshot() { End(); }
    PageSnapshot(const PageSnapshot&) = delete;
    PageSnapshot& operator=(const PageSnapshot&) = delete;

    bool exists() const { return exists_; }
    // Holds the surface's pixels, unless a snapshot exists already.
    void Begin(TPntPanel& surface);
    // Copies the held pixels before the surface changes them; once per
    // snapshot.
    void Keep();
    // Puts the copy onto a device context at its top-left corner; false
    // when there is none.
    bool Draw(win::HDC target);
    void End();

private:
    bool exists_ = false;
    TPntPanel* surface_ = nullptr;  // until the copy is made
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
    // Milliseconds after the outermost start during which reports are not
    // shown.
    static constexpr std::int64_t kQuietTime = 100;

    ProgressIndicator(QProgressBar* bar1, QProgressBar* bar2, QProgressBar* bar3,
                      TPntPanel& surface);
    ~ProgressIndicator();
    ProgressIndicator(const ProgressIndicator&) = delete;
    ProgressIndicator& operator=(const ProgressIndicator&) = delete;

    void start();
    void set(int percentage);
    void stop();
    // Back to idle from any state: snapshot released, every bar at 0, the
    // outermost bar at its full height.
    void reset();

    QProgressBar* currentBar() const { return current_; }
    int depth() const { return depth_; }
    bool isPageFrozen() const { return snapshot_.exists(); }
    // Draws the snapshot the page is frozen on; false when there is none.
    bool drawSnapshot(win::HDC dc) { return snapshot_.Draw(dc); }
    // The clock the quiet time is measured on, in milliseconds (a steady
    // clock unless set).
    void setClock(std::function<std::int64_t()> milliseconds) { clock_ = std::move(milliseconds); }

private:
    QProgressBar* bars_[3];
    TPntPanel& surface_;
    QProgressBar* current_ = nullptr;
    int depth_ = 0;
    std::int64_t startedAt_ = 0;  // of the outermost level, by clock_
    std::function<std::int64_t()> clock_;
    PageSnapshot snapshot_;
};

}  // namespace brevant
