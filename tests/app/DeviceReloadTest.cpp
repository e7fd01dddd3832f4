// Reloading the device list from an edited file: which devices go on as they are, which
// are made anew, and in what order the list comes out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DeviceRegistry.h"
#include "base/Ini.h"
#include "device/TavDevice.h"
#include "support/TempDir.h"

namespace zm {
namespace {

class DeviceReloadTest : public ::testing::Test {
  protected:
    DeviceReloadTest() : registry(gate, factory), ini(dir.file("settings.ini")) {
        registry.SetContext(dir.file("Zor-Device.ini"), nullptr, nullptr);
        forgetToken = registry.AddRemovedListener(
            [this](const CTavDevice& device) { forgotten.push_back(device.GetName()); });
    }
    ~DeviceReloadTest() override { registry.RemoveAllDevices(); }

    void WriteDevice(int number, const std::string& name, const std::string& link = "EMUL") {
        ini.WriteString(CDeviceRegistry::SectionName(number), "sName", name);
        ini.WriteString(CDeviceRegistry::SectionName(number), "sLinkType", link);
    }
    std::vector<CTavDevice*> Devices() const {
        std::vector<CTavDevice*> list;
        for (const auto& d : registry.GetDevices()) {
            list.push_back(d.get());
        }
        return list;
    }

    test::TempDir dir;
    CDeviceGate gate;
    GenericDeviceFactory factory;
    CDeviceRegistry registry;
    CIni ini;
    std::vector<std::string> forgotten;
    ListenerToken forgetToken;
};

TEST_F(DeviceReloadTest, UnchangedSectionsKeepTheirRunningDevices) {
    WriteDevice(1, "A");
    WriteDevice(2, "B");
    WriteDevice(3, "C");
    registry.LoadDevices(ini);
    const std::vector<CTavDevice*> before = Devices();
    ASSERT_EQ(before.size(), 3u);

    // B gets another link, D is new; A and C are left alone.
    WriteDevice(2, "B", "====");
    WriteDevice(4, "D");
    const CDeviceRegistry::ReloadResult result = registry.ReloadDevices(ini);
    EXPECT_EQ(result.kept, 2);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.removed, 0);
    const std::vector<CTavDevice*> after = Devices();
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_NE(after[1], before[1]);
    EXPECT_EQ(after[2], before[2]);
    EXPECT_EQ(registry.GetDeviceNames(), "A;B;C;D;");
    EXPECT_EQ(after[1]->GetLinkType(), "====");
    // The replaced device has the colour of its place, the new one of its own.
    EXPECT_EQ(after[1]->GetColor(), CDeviceRegistry::DeviceColor(1));
    EXPECT_EQ(after[3]->GetColor(), CDeviceRegistry::DeviceColor(3));
    EXPECT_EQ(forgotten, std::vector<std::string>{"B"});

    // A second reload of the same file changes nothing at all.
    const CDeviceRegistry::ReloadResult again = registry.ReloadDevices(ini);
    EXPECT_EQ(again.kept, 4);
    EXPECT_EQ(again.replaced + again.added + again.removed, 0);
    EXPECT_EQ(Devices(), after);
}

TEST_F(DeviceReloadTest, ShorterListsStopTheDevicesAtTheEnd) {
    WriteDevice(1, "A");
    WriteDevice(2, "B");
    WriteDevice(3, "C");
    registry.LoadDevices(ini);
    const std::vector<CTavDevice*> before = Devices();

    // The list stops at the first missing number, as at start: C goes with B's section.
    ini.DeleteSection("Zor-02");
    const CDeviceRegistry::ReloadResult result = registry.ReloadDevices(ini);
    EXPECT_EQ(result.kept, 1);
    EXPECT_EQ(result.removed, 2);
    EXPECT_EQ(Devices(), std::vector<CTavDevice*>{before[0]});
    EXPECT_EQ(forgotten, (std::vector<std::string>{"C", "B"}));

    // Another device written into a section replaces the one loaded from it.
    WriteDevice(1, "C");
    const CDeviceRegistry::ReloadResult moved = registry.ReloadDevices(ini);
    EXPECT_EQ(moved.replaced, 1);
    EXPECT_EQ(registry.GetDeviceNames(), "C;");
}

}  // namespace
}  // namespace zm
