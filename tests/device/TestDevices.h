#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/TavDevice.h"

namespace zm::test {

// Records every event of one device: which, on which thread, what the device held then,
// and whether two handlers ever ran at the same time.
class EventRecorder {
  public:
    enum Kind { kData, kState, kTrack };
    struct Record {
        Kind kind;
        std::thread::id thread;
        double value;
        int dataStatus;
        int deviceStatus;
    };

    explicit EventRecorder(CTavDevice& device) : m_Device(device) {
        device.NewDataEvent.Subscribe(this, &EventRecorder::OnData);
        device.NewStateEvent.Subscribe(this, &EventRecorder::OnState);
        device.NewTrackEvent.Subscribe(this, &EventRecorder::OnTrack);
    }
    ~EventRecorder() {
        m_Device.NewDataEvent.UnsubscribeAll(this);
        m_Device.NewStateEvent.UnsubscribeAll(this);
        m_Device.NewTrackEvent.UnsubscribeAll(this);
    }

    std::vector<Record> Records() const {
        std::lock_guard lock(m_Mutex);
        return m_Records;
    }
    int Count(Kind kind) const {
        std::lock_guard lock(m_Mutex);
        int n = 0;
        for (const Record& r : m_Records) {
            n += r.kind == kind ? 1 : 0;
        }
        return n;
    }
    // Waits until at least `n` events of the kind arrived; false on time-out.
    bool WaitFor(Kind kind, int n, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, limit, [&] {
            int seen = 0;
            for (const Record& r : m_Records) {
                seen += r.kind == kind ? 1 : 0;
            }
            return seen >= n;
        });
    }
    bool Overlapped() const { return m_Overlap.load(); }

  private:
    void Note(Kind kind, CTavDevice* device) {
        if (m_Inside.fetch_add(1) != 0) {
            m_Overlap = true;
        }
        // Linger a little so that a second handler running at once would be seen.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        Record r{kind, std::this_thread::get_id(), device->GetValue(), device->GetDataStatus(),
                 device->GetStatus()};
        {
            std::lock_guard lock(m_Mutex);
            m_Records.push_back(r);
        }
        m_Changed.notify_all();
        m_Inside.fetch_sub(1);
    }
    void OnData(CTavDevice* device) { Note(kData, device); }
    void OnState(CTavDevice* device) { Note(kState, device); }
    void OnTrack(CTavDevice* device) { Note(kTrack, device); }

    CTavDevice& m_Device;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::vector<Record> m_Records;
    std::atomic<int> m_Inside{0};
    std::atomic<bool> m_Overlap{false};
};

// A configuration for a generic device on the given link type.
inline TavDeviceCfg CfgFor(const std::string& linkType, bool scanning) {
    TavDeviceCfg cfg;
    cfg.sName = "Unit";
    cfg.sLinkType = linkType;
    cfg.bScanning = scanning;
    return cfg;
}

}  // namespace zm::test
