// Devices are known by their identity, not by their name: a rename during an alarm, and
// a device list that names two devices alike.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerIntegration.h"
#include "app/ManagerSettings.h"
#include "app/ZorDeviceKind.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "device/zor/ZorDevice.h"
#include "integration/MqttTopics.h"
#include "links/DeviceLink.h"
#include "support/FileBytes.h"
#include "support/MqttPeers.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

class DeviceIdentityTest : public ::testing::Test {
  protected:
    DeviceIdentityTest()
        : registry(gate, factory), integration(registry, &runLog, home.file("Operators.txt")) {
        SetHomeRoot(home.folder());
        runLog.SetFolder(home.folder());
        runLog.Open("RunLog", false);
        registry.SetContext(home.file("Zor-Device.ini"), &runLog, nullptr);
        // As the application wires them.
        removed = registry.AddRemovedListener(
            [this](const CTavDevice& device) { integration.ForgetDevice(device.GetInstanceId()); });
        renamed = registry.AddRenamedListener([this](CTavDevice& device, const std::string&) {
            integration.OnDeviceRenamed(device);
        });
    }
    ~DeviceIdentityTest() override {
        integration.Stop();
        registry.RemoveAllDevices();
        SetHomeRoot("");
    }
    void WriteDevice(CIni& ini, int number, const std::string& name) {
        CZorDevice device(home.file("Zor-Device.ini"), nullptr, name);
        ZorDeviceCfg cfg;
        device.GetZorSettings(cfg);
        cfg.sName = name;
        cfg.sLinkType = kLinkTypeEmul;
        device.SetZorSettings(cfg, false);
        device.ExportCfg(CDeviceRegistry::SectionName(number), &ini);
    }

    test::TempDir home;
    CLog runLog;
    CDeviceGate gate;
    ZorDeviceFactory factory;
    CDeviceRegistry registry;
    CManagerIntegration integration;
    ListenerToken removed;
    ListenerToken renamed;
};

TEST_F(DeviceIdentityTest, ARenameDuringAnAlarmTakesTheAlarmAndTheTopicAlong) {
    ZM_REQUIRE_MOSQUITTO();
    test::MqttBroker broker;
    ManagerSettings settings;
    settings.mqtt_enabled = 1;
    settings.mqtt_host = "127.0.0.1";
    settings.mqtt_port = broker.Port();
    settings.mqtt_station = "harbour";
    const MqttTopics topics(settings.mqtt_prefix, settings.mqtt_station);

    auto pier = registry.AddDevice(false);
    pier->SetName("Pier-1");
    registry.CheckRename(*pier);
    integration.Apply(settings);
    integration.OnDeviceState(*pier);
    integration.OnAlarm(*pier, true, "/logs/Alarms/report.txt");
    ASSERT_EQ(integration.OpenAlarms().size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return integration.Publisher().GetStats().statesPublished >= 1; }));

    pier->SetName("Pier-9");
    registry.CheckRename(*pier);
    const auto open = integration.OpenAlarms();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].device, "Pier-9");
    EXPECT_EQ(open[0].report, "/logs/Alarms/report.txt");
    integration.OnAlarm(*pier, false, "/logs/Alarms/report.txt");
    EXPECT_TRUE(integration.OpenAlarms().empty()) << "the alarm closed under the new name";

    // Every reconnect republishes the station's devices: never the old name.
    ASSERT_TRUE(WaitFor([&] { return integration.Publisher().GetStats().statesPublished >= 2; }));
    integration.Stop();
    integration.Apply(settings);
    ASSERT_TRUE(WaitFor([&] { return integration.Publisher().GetStats().statesPublished >= 3; }));
    std::this_thread::sleep_for(300ms);
    test::MqttSubscriber sub(broker.Port(), "zormanager/harbour/device/+/state");
    ASSERT_TRUE(WaitFor([&] { return !sub.On(topics.DeviceState("Pier-9")).empty(); }))
        << sub.Raw();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(sub.On(topics.DeviceState("Pier-1")).empty()) << sub.Raw();
}

TEST_F(DeviceIdentityTest, ADeviceListWithTwoDevicesOfOneNameGetsUniqueNames) {
    const std::string path = home.file("devices.ini");
    {
        CIni ini(path);
        WriteDevice(ini, 1, "Pier");
        WriteDevice(ini, 2, "Quay");
        WriteDevice(ini, 3, "Pier");
        WriteDevice(ini, 4, "Pier-2");
    }
    CIni ini(path);
    registry.LoadDevices(ini);
    EXPECT_EQ(registry.GetDeviceNames(), "Pier;Quay;Pier-2;Pier-2-2;");
    const std::string log = test::ReadBytes(runLog.GetPath());
    EXPECT_NE(log.find("Zor-03: a device named 'Pier' is in the list already; this one is "
                       "named 'Pier-2'."),
              std::string::npos)
        << log;
    // Saved as they are now named, the list loads again without a change.
    registry.SaveDevices(ini);
    registry.LoadDevices(ini);
    EXPECT_EQ(registry.GetDeviceNames(), "Pier;Quay;Pier-2;Pier-2-2;");
}

}  // namespace
}  // namespace zm
