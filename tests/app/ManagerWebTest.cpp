// The web publishing of the application over a real registry of ZOR devices: the KML
// files follow the registry, and the server answers from it. curl is the client.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerWeb.h"
#include "app/ZorDeviceKind.h"
#include "base/Folders.h"
#include "device/TavDevice.h"
#include "device/zor/ZorDevice.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace zm {
namespace {

std::string Curl(const std::string& url) {
    return zm::test::CurlGet(url, 5);
}

class ManagerWebTest : public ::testing::Test {
  protected:
    ManagerWebTest() : registry(gate, factory), web(registry) {
        SetHomeRoot(home.folder());
        registry.SetContext(home.file("Zor-Device.ini"), nullptr, nullptr);
        forgetToken = registry.AddRemovedListener(
            [this](const CTavDevice& device) { web.ForgetDevice(device.GetName()); });
        web.SetPort(static_cast<std::uint16_t>(zm::test::FreeTcpPort()));
        web.SetBindAddress("127.0.0.1");
        web.SetShareAllowed(false);
        web.PrepareKmlReport();
    }
    ~ManagerWebTest() override {
        web.StopWebServer();
        registry.RemoveAllDevices();
        SetHomeRoot("");
    }
    std::shared_ptr<CTavDevice> Add(const std::string& name, double lat, double lon) {
        auto device = registry.AddDevice(false);
        device->SetName(name);
        if (CZorDevice* zor = AsZorDevice(*device)) {
            zor->SetPosition(lat, lon);
        }
        return device;
    }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(web.Port()); }

    test::TempDir home;
    CDeviceGate gate;
    ZorDeviceFactory factory;
    CDeviceRegistry registry;
    CManagerWeb web;
    ListenerToken forgetToken;
};

TEST_F(ManagerWebTest, KmlFilesAndRoutesFollowTheRegistry) {
    auto pier = Add("Pier & <1>", 59.9375, 30.3086);
    auto buoy = Add("Buoy-2", 60.5, 28.25);
    ASSERT_NE(AsZorDevice(*pier), nullptr) << "the registry makes ZOR devices";
    web.UpdateKmlView(pier.get(), 0);
    web.UpdateKmlView(nullptr, 0);
    web.WaitForKml();  // the files are written by the KML writer
    const std::string pierFile = web.Report().GetDeviceFilePath("Pier & <1>");
    const std::string buoyFile = web.Report().GetDeviceFilePath("Buoy-2");
    const std::string pierKml = test::ReadBytes(pierFile);
    EXPECT_NE(pierKml.find("30.308600,59.937500,0"), std::string::npos) << pierKml;
    EXPECT_NE(pierKml.find("Pier &amp; &lt;1&gt;"), std::string::npos);
    EXPECT_NE(test::ReadBytes(buoyFile).find("28.250000,60.500000,0"), std::string::npos);

    ASSERT_TRUE(web.StartWebServer());
    EXPECT_EQ(Curl(Base() + "/device-list"), "Pier & <1>;Buoy-2;");
    EXPECT_NE(Curl(Base() + "/preview").find("leaflet"), std::string::npos);

    // A second server on the same port fails to start; the first keeps answering.
    CDeviceRegistry other(gate, factory);
    CManagerWeb second(other);
    second.SetPort(web.Port());
    second.SetBindAddress("127.0.0.1");
    EXPECT_FALSE(second.StartWebServer());
    EXPECT_FALSE(second.IsRunning());
    EXPECT_EQ(Curl(Base() + "/device-list"), "Pier & <1>;Buoy-2;");

    // Removing a device takes its file and its name off the list.
    ASSERT_TRUE(registry.RemoveDevice(pier.get()));
    pier.reset();
    web.WaitForKml();
    EXPECT_FALSE(std::filesystem::exists(pierFile));
    EXPECT_TRUE(std::filesystem::exists(buoyFile));
    EXPECT_EQ(Curl(Base() + "/device-list"), "Buoy-2;");

    web.StopWebServer();
    EXPECT_FALSE(web.IsRunning());
    EXPECT_EQ(Curl(Base() + "/device-list"), "");
}

TEST_F(ManagerWebTest, ReportHasTheLogoOverlayButNoLegend) {
    auto pier = Add("Pier-1", 59.9375, 30.3086);
    web.UpdateKmlView(pier.get(), 0);
    web.WaitForKml();
    const std::string satellite =
        test::ReadBytes(web.Report().GetReportFolder() + "files/Satellite.kml");
    ASSERT_NE(satellite.find("<ScreenOverlay>"), std::string::npos) << satellite;
    EXPECT_NE(satellite.find("images\\Logo.png"), std::string::npos) << satellite;
    EXPECT_EQ(satellite.find("Legend"), std::string::npos) << satellite;
}

}  // namespace
}  // namespace zm
