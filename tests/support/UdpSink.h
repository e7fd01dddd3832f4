#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/Loopback.h"

namespace zm::test {

// A UDP socket on 127.0.0.1 that keeps every datagram it was sent.
class UdpSink {
  public:
    int port() const { return socket_.port(); }
    // Reads what has arrived so far (waiting at most waitMs for the first datagram).
    void Drain(int waitMs) {
        pollfd p{socket_.fd(), POLLIN, 0};
        while (poll(&p, 1, waitMs) > 0) {
            char buffer[65536];
            ssize_t n = recv(socket_.fd(), buffer, sizeof buffer, 0);
            if (n < 0) {
                break;
            }
            datagrams.emplace_back(buffer, static_cast<size_t>(n));
            waitMs = 0;
        }
    }
    bool Has(const std::function<bool(const std::string&)>& match) const {
        for (const auto& d : datagrams) {
            if (match(d)) {
                return true;
            }
        }
        return false;
    }
    // Waits (bounded) for a datagram that matches.
    bool WaitFor(const std::function<bool(const std::string&)>& match,
                 std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        do {
            Drain(100);
            if (Has(match)) {
                return true;
            }
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    std::vector<std::string> datagrams;

  private:
    LoopbackSocket socket_{SOCK_DGRAM};
};

}  // namespace zm::test
