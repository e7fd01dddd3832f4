#pragma once

#include <cstdint>
#include <string>

namespace zm::platform {

enum class IcmpEchoStatus {
    Success,        // a valid reply arrived
    Unavailable,    // this process may open neither an ICMP datagram nor a raw socket
    ResolveFailed,  // the host name did not resolve
    TimedOut,       // no reply within the time-out
    BadReply,       // a reply with the wrong size or content
    Error,          // the system refused the request (nErrno tells why)
};

struct IcmpEchoResult {
    IcmpEchoStatus status = IcmpEchoStatus::Error;
    std::string sAddress;       // the replying address, dotted
    std::uint32_t nTimeMs = 0;  // round trip
    int nErrno = 0;             // for Error
};

// One ICMP echo request to an IPv4 host (dotted address or name) with the given
// time-to-live and nDataSize data bytes, each 0x45 ("E"); waits at most nTimeOutMs for a
// reply whose size and content match. Uses an unprivileged ICMP datagram socket when
// net.ipv4.ping_group_range admits our group, else a raw socket when permitted.
// Name resolution failure returns at once. Thread-safe.
IcmpEchoResult IcmpEcho(const std::string& sHost, int nTtl, int nTimeOutMs, int nDataSize);

// Whether this process can send echo requests at all.
bool IcmpEchoAvailable();

// Process-wide switch for hosts where echo is filtered or must not be used: when off,
// every request reports Unavailable. On by default.
void SetIcmpEchoAllowed(bool bAllowed);

}  // namespace zm::platform
