#pragma once

// The BSD socket headers; platform/Sockets.h is the only file that includes this one.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace zm::platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
// A send to a peer that has gone away returns an error instead of raising SIGPIPE.
inline constexpr int kSendNoSignal = MSG_NOSIGNAL;
// shutdown(): no more sends.
inline constexpr int kShutdownSend = SHUT_WR;
// A receive that returns at once even on a blocking socket.
inline constexpr int kReceiveNoWait = MSG_DONTWAIT;

}  // namespace zm::platform
