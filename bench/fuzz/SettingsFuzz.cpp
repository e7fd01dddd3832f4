// A settings file as an operator may leave it after editing it by hand: the operator's
// settings and a device section with its link sections read into their records, written
// again and read back to the same records.
#include <cmath>
#include <string>

#include "FuzzSupport.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "base/IniDocument.h"
#include "device/zor/ZorDevice.h"

namespace {

// Positions are written with six decimals, as the settings file always had them.
bool SamePosition(double a, double b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b))
        return a == b;
    return std::fabs(a - b) <= 5e-7 * std::max(1.0, std::fabs(a));
}

// What a text value becomes through a write and a read: the reader takes blanks and one
// pair of enclosing quotes off, and the writer stores the value as it is (the language
// files rely on that trimming, as the original platform's profile functions did it).
void Normalize(std::string& value) {
    std::string_view v = zm::IniTrim(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    value = std::string(v);
}

void Normalize(zm::ManagerSettings& s) {
    for (std::string* text :
         {&s.sMailRecipients, &s.sDatabasePath, &s.smtp_server, &s.smtp_login, &s.smtp_pass,
          &s.smtp_sender_name, &s.smtp_sender_mail, &s.smtp_reply_to, &s.clickatell_user_name,
          &s.clickatell_pass, &s.clickatell_client_id, &s.clickatell_api_id,
          &s.clickatell_sms_gateway, &s.clickatell_email_address, &s.udp_ip_address,
          &s.sCurrentLang})
        Normalize(*text);
}

void Normalize(zm::ZorDeviceCfg& c) {
    for (std::string* text : {&c.sName, &c.sLinkType, &c.sTxtLog, &c.sUpdFreq, &c.comPort.sPortName,
                              &c.xSocket.sAddress})
        Normalize(*text);
}

zm::ZorDeviceCfg ReadDevice(const std::string& ownCfg, zm::CIni& ini) {
    zm::CZorDevice device(ownCfg, nullptr, "Zor-01");
    device.ImportCfg("Zor-01", &ini);
    zm::ZorDeviceCfg cfg;
    device.GetZorSettings(cfg);
    return cfg;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::ScratchFolder& scratch = zm::fuzz::ScratchFolder::Get();
    const std::string path =
        scratch.Put("ZorManager__All_Ver-Lang.ini", zm::fuzz::AsText(data, size));
    const std::string ownCfg = scratch.Path() + "Zor-Device.ini";
    zm::CIni ini(path);

    zm::ManagerSettings settings;
    settings.Load(ini);
    zm::ZorDeviceCfg device = ReadDevice(ownCfg, ini);

    // Saved by the program and read again: the same records, apart from blanks and
    // quotes around text values.
    const std::string savedPath = scratch.Path() + "Saved.ini";
    zm::CIni saved(savedPath);
    {
        zm::CIniBatch batch(savedPath);  // one write, as the program saves
        settings.Save(saved);
    }
    zm::ManagerSettings settingsAgain;
    settingsAgain.Load(saved);
    Normalize(settings);
    ZM_FUZZ_REQUIRE(settingsAgain.SameExceptPlacement(settings));
    ZM_FUZZ_REQUIRE(settingsAgain.wp == settings.wp);
    {
        zm::CIniBatch batch(savedPath);
        zm::CZorDevice writer(ownCfg, nullptr, "Zor-01");
        writer.SetZorSettings(device, false);
        writer.ExportCfg("Zor-01", &saved);
    }
    zm::ZorDeviceCfg deviceAgain = ReadDevice(ownCfg, saved);
    Normalize(device);
    ZM_FUZZ_REQUIRE(SamePosition(deviceAgain.dLatitude, device.dLatitude));
    ZM_FUZZ_REQUIRE(SamePosition(deviceAgain.dLongitude, device.dLongitude));
    deviceAgain.dLatitude = device.dLatitude = 0;
    deviceAgain.dLongitude = device.dLongitude = 0;
    ZM_FUZZ_REQUIRE(deviceAgain == device);
    return 0;
}
