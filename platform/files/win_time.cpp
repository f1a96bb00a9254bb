#include "platform/files/win_time.h"

#include <chrono>

namespace win {
namespace {

TickCountSource tickSource = nullptr;

DWORD monotonicTicks() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    const auto elapsed = duration_cast<milliseconds>(steady_clock::now() - start).count();
    return static_cast<DWORD>(static_cast<unsigned long long>(elapsed));
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
