// The simulator's alarm bit that follows the signal, and its signal that drifts by the
// clock: what the demo's bus relies on to raise an alarm now and then by itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "device/zor/ZorFrame.h"
#include "device/zor/ZorRecords.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using test::FdLink;
using test::SimProcess;
using test::TempDir;
using test::TestHost;
using Bytes = std::vector<uint8_t>;

struct Answer {
    bool ok = false;
    bool alarm = false;
    std::vector<ZorDataRecord> records;
};

class SimAlarmRule : public testing::Test {
  protected:
    void Start(const std::string& sensor) {
        sim = std::make_unique<SimProcess>(std::vector<std::string>{
            "--tcp-port", "0", "--log", dir.file("tx.log"), "--sensor", sensor});
        ASSERT_TRUE(sim->Ready());
        host = std::make_unique<TestHost>(FdLink::Tcp(sim->tcpPort), dir.folder());
        host->address = 3;
        transactor = std::make_unique<CZorTransactor>(*host);
        transactor->SetPauseBeforeExchangeMs(0);
    }

    // State and data in one exchange, as a 5.2 controller is asked.
    Answer StateData() {
        Answer answer;
        Bytes payload;
        if (!transactor->Transact(nullptr, "GetDevStateData", kCmdGetDevStateData, {}, payload) ||
            payload.size() < ZorState::kSize) {
            return answer;
        }
        ZorState state;
        std::copy_n(payload.begin(), ZorState::kSize, state.bytes.begin());
        answer.ok = true;
        answer.alarm = state.Alarm();
        answer.records = SplitDataRecords(std::span(payload).subspan(ZorState::kSize));
        return answer;
    }

    // The state alone, as older controllers are asked.
    bool StateAlarm() {
        Bytes payload;
        EXPECT_TRUE(transactor->Transact(nullptr, "GetDevState", kCmdGetDevState, {}, payload));
        ZorState state;
        EXPECT_TRUE(DecodeDevState(payload, state, nullptr));
        return state.Alarm();
    }

    std::string Control(const std::string& line) { return sim->Control(line); }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TestHost> host;
    std::unique_ptr<CZorTransactor> transactor;
};

TEST_F(SimAlarmRule, AlarmBitFollowsTheCorridorBetweenTheThresholds) {
    Start("addr=3,value=100,alarm=auto,param.MinSigThr=500,param.MaxSigThr=10000");
    struct Case {
        const char* value;
        bool alarm;
    };
    // Below, on both edges, inside and above the corridor.
    const Case cases[] = {{"100", false},  {"499.5", false}, {"500", true},   {"800", true},
                          {"10000", true}, {"10001", false}, {"20000", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        ASSERT_EQ(Control(std::string("set 3 value=") + c.value), "OK");
        const Answer answer = StateData();
        ASSERT_TRUE(answer.ok);
        ASSERT_FALSE(answer.records.empty());
        EXPECT_EQ(answer.alarm, c.alarm);
        EXPECT_EQ(StateAlarm(), c.alarm);
    }
    // Moved thresholds move the corridor.
    ASSERT_EQ(Control("set 3 value=800,param.MinSigThr=900"), "OK");
    EXPECT_FALSE(StateData().alarm);
    // A fixed bit takes over again, whatever the signal; "auto" gives it back to the signal.
    ASSERT_EQ(Control("set 3 alarm=1"), "OK");
    EXPECT_TRUE(StateData().alarm);
    ASSERT_EQ(Control("set 3 alarm=auto"), "OK");
    EXPECT_FALSE(StateData().alarm);
    EXPECT_NE(Control("show").find("alarm=auto"), std::string::npos);
    EXPECT_EQ(Control("set 3 alarm=on").rfind("ERR ", 0), 0u);
}

TEST_F(SimAlarmRule, DriftRisesIntoTheCorridorAndBackByTheClock) {
    // Every 1.2 s a hump of 0.6 s from 100 up to 900; above 500 for its middle half.
    Start(
        "addr=3,records=2,source=drift:100:900:1.2:0.6,alarm=auto,param.MinSigThr=500,"
        "param.MaxSigThr=10000");
    int alarms = 0, calm = 0, changes = 0;
    bool last = false;
    double peak = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    // Bounded: at most 6 s, ended as soon as two humps have come and gone.
    while (std::chrono::steady_clock::now() < end && changes < 4) {
        const Answer answer = StateData();
        ASSERT_TRUE(answer.ok);
        ASSERT_EQ(answer.records.size(), 2u);
        for (const ZorDataRecord& record : answer.records) {
            EXPECT_GE(record.signal, 100.0f - 0.01f);
            EXPECT_LE(record.signal, 900.0f + 0.01f);
            peak = std::max(peak, static_cast<double>(record.signal));
        }
        // The bit in front of the records agrees with them.
        EXPECT_EQ(answer.alarm, answer.records.back().signal >= 500.0f)
            << answer.records.back().signal;
        (answer.alarm ? alarms : calm)++;
        changes += answer.alarm != last ? 1 : 0;
        last = answer.alarm;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GE(changes, 4) << "alarms " << alarms << ", calm " << calm;
    EXPECT_GT(peak, 800.0);

    // A new source starts its clock when it is set: the signal rests at its base first
    // when the hump is short against the period, and the sensor keeps the source.
    ASSERT_EQ(Control("set 3 source=drift:150:900:3600:1"), "OK");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const Answer rest = StateData();
    ASSERT_TRUE(rest.ok);
    EXPECT_FALSE(rest.alarm);
    EXPECT_FLOAT_EQ(rest.records.front().signal, 150.0f);
    EXPECT_NE(Control("show").find("source=drift:150:900:3600:1"), std::string::npos);

    for (const char* bad : {"set 3 source=drift:1:2:0:0", "set 3 source=drift:1:2:5:6",
                            "set 3 source=drift:1:2:5", "set 3 source=drift:1:2:5:-1"}) {
        EXPECT_EQ(Control(bad).rfind("ERR ", 0), 0u) << bad;
    }
}

}  // namespace
}  // namespace zm
