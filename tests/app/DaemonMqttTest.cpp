// The headless server publishing to a real broker (mosquitto, started here on loopback):
// mosquitto_sub is the control room, zor-sim the sensors, curl and Python the JSON readers.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "support/MqttPeers.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using Daemon = test::ChildProcess;
using test::MqttBroker;
using test::MqttMessage;
using test::MqttSubscriber;
using test::WaitUntil;
using Json = nlohmann::json;

ManagerSettings WithBroker(int port, const std::string& station, bool enabled = true) {
    ManagerSettings s;
    s.mqtt_enabled = enabled ? 1 : 0;
    s.mqtt_port = port;
    s.mqtt_station = station;
    return s;
}

// The JSON of every message on the topic, oldest first; empty payloads are skipped.
std::vector<Json> Payloads(const MqttSubscriber& sub, const std::string& topic) {
    std::vector<Json> list;
    for (const MqttMessage& m : sub.On(topic)) {
        if (!m.payload.empty()) {
            list.push_back(Json::parse(m.payload, nullptr, false));
        }
    }
    return list;
}

std::vector<Json> Events(const MqttSubscriber& sub, const std::string& topic,
                         const std::string& event, const std::string& device) {
    std::vector<Json> list;
    for (const Json& j : Payloads(sub, topic)) {
        if (j.is_object() && j.value("event", "") == event && j.value("device", "") == device) {
            list.push_back(j);
        }
    }
    return list;
}

