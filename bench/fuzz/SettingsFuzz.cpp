// A settings file as an operator may leave it after editing it by hand: the operator's
// settings and a device section with its link sections read into their records, written
// again and read back to the same records.
#include <cmath>
#include <string>

#include "FuzzSupport.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
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

    // Saved by the program and read again: the same records.
    const std::string savedPath = scratch.Path() + "Saved.ini";
    zm::CIni saved(savedPath);
    {
        zm::CIniBatch batch(savedPath);  // one write, as the program saves
        settings.Save(saved);
    }
    zm::ManagerSettings settingsAgain;
    settingsAgain.Load(saved);
    ZM_FUZZ_REQUIRE(settingsAgain.SameExceptPlacement(settings));
    ZM_FUZZ_REQUIRE(settingsAgain.wp == settings.wp);
    {
        zm::CIniBatch batch(savedPath);
        zm::CZorDevice writer(ownCfg, nullptr, "Zor-01");
        writer.SetZorSettings(device, false);
        writer.ExportCfg("Zor-01", &saved);
    }
    zm::ZorDeviceCfg deviceAgain = ReadDevice(ownCfg, saved);
    ZM_FUZZ_REQUIRE(SamePosition(deviceAgain.dLatitude, device.dLatitude));
    ZM_FUZZ_REQUIRE(SamePosition(deviceAgain.dLongitude, device.dLongitude));
    deviceAgain.dLatitude = device.dLatitude = 0;
    deviceAgain.dLongitude = device.dLongitude = 0;
    ZM_FUZZ_REQUIRE(deviceAgain == device);
    return 0;
}
