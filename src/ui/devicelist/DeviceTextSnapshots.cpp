#include "ui/devicelist/DeviceTextSnapshots.h"

#include <algorithm>

#include "device/TavDevice.h"

namespace zm {

CDeviceTextSnapshots::CDeviceTextSnapshots() : worker_([this] { Run(); }) {}

CDeviceTextSnapshots::~CDeviceTextSnapshots() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

void CDeviceTextSnapshots::Request(const std::shared_ptr<CTavDevice>& device,
                                   const std::vector<std::string>& items) {
    if (!device || items.empty()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        bool waiting = std::any_of(queue_.begin(), queue_.end(),
                                   [&](const Job& job) { return job.device.lock() == device; });
        if (waiting) {
            return;
        }
        queue_.push_back({device, items});
    }
    wake_.notify_one();
}

std::optional<std::string> CDeviceTextSnapshots::Get(const CTavDevice* device,
                                                     const std::string& item) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(device);
    if (it == entries_.end() || it->second.device.expired()) {
        return std::nullopt;
    }
    auto text = it->second.texts.find(item);
    if (text == it->second.texts.end()) {
        return std::nullopt;
    }
    return text->second;
}

void CDeviceTextSnapshots::Prune() {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [](const auto& e) { return e.second.device.expired(); });
}

void CDeviceTextSnapshots::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        std::shared_ptr<CTavDevice> device = job.device.lock();
        if (!device) {
            continue;
        }
        // The reads may wait for the device's link; nothing else waits for them.
        std::map<std::string, std::string> texts;
        for (const std::string& item : job.items) {
            texts[item] = device->GetInfoText(item);
        }
        bool changed = false;
        {
            std::lock_guard lock(mutex_);
            Entry& entry = entries_[device.get()];
            if (entry.device.expired() || entry.device.lock() != device) {
                entry = {device, {}};
            }
            for (auto& [item, text] : texts) {
                auto [slot, added] = entry.texts.try_emplace(item, text);
                if (added || slot->second != text) {
                    changed = true;
                    slot->second = std::move(text);
                }
            }
        }
        device.reset();
        if (changed && onReady) {
            onReady();
        }
    }
}

}  // namespace zm
