#include "app/DeviceGate.h"

#include <chrono>
#include <thread>

namespace zm {

void CDeviceGate::SetSink(DeviceEventSink* sink) {
    DeviceEventSink* expected = nullptr;
    sink_.compare_exchange_strong(expected, sink);
}

void CDeviceGate::ClearSink(DeviceEventSink* sink) {
    DeviceEventSink* expected = sink;
    sink_.compare_exchange_strong(expected, nullptr);
}

void CDeviceGate::PassEvent(Handler handler, CTavDevice* device) {
    // Counted before the closing flag is read: a handler that saw the gate open is then
    // always seen by CloseGate, which sets the flag before it reads the count.
    busy_.fetch_add(1);
    DeviceEventSink* sink = sink_.load();
    if (sink != nullptr && !closing_.load()) {
        (sink->*handler)(device);
    }
    busy_.fetch_sub(1);
}

bool CDeviceGate::CloseGate() {
    closing_.store(true);
    for (int i = 0; i < kCloseChecks; ++i) {
        if (busy_.load() == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kCloseCheckMs));
    }
    return busy_.load() == 0;
}

}  // namespace zm
