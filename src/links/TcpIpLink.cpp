#include "links/TcpIpLink.h"

#include <mutex>

#include "base/Ping.h"
#include "base/Printf.h"
#include "links/LinkLog.h"

namespace zm {

std::string CTcpIpLink::GetName(bool bWithKind) const {
    const XSocketSettings& s = m_socket.GetSettings();
    const std::string sChannel = StrPrintf("%s:%d", s.sAddress.c_str(), s.nPort);
    return bWithKind ? "TcpIp-Link::" + sChannel : sChannel;
}

bool CTcpIpLink::Open(const LinkSettings& settings) {
    if (const XSocketSettings* pSettings = std::get_if<XSocketSettings>(&settings)) {
        m_socket.SetSettings(*pSettings);
    }
    // Reopening an open link would leak its socket.
    m_socket.Close();

    const XSocketSettings& s = m_socket.GetSettings();
    // The check fails an unreachable host within the time-out; the connect below is
    // bounded as well, so where echo is not permitted it is simply left out.
    PingReply reply;
    const int nTimeOut = s.nTimeOut > 0 ? s.nTimeOut : 1000;
    if (!PingOnce(s.sAddress, &reply, kPingTtl, nTimeOut, kPingDataSize)) {
        if (reply.status != PingStatus::Unavailable) {
            m_socket.SetLastError(kSockWsaRefused);
            return false;
        }
        static std::once_flag s_noted;
        std::call_once(s_noted, [] {
            LinkLogWarning(
                "<li><dt> TcpIp-Link: ICMP echo is not permitted for this process; "
                "hosts are not checked before connecting.</li>");
        });
    }
    return m_socket.Connect();
}

bool CTcpIpLink::IsOpen() const {
    return m_socket.IsValid();
}

bool CTcpIpLink::IsAborted() const {
    return m_socket.GetLastError() == kSockAborted;
}

bool CTcpIpLink::GetError(std::string* pText, std::int32_t* pCode) const {
    const std::int32_t nCode = m_socket.GetLastError();
    if (pCode) {
        *pCode = nCode;
    }
    if (pText) {
        *pText = CXSocket::GetErrorText(nCode);
    }
    return nCode == 0;
}

void CTcpIpLink::Close() {
    m_socket.Close();
}

void CTcpIpLink::Purge() {}

bool CTcpIpLink::Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
                      std::int32_t nTimeOutMs) {
    return m_socket.Receive(pBuffer, nWanted, nReceived, nTimeOutMs);
}

bool CTcpIpLink::Write(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
                       std::int32_t nTimeOutMs) {
    Purge();
    return m_socket.Send(pData, nCount, nSent, nTimeOutMs);
}

}  // namespace zm
