#pragma once

#include "links/ComPort.h"
#include "links/DeviceLink.h"

namespace zm {

// The link for sensors on a serial line (typically an RS-485 bus shared by several
// addressed devices). The name with kind is "ComPort-Link::" + the port name as
// configured.
class CComPortLink final : public CDeviceLink {
  public:
    std::string GetName(bool bWithKind) const override;
    // Keeps the current settings unless a ComPortSettings record is given.
    bool Open(const LinkSettings& settings) override;
    bool IsOpen() const override;
    bool IsAborted() const override;
    bool GetError(std::string* pText, std::int32_t* pCode) const override;
    void Close() override;
    void Purge() override;
    // A time-out of 0 or less means 1000 ms.
    bool Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
              std::int32_t nTimeOutMs) override;
    // nSent is always -1; the time-out argument is not used (nCount + 2000 ms applies).
    bool Write(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
               std::int32_t nTimeOutMs) override;
    // Keys "sPortName", "CPBaudRate", "CPByteSize", "CPStopBits", "CPParity". Without an
    // INI object the settings are reset to their defaults and the result is false.
    bool LoadCfg(const std::string& sSection, CIni* pIni) override;
    bool SaveCfg(const std::string& sSection, CIni* pIni) override;

    const ComPortSettings& GetSettings() const { return m_port.GetSettings(); }
    void SetSettings(const ComPortSettings& settings) { m_port.SetSettings(settings); }
    CComPort& Port() { return m_port; }

  private:
    CComPort m_port;
};

}  // namespace zm
