#include "links/ComPortLink.h"
#include "links/TcpIpLink.h"

namespace zm {

// HOOK(ini): the INI class is not merged yet; this file is replaced by LinkCfg.cpp as
// soon as base/Ini.h exists. Until then loading resets to the defaults and fails.

bool CComPortLink::LoadCfg(const std::string&, CIni*) {
    ComPortSettings s = m_port.GetSettings();
    s.ResetToDefaults();
    m_port.SetSettings(s);
    return false;
}

bool CComPortLink::SaveCfg(const std::string&, CIni*) {
    return false;
}

bool CTcpIpLink::LoadCfg(const std::string&, CIni*) {
    return false;
}

bool CTcpIpLink::SaveCfg(const std::string&, CIni*) {
    return false;
}

}  // namespace zm
