#pragma once

#include "links/DeviceLink.h"
#include "links/XSocket.h"

namespace zm {

// The link for sensors reached over the network, typically a serial-to-Ethernet
// converter. Before connecting it checks with an ICMP echo that the host answers, so
// an unreachable host fails within the configured time-out. The name with kind is
// "TcpIp-Link::" + "%s:%d" (address as configured, port).
class CTcpIpLink final : public CDeviceLink {
  public:
    std::string GetName(bool bWithKind) const override;
    // Adopts an XSocketSettings record when given; must be closed before reopening.
    bool Open(const LinkSettings& settings) override;
    bool IsOpen() const override;
    bool IsAborted() const override;
    bool GetError(std::string* pText, std::int32_t* pCode) const override;
    void Close() override;
    void Purge() override;
    bool Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
              std::int32_t nTimeOutMs) override;
    bool Write(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
               std::int32_t nTimeOutMs) override;
    // Keys "sAddress", "nPort", "nTimeOut"; section "CXSocket" when none is named.
    bool LoadCfg(const std::string& sSection, CIni* pIni) override;
    bool SaveCfg(const std::string& sSection, CIni* pIni) override;

    const XSocketSettings& GetSettings() const { return m_socket.GetSettings(); }
    std::int32_t ReadTimeOut(std::int32_t nTimeOutMs) const {
        return m_socket.ReadTimeOut(nTimeOutMs);
    }
    void SetSettings(const XSocketSettings& settings) { m_socket.SetSettings(settings); }

  private:
    CXSocket m_socket;
};

}  // namespace zm
