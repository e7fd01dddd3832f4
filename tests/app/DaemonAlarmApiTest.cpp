// One alarm through the real server as a control room and an operator meet it: zor-sim
// raises it, curl reads and acknowledges it over the JSON API with an account made by the
// server's own command, and mosquitto_sub sees the lifecycle on the broker.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "support/MqttPeers.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using test::WaitUntil;

struct Answer {
    int status = 0;
    Json body;
};

// One request with curl, bounded by 5 s: status and JSON body.
Answer Curl(const std::string& args) {
    const std::string command = "curl -s --max-time 5 -w '\\n%{http_code}' " + args;
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    Answer a;
    const size_t last = out.rfind('\n');
    if (last != std::string::npos) {
        a.status = std::atoi(out.c_str() + last + 1);
        a.body = Json::parse(out.substr(0, last), nullptr, false);
    }
    return a;
}

// The server's own account command, the password on its standard input.
int AddOperator(const test::DaemonHome& home, const std::string& name, const std::string& role,
                const std::string& password) {
    const std::string command = "printf '%s\\n' '" + password + "' | '" + test::kServer +
                                "' --home '" + home.home.folder() + "' --add-operator '" + name +
                                "' --role " + role + " --password-stdin >/dev/null 2>&1";
    return std::system(command.c_str());
}

std::vector<Json> Payloads(const test::MqttSubscriber& sub, const std::string& topic) {
    std::vector<Json> list;
    for (const test::MqttMessage& m : sub.On(topic)) {
        list.push_back(Json::parse(m.payload, nullptr, false));
    }
    return list;
}

std::vector<std::string> EventNames(const test::MqttSubscriber& sub, const std::string& topic) {
    std::vector<std::string> names;
    for (const Json& j : Payloads(sub, topic)) {
        names.push_back(j.value("event", ""));
    }
    return names;
}

TEST(DaemonAlarmApi, OperatorAcknowledgesOverTheApiAndTheControlRoomSeesIt) {
    ZM_REQUIRE_MOSQUITTO();
    test::MqttBroker broker;
    test::MqttSubscriber room(broker.Port(), "zormanager/harbour/#");
    test::DaemonHome home;
    ASSERT_EQ(AddOperator(home, "olga", "operator", "harbour-2026"), 0);
    ASSERT_EQ(AddOperator(home, "vic", "viewer", "look-only"), 0);
    // A line someone wrote by hand with a role the server does not know.
    const std::string accounts = home.ConfigFolder() + "Operators.txt";
    std::FILE* file = std::fopen(accounts.c_str(), "a");
    ASSERT_NE(file, nullptr);
    std::fputs("mallory:superuser:$argon2id$v=19$m=19456,t=2,p=1$x$y\n", file);
    std::fclose(file);
    test::SimProcess sim({"--tcp-port", "0", "--log", home.home.file("sim.log"), "--sensor",
                          "addr=5,devnum=ZOR-0042,value=100,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    ManagerSettings settings;
    settings.mqtt_enabled = 1;
    settings.mqtt_port = broker.Port();
    settings.mqtt_station = "harbour";
    home.WriteSettings(settings, {{.name = "Pier-1", .tcpPort = sim.tcpPort, .address = 5}});
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    const std::string api = home.BaseUrl() + "/api/";
    ASSERT_TRUE(WaitUntil([&] { return Curl("'" + api + "devices'").status == 200; }, 15s))
        << home.RunLog();

    ASSERT_EQ(sim.Control("set 5 value=800,alarm=1").rfind("OK", 0), 0u);
    Json alarm;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const Answer a = Curl("'" + api + "alarms'");
            if (a.status != 200 || a.body["alarms"].size() != 1) {
                return false;
            }
            alarm = a.body["alarms"][0];
            return true;
        },
        15s))
        << home.RunLog();
    // The run log names the line; no account is made of it, nothing of it is lost.
    const std::string runLog = home.RunLog();
    EXPECT_NE(runLog.find("Operator accounts: "), std::string::npos) << runLog;
    EXPECT_NE(runLog.find("line 5: unknown role &quot;superuser&quot;"), std::string::npos)
        << runLog;
    EXPECT_NE(test::ReadBytes(accounts).find("mallory:superuser:"), std::string::npos);
    EXPECT_EQ(alarm["device"], "Pier-1");
    EXPECT_EQ(alarm["state"], "active_unacked");
    EXPECT_EQ(alarm["time"], alarm["opened"]);
    const std::int64_t id = alarm["id"].get<std::int64_t>();
    ASSERT_GT(id, 0);
    const std::string ack = "-X POST --data-binary '{\"comment\":\"boat sent\"}' '" + api +
                            "alarms/" + std::to_string(id) + "/ack'";

    EXPECT_EQ(Curl(ack).status, 401);
    EXPECT_EQ(Curl("-u vic:look-only " + ack).status, 403);
    const Answer acked = Curl("-u olga:harbour-2026 " + ack);
    ASSERT_EQ(acked.status, 200) << acked.body;
    EXPECT_EQ(acked.body["state"], "active_acked");
    EXPECT_EQ(acked.body["acked_by"], "olga");
    const Json listed = Curl("'" + api + "alarms'").body["alarms"][0];
    EXPECT_EQ(listed["state"], "active_acked");
    EXPECT_EQ(listed["acked_by"], "olga");
    EXPECT_EQ(listed["comment"], "boat sent");
    EXPECT_EQ(Curl("'" + api + "devices/Pier-1'").body["unackedAlarms"], 0);

    // The broker: the events with the alarm's id, and the retained list as it is now.
    const std::string events = "zormanager/harbour/alarm";
    const std::string list = "zormanager/harbour/alarms";
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto names = EventNames(room, events);
            return names.size() >= 2 && names[1] == "acknowledged";
        },
        5s))
        << room.Raw();
    const auto published = Payloads(room, events);
    EXPECT_EQ(published[0]["event"], "opened");
    EXPECT_EQ(published[0]["id"], id);
    EXPECT_EQ(published[1]["id"], id);
    EXPECT_EQ(published[1]["by"], "olga");
    test::MqttSubscriber late(broker.Port(), list);
    ASSERT_TRUE(WaitUntil([&] { return !late.Messages().empty(); }, 5s));
    EXPECT_TRUE(late.Messages()[0].retained);
    const Json retained = Json::parse(late.Messages()[0].payload, nullptr, false);
    ASSERT_EQ(retained["alarms"].size(), 1u) << late.Raw();
    EXPECT_EQ(retained["alarms"][0]["state"], "active_acked");

    // Back to normal: an acknowledged alarm closes and leaves the lists.
    ASSERT_EQ(sim.Control("set 5 value=100,alarm=0").rfind("OK", 0), 0u);
    ASSERT_TRUE(WaitUntil([&] { return Curl("'" + api + "alarms'").body["alarms"].empty(); }, 15s));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto lists = Payloads(room, list);
            return !lists.empty() && lists.back()["alarms"].empty() &&
                   EventNames(room, events).size() >= 4;
        },
        5s))
        << room.Raw();
    const auto all = Payloads(room, events);
    EXPECT_EQ(all[2]["event"], "returned");
    EXPECT_EQ(all[2]["state"], "closed");
    EXPECT_EQ(all[3]["event"], "closed");  // the processor's close, as it always was
    EXPECT_EQ(all[3]["id"], id);
}

}  // namespace
}  // namespace zm
