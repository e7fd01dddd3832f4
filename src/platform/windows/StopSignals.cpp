#include "platform/StopSignals.h"

#include "platform/Sockets.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

// Ctrl-C, Ctrl-Break, closing the console, logging off and shutting down arrive through
// the console control handler, on a thread of the system's.
namespace zm::platform {

namespace {

std::mutex g_mutex;
std::condition_variable g_arrived;
int g_pending = 0;
SocketHandle g_readable = kInvalidSocket;
SocketHandle g_writable = kInvalidSocket;

BOOL WINAPI OnControl(DWORD) {
    {
        std::lock_guard lock(g_mutex);
        ++g_pending;
    }
    g_arrived.notify_all();
    if (g_writable != kInvalidSocket) {
        const char byte = 1;
        send(g_writable, &byte, 1, 0);
    }
    return TRUE;
}

}  // namespace

void HoldStopSignals() {
    SetConsoleCtrlHandler(&OnControl, TRUE);
}

// The reload request comes as the service's control code, not as a console event.
StopSignal WaitForStopSignal() {
    std::unique_lock lock(g_mutex);
    g_arrived.wait(lock, [] { return g_pending > 0; });
    --g_pending;
    return StopSignal::kStop;
}

// A loopback datagram socket pair: what the event loop can watch on Windows.
int StopSignalsAsReadableHandle() {
    if (g_readable != kInvalidSocket)
        return static_cast<int>(g_readable);
    SocketHandle reader = OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP, true);
    SocketHandle writer = OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP, true);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (reader == kInvalidSocket || writer == kInvalidSocket ||
        bind(reader, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(reader, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(writer, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (reader != kInvalidSocket)
            CloseSocket(reader);
        if (writer != kInvalidSocket)
            CloseSocket(writer);
        return -1;
    }
    g_readable = reader;
    g_writable = writer;
    SetConsoleCtrlHandler(&OnControl, TRUE);
    return static_cast<int>(g_readable);
}

void DrainStopSignals(int handle) {
    char bytes[16];
    while (recv(static_cast<SocketHandle>(handle), bytes, sizeof bytes, 0) > 0) {
    }
}

}  // namespace zm::platform
