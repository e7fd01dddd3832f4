#include "platform/ServiceNotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace zm::platform {
namespace {

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

// systemd's readiness protocol: one datagram of "KEY=value" lines to the Unix socket that
// NOTIFY_SOCKET names, a path or, after "@", an abstract name. Spoken here directly rather
// than through libsystemd, so that no program linking this library depends on it.
bool Send(const std::string& message) {
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@')) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::strlen(name);
    if (length >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, name, length);
    socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    if (name[0] == '@') {
        address.sun_path[0] = '\0';  // abstract: the name is the bytes after the NUL
    } else {
        ++size;  // with its terminating NUL
    }
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const ssize_t sent = ::sendto(fd, message.data(), message.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), size);
    ::close(fd);
    return sent == static_cast<ssize_t>(message.size());
}

}  // namespace

bool NotifyServiceReady(const std::string& status) {
    return Send("READY=1\nSTATUS=" + OneLine(status));
}

bool NotifyServiceReloading() {
    return Send("RELOADING=1");
}

bool NotifyServiceStatus(const std::string& status) {
    return Send("STATUS=" + OneLine(status));
}

bool NotifyServiceStopping() {
    return Send("STOPPING=1\nSTATUS=Stopping");
}

}  // namespace zm::platform
