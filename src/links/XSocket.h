#pragma once

#include <cstdint>
#include <string>

#include "links/DeviceLink.h"

namespace zm {

// Last-error codes of the socket. Operating-system failures are stored as the matching
// Windows Sockets numbers (10000 and above, e.g. 10061 connection refused, 10060 timed
// out, 11001 host not found) so that stored diagnostics read the same everywhere;
// an errno without such a number is stored negated.
enum XSocketError : std::int32_t {
    kSockNoError = 0,
    kSockTimedOut = 1,
    kSockAborted = 2,
    kSockNoMoreData = 3,
    kSockError = 4,
    kSockWsaTimedOut = 10060,
    kSockWsaRefused = 10061,
    kSockWsaHostNotFound = 11001,
};

// A small TCP client with time-outs. After the connection is made the socket is
// non-blocking; sends retry and reads wait until the time-out. Used by one thread at a
// time.
class CXSocket {
  public:
    CXSocket() = default;
    virtual ~CXSocket();
    CXSocket(const CXSocket&) = delete;
    CXSocket& operator=(const CXSocket&) = delete;

    // Connects to the configured address and port, bounded by the configured time-out.
    bool Connect();
    // Graceful close: shut down sending, drain what the peer still sends, close.
    void Close();
    bool IsValid() const { return m_fd >= 0; }
    // nTimeOutMs 0 means the configured time-out. nSent is what the socket accepted.
    bool Send(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
              std::int32_t nTimeOutMs);
    // A time-out leaves the last error unchanged.
    bool Receive(std::uint8_t* pBuffer, std::int32_t nSize, std::int32_t& nReceived,
                 std::int32_t nTimeOutMs);

    // How long a Receive asked with this time-out waits (0 = the configured one).
    std::int32_t ReadTimeOut(std::int32_t nTimeOutMs) const { return TimeOut(nTimeOutMs); }

    std::int32_t GetLastError() const { return m_nLastError; }
    void SetLastError(std::int32_t nCode) { m_nLastError = nCode; }
    static std::string GetErrorText(std::int32_t nCode);
    // The stored code for an errno value.
    static std::int32_t CodeFromErrno(int nErrno);

    const XSocketSettings& GetSettings() const { return m_settings; }
    void SetSettings(const XSocketSettings& settings) { m_settings = settings; }

  private:
    std::int32_t TimeOut(std::int32_t nTimeOutMs) const;

    XSocketSettings m_settings;
    int m_fd = -1;
    std::int32_t m_nLastError = 0;
};

}  // namespace zm
