#include "base/Ping.h"

#include "platform/IcmpEcho.h"

namespace zm {

namespace {

PingStatus FromEcho(platform::IcmpEchoStatus status) {
    using platform::IcmpEchoStatus;
    switch (status) {
        case IcmpEchoStatus::Success:
            return PingStatus::Success;
        case IcmpEchoStatus::Unavailable:
            return PingStatus::Unavailable;
        case IcmpEchoStatus::ResolveFailed:
            return PingStatus::ResolveFailed;
        case IcmpEchoStatus::TimedOut:
            return PingStatus::TimedOut;
        case IcmpEchoStatus::BadReply:
            return PingStatus::BadReply;
        case IcmpEchoStatus::Error:
            break;
    }
    return PingStatus::Error;
}

}  // namespace

bool PingOnce(const std::string& sHost, PingReply* pReply, int nTtl, int nTimeOutMs,
              int nDataSize) {
    const platform::IcmpEchoResult echo = platform::IcmpEcho(sHost, nTtl, nTimeOutMs, nDataSize);
    if (pReply) {
        pReply->status = FromEcho(echo.status);
        pReply->sAddress = echo.sAddress;
        pReply->nTimeMs = echo.nTimeMs;
        pReply->nError = echo.nErrno;
    }
    return echo.status == platform::IcmpEchoStatus::Success;
}

bool Ping(const std::string& sHost, int nTimeOutMs, int nAttempts) {
    for (int i = 0; i < nAttempts; ++i) {
        PingReply reply;
        if (PingOnce(sHost, &reply, kPingTtl, nTimeOutMs, kPingDataSize)) {
            return true;
        }
        // Repeating cannot help these, and a caller may be waiting on us.
        if (reply.status == PingStatus::ResolveFailed || reply.status == PingStatus::Unavailable) {
            return false;
        }
    }
    return false;
}

bool CheckInternet() {
    return Ping(kInternetCheckHost, kInternetCheckTimeOutMs, kInternetCheckAttempts);
}

bool IsPingAvailable() {
    return platform::IcmpEchoAvailable();
}

}  // namespace zm
