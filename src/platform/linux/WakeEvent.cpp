#include "platform/WakeEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zm::platform {

// An eventfd stays readable once written, until someone reads it; nobody does.
WakeEvent::WakeEvent() : handle_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
    if (handle_ != kInvalidSocket)
        ::close(handle_);
}

void WakeEvent::Signal() const {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(handle_, &one, sizeof one);
}

}  // namespace zm::platform
