#include "device/DeviceThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace zm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(DeviceThread, BodyWaitsForResumeAndIsJoinedWhenItEnds) {
    CDeviceThread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Create([&] { ran = true; }));
    EXPECT_GT(thread.Id(), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(ran) << "the body ran before Resume";
    thread.Resume();
    EXPECT_EQ(thread.WaitForEnd(3000ms), CDeviceThread::StopResult::Ended);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(thread.Exists());
    EXPECT_EQ(thread.WaitForEnd(10ms), CDeviceThread::StopResult::NotRunning);
}

TEST(DeviceThread, AThreadThatDoesNotEndInTimeIsAbandonedAndTheWaitKeepsPumping) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto alive = std::make_shared<int>(42);
    std::weak_ptr<int> watch = alive;

    CDeviceThread thread;
    ASSERT_TRUE(thread.Create([released, alive]() mutable {
        released.wait();
        EXPECT_EQ(*alive, 42);  // still owned by the body
    }));
    alive.reset();
    thread.Resume();

    int pumps = 0;
    Clock::time_point lastPump = Clock::now();
    Clock::duration longestGap{};
    const auto start = Clock::now();
    const auto result = thread.WaitForEnd(300ms, [&] {
        const auto now = Clock::now();
        longestGap = std::max(longestGap, now - lastPump);
        lastPump = now;
        ++pumps;
    });
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(result, CDeviceThread::StopResult::Abandoned);
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 3s);
    EXPECT_GE(pumps, 4);
    EXPECT_LT(longestGap, 500ms);  // generous: 50 ms slices on a busy machine
    EXPECT_FALSE(thread.Exists());
    EXPECT_EQ(CDeviceThread::AbandonedCount(), 1);
    EXPECT_FALSE(watch.expired());

    release.set_value();
    EXPECT_TRUE(CDeviceThread::WaitForAbandoned(5s));
    EXPECT_EQ(CDeviceThread::AbandonedCount(), 0);
    EXPECT_TRUE(watch.expired());
}

TEST(DeviceThread, WaitingOnItselfOnlyDetaches) {
    auto thread = std::make_shared<CDeviceThread>();
    std::promise<CDeviceThread::StopResult> seen;
    auto future = seen.get_future();
    ASSERT_TRUE(thread->Create([&seen, thread] { seen.set_value(thread->WaitForEnd(3000ms)); }));
    thread->Resume();
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(future.get(), CDeviceThread::StopResult::Ended);
    // The thread held the last other reference to its own object; let it finish.
    thread.reset();
    std::this_thread::sleep_for(20ms);
}

TEST(DeviceThread, StackSizeIsAdjustable) {
    const std::size_t before = CDeviceThread::StackSize();
    CDeviceThread::SetStackSize(256 * 1024);
    EXPECT_EQ(CDeviceThread::StackSize(), 256u * 1024u);
    CDeviceThread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Create([&] {
        volatile char scratch[64 * 1024];
        scratch[0] = 1;
        scratch[sizeof scratch - 1] = 1;
        ran = scratch[0] == 1;
    }));
    thread.Resume();
    EXPECT_EQ(thread.WaitForEnd(3000ms), CDeviceThread::StopResult::Ended);
    EXPECT_TRUE(ran);
    CDeviceThread::SetStackSize(before);
}

}  // namespace
}  // namespace zm
