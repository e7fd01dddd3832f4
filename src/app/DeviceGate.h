#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace zm {

class CTavDevice;

// The side that device events are routed to: the main window's handlers. They run on the
// raising device's event thread and must not wait for the dispatcher thread.
class DeviceEventSink {
  public:
    virtual ~DeviceEventSink() = default;
    virtual void OnDeviceNewState(CTavDevice* device) = 0;
    virtual void OnDeviceNewData(CTavDevice* device) = 0;
    virtual void OnDeviceNewTrack(CTavDevice* device) { (void)device; }
};

// The gate between device event threads and the main window. Open from the moment a sink
// is set until CloseGate; never opened again.
class CDeviceGate {
  public:
    using Handler = void (DeviceEventSink::*)(CTavDevice*);

    static constexpr int kCloseChecks = 200;  // at most 2 s ...
    static constexpr int kCloseCheckMs = 10;  // ... checked every 10 ms

    // Sets the sink unless one is set already.
    void SetSink(DeviceEventSink* sink);
    // Clears the sink when it is this one (its owner is going away) and waits, without a
    // limit, until no handler runs any more: the owner may then go. Handlers never wait
    // for the owner's thread, so the wait ends.
    void ClearSink(DeviceEventSink* sink);

    // Calls the sink's handler with the device, unless there is no sink or the gate is
    // closing; the event is then dropped without trace.
    void PassEvent(Handler handler, CTavDevice* device);

    // Closes the gate and waits up to 2 s for handlers still running; true when none is.
    bool CloseGate();

    bool IsClosing() const { return closing_.load(); }
    int Busy() const { return busy_.load(); }

  private:
    // Waits until busy is 0, at most `limit` (none: no limit); true when it is.
    bool WaitIdle(const int* limitMs);

    std::mutex mutex_;  // the sink and the count change together
    std::condition_variable idle_;
    DeviceEventSink* sink_ = nullptr;
    std::atomic<bool> closing_{false};
    std::atomic<int> busy_{0};
};

}  // namespace zm
