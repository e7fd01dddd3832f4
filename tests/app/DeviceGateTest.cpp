#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "app/DeviceGate.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

class SlowSink : public DeviceEventSink {
  public:
    std::atomic<int> states{0};
    std::atomic<int> data{0};
    std::atomic<bool> inside{false};
    std::chrono::milliseconds hold{0};
    std::shared_future<void> release;  // when valid, held until it is set
    void OnDeviceNewState(CTavDevice*) override {
        inside = true;
        if (release.valid()) {
            release.wait();
        }
        std::this_thread::sleep_for(hold);
        ++states;
        inside = false;
    }
    void OnDeviceNewData(CTavDevice*) override { ++data; }
};

TEST(DeviceGate, PassesEventsOnlyWithASinkAndWhileOpen) {
    CDeviceGate gate;
    SlowSink sink;
    gate.PassEvent(&DeviceEventSink::OnDeviceNewData, nullptr);
    EXPECT_EQ(sink.data.load(), 0);
    gate.SetSink(&sink);
    SlowSink other;
    gate.SetSink(&other);  // the first sink stays
    gate.PassEvent(&DeviceEventSink::OnDeviceNewData, nullptr);
    gate.PassEvent(&DeviceEventSink::OnDeviceNewState, nullptr);
    EXPECT_EQ(sink.data.load(), 1);
    EXPECT_EQ(sink.states.load(), 1);
    EXPECT_EQ(other.data.load(), 0);
    EXPECT_TRUE(gate.CloseGate());
    gate.PassEvent(&DeviceEventSink::OnDeviceNewData, nullptr);
    EXPECT_EQ(sink.data.load(), 1) << "an event passed a closed gate";
    EXPECT_EQ(gate.Busy(), 0);
}

TEST(DeviceGate, ClosingWaitsForARunningHandler) {
    CDeviceGate gate;
    SlowSink sink;
    sink.hold = 300ms;
    gate.SetSink(&sink);
    std::thread device([&] { gate.PassEvent(&DeviceEventSink::OnDeviceNewState, nullptr); });
    while (!sink.inside) {
        std::this_thread::sleep_for(1ms);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(gate.CloseGate());
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(sink.states.load(), 1) << "closing returned while the handler still ran";
    EXPECT_LT(waited, 1900ms);
    device.join();
}

TEST(DeviceGate, ClosingGivesUpAfterTwoSeconds) {
    CDeviceGate gate;
    SlowSink sink;
    std::promise<void> release;
    sink.release = release.get_future().share();
    gate.SetSink(&sink);
    std::thread device([&] { gate.PassEvent(&DeviceEventSink::OnDeviceNewState, nullptr); });
    while (!sink.inside) {
        std::this_thread::sleep_for(1ms);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(gate.CloseGate());
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1900ms);
    EXPECT_EQ(gate.Busy(), 1);
    release.set_value();
    device.join();
    EXPECT_EQ(gate.Busy(), 0);
}

// The sink's owner is going away: ClearSink must not return while a handler still runs on
// the sink, however long it takes.
TEST(DeviceGate, ClearingTheSinkWaitsForTheHandlerInside) {
    CDeviceGate gate;
    auto sink = std::make_unique<SlowSink>();
    std::promise<void> release;
    sink->release = release.get_future().share();
    gate.SetSink(sink.get());
    std::thread device([&] { gate.PassEvent(&DeviceEventSink::OnDeviceNewState, nullptr); });
    while (!sink->inside) {
        std::this_thread::sleep_for(1ms);
    }
    std::atomic<bool> cleared{false};
    std::thread owner([&] {
        gate.ClearSink(sink.get());
        cleared = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(cleared.load()) << "ClearSink returned while a handler ran on the sink";
    release.set_value();
    owner.join();
    EXPECT_EQ(sink->states.load(), 1);
    sink.reset();                                                 // what the owner does next
    gate.PassEvent(&DeviceEventSink::OnDeviceNewState, nullptr);  // nothing left to reach
    device.join();
}

}  // namespace
}  // namespace zm
