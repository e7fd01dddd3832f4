#include "links/FdWait.h"

#include <algorithm>
#include <cerrno>

namespace zm::links {

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

int WaitFd(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const int ms = MsLeft(deadline);
        pollfd pfd{fd, events, 0};
        const int rc = platform::PollSockets(&pfd, 1, ms);
        if (rc > 0) {
            return pfd.revents;
        }
        if (rc == 0) {
            if (ms == 0) {
                return 0;
            }
            continue;  // woke a little early; the deadline decides
        }
        if (platform::LastSocketError() != EINTR) {
            return -1;
        }
    }
}

}  // namespace zm::links