// Status line, headers and body of one GET, bounded by 5 s.
std::string CurlWithHeaders(const std::string& url) {
    const std::string command = "curl -s -D - --max-time 5 '" + url + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

std::string Body(const std::string& response) {
    const size_t gap = response.find("\r\n\r\n");
    return gap == std::string::npos ? std::string() : response.substr(gap + 4);
}

std::string SensorArg(int address, const std::string& devnum) {
    return "addr=" + std::to_string(address) + ",devnum=" + devnum +
           ",value=100,param.MinSigThr=500,param.MaxSigThr=10000";
}

class DaemonMqtt : public ::testing::Test {
  protected:
    void SetUp() override { ZM_REQUIRE_MOSQUITTO(); }
};

TEST_F(DaemonMqtt, ControlRoomSeesRetainedStatesAndTheAlarmRoad) {
    MqttBroker broker;
    MqttSubscriber all(broker.Port(), "zormanager/#");
    test::DaemonHome home;
    test::SimProcess sim({"--tcp-port", "0", "--log", home.home.file("sim.log"), "--sensor",
                          SensorArg(5, "ZOR-0042"), "--sensor", SensorArg(6, "ZOR-0043")});
    ASSERT_TRUE(sim.Ready());
    const std::string odd = "Pier/North#1";
    home.WriteSettings(WithBroker(broker.Port(), "harbour"),
                       {{.name = odd, .latitude = 59.5, .tcpPort = sim.tcpPort, .address = 5},
                        {.name = "Buoy 2", .tcpPort = sim.tcpPort, .address = 6}});
    Daemon daemon(home.Args(), home.home.file("daemon.out"));
    const std::string prefix = "zormanager/harbour/";
    const std::string oddTopic = prefix + "device/Pier%2FNorth%231/state";
    const std::string buoyTopic = prefix + "device/Buoy 2/state";
    auto online = [&](const std::string& topic) {
        const auto states = Payloads(all, topic);
        return !states.empty() && states.back().value("status", -1) == 1;
    };
    ASSERT_TRUE(WaitUntil([&] { return online(oddTopic) && online(buoyTopic); }, 15s))
        << all.Raw() << home.RunLog();

    // A control room that subscribes now gets every device's state from the broker.
    MqttSubscriber late(broker.Port(), prefix + "device/+/state");
    ASSERT_TRUE(WaitUntil([&] { return late.Messages().size() >= 2; }, 5s)) << late.Raw();
    const auto first = late.Messages();
    for (const MqttMessage& m : {first[0], first[1]}) {
        EXPECT_TRUE(m.retained) << m.topic;
    }
    const Json oddState = Payloads(late, oddTopic).at(0);
    EXPECT_EQ(oddState["name"], odd);
    EXPECT_EQ(oddState["statusText"], "Online and Ok");
    EXPECT_EQ(oddState["icon"], "Good");
    EXPECT_EQ(oddState["level"], 3);
    EXPECT_DOUBLE_EQ(oddState["lat"].get<double>(), 59.5);
    EXPECT_EQ(all.On(prefix + "status").at(0).payload, "online");
    ASSERT_FALSE(Payloads(all, prefix + "device/Buoy 2/data").empty());
    const Json data = Payloads(all, prefix + "device/Buoy 2/data").back();
    EXPECT_GE(data["count"].get<int>(), 1);
    EXPECT_EQ(data["values"].size(), data["backgrounds"].size());

    // The JSON view agrees with the plain routes and the KML files, read independently.
    const std::string kmlRoot = home.home.folder() + "AppData/KmlRoot";
    const std::string check = std::string("/usr/bin/python3 ") + ZM_TEST_SOURCE_DIR +
                              "/app/api_vs_kml.py " + home.BaseUrl() + " " + kmlRoot + " harbour";
    std::string verdict;
    EXPECT_TRUE(WaitUntil(
        [&] {
            verdict.clear();
            if (FILE* pipe = popen(check.c_str(), "r")) {
                char line[4096];
                while (fgets(line, sizeof line, pipe) != nullptr) {
                    verdict += line;
                }
                pclose(pipe);
            }
            return verdict == "OK\n";
        },
        10s))
        << verdict;
    const std::string one = CurlWithHeaders(home.BaseUrl() + "/api/devices/Pier%2FNorth%231");
    EXPECT_NE(one.find("Content-Type: application/json; charset=utf-8"), std::string::npos) << one;
    EXPECT_EQ(Json::parse(Body(one), nullptr, false).value("name", ""), odd);
    const std::string none = CurlWithHeaders(home.BaseUrl() + "/api/devices/Nobody");
    EXPECT_EQ(none.rfind("HTTP/1.0 404", 0), 0u) << none;

    // The alarm road: opened with the value and the report, then closed, in this order.
    ASSERT_EQ(sim.Control("set 6 value=800,alarm=1").rfind("OK", 0), 0u);
    ASSERT_TRUE(
        WaitUntil([&] { return !Events(all, prefix + "alarm", "opened", "Buoy 2").empty(); }, 10s))
        << all.Raw();
    const Json opened = Events(all, prefix + "alarm", "opened", "Buoy 2").at(0);
    EXPECT_DOUBLE_EQ(opened["value"].get<double>(), 800.0);
    const std::string report = opened.value("report", "");
    EXPECT_NE(report.find("AlarmReport_ZOR-0043_Buoy 2_"), std::string::npos) << report;
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(report); }, 5s)) << report;
    const Json alarms =
        Json::parse(Body(CurlWithHeaders(home.BaseUrl() + "/api/alarms")), nullptr, false);
    ASSERT_TRUE(alarms.is_object()) << alarms;
    ASSERT_EQ(alarms["alarms"].size(), 1u) << alarms;
    EXPECT_EQ(alarms["alarms"][0]["device"], "Buoy 2");
    EXPECT_EQ(alarms["alarms"][0]["report"], report);
    EXPECT_TRUE(
        WaitUntil([&] { return Payloads(all, buoyTopic).back().value("status", -1) == 5; }, 5s));

    ASSERT_EQ(sim.Control("set 6 value=100,alarm=0").rfind("OK", 0), 0u);
    ASSERT_TRUE(
        WaitUntil([&] { return !Events(all, prefix + "alarm", "closed", "Buoy 2").empty(); }, 10s))
        << all.Raw();
    // The lifecycle's return comes first; "closed" is the processor's close with the
    // complete report, as before, now with the alarm's id.
    const auto events = Payloads(all, prefix + "alarm");
    ASSERT_EQ(events.size(), 3u) << all.Raw();
    EXPECT_EQ(events[0]["event"], "opened");
    EXPECT_EQ(events[1]["event"], "returned");
    EXPECT_EQ(events[1]["state"], "rtn_unacked");
    EXPECT_EQ(events[2]["event"], "closed");
    EXPECT_EQ(events[2]["report"], report);
    EXPECT_EQ(events[2]["id"], events[0]["id"]);
    // Nobody acknowledged it: it stays in the list, returned, until someone does.
    EXPECT_TRUE(WaitUntil(
        [&] {
            const Json list =
                Json::parse(Body(CurlWithHeaders(home.BaseUrl() + "/api/alarms")), nullptr, false)
                    .value("alarms", Json::array());
            return list.size() == 1 && list[0].value("state", "") == "rtn_unacked";
        },
        5s));

    // The bus goes silent and comes back on the same port: lost, then restored.
    const int busPort = sim.tcpPort;
    sim.Stop();
    ASSERT_TRUE(WaitUntil(
        [&] { return !Events(all, prefix + "alarm", "connection_lost", "Buoy 2").empty(); }, 10s))
        << all.Raw();
    EXPECT_EQ(Payloads(all, buoyTopic).back()["status"], 0);
    test::SimProcess again({"--tcp-port", std::to_string(busPort), "--log",
                            home.home.file("sim2.log"), "--sensor", SensorArg(5, "ZOR-0042"),
                            "--sensor", SensorArg(6, "ZOR-0043")});
    ASSERT_TRUE(again.Ready());
    ASSERT_TRUE(WaitUntil(
        [&] { return !Events(all, prefix + "alarm", "connection_restored", "Buoy 2").empty(); },
        15s))
        << all.Raw();
    EXPECT_EQ(Events(all, prefix + "alarm", "connection_lost", "Buoy 2").size(), 1u);
    EXPECT_EQ(Payloads(all, buoyTopic).back()["status"], 1);

    // An orderly end says "offline".
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(15s), 0);
    EXPECT_TRUE(
        WaitUntil([&] { return all.On(prefix + "status").back().payload == "offline"; }, 3s));
}

