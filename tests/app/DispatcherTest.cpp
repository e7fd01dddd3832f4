#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "app/HeadlessDispatcher.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using Mode = Dispatcher::TimerMode;

// Waits (bounded) for a condition that another thread makes true.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(HeadlessDispatcher, RunsPostedTasksInOrderOnItsOwnThread) {
    HeadlessDispatcher d;
    std::mutex m;
    std::vector<int> order;
    std::atomic<bool> onDispatcher{true};
    // Posted from two threads before and after the start: each thread's order is kept.
    for (int i = 0; i < 50; ++i) {
        d.Post([&, i] {
            onDispatcher = onDispatcher && d.IsDispatcherThread();
            std::lock_guard lock(m);
            order.push_back(i);
        });
    }
    d.Start();
    std::thread other([&] {
        for (int i = 50; i < 100; ++i) {
            d.Post([&, i] {
                std::lock_guard lock(m);
                order.push_back(i);
            });
        }
    });
    other.join();
    ASSERT_TRUE(d.Call([] {}));
    EXPECT_FALSE(d.IsDispatcherThread());
    EXPECT_TRUE(onDispatcher);
    std::lock_guard lock(m);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[i], i);
    }
}

TEST(HeadlessDispatcher, TimersFireOnceOrRepeatUntilStopped) {
    HeadlessDispatcher d;
    d.Start();
    std::atomic<int> once{0}, repeat{0};
    d.Call([&] {
        d.StartTimer(1, 10, Mode::kOnce, [&] { ++once; });
        d.StartTimer(2, 5, Mode::kRepeat, [&] { ++repeat; });
    });
    ASSERT_TRUE(Eventually([&] { return repeat >= 5; }));
    EXPECT_FALSE(d.IsTimerActive(1));
    EXPECT_EQ(once.load(), 1);
    EXPECT_TRUE(d.IsTimerActive(2));
    d.Call([&] { EXPECT_TRUE(d.StopTimer(2)); });
    const int seen = repeat;
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(repeat.load(), seen) << "a stopped timer fired";
    EXPECT_FALSE(d.StopTimer(2));
}

TEST(HeadlessDispatcher, RestartingATimerReplacesIt) {
    HeadlessDispatcher d;
    d.Start();
    std::atomic<int> first{0}, second{0};
    d.Call([&] {
        d.StartTimer(7, 20, Mode::kOnce, [&] { ++first; });
        d.StartTimer(7, 20, Mode::kOnce, [&] { ++second; });
    });
    ASSERT_TRUE(Eventually([&] { return second == 1; }));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(first.load(), 0);
    EXPECT_EQ(second.load(), 1);
}

TEST(HeadlessDispatcher, TimerStoppedInItsOwnTaskDoesNotComeBack) {
    HeadlessDispatcher d;
    d.Start();
    std::atomic<int> runs{0};
    d.Call([&] {
        d.StartTimer(3, 2, Mode::kRepeat, [&] {
            ++runs;
            d.StopTimer(3);
        });
    });
    ASSERT_TRUE(Eventually([&] { return runs >= 1; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(runs.load(), 1);
}

TEST(HeadlessDispatcher, PumpRunsReadyWorkInsideATaskButNotItsOwnTimer) {
    HeadlessDispatcher d;
    d.Start();
    std::vector<std::string> seen;
    std::atomic<int> timerRuns{0};
    int pumpedElsewhere = -1;
    d.Call([&] {
        d.Post([&] { seen.push_back("posted"); });
        seen.push_back("before pump");
        EXPECT_EQ(d.Pump(50), 1);
        seen.push_back("after pump");
        // A repeating timer whose task pumps must not run nested inside itself.
        d.StartTimer(9, 1, Mode::kRepeat, [&] {
            const int depth = ++timerRuns;
            std::this_thread::sleep_for(3ms);
            d.Pump(20);
            if (depth == 1) {
                d.StopTimer(9);
            }
        });
    });
    std::thread([&] { pumpedElsewhere = d.Pump(10); }).join();
    EXPECT_EQ(pumpedElsewhere, 0) << "Pump ran work outside the dispatcher thread";
    ASSERT_TRUE(Eventually([&] { return !d.IsTimerActive(9); }));
    EXPECT_EQ(timerRuns.load(), 1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "before pump");
    EXPECT_EQ(seen[1], "posted");
    EXPECT_EQ(seen[2], "after pump");
}

TEST(HeadlessDispatcher, WaitPumpingKeepsTasksRunning) {
    HeadlessDispatcher d;
    d.Start();
    bool ok = false;
    d.Call([&] {
        bool flag = false;
        d.Post([&] { flag = true; });
        ok = d.WaitPumping([&] { return flag; }, 2000);
    });
    EXPECT_TRUE(ok);
}

TEST(HeadlessDispatcher, StopDropsQueuedWorkAndLaterPosts) {
    auto d = std::make_unique<HeadlessDispatcher>();
    d->Start();
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<int> ran{0};
    d->Post([released] { released.wait(); });
    d->Post([&] { ++ran; });
    std::thread stopper([&] { d->Stop(); });
    std::this_thread::sleep_for(20ms);
    release.set_value();
    stopper.join();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_FALSE(d->IsRunning());
    d->Post([&] { ++ran; });
    EXPECT_FALSE(d->Call([&] { ++ran; }));
    EXPECT_EQ(ran.load(), 0);
}

TEST(HeadlessDispatcher, AThrowingTaskDoesNotEndTheThread) {
    HeadlessDispatcher d;
    d.Start();
    d.Post([] { throw std::runtime_error("boom"); });
    bool after = false;
    EXPECT_TRUE(d.Call([&] { after = true; }));
    EXPECT_TRUE(after);
}

}  // namespace
}  // namespace zm
