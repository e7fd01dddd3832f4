// One contract, two dispatchers: the headless server's thread of its own and the desktop
// program's GUI thread. Every case runs against both.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/HeadlessDispatcher.h"
#include "base/AppLogs.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "ui/bridge/QtDispatcher.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using Mode = Dispatcher::TimerMode;
using Clock = std::chrono::steady_clock;

// The headless dispatcher runs by itself; the test thread only waits.
class HeadlessHarness {
  public:
    HeadlessHarness() { dispatcher_.Start(); }
    Dispatcher& D() { return dispatcher_; }
    void OnDispatcher(const std::function<void()>& work) { dispatcher_.Call(work); }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    void Stop() { dispatcher_.Stop(); }

  private:
    HeadlessDispatcher dispatcher_;
};

// The Qt dispatcher runs on the test's own thread, the GUI thread: waiting means running
// its event loop.
class QtHarness {
  public:
    Dispatcher& D() { return dispatcher_; }
    void OnDispatcher(const std::function<void()>& work) { work(); }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > end) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    void Stop() { dispatcher_.Stop(); }

  private:
    QtDispatcher dispatcher_;
};

template <typename Harness>
class DispatcherContract : public ::testing::Test {
  protected:
    // Lets the dispatcher run for a while without a goal.
    void Idle(std::chrono::milliseconds span) {
        h.RunUntil([] { return false; }, span);
    }
    Harness h;
};

using Harnesses = ::testing::Types<HeadlessHarness, QtHarness>;
class HarnessNames {
  public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, HeadlessHarness> ? "Headless" : "Qt";
    }
};
TYPED_TEST_SUITE(DispatcherContract, Harnesses, HarnessNames);

TYPED_TEST(DispatcherContract, PostsFromManyThreadsKeepEachThreadsOrder) {
    constexpr int kThreads = 4;
    constexpr int kEach = 300;
    std::mutex mutex;
    std::map<int, std::vector<int>> seen;
    std::atomic<int> total{0};
    std::atomic<bool> allOnDispatcher{true};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                this->h.D().Post([&, t, i] {
                    if (!this->h.D().IsDispatcherThread()) {
                        allOnDispatcher = false;
                    }
                    std::lock_guard lock(mutex);
                    seen[t].push_back(i);
                    ++total;
                });
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    ASSERT_TRUE(this->h.RunUntil([&] { return total == kThreads * kEach; }, 10s));
    EXPECT_TRUE(allOnDispatcher);
    std::lock_guard lock(mutex);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kEach));
        for (int i = 0; i < kEach; ++i) {
            ASSERT_EQ(seen[t][static_cast<std::size_t>(i)], i) << "thread " << t;
        }
    }
}

TYPED_TEST(DispatcherContract, TaskPostedByATaskRunsAfterItNotInsideIt) {
    std::atomic<bool> firstDone{false}, secondSawFirstDone{false}, secondRan{false};
    this->h.D().Post([&] {
        this->h.D().Post([&] {
            secondSawFirstDone = firstDone.load();
            secondRan = true;
        });
        firstDone = true;
    });
    ASSERT_TRUE(this->h.RunUntil([&] { return secondRan.load(); }, 5s));
    EXPECT_TRUE(secondSawFirstDone);
}

TYPED_TEST(DispatcherContract, RepeatTimerRunsUntilStoppedAndOnceTimerOnce) {
    std::atomic<int> repeat{0}, once{0};
    this->h.OnDispatcher([&] {
        this->h.D().StartTimer(1, 5, Mode::kRepeat, [&] { ++repeat; });
        this->h.D().StartTimer(2, 5, Mode::kOnce, [&] { ++once; });
        EXPECT_TRUE(this->h.D().IsTimerActive(1));
        EXPECT_TRUE(this->h.D().IsTimerActive(2));
    });
    ASSERT_TRUE(this->h.RunUntil([&] { return repeat >= 4; }, 5s));
    EXPECT_EQ(once.load(), 1);
    EXPECT_FALSE(this->h.D().IsTimerActive(2));
    this->h.OnDispatcher([&] {
        EXPECT_TRUE(this->h.D().StopTimer(1));
        EXPECT_FALSE(this->h.D().StopTimer(1));
        EXPECT_FALSE(this->h.D().IsTimerActive(1));
    });
    const int stoppedAt = repeat;
    this->Idle(60ms);
    EXPECT_EQ(repeat.load(), stoppedAt) << "a stopped timer fired";
    EXPECT_EQ(once.load(), 1);
}

TYPED_TEST(DispatcherContract, StartingATimerAgainReplacesItsTask) {
    std::atomic<int> oldTask{0}, newTask{0};
    this->h.OnDispatcher([&] {
        this->h.D().StartTimer(7, 20, Mode::kRepeat, [&] { ++oldTask; });
        this->h.D().StartTimer(7, 5, Mode::kRepeat, [&] { ++newTask; });
    });
    ASSERT_TRUE(this->h.RunUntil([&] { return newTask >= 5; }, 5s));
    EXPECT_EQ(oldTask.load(), 0);
    this->h.OnDispatcher([&] { this->h.D().StopTimer(7); });
}

