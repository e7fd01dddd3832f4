// What the alarm actions remember of each device (the status text reported last) belongs
// to that device alone: another device of the same name, or a new device where a removed
// one was, neither repeats an alarm already reported nor loses its first one.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ActionsFixture.h"
#include "app/AlarmActions.h"
#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/MailSender.h"
#include "device/TavDevice.h"
#include "notify/UdpFun.h"

namespace zm::test {
namespace {

class AlarmMemoryTest : public LogsFixture {
  protected:
    AlarmMemoryTest() {
        registry_.SetContext(home_.file("Zor-Device.ini"), nullptr, nullptr);
        // As the programs wire it: a removed device is forgotten by its identity.
        token_ = registry_.AddRemovedListener(
            [this](const CTavDevice& device) { actions_.ForgetDevice(device.GetInstanceId()); });
    }
    ~AlarmMemoryTest() override { registry_.RemoveAllDevices(); }

    std::shared_ptr<CTavDevice> Add(const std::string& name, int status, const std::string& text) {
        auto device = registry_.AddDevice(false);
        device->SetName(name);
        device->SetStatus(status, text);
        return device;
    }
    int Alarms(const std::string& name) {
        return Count(DeviceLogText(), name + ": Alarm reported");
    }

    RecordingUi ui_{trail_};
    CUdpFun udp_;
    CMailSender mail_;
    AlarmActions actions_{ui_, udp_, mail_, [] {
                              AlarmActionSettings s;
                              s.bAlarmPopup = true;
                              return s;
                          }};
    CDeviceGate gate_;
    GenericDeviceFactory factory_;
    CDeviceRegistry registry_{gate_, factory_};
    ListenerToken token_;
};

TEST_F(AlarmMemoryTest, RemovingOneOfTwoSameNamedDevicesLeavesTheOtherAlone) {
    auto first = Add("Pier", 5, "Alarm reported");
    auto second = Add("Pier", 5, "Alarm reported");
    actions_.UpdateDeviceFeed(nullptr, registry_);
    ASSERT_EQ(Alarms("Pier"), 2);
    ASSERT_EQ(ui_.alarms.size(), 2u);

    ASSERT_TRUE(registry_.RemoveDevice(second.get()));
    EXPECT_EQ(actions_.LastReportedText(second->GetInstanceId()), "");
    EXPECT_EQ(actions_.LastReportedText(first->GetInstanceId()), "Alarm reported");
    // The next state event of the one that stays finds its alarm reported already.
    actions_.UpdateDeviceFeed(first.get(), registry_);
    actions_.UpdateDeviceFeed(nullptr, registry_);
    EXPECT_EQ(Alarms("Pier"), 2);
    EXPECT_EQ(ui_.alarms.size(), 2u);
}

// A removed device's threads stop while the dispatcher is pumped: a state event of it
// that runs then must not be remembered behind the forgetting, and a new device, even one
// that takes the memory the removed one had, reports its first alarm.
TEST_F(AlarmMemoryTest, ANewDeviceReportsItsFirstAlarmAfterARemovedOne) {
    auto old = Add("Buoy", 5, "Alarm reported");
    actions_.UpdateDeviceFeed(old.get(), registry_);
    ASSERT_EQ(Alarms("Buoy"), 1);
    const std::uint64_t oldId = old->GetInstanceId();
    const CTavDevice* oldAddress = old.get();
    registry_.SetStopPump([&] { actions_.UpdateDeviceFeed(old.get(), registry_); });
    ASSERT_TRUE(registry_.RemoveDevice(old.get()));
    registry_.SetStopPump({});
    EXPECT_EQ(actions_.LastReportedText(oldId), "");
    old.reset();

    // New devices until one takes the removed one's place in memory (or a few tries).
    std::vector<std::shared_ptr<CTavDevice>> added;
    std::set<std::uint64_t> ids = {oldId};
    bool sameAddress = false;
    for (int i = 0; i < 8 && !sameAddress; ++i) {
        added.push_back(Add("Buoy-" + std::to_string(i), 5, "Alarm reported"));
        sameAddress = added.back().get() == oldAddress;
        EXPECT_TRUE(ids.insert(added.back()->GetInstanceId()).second) << "an id given twice";
    }
    actions_.UpdateDeviceFeed(nullptr, registry_);
    for (const auto& device : added) {
        EXPECT_EQ(Alarms(device->GetName()), 1) << device->GetName();
    }
    RecordProperty("same_address_reused", sameAddress ? 1 : 0);
}

}  // namespace
}  // namespace zm::test
