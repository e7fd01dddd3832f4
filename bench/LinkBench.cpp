// Request/answer round trips through the serial link (pseudo-terminal) and the TCP link
// (loopback), each against an echoing peer thread: how soon a read returns once the
// answer is there. A wrong answer fails the benchmark.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "links/ComPortLink.h"
#include "links/TcpIpLink.h"

namespace {

constexpr int kFrame = 16;

// Echoes whatever arrives on fd until stop is set.
void EchoLoop(int fd, const std::atomic<bool>& stop) {
    char buf[256];
    while (!stop) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) {
            return;
        }
        if (::write(fd, buf, static_cast<size_t>(n)) != n) {
            return;
        }
    }
}

template <class Link>
void RoundTrips(benchmark::State& state, Link& link) {
    std::uint8_t request[kFrame];
    for (int i = 0; i < kFrame; ++i) {
        request[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (auto _ : state) {
        std::int32_t nSent = 0;
        if (!link.Write(request, kFrame, nSent, 0)) {
            state.SkipWithError("write failed");
            return;
        }
        std::uint8_t answer[kFrame];
        std::int32_t nGot = 0;
        std::int32_t nTotal = 0;
        while (nTotal < kFrame) {
            if (!link.Read(answer + nTotal, kFrame - nTotal, nGot, 1000)) {
                state.SkipWithError("read failed");
                return;
            }
            nTotal += nGot;
        }
        if (std::memcmp(answer, request, kFrame) != 0) {
            state.SkipWithError("wrong answer");
            return;
        }
    }
}

void BM_SerialRoundTrip(benchmark::State& state) {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("openpty failed");
        return;
    }
    ::close(slave);
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    zm::CComPortLink link;
    zm::ComPortSettings s;
    s.sPortName = name;
    s.nBaudRate = 115200;
    if (!link.Open(s)) {
        state.SkipWithError("open failed");
        ::close(master);
        return;
    }
    std::atomic<bool> stop{false};
    std::thread peer(EchoLoop, master, std::cref(stop));
    RoundTrips(state, link);
    stop = true;
    peer.join();
    link.Close();
    ::close(master);
}
BENCHMARK(BM_SerialRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_TcpRoundTrip(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 4);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);

    std::atomic<bool> stop{false};
    std::thread peer([&] {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd >= 0) {
            EchoLoop(fd, stop);
            ::close(fd);
        }
    });
    zm::CTcpIpLink link;
    zm::XSocketSettings s;
    s.sAddress = "127.0.0.1";
    s.nPort = ntohs(a.sin_port);
    s.nTimeOut = 1000;
    if (link.Open(s)) {
        RoundTrips(state, link);
    } else {
        state.SkipWithError("open failed");
    }
    stop = true;
    link.Close();
    ::shutdown(listener, SHUT_RDWR);
    peer.join();
    ::close(listener);
}
BENCHMARK(BM_TcpRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
