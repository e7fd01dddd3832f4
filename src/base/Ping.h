#pragma once

#include <cstdint>
#include <string>

namespace zm {

// Echo parameters of Ping and of the TCP link's reachability check.
inline constexpr int kPingTtl = 54;
inline constexpr int kPingDataSize = 32;

// The public web host CheckInternet asks; a name, so that a failing name service also
// counts as no Internet access.
inline constexpr const char* kInternetCheckHost = "www.google.com";
inline constexpr int kInternetCheckTimeOutMs = 500;
inline constexpr int kInternetCheckAttempts = 5;

enum class PingStatus {
    Success,
    Unavailable,    // echo cannot be sent from this process at all
    ResolveFailed,  // the name did not resolve
    TimedOut,
    BadReply,  // wrong size or content
    Error,     // the system refused (see nError)
};

struct PingReply {
    PingStatus status = PingStatus::Error;
    std::string sAddress;       // the replying address
    std::uint32_t nTimeMs = 0;  // round trip
    int nError = 0;             // errno for Error
};

// One ICMP echo with nDataSize bytes of "E"; true on a valid reply. pReply may be null.
bool PingOnce(const std::string& sHost, PingReply* pReply, int nTtl, int nTimeOutMs, int nDataSize);

// Up to nAttempts echoes (time-to-live 54, 32 bytes), stopping at the first success.
// Stops at once when the name does not resolve or echo is unavailable.
bool Ping(const std::string& sHost, int nTimeOutMs, int nAttempts);

// Ping of kInternetCheckHost, 500 ms, 5 attempts: blocks up to 2.5 s.
bool CheckInternet();

// Whether this process can send echo requests at all; without it every ping fails.
bool IsPingAvailable();

}  // namespace zm
