#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

enum class ResolveStatus {
    Ok,
    NotFound,  // the name does not exist (or has no IPv4 address)
    TryAgain,  // the name service did not answer, or not within the time-out
    Failed,    // any other failure of the lookup
};

struct ResolveResult {
    ResolveStatus status = ResolveStatus::Failed;
    std::uint32_t nAddress = 0;  // IPv4 address in network byte order
    int nGaiError = 0;           // the lookup's own code, when it ended
    int nErrno = 0;              // for a system failure of the lookup
};

// The first IPv4 address of a dotted address or host name. A lookup that takes longer
// than nTimeOutMs is left to finish in the background and reported as TryAgain, so that
// an unreachable name server cannot hold the caller. A name whose lookup still runs is
// not looked up again: the caller waits for the running one. At most kMaxNameLookups
// names are looked up at once; beyond that the answer is TryAgain at once. Thread-safe.
ResolveResult ResolveIpv4(const std::string& sHost, int nTimeOutMs);

inline constexpr size_t kMaxNameLookups = 16;

// The lookup ResolveIpv4 runs for a name: the system's (getaddrinfo) unless another is
// set; an empty function sets the system's again. Tests use it for a name service that
// hangs, which no test may ask of a real network.
using NameLookup = std::function<ResolveResult(const std::string& sHost)>;
void SetNameLookup(NameLookup lookup);
ResolveResult SystemNameLookup(const std::string& sHost);
// Names being looked up now.
int NameLookupsRunning();

// One ICMP echo request to an IPv4 host (dotted address or name) with the given
// time-to-live and nDataSize data bytes, each 0x45 ("E"); waits at most nTimeOutMs for a
// reply whose size and content match; the name lookup counts towards that time. Uses an
// unprivileged ICMP datagram socket when net.ipv4.ping_group_range admits our group, else a raw
// socket when permitted. Name resolution failure returns at once. Thread-safe.
IcmpEchoResult IcmpEcho(const std::string& sHost, int nTtl, int nTimeOutMs, int nDataSize);

// Whether this process can send echo requests at all.
bool IcmpEchoAvailable();

// Process-wide switch for hosts where echo is filtered or must not be used: when off,
// every request reports Unavailable. On by default.
void SetIcmpEchoAllowed(bool bAllowed);

}  // namespace zm::platform
