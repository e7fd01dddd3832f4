#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zm {

class CTavDevice;

// Device texts that need the device's link lock, read on a worker thread so that the
// user-interface thread never waits for a link: the list asks for a refresh and shows the
// last text that is ready. `onReady` runs on the worker after new texts arrived; the GUI
// posts itself an update from it.
class CDeviceTextSnapshots {
  public:
    CDeviceTextSnapshots();
    // Waits for a read in progress (at most the device's link time-out).
    ~CDeviceTextSnapshots();
    CDeviceTextSnapshots(const CDeviceTextSnapshots&) = delete;
    CDeviceTextSnapshots& operator=(const CDeviceTextSnapshots&) = delete;

    // Queues a refresh of the items (information keys) of a device; a device already
    // waiting is not queued twice.
    void Request(const std::shared_ptr<CTavDevice>& device, const std::vector<std::string>& items);
    // The last text read for an item, if any.
    std::optional<std::string> Get(const CTavDevice* device, const std::string& item) const;
    // Forgets devices that no longer exist.
    void Prune();

    std::function<void()> onReady;

  private:
    struct Entry {
        std::weak_ptr<CTavDevice> device;
        std::map<std::string, std::string> texts;
    };
    struct Job {
        std::weak_ptr<CTavDevice> device;
        std::vector<std::string> items;
    };

    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::map<const CTavDevice*, Entry> entries_;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace zm
