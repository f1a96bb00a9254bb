#include "platform/files/win_time.h"

#include <chrono>

namespace win {
namespace {

TickCountSource tickSource = nullptr;

// The monotonic clock counts from the system's start, as the kernel's tick
// count does.
DWORD monotonicTicks() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<DWORD>(static_cast<unsigned long long>(ms));
}

}  // namespace

DWORD GetTickCount() {
    return tickSource ? tickSource() : monotonicTicks();
}

TickCountSource SetTickCountSource(TickCountSource source) {
    TickCountSource old = tickSource;
    tickSource = source;
    return old;
}

}  // namespace win
