#include "device/TavDeviceCfg.h"

#include <cstdlib>
#include <ctime>

#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "base/Printf.h"
#include "device/TavDevice.h"

namespace zm {

namespace {

std::string LocalStamp() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d_%H-%M-%S", &tm);
    return std::string(buf, n);
}

}  // namespace

double UpdFreqSeconds(const std::string& sUpdFreq) {
    const double seconds = std::strtod(sUpdFreq.c_str(), nullptr);
    return seconds > 0.0 ? seconds : 0.0;
}

std::string CTavDevice::ImportTxtLogDefault(const std::string& sName) {
    // No separator between the name and "Log_": the form existing settings files carry.
    return GetUserDocsFolder() + "Logs/" + sName + "Log_" + LocalStamp() + ".txt";
}

void CTavDevice::ResetCfgLocked(const std::string& sTypeName) {
    m_Cfg.nKind = kDataKind;
    m_Cfg.bScanning = false;
    m_Cfg.bTxtLogOn = false;
    m_Cfg.sName = sTypeName;
    m_Cfg.sLinkType.clear();
    m_Cfg.sTxtLog = StrPrintf("%sLogs/%s_%s.txt", GetUserDocsFolder().c_str(), sTypeName.c_str(),
                              LocalStamp().c_str());
    m_Cfg.comPort.ResetToDefaults();
    m_Cfg.xSocket.ResetToDefaults();
    m_Cfg.sUpdFreq = "60";
}

CIni* CTavDevice::ResolveIni(CIni* pIni, std::unique_ptr<CIni>& owned) const {
    if (pIni != nullptr) {
        return pIni;
    }
    owned = std::make_unique<CIni>(m_sOwnCfgPath);
    return owned.get();
}

bool CTavDevice::ImportCfg(const std::string& sSection, CIni* pIni) {
    std::unique_ptr<CIni> owned;
    CIni* ini = ResolveIni(pIni, owned);
    const std::string section = sSection.empty() ? m_sInitialName : sSection;
    std::string name;
    {
        // Only the settings: the links adopt them when they are next opened, so a device
        // busy in an exchange does not hold up the caller.
        std::lock_guard lock(m_SettingsLock);
        m_Cfg.sName = ini->GetString(section, "sName", m_sInitialName);
        std::uint8_t color[4] = {static_cast<std::uint8_t>(m_Cfg.crColor),
                                 static_cast<std::uint8_t>(m_Cfg.crColor >> 8),
                                 static_cast<std::uint8_t>(m_Cfg.crColor >> 16),
                                 static_cast<std::uint8_t>(m_Cfg.crColor >> 24)};
        if (ini->GetDataBlock(section, "crColor", color, sizeof color, 0) > 0) {
            m_Cfg.crColor = (color[0] | (color[1] << 8) | (color[2] << 16)) & 0xFFFFFFu;
        }
        m_Cfg.sLinkType = ini->GetString(section, "sLinkType", kLinkTypeNone);
        m_Cfg.bScanning = ini->GetBool(section, "bScanning", false);
        m_Cfg.bTxtLogOn = ini->GetBool(section, "bTxtLogOn", false);
        m_Cfg.sTxtLog = ini->GetString(section, "sTxtLog", ImportTxtLogDefault(m_Cfg.sName));
        m_Cfg.sUpdFreq = ini->GetString(section, "sUpdFreq", "");
        if (m_Cfg.sUpdFreq.empty()) {
            m_Cfg.sUpdFreq = "60";
        }
        // The links' own readers, on links of their own: the live ones may be in use.
        CComPortLink com;
        com.SetSettings(m_Cfg.comPort);
        com.LoadCfg(section + "::ComPort", ini);
        m_Cfg.comPort = com.GetSettings();
        CTcpIpLink tcp;
        tcp.SetSettings(m_Cfg.xSocket);
        tcp.LoadCfg(section + "::XSocket", ini);
        m_Cfg.xSocket = tcp.GetSettings();
        name = m_Cfg.sName;
    }
    LogText(StrPrintf("<li><dt> %s: ImportCfg [%s] done.", HtmlEscaped(name).c_str(),
                      HtmlEscaped(section).c_str()));
    return true;
}

void CTavDevice::ExportCfg(const std::string& sSection, CIni* pIni) {
    std::unique_ptr<CIni> owned;
    CIni* ini = ResolveIni(pIni, owned);
    const std::string section = sSection.empty() ? m_sInitialName : sSection;
    std::string name;
    {
        std::lock_guard lock(m_SettingsLock);
        ini->WriteString(section, "sName", m_Cfg.sName);
        const std::uint32_t c = m_Cfg.crColor;
        const std::uint8_t color[4] = {static_cast<std::uint8_t>(c),
                                       static_cast<std::uint8_t>(c >> 8),
                                       static_cast<std::uint8_t>(c >> 16), 0};
        ini->WriteDataBlock(section, "crColor", color, sizeof color);
        ini->WriteString(section, "sLinkType", m_Cfg.sLinkType);
        ini->WriteBool(section, "bScanning", m_Cfg.bScanning);
        ini->WriteBool(section, "bTxtLogOn", m_Cfg.bTxtLogOn);
        ini->WriteString(section, "sTxtLog", m_Cfg.sTxtLog);
        ini->WriteString(section, "sUpdFreq", m_Cfg.sUpdFreq);
        CComPortLink com;
        com.SetSettings(m_Cfg.comPort);
        com.SaveCfg(section + "::ComPort", ini);
        CTcpIpLink tcp;
        tcp.SetSettings(m_Cfg.xSocket);
        tcp.SaveCfg(section + "::XSocket", ini);
        name = m_Cfg.sName;
    }
    LogText(StrPrintf("<li><dt> %s: ExportCfg [%s] done.", HtmlEscaped(name).c_str(),
                      HtmlEscaped(section).c_str()));
}

void CTavDevice::DefaultCfg() {
    LogText(StrPrintf("<li><dt> %s: DefaultCfg()", HtmlEscaped(GetName()).c_str()));
    std::lock_guard lock(m_SettingsLock);
    ResetCfgLocked("Tav-Device");
}

}  // namespace zm
