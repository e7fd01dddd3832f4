#include "links/XSocket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>

#include "links/FdWait.h"
#include "links/SysError.h"
#include "platform/IcmpEcho.h"
#include "platform/Sockets.h"

namespace zm {

namespace {

using links::Clock;
using links::MsLeft;
using links::WaitFd;

// Used when neither the call nor the settings give a usable time-out.
constexpr int kFallbackTimeOutMs = 1000;

struct ErrnoCode {
    int nErrno;
    std::int32_t nCode;
};

// errno values and the Windows Sockets numbers stored for them.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},       {EMFILE, 10024},
    {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {ENOBUFS, 10055},
    {EISCONN, 10056},         {ENOTCONN, 10057},     {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},
    {ELOOP, 10062},           {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
};

// Name service failures, stored like their Windows Sockets counterparts.
constexpr std::int32_t kCodeTryAgain = 11002;
constexpr std::int32_t kCodeNoRecovery = 11003;

std::int32_t CodeFromLookup(const platform::ResolveResult& r) {
    switch (r.status) {
        case platform::ResolveStatus::Ok:
            return kSockNoError;
        case platform::ResolveStatus::NotFound:
            return kSockWsaHostNotFound;
        case platform::ResolveStatus::TryAgain:
            return kCodeTryAgain;
        case platform::ResolveStatus::Failed:
            break;
    }
    if (r.nGaiError == EAI_SYSTEM && r.nErrno != 0) {
        return CXSocket::CodeFromErrno(r.nErrno);
    }
    return kCodeNoRecovery;
}

bool IsTransient(int nErrno) {
    return nErrno == EAGAIN || nErrno == EWOULDBLOCK || nErrno == EINTR || nErrno == ENOBUFS;
}

}  // namespace

std::int32_t CXSocket::CodeFromErrno(int nErrno) {
    const auto* it = std::find_if(std::begin(kErrnoCodes), std::end(kErrnoCodes),
                                  [nErrno](const ErrnoCode& e) { return e.nErrno == nErrno; });
    return it != std::end(kErrnoCodes) ? it->nCode : -nErrno;
}

std::string CXSocket::GetErrorText(std::int32_t nCode) {
    switch (nCode) {
        case kSockNoError:
            return std::string();
        case kSockTimedOut:
            return "Communication timed out";
        case kSockAborted:
            return "Connection aborted";
        case kSockNoMoreData:
            return "No more data(?)";
        case kSockError:
            return "Socket error";
        case kSockWsaHostNotFound:
            return ::gai_strerror(EAI_NONAME);
        case kCodeTryAgain:
            return ::gai_strerror(EAI_AGAIN);
        case kCodeNoRecovery:
            return ::gai_strerror(EAI_FAIL);
        default:
            break;
    }
    if (nCode < 0) {
        return SysErrorText(-nCode);
    }
    const auto* it = std::find_if(std::begin(kErrnoCodes), std::end(kErrnoCodes),
                                  [nCode](const ErrnoCode& e) { return e.nCode == nCode; });
    if (it != std::end(kErrnoCodes)) {
        return SysErrorText(it->nErrno);
    }
    return SysErrorText(nCode);
}

CXSocket::~CXSocket() {
    Close();
}

std::int32_t CXSocket::TimeOut(std::int32_t nTimeOutMs) const {
    // A non-positive time-out would otherwise mean "forever" in the elapsed-time tests.
    if (nTimeOutMs > 0) {
        return nTimeOutMs;
    }
    return m_settings.nTimeOut > 0 ? m_settings.nTimeOut : kFallbackTimeOutMs;
}

bool CXSocket::Connect() {
    m_nLastError = kSockNoError;
    if (m_fd >= 0) {
        Close();
    }
    const int nType = m_settings.bDatagram ? SOCK_DGRAM : SOCK_STREAM;
    const int nProtocol = m_settings.bDatagram ? IPPROTO_UDP : IPPROTO_TCP;
    platform::StartSockets();
    m_fd = platform::OpenSocket(AF_INET, nType, nProtocol, true);
    if (m_fd < 0) {
        m_nLastError = CodeFromErrno(platform::LastSocketError());
        return false;
    }
    auto fail = [this](std::int32_t nCode) {
        platform::CloseSocket(m_fd);
        m_fd = -1;
        m_nLastError = nCode;
        return false;
    };
    if (m_settings.nPort < 0 || m_settings.nPort > 65535) {
        return fail(CodeFromErrno(EINVAL));
    }

    // Name lookup and connection share one time-out: neither an unreachable name server
    // nor a host that drops the connection request may hold the caller longer.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(TimeOut(0));
    const platform::ResolveResult resolved = platform::ResolveIpv4(m_settings.sAddress, TimeOut(0));
    if (resolved.status != platform::ResolveStatus::Ok) {
        return fail(CodeFromLookup(resolved));
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = resolved.nAddress;
    to.sin_port = htons(static_cast<std::uint16_t>(m_settings.nPort));

    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        const int nError = platform::LastSocketError();
        if (nError != EINPROGRESS && nError != EINTR) {
            return fail(CodeFromErrno(nError));
        }
        const int revents = WaitFd(m_fd, POLLOUT, deadline);
        if (revents == 0) {
            return fail(kSockWsaTimedOut);
        }
        if (revents < 0) {
            return fail(CodeFromErrno(platform::LastSocketError()));
        }
        int nSoError = 0;
        socklen_t len = sizeof nSoError;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nSoError), &len) !=
            0) {
            return fail(CodeFromErrno(platform::LastSocketError()));
        }
        if (nSoError != 0) {
            return fail(CodeFromErrno(nSoError));
        }
    }
    return true;
}

