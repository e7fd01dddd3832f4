#include "platform/IcmpEcho.h"
#include "platform/ProcessInfo.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zm::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxDataSize = 65500;
constexpr std::uint8_t kFill = 0x45;

std::atomic<bool> g_bAllowed{true};
std::atomic<std::uint16_t> g_nSequence{0};

// Closes the descriptor when the request ends, whichever way.
struct FdGuard {
    int fd = -1;
    ~FdGuard() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::uint16_t Checksum(const std::uint8_t* p, size_t n) {
    std::uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2) {
        sum += static_cast<std::uint32_t>(p[0] << 8 | p[1]);
    }
    if (n == 1) {
        sum += static_cast<std::uint32_t>(p[0] << 8);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

// The socket kind in use: datagram (kernel keeps the identifier and filters replies)
// or raw (we see every ICMP packet, with its IP header).
int OpenEchoSocket(bool& bRaw, int& nErrno) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        bRaw = false;
        return fd;
    }
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        bRaw = true;
        return fd;
    }
    nErrno = errno;
    return -1;
}

}  // namespace

ResolveResult SystemNameLookup(const std::string& sHost) {
    ResolveResult r;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* pList = nullptr;
    r.nGaiError = ::getaddrinfo(sHost.c_str(), nullptr, &hints, &pList);
    r.nErrno = errno;
    if (r.nGaiError == 0 && pList != nullptr) {
        r.status = ResolveStatus::Ok;
        r.nAddress = reinterpret_cast<const sockaddr_in*>(pList->ai_addr)->sin_addr.s_addr;
    } else if (r.nGaiError == EAI_NONAME || r.nGaiError == EAI_NODATA ||
               r.nGaiError == EAI_FAMILY || r.nGaiError == 0) {
        r.status = ResolveStatus::NotFound;
    } else if (r.nGaiError == EAI_AGAIN) {
        r.status = ResolveStatus::TryAgain;
    }
    if (pList != nullptr) {
        ::freeaddrinfo(pList);
    }
    return r;
}

void SetIcmpEchoAllowed(bool bAllowed) {
    g_bAllowed = bAllowed;
}

bool IcmpEchoAvailable() {
    if (!g_bAllowed) {
        return false;
    }
    bool bRaw = false;
    int nErrno = 0;
    FdGuard sock{OpenEchoSocket(bRaw, nErrno)};
    return sock.fd >= 0;
}

IcmpEchoResult IcmpEcho(const std::string& sHost, int nTtl, int nTimeOutMs, int nDataSize) {
    const Clock::time_point begin = Clock::now();
    IcmpEchoResult result;
    if (!g_bAllowed) {
        result.status = IcmpEchoStatus::Unavailable;
        return result;
    }
    if (nDataSize < 0 || nDataSize > kMaxDataSize || nTtl < 1 || nTtl > 255) {
        result.nErrno = EINVAL;
        return result;
    }
    bool bRaw = false;
    FdGuard sock{OpenEchoSocket(bRaw, result.nErrno)};
    if (sock.fd < 0) {
        result.status = (result.nErrno == EACCES || result.nErrno == EPERM)
                            ? IcmpEchoStatus::Unavailable
                            : IcmpEchoStatus::Error;
        return result;
    }
    // Only now: a process that cannot send echo at all should hear that, whatever the host.
    const ResolveResult resolved = ResolveIpv4(sHost, nTimeOutMs);
    if (resolved.status != ResolveStatus::Ok) {
        result.status = IcmpEchoStatus::ResolveFailed;
        return result;
    }
    in_addr target{};
    target.s_addr = resolved.nAddress;
    if (::setsockopt(sock.fd, IPPROTO_IP, IP_TTL, &nTtl, sizeof nTtl) != 0) {
        result.nErrno = errno;
        return result;
    }

    const std::uint16_t nSeq = ++g_nSequence;
    // A raw socket sees the echo traffic of every process: the identifier tells ours.
    const std::uint16_t nId = static_cast<std::uint16_t>(::getpid() ^ (nSeq << 7));
    std::vector<std::uint8_t> request(sizeof(icmphdr) + static_cast<size_t>(nDataSize), kFill);
    icmphdr header{};
    header.type = ICMP_ECHO;
    header.un.echo.id = htons(nId);
    header.un.echo.sequence = htons(nSeq);
    std::memcpy(request.data(), &header, sizeof header);
    const std::uint16_t nSum = Checksum(request.data(), request.size());
    request[2] = static_cast<std::uint8_t>(nSum >> 8);
    request[3] = static_cast<std::uint8_t>(nSum & 0xFF);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    const Clock::time_point start = Clock::now();
    if (::sendto(sock.fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0) {
        result.nErrno = errno;
        return result;
    }

    const Clock::time_point deadline = begin + std::chrono::milliseconds(std::max(nTimeOutMs, 0));
    std::vector<std::uint8_t> reply(request.size() + 60 + 8);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{sock.fd, POLLIN, 0};
        const int rc = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0) {
            result.nErrno = errno;
            return result;
        }
        if (rc == 0) {
            result.status = IcmpEchoStatus::TimedOut;
            return result;
        }
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(sock.fd, reply.data(), reply.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            // A datagram socket reports ICMP errors (unreachable, TTL exceeded) here.
            result.nErrno = errno;
            return result;
        }
        size_t nOffset = 0;
        if (bRaw) {
            if (n < static_cast<ssize_t>(sizeof(iphdr))) {
                continue;
            }
            nOffset = static_cast<size_t>((reply[0] & 0x0F) * 4);
        }
        if (static_cast<size_t>(n) < nOffset + sizeof(icmphdr)) {
            continue;
        }
        icmphdr got{};
        std::memcpy(&got, reply.data() + nOffset, sizeof got);
        if (got.type != ICMP_ECHOREPLY || ntohs(got.un.echo.sequence) != nSeq ||
            (bRaw && (ntohs(got.un.echo.id) != nId || from.sin_addr.s_addr != target.s_addr))) {
            continue;  // someone else's traffic, or our own request on loopback
        }
        const size_t nData = static_cast<size_t>(n) - nOffset - sizeof(icmphdr);
        const std::uint8_t* pData = reply.data() + nOffset + sizeof(icmphdr);
        if (nData != static_cast<size_t>(nDataSize) ||
            !std::all_of(pData, pData + nData, [](std::uint8_t b) { return b == kFill; })) {
            result.status = IcmpEchoStatus::BadReply;
            return result;
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        result.status = IcmpEchoStatus::Success;
        result.sAddress = text;
        result.nTimeMs = static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        return result;
    }
}

}  // namespace zm::platform