TYPED_TEST(DispatcherContract, TimerTaskThatPumpsIsNotEnteredAgainButOthersRun) {
    std::atomic<int> depth{0}, deepest{0}, calls{0}, other{0};
    std::atomic<bool> waited{false}, pumped{false};
    this->h.OnDispatcher([&] {
        this->h.D().StartTimer(2, 2, Mode::kRepeat, [&] { ++other; });
        this->h.D().StartTimer(1, 2, Mode::kRepeat, [&] {
            deepest = std::max(deepest.load(), ++depth);
            if (++calls == 1) {
                // A wait that keeps the operator's side alive: other timers go on.
                const int before = other;
                waited = this->h.D().WaitPumping([&] { return other >= before + 5; }, 5000);
                pumped = true;
            }
            --depth;
        });
    });
    ASSERT_TRUE(this->h.RunUntil([&] { return pumped && calls >= 3; }, 10s));
    EXPECT_TRUE(waited);
    EXPECT_EQ(deepest.load(), 1) << "the timer ran inside its own task";
    this->h.OnDispatcher([&] {
        this->h.D().StopTimer(1);
        this->h.D().StopTimer(2);
    });
}

TYPED_TEST(DispatcherContract, TimerStoppedFromItsOwnTaskNeverRunsAgain) {
    std::atomic<int> calls{0};
    this->h.OnDispatcher([&] {
        this->h.D().StartTimer(3, 2, Mode::kRepeat, [&] {
            ++calls;
            this->h.D().StopTimer(3);
        });
    });
    ASSERT_TRUE(this->h.RunUntil([&] { return calls >= 1; }, 5s));
    this->Idle(40ms);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_FALSE(this->h.D().IsTimerActive(3));
}

TYPED_TEST(DispatcherContract, PumpRunsReadyWorkOnlyOnTheDispatcherThread) {
    std::atomic<int> elsewhere{-1};
    std::thread other([&] { elsewhere = this->h.D().Pump(20); });
    other.join();
    EXPECT_EQ(elsewhere.load(), 0);
    std::atomic<bool> ran{false};
    this->h.OnDispatcher([&] {
        EXPECT_TRUE(this->h.D().IsDispatcherThread());
        this->h.D().Post([&] { ran = true; });
        EXPECT_GE(this->h.D().Pump(1000), 1);
        EXPECT_TRUE(ran);
        EXPECT_EQ(this->h.D().Pump(1000), 0);  // nothing ready: back at once, nothing run
    });
}

TYPED_TEST(DispatcherContract, WaitOnTheDispatcherSeesWorkPostedByOtherThreads) {
    std::atomic<bool> arrived{false}, waited{false};
    this->h.OnDispatcher([&] {
        std::thread worker([&] {
            std::this_thread::sleep_for(20ms);
            this->h.D().Post([&] { arrived = true; });
        });
        waited = this->h.D().WaitPumping([&] { return arrived.load(); }, 5000);
        worker.join();
    });
    EXPECT_TRUE(waited);
}

TYPED_TEST(DispatcherContract, ExceptionsAreLoggedAndTheDispatcherGoesOn) {
    test::TempDir dir;
    RunLog().SetFolder(dir.folder());
    RunLog().Open("RunLog", true);
    std::atomic<bool> after{false};
    std::atomic<int> throwingTimer{0};
    this->h.D().Post([] { throw std::runtime_error("sensor <gone>"); });
    this->h.D().Post([] { throw 42; });
    this->h.D().Post([&] { after = true; });
    this->h.OnDispatcher([&] {
        this->h.D().StartTimer(4, 2, Mode::kRepeat, [&] {
            ++throwingTimer;
            throw std::logic_error("timer");
        });
    });
    ASSERT_TRUE(this->h.RunUntil([&] { return after && throwingTimer >= 3; }, 5s));
    this->h.OnDispatcher([&] { this->h.D().StopTimer(4); });
    const std::string log = test::ReadBytes(RunLog().GetPath());
    RunLog().Close();
    EXPECT_NE(log.find("Dispatcher task failed: sensor"), std::string::npos) << log;
    EXPECT_NE(log.find("Dispatcher task failed."), std::string::npos);
    EXPECT_NE(log.find("Dispatcher task failed: timer"), std::string::npos);
}

TYPED_TEST(DispatcherContract, AfterStopNothingRuns) {
    std::atomic<bool> ran{false};
    std::atomic<int> timer{0};
    this->h.OnDispatcher([&] { this->h.D().StartTimer(5, 2, Mode::kRepeat, [&] { ++timer; }); });
    ASSERT_TRUE(this->h.RunUntil([&] { return timer >= 1; }, 5s));
    this->h.Stop();
    const int stoppedAt = timer;
    this->h.D().Post([&] { ran = true; });
    this->h.D().StartTimer(6, 1, Mode::kOnce, [&] { ran = true; });
    this->Idle(40ms);
    EXPECT_FALSE(ran);
    EXPECT_EQ(timer.load(), stoppedAt);
    EXPECT_FALSE(this->h.D().IsTimerActive(5));
}

}  // namespace
}  // namespace zm
