#include "links/ComPortLink.h"

namespace zm {

std::string CComPortLink::GetName(bool bWithKind) const {
    const std::string& sPort = m_port.GetSettings().sPortName;
    return bWithKind ? "ComPort-Link::" + sPort : sPort;
}

bool CComPortLink::Open(const LinkSettings& settings) {
    const ComPortSettings* pSettings = std::get_if<ComPortSettings>(&settings);
    return m_port.Open(pSettings);
}

bool CComPortLink::IsOpen() const {
    return m_port.IsOpen();
}

bool CComPortLink::IsAborted() const {
    return false;
}

bool CComPortLink::GetError(std::string* pText, std::int32_t* pCode) const {
    const std::int32_t nCode = m_port.GetLastError();
    if (pCode) {
        *pCode = nCode;
    }
    if (pText) {
        *pText = CComPort::GetErrorText(nCode);
    }
    return nCode == 0;
}

void CComPortLink::Close() {
    m_port.Close();
}

void CComPortLink::Purge() {
    if (m_port.IsOpen()) {
        m_port.Purge();
    }
}

bool CComPortLink::Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
                        std::int32_t nTimeOutMs) {
    return m_port.Read(pBuffer, nWanted, nReceived, nTimeOutMs);
}

bool CComPortLink::Write(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
                         std::int32_t) {
    nSent = -1;  // the serial port does not count what it sent
    return m_port.Write(pData, nCount);
}

}  // namespace zm
