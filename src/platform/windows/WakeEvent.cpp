#include "platform/WakeEvent.h"

namespace zm::platform {

// WSAPoll takes sockets only: a loopback datagram socket that sends itself one datagram,
// never read, stays readable from then on.
WakeEvent::WakeEvent() {
    handle_ = OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP, true);
    if (handle_ == kInvalidSocket)
        return;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    if (bind(handle_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        getsockname(handle_, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
        connect(handle_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0) {
        CloseSocket(handle_);
        handle_ = kInvalidSocket;
    }
}

WakeEvent::~WakeEvent() {
    if (handle_ != kInvalidSocket)
        CloseSocket(handle_);
}

void WakeEvent::Signal() const {
    const char one = 1;
    send(handle_, &one, 1, 0);
}

}  // namespace zm::platform
