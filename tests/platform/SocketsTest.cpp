#include "platform/Sockets.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "platform/WakeEvent.h"

namespace zm::platform {
namespace {

// A loopback port that nobody listens on: bound, never listened, so it stays taken.
struct UnusedPort {
    SocketHandle holder = OpenSocket(AF_INET, SOCK_STREAM, 0, false);
    sockaddr_in address{};
    UnusedPort() {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
    }
    ~UnusedPort() { CloseSocket(holder); }
};

// Callers compare the error with errno names on every system; a refused connection must
// read as ECONNREFUSED once the non-blocking connect has run its course.
TEST(Sockets, RefusedConnectReportsErrnoNames) {
    ASSERT_TRUE(StartSockets());
    UnusedPort port;
    SocketHandle s = OpenSocket(AF_INET, SOCK_STREAM, 0, true);
    ASSERT_NE(s, kInvalidSocket);
    int rc = ::connect(s, reinterpret_cast<const sockaddr*>(&port.address), sizeof port.address);
    int error = rc == 0 ? 0 : LastSocketError();
    if (rc != 0 && error == EINPROGRESS) {
        pollfd entry{s, POLLOUT, 0};
        ASSERT_EQ(PollSockets(&entry, 1, 2000), 1);
        socklen_t length = sizeof error;
        ASSERT_EQ(::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length),
                  0);
    }
    EXPECT_EQ(error, ECONNREFUSED);
    EXPECT_FALSE(IsSocketRetry(error));
    EXPECT_TRUE(IsSocketRetry(EWOULDBLOCK));
    EXPECT_EQ(CloseSocket(s), 0);
}

TEST(Sockets, AcceptedConnectionDoesNotBlockAndCountsWaitingBytes) {
    ASSERT_TRUE(StartSockets());
    SocketHandle listening = OpenSocket(AF_INET, SOCK_STREAM, 0, false);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(listening, 1), 0);
    SocketHandle client = OpenSocket(AF_INET, SOCK_STREAM, 0, false);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    SocketHandle served = AcceptSocket(listening, nullptr, nullptr);
    ASSERT_NE(served, kInvalidSocket);

    char byte = 0;
    EXPECT_LT(::recv(served, &byte, 1, 0), 0) << "an accepted socket must never block";
    EXPECT_TRUE(IsSocketRetry(LastSocketError()));
    ASSERT_EQ(::send(client, "abc", 3, kSendNoSignal), 3);
    pollfd entry{served, POLLIN, 0};
    ASSERT_EQ(PollSockets(&entry, 1, 2000), 1);
    int waiting = 0;
    ASSERT_TRUE(SocketBytesWaiting(served, waiting));
    EXPECT_EQ(waiting, 3);

    for (SocketHandle s : {served, client, listening})
        CloseSocket(s);
}

// One signal must wake every waiter, including those that start waiting afterwards.
TEST(WakeEvent, OneSignalWakesEveryWaiterNowAndLater) {
    WakeEvent wake;
    ASSERT_TRUE(wake.IsValid());
    pollfd entry{wake.Handle(), POLLIN, 0};
    EXPECT_EQ(PollSockets(&entry, 1, 0), 0);

    int woken = 0;
    std::thread waiter([&] {
        pollfd mine{wake.Handle(), POLLIN, 0};
        woken = PollSockets(&mine, 1, 5000);
    });
    wake.Signal();
    waiter.join();
    EXPECT_EQ(woken, 1);
    for (int i = 0; i < 3; ++i) {
        entry.revents = 0;
        EXPECT_EQ(PollSockets(&entry, 1, 0), 1);
        EXPECT_TRUE(entry.revents & POLLIN);
    }
}

}  // namespace
}  // namespace zm::platform