TEST_F(DaemonMqtt, BrokerOutageLosesNoAlarmAndLeavesTheServerResponsive) {
    MqttBroker broker(true);
    test::DaemonHome home;
    test::SimProcess sim({"--tcp-port", "0", "--log", home.home.file("sim.log"), "--sensor",
                          SensorArg(5, "ZOR-0042"), "--sensor", SensorArg(6, "ZOR-0043")});
    ASSERT_TRUE(sim.Ready());
    home.WriteSettings(WithBroker(broker.Port(), "harbour"),
                       {{.name = "Pier-1", .tcpPort = sim.tcpPort, .address = 5},
                        {.name = "Pier-2", .tcpPort = sim.tcpPort, .address = 6}});
    // The control room keeps its session at the broker, so that what was published for it
    // while it reconnects waits there.
    MqttSubscriber room(broker.Port(), "zormanager/harbour/alarm", {"-c", "-i", "control-room"});
    Daemon daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_TRUE(WaitUntil(
        [&] { return home.RunLog().find("MQTT: connected to") != std::string::npos; }, 10s))
        << home.RunLog();
    ASSERT_TRUE(
        WaitUntil([&] { return broker.Log().find("as control-room") != std::string::npos; }, 5s));

    broker.Stop();
    ASSERT_EQ(sim.Control("set 5 value=800,alarm=1").rfind("OK", 0), 0u);
    int answered = 0;
    const auto outageEnd = std::chrono::steady_clock::now() + 10s;
    for (int i = 0; i < 20 && std::chrono::steady_clock::now() < outageEnd; ++i) {
        const Json devices =
            Json::parse(test::CurlGet(home.BaseUrl() + "/api/devices", 2), nullptr, false);
        answered += devices.is_object() && devices["devices"].size() == 2 ? 1 : 0;
        std::this_thread::sleep_until(std::min(outageEnd, std::chrono::steady_clock::now() + 1s));
    }
    EXPECT_GE(answered, 8) << "the web server stopped answering during the outage";
    ASSERT_NE(home.DeviceLog().find("Pier-1: Alarm"), std::string::npos) << home.DeviceLog();

    ASSERT_TRUE(broker.Start());
    const auto back = std::chrono::steady_clock::now();
    std::this_thread::sleep_until(back + 2s);
    MqttSubscriber fresh(broker.Port(), "zormanager/harbour/device/+/state");
    ASSERT_TRUE(WaitUntil([&] { return fresh.Messages().size() >= 2; }, 2s)) << fresh.Raw();
    const Json pier1 = Payloads(fresh, "zormanager/harbour/device/Pier-1/state").at(0);
    const Json pier2 = Payloads(fresh, "zormanager/harbour/device/Pier-2/state").at(0);
    EXPECT_EQ(pier1["status"], 5) << "not current 2 s after the broker came back";
    EXPECT_EQ(pier2["status"], 1);

    ASSERT_TRUE(WaitUntil(
        [&] { return !Events(room, "zormanager/harbour/alarm", "opened", "Pier-1").empty(); }, 10s))
        << room.Raw();
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(Events(room, "zormanager/harbour/alarm", "opened", "Pier-1").size(), 1u)
        << room.Raw();
    const std::string log = home.RunLog();
    const std::string at = "127.0.0.1:" + std::to_string(broker.Port());
    EXPECT_NE(log.find("MQTT: connection to " + at + " lost"), std::string::npos) << log;
    EXPECT_NE(log.find("MQTT: connected to " + at + " again after"), std::string::npos) << log;
    EXPECT_NE(log.find("1 queued alarm event(s) sent"), std::string::npos) << log;
}

