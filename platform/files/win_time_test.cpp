#include "platform/files/win_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

win::DWORD fixedTicks() {
    return 0xFFFFFFF0u;
}

TEST(TickCountTest, MillisecondsOfAMonotonicClockOrAnInjectedSource) {
    const win::DWORD before = win::GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const win::DWORD elapsed = win::GetTickCount() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);

    EXPECT_EQ(win::SetTickCountSource(fixedTicks), nullptr);
    EXPECT_EQ(win::GetTickCount(), 0xFFFFFFF0u);
    EXPECT_EQ(win::SetTickCountSource(nullptr), fixedTicks);
    EXPECT_GE(win::GetTickCount() - before, 30u);
}

}  // namespace
