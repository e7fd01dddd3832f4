#include "app/DeviceGate.h"

#include <chrono>

namespace zm {

void CDeviceGate::SetSink(DeviceEventSink* sink) {
    std::lock_guard lock(mutex_);
    if (sink_ == nullptr) {
        sink_ = sink;
    }
}

void CDeviceGate::ClearSink(DeviceEventSink* sink) {
    {
        std::lock_guard lock(mutex_);
        if (sink_ != sink) {
            return;
        }
        sink_ = nullptr;
    }
    // A handler that is inside runs on the sink: it must be out before the sink is freed.
    WaitIdle(nullptr);
}

void CDeviceGate::PassEvent(Handler handler, CTavDevice* device) {
    DeviceEventSink* sink;
    {
        // The count and the check are one step: whoever closes the gate afterwards sees
        // this handler counted.
        std::lock_guard lock(mutex_);
        if (sink_ == nullptr || closing_.load()) {
            return;
        }
        sink = sink_;
        busy_.fetch_add(1);
    }
    struct Leave {
        CDeviceGate& gate;
        ~Leave() {
            std::lock_guard lock(gate.mutex_);
            if (gate.busy_.fetch_sub(1) == 1) {
                gate.idle_.notify_all();
            }
        }
    } leave{*this};
    (sink->*handler)(device);
}

bool CDeviceGate::CloseGate() {
    {
        std::lock_guard lock(mutex_);
        closing_.store(true);
    }
    const int limitMs = kCloseChecks * kCloseCheckMs;
    return WaitIdle(&limitMs);
}

bool CDeviceGate::WaitIdle(const int* limitMs) {
    std::unique_lock lock(mutex_);
    const auto idle = [this] { return busy_.load() == 0; };
    if (limitMs == nullptr) {
        idle_.wait(lock, idle);
        return true;
    }
    return idle_.wait_for(lock, std::chrono::milliseconds(*limitMs), idle);
}

}  // namespace zm
