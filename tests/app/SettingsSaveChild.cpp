// Saves the operator's settings and a list of ZOR devices into one settings file, as the
// program does when it closes with "save", and nothing else. The power-loss test kills it
// at a random moment of that save.
//
//   settings_save_child PATH GENERATION DEVICES
//
// Every name and the mail recipients carry GENERATION, so a reader can tell which save a
// file holds. Writes "S" to standard output when the save begins and "D" when it is done.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "app/ZorDeviceKind.h"
#include "base/Ini.h"
#include "device/TavDevice.h"
#include "support/PowerLoss.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: settings_save_child PATH GENERATION DEVICES\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::string generation = argv[2];
    const int devices = std::stoi(argv[3]);

    zm::CDeviceGate gate;
    zm::ZorDeviceFactory factory;
    zm::CDeviceRegistry registry(gate, factory);
    registry.SetContext(path + ".device.ini", nullptr, nullptr);
    for (int n = 1; n <= devices; ++n)
        registry.AddDevice(false)->SetName(zm::test::PowerLossDeviceName(generation, n));
    zm::ManagerSettings settings;
    settings.sMailRecipients = zm::test::PowerLossRecipients(generation);

    auto tell = [](char c) { return ::write(STDOUT_FILENO, &c, 1) == 1; };
    if (!tell('S'))
        return 3;
    {
        zm::CIni ini(path);
        zm::CIniBatch batch(path);
        settings.Save(ini);
        registry.SaveDevices(ini);
    }
    return tell('D') ? 0 : 3;
}
