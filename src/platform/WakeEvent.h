#pragma once

#include "platform/Sockets.h"

namespace zm::platform {

// A signal that threads wait for beside their sockets, in the same PollSockets call: once
// signalled it stays readable, so one Signal wakes every waiter, now and later.
class WakeEvent {
  public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // False when the system refused the object (LastSocketError() tells why).
    bool IsValid() const { return handle_ != kInvalidSocket; }
    // Poll it for POLLIN.
    SocketHandle Handle() const { return handle_; }
    void Signal() const;

  private:
    SocketHandle handle_ = kInvalidSocket;
};

}  // namespace zm::platform