TEST_F(DaemonMqtt, ThreeStationsReachOneControlRoom) {
    MqttBroker broker;
    MqttSubscriber room(broker.Port(), "zormanager/#");
    const std::vector<std::string> stations = {"north", "south", "east"};
    std::vector<std::unique_ptr<test::DaemonHome>> homes;
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    std::vector<std::unique_ptr<Daemon>> daemons;
    for (size_t i = 0; i < stations.size(); ++i) {
        homes.push_back(std::make_unique<test::DaemonHome>());
        test::DaemonHome& home = *homes.back();
        sims.push_back(std::make_unique<test::SimProcess>(
            std::vector<std::string>{"--tcp-port", "0", "--log", home.home.file("sim.log"),
                                     "--sensor", SensorArg(5, "ZOR-010" + std::to_string(i))}));
        ASSERT_TRUE(sims.back()->Ready());
        // The third station starts without publishing; its operator turns it on later.
        home.WriteSettings(WithBroker(broker.Port(), stations[i], i != 2),
                           {{.name = "Pier-1", .tcpPort = sims.back()->tcpPort}});
        daemons.push_back(std::make_unique<Daemon>(home.Args(), home.home.file("daemon.out")));
    }
    auto stateOf = [&](const std::string& station) {
        return Payloads(room, "zormanager/" + station + "/device/Pier-1/state");
    };
    ASSERT_TRUE(
        WaitUntil([&] { return !stateOf("north").empty() && !stateOf("south").empty(); }, 15s))
        << room.Raw();
    EXPECT_TRUE(stateOf("east").empty());

    // The operator sets the key in the settings file and tells the server to reload.
    {
        CIni ini(homes[2]->SettingsPath());
        ini.WriteInt(ManagerSettings::kSection, "mqtt_enabled", 1);
    }
    ASSERT_EQ(kill(daemons[2]->Pid(), SIGHUP), 0);
    ASSERT_TRUE(WaitUntil([&] { return !stateOf("east").empty(); }, 10s)) << homes[2]->RunLog();

    for (auto& sim : sims) {
        ASSERT_EQ(sim->Control("set 5 value=900,alarm=1").rfind("OK", 0), 0u);
    }
    for (const std::string& station : stations) {
        EXPECT_TRUE(WaitUntil(
            [&] {
                return !Events(room, "zormanager/" + station + "/alarm", "opened", "Pier-1")
                            .empty();
            },
            10s))
            << station << "\n"
            << room.Raw();
        EXPECT_EQ(room.On("zormanager/" + station + "/status").back().payload, "online");
    }

    // A station that dies without a word is reported by the broker's last will.
    ASSERT_EQ(kill(daemons[1]->Pid(), SIGKILL), 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return room.On("zormanager/south/status").back().payload == "offline"; }, 5s))
        << room.Raw();
    EXPECT_EQ(room.On("zormanager/north/status").back().payload, "online");
}

}  // namespace
}  // namespace zm
