#include "device/EventSet.h"

#include <bit>

namespace zm {

void CEventSet::SetMask(uint32_t bits) {
    {
        std::lock_guard lock(m_Mutex);
        if ((m_Bits & bits) == bits) {
            return;
        }
        m_Bits |= bits;
    }
    // Waiters may watch different masks, so all of them must look.
    m_Changed.notify_all();
}

void CEventSet::Reset(unsigned index) {
    std::lock_guard lock(m_Mutex);
    m_Bits &= ~(uint32_t{1} << index);
}

int CEventSet::TakeLowest(uint32_t mask) {
    const uint32_t ready = m_Bits & mask;
    if (ready == 0) {
        return kTimeout;
    }
    const int index = std::countr_zero(ready);
    m_Bits &= ~(uint32_t{1} << index);
    return index;
}

int CEventSet::Wait(uint32_t mask) {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [&] { return (m_Bits & mask) != 0; });
    return TakeLowest(mask);
}

int CEventSet::Wait(uint32_t mask, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_Mutex);
    if (timeout.count() > 0) {
        m_Changed.wait_for(lock, timeout, [&] { return (m_Bits & mask) != 0; });
    }
    return TakeLowest(mask);
}

}  // namespace zm
