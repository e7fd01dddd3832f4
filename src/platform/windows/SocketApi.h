#pragma once

// Windows Sockets 2; platform/Sockets.h is the only file that includes this one.
#include <winsock2.h>
#include <ws2tcpip.h>

namespace zm::platform {

using SocketHandle = SOCKET;
inline constexpr SocketHandle kInvalidSocket = INVALID_SOCKET;
// Windows Sockets never raise SIGPIPE.
inline constexpr int kSendNoSignal = 0;
inline constexpr int kShutdownSend = SD_SEND;
// Every socket of the program is non-blocking already.
inline constexpr int kReceiveNoWait = 0;

}  // namespace zm::platform
