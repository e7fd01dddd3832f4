// zor-probe: the installer's field tool. Talks to one sensor through the same device, link
// and transaction classes as the server, prints the transcript and the decoded answer.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Folders.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "device/zor/ZorDevice.h"
#include "device/zor/ZorParams.h"
#include "device/zor/ZorRecords.h"

namespace {

using namespace zm;

constexpr int kExitOk = 0;
constexpr int kExitProtocol = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: zor-probe (--tcp HOST:PORT | --serial PATH [--baud N]) [--addr A]\n"
    "                 [--timeout MS] [--hex] COMMAND\n"
    "       zor-probe --help | --version\n"
    "\n"
    "Asks one ZOR sensor a question and prints the exchange and the decoded answer.\n"
    "\n"
    "Link:\n"
    "  --tcp HOST:PORT   the sensor's TCP endpoint (a serial server or zor-sim)\n"
    "  --serial PATH     a serial port, e.g. /dev/ttyUSB0 (or a zor-sim pseudo-terminal)\n"
    "  --baud N          serial speed (default 57600)\n"
    "  --addr A          bus address of the sensor, 1..255 (default 99; 0x.. for hex)\n"
    "  --timeout MS      TCP time-out for connecting and reading (default 2000)\n"
    "  --hex             byte lists in hexadecimal\n"
    "\n"
    "Commands:\n"
    "  check        link check (command 1)\n"
    "  type         controller type (command 5): version texts\n"
    "  params       parameter block (command 6), rendered\n"
    "  state        state record (command 2): alarm bit and sensor values\n"
    "  data         data portion (command 56): records and their count\n"
    "  statedata    state and data in one exchange (command 57)\n"
    "  rangefinder  the range finder at address 101: count and distance\n"
    "  cycle        one full poll cycle with the device defaults, reading the\n"
    "               controller type and parameters first\n"
    "\n"
    "Exit status: 0 success, 1 the sensor did not answer correctly, 2 usage error.\n";

int Usage(const std::string& error) {
    if (!error.empty()) {
        std::fprintf(stderr, "zor-probe: %s\n", error.c_str());
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

bool ParseInt(std::string_view text, long low, long high, long& out) {
    if (text.empty()) {
        return false;
    }
    const std::string s(text);
    char* end = nullptr;
    const long value = std::strtol(s.c_str(), &end, 0);
    if (end == nullptr || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

// Terminal lines: the transcript is written with CR LF.
void PrintText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    while (!out.empty() && out.front() == '\n') {
        out.erase(0, 1);
    }
    std::printf("%s\n", out.c_str());
}

void PrintState(const ZorState& state) {
    std::printf("State: alarm %s, values %s\n", state.Alarm() ? "on" : "off",
                state.ValuesInvalid() ? "not valid" : "valid");
    if (!state.ValuesInvalid()) {
        std::printf("Pressure: %.1f kPa\nTemperature: %.1f °C\nSea level: %.1f cm\n",
                    state.Pressure() * 0.1, state.Temperature() * 0.1, state.SeaLevel() * 0.1);
    }
    std::printf("Fluorescence background: %.2f\n", static_cast<double>(state.FluoBkg()));
}

void PrintData(const std::vector<uint8_t>& data) {
    const std::vector<ZorDataRecord> records = SplitDataRecords(data);
    std::printf("Data: %zu records (%zu bytes)\n", records.size(), data.size());
    for (size_t i = 0; i < records.size(); ++i) {
        std::printf("  %3zu  signal %.2f  background %.2f\n", i + 1,
                    static_cast<double>(records[i].signal),
                    static_cast<double>(records[i].background));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string tcp, serial, command;
    long baud = 57600, address = 99, timeoutMs = 2000;
    bool hex = false;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (a == "--version") {
            std::printf("zor-probe %s\n", zm::kProductVersion);
            return kExitOk;
        } else if (a == "--tcp") {
            if (!value(tcp)) {
                return Usage("--tcp needs HOST:PORT");
            }
        } else if (a == "--serial") {
            if (!value(serial)) {
                return Usage("--serial needs a path");
            }
        } else if (a == "--baud") {
            if (!value(v) || !ParseInt(v, 50, 4000000, baud)) {
                return Usage("--baud needs a speed");
            }
        } else if (a == "--addr") {
            if (!value(v) || !ParseInt(v, 1, 255, address)) {
                return Usage("--addr needs an address 1..255");
            }
        } else if (a == "--timeout") {
            if (!value(v) || !ParseInt(v, 1, 600000, timeoutMs)) {
                return Usage("--timeout needs milliseconds");
            }
        } else if (a == "--hex") {
            hex = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option " + a);
        } else if (command.empty()) {
            command = a;
        } else {
            return Usage("one command only");
        }
    }
    static const std::vector<std::string> kCommands = {
        "check", "type", "params", "state", "data", "statedata", "rangefinder", "cycle"};
    if (command.empty()) {
        return Usage("no command");
    }
    if (std::find(kCommands.begin(), kCommands.end(), command) == kCommands.end()) {
        return Usage("unknown command " + command);
    }
    if (tcp.empty() == serial.empty()) {
        return Usage("give exactly one of --tcp and --serial");
    }
    std::string host;
    long port = 0;
    if (!tcp.empty()) {
        const size_t colon = tcp.rfind(':');
        if (colon == std::string::npos || colon == 0 ||
            !ParseInt(std::string_view(tcp).substr(colon + 1), 1, 65535, port)) {
            return Usage("--tcp needs HOST:PORT");
        }
        host = tcp.substr(0, colon);
        if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
            host = host.substr(1, host.size() - 2);
        }
    }

    auto device =
        std::make_shared<CZorDevice>(GetConfigFolder() + "Zor-Device.ini", nullptr, "zor-probe");
    CZorDevice::SetHexByteLists(hex);
    ZorDeviceCfg cfg;
    device->GetZorSettings(cfg);
    cfg.sName = "zor-probe";
    if (!tcp.empty()) {
        cfg.sLinkType = kLinkTypeTcpIp;
        cfg.xSocket.sAddress = host;
        cfg.xSocket.nPort = static_cast<int32_t>(port);
        cfg.xSocket.nTimeOut = static_cast<int32_t>(timeoutMs);
    } else {
        cfg.sLinkType = kLinkTypeCom;
        cfg.comPort.sPortName = serial;
        cfg.comPort.nBaudRate = static_cast<int32_t>(baud);
    }
    cfg.params.SetAddress(static_cast<uint8_t>(address));
    // Selecting the link starts the device's workers; the probe drives the exchanges itself.
    device->SetZorSettings(cfg, true);
    device->StopThreads();

    std::string T;
    bool ok = false;
    std::string result;
    if (command == "check") {
        ok = device->CheckDevLink(&T);
    } else if (command == "type") {
        ZorContrType type;
        ok = device->GetContrType(&T, type);
        if (ok) {
            result = StrPrintf("Controller type: %s\nLong form: %s", type.VersionText().c_str(),
                               type.LongVersionText().c_str());
        }
    } else if (command == "params") {
        ZorParams params = cfg.params;
        ok = device->GetDevParams(&T, params);
        if (ok) {
            result = RenderParams(params, "zor-probe", ZorTranslateText);
        }
    } else if (command == "state") {
        ZorState state;
        ok = device->GetDevState(&T, state);
        PrintText(T);
        if (ok) {
            PrintState(state);
        }
        return ok ? kExitOk : kExitProtocol;
    } else if (command == "data") {
        std::vector<uint8_t> data;
        ok = device->GetDevDataPortion(&T, data);
        PrintText(T);
        if (ok) {
            PrintData(data);
        }
        return ok ? kExitOk : kExitProtocol;
    } else if (command == "statedata") {
        ZorState state;
        std::vector<uint8_t> data;
        ok = device->GetDevStateData(&T, state, data);
        PrintText(T);
        if (ok) {
            PrintState(state);
            PrintData(data);
        }
        return ok ? kExitOk : kExitProtocol;
    } else if (command == "rangefinder") {
        ZorRange range;
        ok = device->PingSenix(&T, range);
        if (ok) {
            result =
                StrPrintf("Range finder: count %d, distance %.3f m", range.count, range.metres);
        }
    } else {  // cycle
        device->Poll();
        PrintText(device->GetTrackText());
        const int status = device->GetStatus();
        ok = !device->ParamsPending() && (status == kDevOnlineOk || status == kDevAlarm);
        const std::vector<uint8_t> batch = device->GetLatestBatch();
        std::printf("Controller type: %s\n", device->GetVersionText(true).c_str());
        std::printf("Device status: %d (%s)\n", status, DeviceStatusText(status).c_str());
        std::printf("Data status: %d (%s)\n", device->GetDataStatus(),
                    CTavDevice::GetDataStatusText(device->GetDataStatus(), true));
        std::printf("Current value: %.1f\n", device->GetValue());
        PrintState(device->GetStateRecord());
        PrintData(batch);
        return ok ? kExitOk : kExitProtocol;
    }
    PrintText(T);
    if (!result.empty()) {
        PrintText(result);
    }
    return ok ? kExitOk : kExitProtocol;
}
