#include "base/Ini.h"
#include "links/ComPortLink.h"
#include "links/TcpIpLink.h"

namespace zm {

namespace {

// The section the TCP link uses when the caller names none.
constexpr const char* kXSocketSection = "CXSocket";

}  // namespace

bool CComPortLink::LoadCfg(const std::string& sSection, CIni* pIni) {
    ComPortSettings s = m_port.GetSettings();
    if (pIni == nullptr) {
        s.ResetToDefaults();
        m_port.SetSettings(s);
        return false;
    }
    // A missing port name stays empty, so the next open reports "Port opening error"
    // instead of silently opening some other port.
    s.sPortName = pIni->GetString(sSection, "sPortName", "");
    s.nBaudRate = pIni->GetInt(sSection, "CPBaudRate", s.nDefBaudRate);
    s.nByteSize = pIni->GetInt(sSection, "CPByteSize", s.nDefByteSize);
    s.nStopBits = pIni->GetInt(sSection, "CPStopBits", s.nDefStopBits);
    s.nParity = pIni->GetInt(sSection, "CPParity", s.nDefParity);
    m_port.SetSettings(s);
    return true;
}

bool CComPortLink::SaveCfg(const std::string& sSection, CIni* pIni) {
    if (pIni == nullptr) {
        return false;
    }
    const ComPortSettings& s = m_port.GetSettings();
    bool bOk = pIni->WriteString(sSection, "sPortName", s.sPortName);
    bOk = pIni->WriteInt(sSection, "CPBaudRate", s.nBaudRate) && bOk;
    bOk = pIni->WriteInt(sSection, "CPByteSize", s.nByteSize) && bOk;
    bOk = pIni->WriteInt(sSection, "CPStopBits", s.nStopBits) && bOk;
    bOk = pIni->WriteInt(sSection, "CPParity", s.nParity) && bOk;
    return bOk;
}

bool CTcpIpLink::LoadCfg(const std::string& sSection, CIni* pIni) {
    if (pIni == nullptr) {
        return false;
    }
    const std::string sName = sSection.empty() ? kXSocketSection : sSection;
    XSocketSettings s = m_socket.GetSettings();
    s.sAddress = pIni->GetString(sName, "sAddress", s.sDefAddress);
    s.nPort = pIni->GetInt(sName, "nPort", s.nDefPort);
    s.nTimeOut = pIni->GetInt(sName, "nTimeOut", s.nDefTimeOut);
    m_socket.SetSettings(s);
    return true;
}

bool CTcpIpLink::SaveCfg(const std::string& sSection, CIni* pIni) {
    if (pIni == nullptr) {
        return false;
    }
    const std::string sName = sSection.empty() ? kXSocketSection : sSection;
    const XSocketSettings& s = m_socket.GetSettings();
    bool bOk = pIni->WriteString(sName, "sAddress", s.sAddress);
    bOk = pIni->WriteInt(sName, "nPort", s.nPort) && bOk;
    bOk = pIni->WriteInt(sName, "nTimeOut", s.nTimeOut) && bOk;
    return bOk;
}

}  // namespace zm