bool CXSocket::Send(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
                    std::int32_t nTimeOutMs) {
    nSent = 0;
    if (m_fd < 0) {
        m_nLastError = CodeFromErrno(ENOTCONN);
        return false;
    }
    if (pData == nullptr || nCount < 0) {
        m_nLastError = CodeFromErrno(EINVAL);
        return false;
    }
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(TimeOut(nTimeOutMs));
    for (;;) {
        const auto n = ::send(m_fd, reinterpret_cast<const char*>(pData),
                              static_cast<size_t>(nCount), platform::kSendNoSignal);
        if (n >= 0) {
            // Fewer than nCount accepted still counts; the remainder is not sent.
            nSent = static_cast<std::int32_t>(n);
            m_nLastError = kSockNoError;
            return true;
        }
        const int nErrno = platform::LastSocketError();
        // Only a full buffer is worth waiting for; a broken connection stays broken.
        if (!IsTransient(nErrno) || MsLeft(deadline) == 0) {
            m_nLastError = CodeFromErrno(nErrno);
            return false;
        }
        if (WaitFd(m_fd, POLLOUT, deadline) < 0) {
            m_nLastError = CodeFromErrno(platform::LastSocketError());
            return false;
        }
    }
}

bool CXSocket::Receive(std::uint8_t* pBuffer, std::int32_t nSize, std::int32_t& nReceived,
                       std::int32_t nTimeOutMs) {
    nReceived = 0;
    if (m_fd < 0) {
        m_nLastError = CodeFromErrno(ENOTCONN);
        return false;
    }
    if (pBuffer == nullptr || nSize <= 0) {
        m_nLastError = CodeFromErrno(EINVAL);
        return false;
    }
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(TimeOut(nTimeOutMs));
    for (;;) {
        int nWaiting = 0;
        if (!platform::SocketBytesWaiting(m_fd, nWaiting)) {
            m_nLastError = CodeFromErrno(platform::LastSocketError());
            break;  // read at once; the read tells what is wrong
        }
        if (nWaiting > 0) {
            break;
        }
        const int revents = WaitFd(m_fd, POLLIN, deadline);
        if (revents == 0) {
            return false;  // time-out: the last error stays as it was
        }
        if (revents < 0) {
            m_nLastError = CodeFromErrno(platform::LastSocketError());
            return false;
        }
        if (revents & POLLERR) {
            break;  // the read collects the pending error
        }
        if (platform::SocketBytesWaiting(m_fd, nWaiting) && nWaiting == 0) {
            // Readable with nothing waiting: the peer has closed its side. Waiting out
            // the time-out would only hide a dead connection.
            char probe = 0;
            const auto n = ::recv(m_fd, &probe, 1, MSG_PEEK | platform::kReceiveNoWait);
            if (n == 0) {
                m_nLastError = kSockAborted;
                return false;
            }
            if (n < 0 && !IsTransient(platform::LastSocketError())) {
                m_nLastError = CodeFromErrno(platform::LastSocketError());
                return false;
            }
        }
    }
    const auto n = ::recv(m_fd, reinterpret_cast<char*>(pBuffer), static_cast<size_t>(nSize),
                          platform::kReceiveNoWait);
    if (n < 0) {
        m_nLastError = CodeFromErrno(platform::LastSocketError());
        return false;
    }
    if (n == 0) {
        m_nLastError = kSockAborted;
        return false;
    }
    m_nLastError = kSockNoError;
    nReceived = static_cast<std::int32_t>(n);
    return true;
}

void CXSocket::Close() {
    if (m_fd < 0) {
        return;
    }
    // Taking in what the peer already sent lets the close end with a FIN rather than a
    // reset that could discard our last request at the peer.
    if (::shutdown(m_fd, platform::kShutdownSend) == 0) {
        char buf[512];
        while (::recv(m_fd, buf, sizeof buf, platform::kReceiveNoWait) > 0) {
        }
    }
    platform::CloseSocket(m_fd);
    m_fd = -1;
}

}  // namespace zm
