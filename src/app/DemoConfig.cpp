#include "app/DemoConfig.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <span>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "platform/FileIo.h"
#include "platform/Sockets.h"

namespace zm {

namespace {

struct DemoSensor {
    const char* name;
    const char* deviceNumber;  // the emulation's seed: each sensor its own signal
    double latitude;
    double longitude;
};

// Open water in the Gulf of Finland, a few kilometres apart.
constexpr DemoSensor kSensors[] = {
    {"Demo-North", "DEMO-NORTH", 60.0830, 29.6500},
    {"Demo-Fairway", "DEMO-FAIRWAY", 60.0150, 29.4200},
    {"Demo-South", "DEMO-SOUTH", 59.9500, 29.5800},
};

// The bus sensors: address, device number and signal. Both raise their alarm bit while
// the signal lies between the thresholds; the outfall's signal climbs into that corridor
// for about 45 s every 4 minutes, the first time some 20 s after the simulator starts.
struct BusSensor {
    const char* name;
    int address;
    const char* deviceNumber;
    const char* source;
    const char* comment;
    double latitude;
    double longitude;
};
constexpr BusSensor kBusSensors[] = {
    {kDemoBusSteady, 1, "SIM-HARBOUR", "sine:220:40:50",
     "a steady signal well below its alarm threshold", 60.0420, 29.7400},
    {kDemoBusDrifting, 2, "SIM-OUTFALL", "drift:150:900:240:90",
     "every 4 minutes the signal rises into its alarm corridor for about 45 s", 59.9850, 29.3300},
};
constexpr double kBusMinSigThr = 500;
constexpr double kBusMaxSigThr = 10000;

// Binds a loopback TCP socket to `port` (0: the kernel's choice) for a moment; the port
// it got, or 0 when the bind failed.
int TryLoopbackPort(int port) {
    platform::StartSockets();
    const platform::SocketHandle fd = platform::OpenSocket(AF_INET, SOCK_STREAM, 0, false);
    if (fd == platform::kInvalidSocket) {
        return 0;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    int got = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
        got = ntohs(sa.sin_port);
    }
    platform::CloseSocket(fd);
    return got;
}

// A port below the kernel's range for outgoing connections, so that it is still free
// when the demo starts again; the kernel's own choice when none of the tries is free.
int PickBusPort() {
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<int> ports(20000, 31999);
    for (int i = 0; i < 50; ++i) {
        const int port = ports(random);
        if (TryLoopbackPort(port) != 0) {
            return port;
        }
    }
    return TryLoopbackPort(0);
}

bool WriteBusFile(const std::string& busFile, int port) {
    std::ofstream out(busFile, std::ios::trunc);
    out << "# The demo's simulated bus. zormanagerd --demo starts zor-sim with this file\n"
           "# (zor-sim --config) on every start of this home and stops it again; the\n"
           "# devices "
        << kDemoBusSteady << " and " << kDemoBusDrifting
        << " of the settings file use the same port.\n"
           "bind 127.0.0.1\n"
        << "tcp-port " << port << "\n"
        << "# A free port, printed in the simulator's log: zor-sim --help lists its lines.\n"
           "control-port 0\n";
    for (const BusSensor& s : kBusSensors) {
        out << "# " << s.name << ": " << s.comment << ".\n"
            << StrPrintf(
                   "sensor addr=%d,devnum=%s,source=%s,alarm=auto,param.MinSigThr=%g,"
                   "param.MaxSigThr=%g,param.Latitude=%.4f,param.Longitude=%.4f\n",
                   s.address, s.deviceNumber, s.source, kBusMinSigThr, kBusMaxSigThr, s.latitude,
                   s.longitude);
    }
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

bool WriteDemoSettings(const std::string& settingsPath, const std::string& deviceDefaults,
                       const std::string& busFile, bool withBus, std::string* error) {
    if (platform::PathExists(settingsPath)) {
        *error = StrPrintf("the settings file %s exists already", settingsPath.c_str());
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(settingsPath).parent_path(), ec);
    int busPort = 0;
    if (withBus) {
        busPort = PickBusPort();
        if (busPort == 0 || !WriteBusFile(busFile, busPort)) {
            std::filesystem::remove(busFile, ec);
            *error = StrPrintf("the demo bus file %s could not be written", busFile.c_str());
            return false;
        }
    } else if (!busFile.empty()) {
        std::filesystem::remove(busFile, ec);
    }
    {  // one write of the file, when the batch ends
        CIni ini(settingsPath);
        CIniBatch batch(settingsPath);
        ManagerSettings settings;
        settings.udp_enabled = 0;
        settings.bMapView = true;
        // The drifting sensor's alarm is what the demo is for: the desktop program opens
        // its alarm window (the headless server logs it).
        settings.bAlarmPopup = true;
        settings.Save(ini);
        int n = 1;
        // A scanning device at its position; `link` sets how it reaches its sensor.
        const auto writeDevice = [&](const char* name, double latitude, double longitude,
                                     const std::function<void(ZorDeviceCfg&)>& link) {
            CZorDevice device(deviceDefaults, nullptr, name);
            ZorDeviceCfg cfg;
            device.GetZorSettings(cfg);
            cfg.sName = name;
            cfg.bScanning = true;
            cfg.dLatitude = latitude;
            cfg.dLongitude = longitude;
            // The list, the trend and the map tell the sensors apart by colour.
            cfg.crColor = CDeviceRegistry::DeviceColor(n - 1);
            link(cfg);
            device.SetZorSettings(cfg, false);
            device.ExportCfg(CDeviceRegistry::SectionName(n++), &ini);
        };
        for (const DemoSensor& sensor : kSensors) {
            writeDevice(sensor.name, sensor.latitude, sensor.longitude, [&](ZorDeviceCfg& cfg) {
                cfg.sLinkType = kLinkTypeEmul;
                cfg.params.SetDeviceNum(sensor.deviceNumber);
            });
        }
        for (const BusSensor& sensor :
             withBus ? std::span(kBusSensors) : std::span<const BusSensor>()) {
            writeDevice(sensor.name, sensor.latitude, sensor.longitude, [&](ZorDeviceCfg& cfg) {
                cfg.sLinkType = kLinkTypeTcpIp;
                cfg.xSocket.sAddress = "127.0.0.1";
                cfg.xSocket.nPort = busPort;
                cfg.params.SetAddress(static_cast<uint8_t>(sensor.address));
                cfg.params.SetField("MinSigThr", kBusMinSigThr);
                cfg.params.SetField("MaxSigThr", kBusMaxSigThr);
            });
        }
    }
    if (!platform::PathExists(settingsPath)) {
        if (withBus) {
            std::filesystem::remove(busFile, ec);
        }
        *error = StrPrintf("the settings file %s could not be written", settingsPath.c_str());
        return false;
    }
    return true;
}

int ReadDemoBusPort(const std::string& busFile) {
    std::ifstream in(busFile);
    for (std::string line; std::getline(in, line);) {
        int port = 0;
        char rest = 0;
        if (std::sscanf(line.c_str(), " tcp-port %d %c", &port, &rest) == 1 && port > 0 &&
            port < 65536) {
            return port;
        }
    }
    return 0;
}

std::string FindZorSim() {
    const std::string path = GetProgramFolder() + "zor-sim";
    return platform::IsExecutableFile(path) ? path : std::string();
}

}  // namespace zm
