#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zm::test {

// A socket of `type` (SOCK_STREAM or SOCK_DGRAM, optionally | SOCK_NONBLOCK) bound to
// 127.0.0.1 on a port the kernel picks; fd() is -1 and port() 0 when that failed.
class LoopbackSocket {
  public:
    explicit LoopbackSocket(int type) {
        fd_ = socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
            Close();
            return;
        }
        port_ = ntohs(sa.sin_port);
    }
    ~LoopbackSocket() { Close(); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
    int fd() const { return fd_; }
    int port() const { return port_; }

  private:
    void Close() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    int fd_ = -1;
    int port_ = 0;
};

// A TCP port on 127.0.0.1 that was free a moment ago (the kernel picks it).
inline int FreeTcpPort() {
    return LoopbackSocket(SOCK_STREAM).port();
}

// A TCP connection to 127.0.0.1:port; -1 (errno from connect) when there is none.
inline int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Standard output of curl for one request, bounded by maxSeconds.
inline std::string CurlGet(const std::string& url, int maxSeconds = 5) {
    const std::string command =
        "curl -s --max-time " + std::to_string(maxSeconds) + " '" + url + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

}  // namespace zm::test
