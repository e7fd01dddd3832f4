#include "app/DemoConfig.h"

#include <unistd.h>

#include <filesystem>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"

namespace zm {

namespace {

struct DemoSensor {
    const char* name;
    double latitude;
    double longitude;
};

// Open water in the Gulf of Finland, a few kilometres apart.
constexpr DemoSensor kSensors[] = {
    {"Demo-North", 60.0830, 29.6500},
    {"Demo-Fairway", 60.0150, 29.4200},
    {"Demo-South", 59.9500, 29.5800},
};

}  // namespace

bool WriteDemoSettings(const std::string& settingsPath, const std::string& deviceDefaults,
                       std::string* error) {
    if (::access(settingsPath.c_str(), F_OK) == 0) {
        *error = StrPrintf("the settings file %s exists already", settingsPath.c_str());
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(settingsPath).parent_path(), ec);
    {  // one write of the file, when the batch ends
        CIni ini(settingsPath);
        CIniBatch batch(settingsPath);
        ManagerSettings settings;
        settings.udp_enabled = 0;
        settings.bMapView = true;
        settings.Save(ini);
        int n = 1;
        for (const DemoSensor& sensor : kSensors) {
            CZorDevice device(deviceDefaults, nullptr, sensor.name);
            ZorDeviceCfg cfg;
            device.GetZorSettings(cfg);
            cfg.sName = sensor.name;
            cfg.sLinkType = kLinkTypeEmul;
            cfg.bScanning = true;
            cfg.dLatitude = sensor.latitude;
            cfg.dLongitude = sensor.longitude;
            device.SetZorSettings(cfg, false);
            device.ExportCfg(CDeviceRegistry::SectionName(n++), &ini);
        }
    }
    if (::access(settingsPath.c_str(), F_OK) != 0) {
        *error = StrPrintf("the settings file %s could not be written", settingsPath.c_str());
        return false;
    }
    return true;
}

}  // namespace zm
