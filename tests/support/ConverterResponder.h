#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/Loopback.h"

namespace zm::test {

// Stands in for serial-to-Ethernet converters on loopback: waits (bounded) for one
// discovery request on its own port and answers it with scripted datagrams, each from a
// loopback address and port of its own.
class ConverterResponder {
  public:
    struct Reply {
        std::string sFrom;  // 127.x.y.z
        int nFromPort;
        std::size_t nBytes;
    };

    explicit ConverterResponder(std::vector<Reply> replies)
        : requests_(SOCK_DGRAM), replies_(std::move(replies)) {
        for (const Reply& r : replies_) {
            senders_.push_back(Bind(r.sFrom, r.nFromPort));
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~ConverterResponder() {
        thread_.join();
        for (int fd : senders_) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    ConverterResponder(const ConverterResponder&) = delete;
    ConverterResponder& operator=(const ConverterResponder&) = delete;

    int port() const { return requests_.port(); }
    // Whether every scripted sender could bind its address and port.
    bool SendersReady() const {
        for (int fd : senders_) {
            if (fd < 0) {
                return false;
            }
        }
        return requests_.fd() >= 0;
    }
    // The bytes of the request received (empty while none came).
    std::vector<std::uint8_t> Request() const {
        thread_done_.wait(false);
        return request_;
    }

  private:
    static int Bind(const std::string& address, int port) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            if (fd >= 0) {
                close(fd);
            }
            return -1;
        }
        return fd;
    }
    void Serve() {
        pollfd p{requests_.fd(), POLLIN, 0};
        if (requests_.fd() >= 0 && poll(&p, 1, 5000) == 1) {
            std::uint8_t buffer[256];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = recvfrom(requests_.fd(), buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&from), &len);
            if (n > 0) {
                request_.assign(buffer, buffer + n);
                for (std::size_t i = 0; i < replies_.size(); ++i) {
                    if (senders_[i] >= 0) {
                        std::vector<std::uint8_t> body(replies_[i].nBytes, 'C');
                        sendto(senders_[i], body.data(), body.size(), 0,
                               reinterpret_cast<sockaddr*>(&from), len);
                    }
                }
            }
        }
        thread_done_ = true;
        thread_done_.notify_all();
    }

    LoopbackSocket requests_;
    std::vector<Reply> replies_;
    std::vector<int> senders_;
    std::vector<std::uint8_t> request_;
    std::atomic<bool> thread_done_{false};
    std::thread thread_;
};

}  // namespace zm::test
