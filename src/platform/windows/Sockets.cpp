#include "platform/Sockets.h"

#include <cerrno>
#include <mutex>

namespace zm::platform {

namespace {

// Windows Sockets numbers and the errno names the callers compare with.
int ErrnoOf(int wsaError) {
    switch (wsaError) {
        case WSAEINTR:
            return EINTR;
        case WSAEBADF:
            return EBADF;
        case WSAEACCES:
            return EACCES;
        case WSAEFAULT:
            return EFAULT;
        case WSAEINVAL:
            return EINVAL;
        case WSAEMFILE:
            return EMFILE;
        case WSAEWOULDBLOCK:
            return EWOULDBLOCK;
        case WSAEINPROGRESS:
            return EINPROGRESS;
        case WSAEALREADY:
            return EALREADY;
        case WSAENOTSOCK:
            return ENOTSOCK;
        case WSAEMSGSIZE:
            return EMSGSIZE;
        case WSAEADDRINUSE:
            return EADDRINUSE;
        case WSAEADDRNOTAVAIL:
            return EADDRNOTAVAIL;
        case WSAENETDOWN:
            return ENETDOWN;
        case WSAENETUNREACH:
            return ENETUNREACH;
        case WSAECONNABORTED:
            return ECONNABORTED;
        case WSAECONNRESET:
            return ECONNRESET;
        case WSAENOBUFS:
            return ENOBUFS;
        case WSAEISCONN:
            return EISCONN;
        case WSAENOTCONN:
            return ENOTCONN;
        case WSAETIMEDOUT:
            return ETIMEDOUT;
        case WSAECONNREFUSED:
            return ECONNREFUSED;
        case WSAEHOSTUNREACH:
            return EHOSTUNREACH;
        default:
            return wsaError;
    }
}

}  // namespace

bool StartSockets() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

SocketHandle OpenSocket(int family, int type, int protocol, bool nonBlocking) {
    StartSockets();
    SocketHandle s = WSASocketW(family, type, protocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s != kInvalidSocket && nonBlocking && !SetSocketNonBlocking(s)) {
        closesocket(s);
        return kInvalidSocket;
    }
    return s;
}

SocketHandle AcceptSocket(SocketHandle listening, sockaddr* peer, socklen_t* peerLength) {
    SocketHandle s = accept(listening, peer, peerLength);
    if (s != kInvalidSocket && !SetSocketNonBlocking(s)) {
        closesocket(s);
        return kInvalidSocket;
    }
    return s;
}

int CloseSocket(SocketHandle socket) {
    return closesocket(socket) == 0 ? 0 : -1;
}

bool SetSocketNonBlocking(SocketHandle socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

int LastSocketError() {
    return ErrnoOf(WSAGetLastError());
}

bool IsSocketRetry(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int PollSockets(pollfd* entries, unsigned count, int timeoutMs) {
    return WSAPoll(entries, count, timeoutMs);
}

int ServicePort(const char* name, const char* protocol) {
    StartSockets();
    const servent* found = getservbyname(name, protocol);
    return found != nullptr ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}

bool SocketBytesWaiting(SocketHandle socket, int& bytes) {
    u_long waiting = 0;
    if (ioctlsocket(socket, FIONREAD, &waiting) != 0)
        return false;
    bytes = static_cast<int>(waiting);
    return true;
}

}  // namespace zm::platform
