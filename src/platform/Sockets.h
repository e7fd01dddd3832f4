#pragma once

// BSD sockets and Windows Sockets 2 behind one set of names. The system's socket headers
// (and pollfd, sockaddr_in, inet_pton, getaddrinfo ...) come with this header; the build
// puts the right SocketApi.h on the include path.
#include "SocketApi.h"

namespace zm::platform {

// Makes the socket library usable for the whole process (Windows Sockets start-up);
// every call after the first is free. False when sockets cannot be used at all.
bool StartSockets();

// A socket that child processes do not inherit; kInvalidSocket on failure.
SocketHandle OpenSocket(int family, int type, int protocol, bool nonBlocking);
// A connection taken from a listening socket, non-blocking and not inherited;
// kInvalidSocket on failure.
SocketHandle AcceptSocket(SocketHandle listening, sockaddr* peer, socklen_t* peerLength);
// 0, or -1 with LastSocketError() set.
int CloseSocket(SocketHandle socket);
bool SetSocketNonBlocking(SocketHandle socket);

// The error of the last failed socket call on this thread, as an errno value (EAGAIN,
// EINPROGRESS, ECONNRESET ...) on every system.
int LastSocketError();
// The call may succeed when repeated: interrupted, or nothing to take or give yet.
bool IsSocketRetry(int error);

// poll(2) over sockets: the number of entries with events, 0 when the time ran out, -1
// with LastSocketError() set.
int PollSockets(pollfd* entries, unsigned count, int timeoutMs);

// The port of a named service in the system's services list, 0 when it has none.
int ServicePort(const char* name, const char* protocol);

// Bytes that a receive would return at once; false on error.
bool SocketBytesWaiting(SocketHandle socket, int& bytes);

}  // namespace zm::platform
