// The work of one page, counted in units of about half a nanosecond of
// drawing: the content interpreter charges the runs, operators and image
// samples it reads, the device the spans and pixels it paints. Once the
// budget is spent every run ends where it is and the device paints nothing
// more, so that no page keeps its reader busy for long, whatever it draws
// and at whatever size.
#pragma once

#include <cstdint>

#ifndef VISTREL_PAGE_WORK_BUDGET
#define VISTREL_PAGE_WORK_BUDGET (std::uint64_t{1} << 30)
#endif

namespace vistrel {

class OutputDevice;

class WorkMeter {
public:
    WorkMeter() = default;
    WorkMeter(const WorkMeter&) = delete;
    WorkMeter& operator=(const WorkMeter&) = delete;
    // Taken from the device it is attached to.
    ~WorkMeter();

    // About four million operators, a thousand million image samples, two
    // thousand million painted pixels, or a mix of them.
    static constexpr std::uint64_t kBudget = VISTREL_PAGE_WORK_BUDGET;
    // Painting a span (one run of pixels along a row or a column) costs
    // kSpanWork on top of its pixels, of which kPixelsPerUnit cost one unit;
    // an image's pixels cost kImagePixelWork each (it is scaled to them
    // first), a glyph's kGlyphPixelWork each (it may be scan-converted
    // first) on top of a span a row, a row of a clip kClipRowWork.
    static constexpr std::uint64_t kSpanWork = 64;
    static constexpr std::uint64_t kPixelsPerUnit = 2;
    static constexpr std::uint64_t kImagePixelWork = 3;
    static constexpr std::uint64_t kGlyphPixelWork = 1;
    static constexpr std::uint64_t kClipRowWork = 4;

    // One charge counts for at most the whole budget, and none is added once
    // the budget is spent, so that the sum cannot overflow.
    void charge(std::uint64_t units) {
        if (!spent())
            done_ += units < kBudget ? units : kBudget;
    }
    // The work of painting `spans` spans that cover `pixels` pixels.
    static std::uint64_t paintWork(std::uint64_t spans, std::uint64_t pixels) {
        const std::uint64_t limit = kBudget / kSpanWork;
        return (spans < limit ? spans : limit) * kSpanWork + pixels / kPixelsPerUnit;
    }
    bool spent() const { return done_ > kBudget; }
    std::uint64_t done() const { return done_; }

    // The device that charges the meter (at most one; see
    // OutputDevice::setWorkMeter), or null.
    OutputDevice* device() const { return device_; }
    // Taken from its device, if any.
    void detach();

private:
    friend class OutputDevice;

    std::uint64_t done_ = 0;
    OutputDevice* device_ = nullptr;
};

}  // namespace vistrel
