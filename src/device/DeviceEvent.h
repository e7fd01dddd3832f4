#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

namespace zm {

class CTavDevice;

// One event of a device with its subscriber list. A handler is a subscriber object and
// a member operation taking the device; the newest handler is called first. The list
// is guarded by the device's event lock, which is also held while the event is raised,
// so once Unsubscribe returns the handler is not running and will not run again.
class CDeviceEvent {
  public:
    using Handler = std::function<void(CTavDevice*)>;

    explicit CDeviceEvent(std::recursive_mutex& eventLock) : m_Lock(eventLock) {}
    CDeviceEvent(const CDeviceEvent&) = delete;
    CDeviceEvent& operator=(const CDeviceEvent&) = delete;

    template <class T>
    void Subscribe(T* subscriber, void (T::*handler)(CTavDevice*)) {
        Add(subscriber, KeyOf(handler),
            [subscriber, handler](CTavDevice* device) { (subscriber->*handler)(device); });
    }
    template <class T>
    void Unsubscribe(T* subscriber, void (T::*handler)(CTavDevice*)) {
        Remove(subscriber, KeyOf(handler));
    }

    // A handler known by its owner alone (for subscribers that are not member operations).
    void Subscribe(const void* owner, Handler handler) { Add(owner, {}, std::move(handler)); }
    // Removes every handler of the owner, whatever its operation.
    void UnsubscribeAll(const void* owner);

    std::size_t Count() const;

    // Calls every handler, newest first. Only the device's event thread raises events.
    void Raise(CTavDevice* device);

  private:
    struct Entry {
        const void* owner;
        std::string key;  // identity of the member operation; empty for plain handlers
        Handler fn;
    };

    template <class F>
    static std::string KeyOf(F handler) {
        std::string key(typeid(F).name());
        key.append(reinterpret_cast<const char*>(&handler), sizeof handler);
        return key;
    }
    void Add(const void* owner, std::string key, Handler fn);
    void Remove(const void* owner, const std::string& key);

    std::recursive_mutex& m_Lock;
    std::vector<Entry> m_Entries;  // newest first
};

}  // namespace zm
