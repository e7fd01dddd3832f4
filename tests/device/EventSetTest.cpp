#include "device/EventSet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zm {
namespace {

using namespace std::chrono_literals;

TEST(EventSet, ServesSignalledEventsInIndexOrderAndResetsOnlyTheOneTaken) {
    CEventSet set;
    set.Set(3);
    set.Set(1);
    set.Set(4);
    EXPECT_EQ(set.Wait(0x1F), 1);
    EXPECT_EQ(set.Wait(0x1F), 3);
    EXPECT_EQ(set.Wait(0x1F), 4);
    EXPECT_EQ(set.Wait(0x1F, 0ms), CEventSet::kTimeout);
}

TEST(EventSet, SignalsAreNotCounted) {
    CEventSet set;
    set.Set(2);
    set.Set(2);
    set.Set(2);
    EXPECT_EQ(set.Wait(0x4, 0ms), 2);
    EXPECT_EQ(set.Wait(0x4, 0ms), CEventSet::kTimeout);
}

TEST(EventSet, WaitIgnoresEventsOutsideItsMaskAndLeavesThemSet) {
    CEventSet set;
    set.Set(0);
    EXPECT_EQ(set.Wait(0x2, 20ms), CEventSet::kTimeout);
    EXPECT_EQ(set.Wait(0x1, 0ms), 0);
}

TEST(EventSet, ResetClearsAPendingEvent) {
    CEventSet set;
    set.SetMask(0x3);
    set.Reset(0);
    EXPECT_EQ(set.Wait(0x3, 0ms), 1);
}

TEST(EventSet, TimedWaitReturnsAfterAboutItsTimeout) {
    CEventSet set;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(set.Wait(0x1, 100ms), CEventSet::kTimeout);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 95ms);
    EXPECT_LT(elapsed, 2s);
}

TEST(EventSet, ASignalFromAnotherThreadWakesAnUntimedWait) {
    CEventSet set;
    std::thread setter([&] {
        std::this_thread::sleep_for(30ms);
        set.Set(5);
    });
    EXPECT_EQ(set.Wait(1u << 5), 5);
    setter.join();
}

}  // namespace
}  // namespace zm
