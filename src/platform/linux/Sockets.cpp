#include "platform/Sockets.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace zm::platform {

bool StartSockets() {
    return true;
}

SocketHandle OpenSocket(int family, int type, int protocol, bool nonBlocking) {
    return ::socket(family, type | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), protocol);
}

SocketHandle AcceptSocket(SocketHandle listening, sockaddr* peer, socklen_t* peerLength) {
    return ::accept4(listening, peer, peerLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

int CloseSocket(SocketHandle socket) {
    return ::close(socket);
}

bool SetSocketNonBlocking(SocketHandle socket) {
    const int flags = ::fcntl(socket, F_GETFL, 0);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) >= 0;
}

int LastSocketError() {
    return errno;
}

bool IsSocketRetry(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int PollSockets(pollfd* entries, unsigned count, int timeoutMs) {
    return ::poll(entries, static_cast<nfds_t>(count), timeoutMs);
}

int ServicePort(const char* name, const char* protocol) {
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (getservbyname_r(name, protocol, &entry, buffer, sizeof buffer, &found) == 0 &&
        found != nullptr) {
        return ntohs(static_cast<uint16_t>(found->s_port));
    }
    return 0;
}

bool SocketBytesWaiting(SocketHandle socket, int& bytes) {
    return ::ioctl(socket, FIONREAD, &bytes) == 0;
}

}  // namespace zm::platform
