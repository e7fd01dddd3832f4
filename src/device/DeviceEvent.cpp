#include "device/DeviceEvent.h"

#include <algorithm>

namespace zm {

void CDeviceEvent::Add(const void* owner, std::string key, Handler fn) {
    std::lock_guard lock(m_Lock);
    m_Entries.insert(m_Entries.begin(), Entry{owner, std::move(key), std::move(fn)});
}

void CDeviceEvent::Remove(const void* owner, const std::string& key) {
    std::lock_guard lock(m_Lock);
    auto it = std::find_if(m_Entries.begin(), m_Entries.end(),
                           [&](const Entry& e) { return e.owner == owner && e.key == key; });
    if (it != m_Entries.end()) {
        m_Entries.erase(it);
    }
}

void CDeviceEvent::UnsubscribeAll(const void* owner) {
    std::lock_guard lock(m_Lock);
    std::erase_if(m_Entries, [&](const Entry& e) { return e.owner == owner; });
}

std::size_t CDeviceEvent::Count() const {
    std::lock_guard lock(m_Lock);
    return m_Entries.size();
}

void CDeviceEvent::Raise(CTavDevice* device) {
    std::lock_guard lock(m_Lock);
    if (m_Entries.empty()) {
        return;
    }
    // A handler may subscribe or unsubscribe (the lock is re-entrant): walk a copy.
    const std::vector<Entry> entries = m_Entries;
    for (const Entry& e : entries) {
        e.fn(device);
    }
}

}  // namespace zm
