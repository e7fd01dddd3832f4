#include "platform/IcmpEcho.h"

#include "platform/Sockets.h"

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

namespace zm::platform {

namespace {

constexpr int kMaxDataSize = 65500;
constexpr char kFill = 0x45;

std::atomic<bool> g_bAllowed{true};

}  // namespace

ResolveResult SystemNameLookup(const std::string& sHost) {
    StartSockets();
    ResolveResult r;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* pList = nullptr;
    r.nGaiError = ::getaddrinfo(sHost.c_str(), nullptr, &hints, &pList);
    r.nErrno = LastSocketError();
    if (r.nGaiError == 0 && pList != nullptr) {
        r.status = ResolveStatus::Ok;
        r.nAddress = reinterpret_cast<const sockaddr_in*>(pList->ai_addr)->sin_addr.s_addr;
    } else if (r.nGaiError == EAI_NONAME || r.nGaiError == WSANO_DATA ||
               r.nGaiError == EAI_FAMILY || r.nGaiError == 0) {
        r.status = ResolveStatus::NotFound;
    } else if (r.nGaiError == EAI_AGAIN) {
        r.status = ResolveStatus::TryAgain;
    }
    if (pList != nullptr)
        ::freeaddrinfo(pList);
    return r;
}

void SetIcmpEchoAllowed(bool bAllowed) {
    g_bAllowed = bAllowed;
}

// ICMP.DLL's echo needs no rights of its own.
bool IcmpEchoAvailable() {
    if (!g_bAllowed)
        return false;
    HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE)
        return false;
    IcmpCloseHandle(icmp);
    return true;
}

IcmpEchoResult IcmpEcho(const std::string& sHost, int nTtl, int nTimeOutMs, int nDataSize) {
    IcmpEchoResult result;
    if (!g_bAllowed) {
        result.status = IcmpEchoStatus::Unavailable;
        return result;
    }
    if (nDataSize < 0 || nDataSize > kMaxDataSize || nTtl < 1 || nTtl > 255) {
        result.nErrno = EINVAL;
        return result;
    }
    HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) {
        result.status = IcmpEchoStatus::Unavailable;
        return result;
    }
    const ResolveResult resolved = ResolveIpv4(sHost, nTimeOutMs);
    if (resolved.status != ResolveStatus::Ok) {
        IcmpCloseHandle(icmp);
        result.status = IcmpEchoStatus::ResolveFailed;
        return result;
    }
    std::vector<char> request(static_cast<size_t>(nDataSize), kFill);
    std::vector<char> reply(sizeof(ICMP_ECHO_REPLY) + request.size() + 8 + 64);
    IP_OPTION_INFORMATION options{};
    options.Ttl = static_cast<UCHAR>(nTtl);
    const DWORD count = IcmpSendEcho2(icmp, nullptr, nullptr, nullptr, resolved.nAddress,
                                      request.data(), static_cast<WORD>(request.size()), &options,
                                      reply.data(), static_cast<DWORD>(reply.size()),
                                      static_cast<DWORD>(std::max(nTimeOutMs, 1)));
    const DWORD error = count == 0 ? GetLastError() : 0;
    IcmpCloseHandle(icmp);
    if (count == 0) {
        result.status =
            error == IP_REQ_TIMED_OUT ? IcmpEchoStatus::TimedOut : IcmpEchoStatus::Error;
        result.nErrno = static_cast<int>(error);
        return result;
    }
    const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    if (echo->Status == IP_REQ_TIMED_OUT) {
        result.status = IcmpEchoStatus::TimedOut;
        return result;
    }
    in_addr from{};
    from.s_addr = echo->Address;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from, text, sizeof text);
    result.sAddress = text;
    result.nTimeMs = echo->RoundTripTime;
    const bool sameData = echo->Status == IP_SUCCESS && echo->DataSize == request.size() &&
                          (request.empty() || std::equal(request.begin(), request.end(),
                                                         static_cast<const char*>(echo->Data)));
    result.status = sameData ? IcmpEchoStatus::Success : IcmpEchoStatus::BadReply;
    return result;
}

}  // namespace zm::platform
