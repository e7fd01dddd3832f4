#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/DeviceRegistry.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "device/TavDevice.h"
#include "support/TempDir.h"

namespace zm {
namespace {

class DeviceRegistryTest : public ::testing::Test {
  protected:
    DeviceRegistryTest() : registry(gate, factory) {
        registry.SetContext(dir.file("Zor-Device.ini"), nullptr, nullptr);
    }
    std::vector<std::string> Sections(CIni& ini) {
        std::vector<std::string> names;
        ini.GetSectionNames(names);
        return names;
    }
    void AddNamed(const std::string& name) {
        auto device = registry.AddDevice(false);
        ASSERT_NE(device, nullptr);
        device->SetName(name);
    }

    test::TempDir dir;
    CDeviceGate gate;
    GenericDeviceFactory factory;
    CDeviceRegistry registry;
};

TEST_F(DeviceRegistryTest, LoadStopsAtTheFirstGapAndSaveRewritesOnlyDeviceSections) {
    CIni ini(dir.file("settings.ini"));
    ini.WriteString("ZorManagerWnd", "nViewMode", "0");
    for (const char* s : {"Zor-01", "Zor-02", "Zor-04"}) {
        ini.WriteString(s, "sName", std::string("Dev ") + s);
    }
    ini.WriteString("Zor-Test", "x", "1");
    ini.WriteString("Zor-X1", "x", "1");
    ini.WriteString("Zor-7", "x", "1");
    ini.WriteString("AlarmWnd", "Window Placement", "00");

    registry.LoadDevices(ini);
    ASSERT_EQ(registry.GetCount(), 2u);
    EXPECT_EQ(registry.GetDeviceNames(), "Dev Zor-01;Dev Zor-02;");
    EXPECT_EQ(registry.GetFirstDeviceName(), "Dev Zor-01");

    registry.SaveDevices(ini);
    const auto names = Sections(ini);
    auto has = [&](const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    EXPECT_TRUE(has("Zor-01"));
    EXPECT_TRUE(has("Zor-02"));
    EXPECT_TRUE(has("Zor-01::XSocket"));
    EXPECT_FALSE(has("Zor-04"));
    EXPECT_FALSE(has("Zor-7"));
    EXPECT_TRUE(has("Zor-Test"));
    EXPECT_TRUE(has("Zor-X1"));
    EXPECT_TRUE(has("ZorManagerWnd"));
    EXPECT_TRUE(has("AlarmWnd"));
    EXPECT_EQ(ini.GetString("Zor-02", "sName"), "Dev Zor-02");
    registry.RemoveAllDevices();
    EXPECT_EQ(registry.GetCount(), 0u);
    EXPECT_EQ(registry.GetFirstDeviceName(), "");
    EXPECT_EQ(registry.GetDeviceNames(), "");
}

TEST_F(DeviceRegistryTest, RemovingTheFirstOfThreeSavesTwoSections) {
    AddNamed("A");
    AddNamed("B");
    AddNamed("C");
    CIni ini(dir.file("settings.ini"));
    registry.SaveDevices(ini);
    ASSERT_TRUE(ini.IsSectionExist("Zor-03"));
    ASSERT_TRUE(registry.RemoveDevice(registry.GetDevice(0).get()));
    EXPECT_FALSE(registry.RemoveDevice(nullptr));
    registry.SaveDevices(ini);
    EXPECT_EQ(ini.GetString("Zor-01", "sName"), "B");
    EXPECT_EQ(ini.GetString("Zor-02", "sName"), "C");
    EXPECT_FALSE(ini.IsSectionExist("Zor-03"));
    EXPECT_FALSE(ini.IsSectionExist("Zor-03::ComPort"));
}

TEST_F(DeviceRegistryTest, NewDevicesGetTheColourOfTheirPositionAndATimeName) {
    const std::uint32_t expected[] = {
        Rgb(255, 0, 255), Rgb(0, 0, 255), Rgb(0, 255, 255), Rgb(0, 255, 0), Rgb(255, 255, 0),
        Rgb(255, 127, 0), Rgb(255, 0, 0), Rgb(255, 0, 0),   Rgb(255, 0, 0),
    };
    for (std::uint32_t colour : expected) {
        auto device = registry.AddDevice(false);
        EXPECT_EQ(device->GetColor(), colour);
        const std::string name = device->GetName();
        ASSERT_EQ(name.size(), 12u) << name;
        EXPECT_EQ(name.substr(0, 4), "Zor-");
        EXPECT_EQ(name[6], '-');
    }
    EXPECT_EQ(CDeviceRegistry::DeviceColor(19), Rgb(255, 0, 0));
}

TEST(DeviceRegistryNames, DeviceSectionRule) {
    struct Case {
        const char* name;
        bool device;
    };
    const Case cases[] = {{"Zor-01", true},          {"Zor-7", true},     {"Zor-1x", true},
                          {"Zor-01::ComPort", true}, {"Zor-Test", false}, {"Zor-X1", false},
                          {"Zor-", false},           {"zor-01", false},   {"XZor-01", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(CDeviceRegistry::IsDeviceSection(c.name), c.device) << c.name;
    }
    EXPECT_EQ(CDeviceRegistry::SectionName(1), "Zor-01");
    EXPECT_EQ(CDeviceRegistry::SectionName(123), "Zor-123");
}

TEST_F(DeviceRegistryTest, TwoHundredDevicesSaveAndLoadInOneBatch) {
    for (int i = 0; i < 200; ++i) {
        AddNamed("Sensor " + std::to_string(i + 1));
    }
    CIni ini(dir.file("settings.ini"));
    ini.WriteString("Keep", "k", "v");
    const auto start = std::chrono::steady_clock::now();
    registry.SaveDevices(ini);
    const auto saved = std::chrono::steady_clock::now() - start;
    EXPECT_LT(saved, std::chrono::seconds(20)) << "save does not finish";
    EXPECT_TRUE(ini.IsSectionExist("Zor-200"));
    EXPECT_FALSE(ini.IsSectionExist("Zor-201"));

    registry.LoadDevices(ini);
    ASSERT_EQ(registry.GetCount(), 200u);
    EXPECT_EQ(registry.GetDevice(199)->GetName(), "Sensor 200");
    EXPECT_EQ(ini.GetString("Keep", "k"), "v");
    registry.RemoveAllDevices();
}

}  // namespace
}  // namespace zm
