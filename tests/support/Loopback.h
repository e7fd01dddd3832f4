#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace zm::test {

// A socket of `type` (SOCK_STREAM, SOCK_DGRAM, optionally | SOCK_NONBLOCK) bound to
// 127.0.0.1 on a port the kernel picks, and that port; -1 when that failed.
inline int BindLoopback(int type, int* port) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(sa.sin_port);
    return fd;
}

// A TCP port on 127.0.0.1 that was free a moment ago (the kernel picks it).
inline int FreeTcpPort() {
    int port = 0;
    const int fd = BindLoopback(SOCK_STREAM, &port);
    if (fd >= 0) {
        close(fd);
    }
    return port;
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
