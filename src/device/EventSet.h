#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zm {

// A small set of auto-reset events (at most 32) that threads wait on, one or several at a
// time. Signals are not counted: setting an event that is already set changes nothing.
// A wait that finds several events of its mask set takes the one with the lowest index
// and resets only that one, so events are served in index order.
class CEventSet {
  public:
    static constexpr int kTimeout = -1;

    void Set(unsigned index) { SetMask(uint32_t{1} << index); }
    void SetMask(uint32_t bits);
    void Reset(unsigned index);

    // Waits until one event of the mask is set; returns its index (and resets it).
    int Wait(uint32_t mask);
    // As above, but gives kTimeout when nothing of the mask is set within the time-out.
    // A time-out of zero only looks.
    int Wait(uint32_t mask, std::chrono::milliseconds timeout);

  private:
    int TakeLowest(uint32_t mask);

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    uint32_t m_Bits = 0;
};

}  // namespace zm
