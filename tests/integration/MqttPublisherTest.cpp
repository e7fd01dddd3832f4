#include <functional>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "base/Log.h"
#include "integration/MqttPublisher.h"
#include "integration/MqttTopics.h"
#include "support/MqttPeers.h"
#include "support/ScopedEnv.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::MqttBroker;
using test::MqttMessage;
using test::MqttSubscriber;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

// Devices of these tests are told apart by name; a rename gives the id explicitly.
std::uint64_t IdOf(const std::string& name) {
    return std::hash<std::string>{}(name) | 1;
}

DeviceStateRecord State(const std::string& name, int status, double value = 0) {
    DeviceStateRecord s;
    s.id = IdOf(name);
    s.name = name;
    s.status = status;
    s.statusText = status == 5 ? "Alarm reported" : "Online and Ok";
    s.level = status == 5 ? 4 : 3;
    s.icon = status == 5 ? "Alarm" : "Good";
    s.time = 1700000000;
    s.value = value;
    return s;
}

class MqttPublisherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZM_REQUIRE_MOSQUITTO();
        broker = std::make_unique<MqttBroker>();
        runLog.SetFolder(dir.folder());
        ASSERT_TRUE(runLog.Open("RunLog", false));
        settings.enabled = true;
        settings.port = broker->Port();
        settings.station = "harbour";
    }
    std::string Topic(const std::string& device) const {
        return MqttTopics(settings.prefix, settings.station).DeviceState(device);
    }
    std::string RunLogText() const { return test::ReadBytes(runLog.GetPath()); }

    // A broker that keeps sessions across a restart, and a subscriber with a session there:
    // what is published while the subscriber reconnects after an outage waits for it.
    std::unique_ptr<MqttSubscriber> KeepingSubscriber(const std::string& filter) {
        broker = std::make_unique<MqttBroker>(true);
        settings.port = broker->Port();
        auto sub = std::make_unique<MqttSubscriber>(broker->Port(), filter,
                                                    std::vector<std::string>{"-c", "-i", "room"});
        EXPECT_TRUE(WaitFor([&] { return broker->Log().find(" as room") != std::string::npos; }));
        return sub;
    }

    test::TempDir dir;
    CLog runLog;
    std::unique_ptr<MqttBroker> broker;
    MqttSettings settings;
};

TEST_F(MqttPublisherTest, LateSubscriberFindsEveryDeviceStateRetained) {
    CMqttPublisher publisher(&runLog);
    publisher.PublishState(State("Buoy 1", 1, 10));  // known before the start
    publisher.Apply(settings);
    publisher.PublishState(State("Pier/North#2", 5, 812));
    publisher.PublishState(State("Buoy 3", 1));
    ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished >= 3; }));

    MqttSubscriber sub(broker->Port(), "zormanager/#");
    ASSERT_TRUE(WaitFor([&] { return sub.Messages().size() >= 4; }));
    const auto status = sub.On("zormanager/harbour/status");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_TRUE(status[0].retained);
    EXPECT_EQ(status[0].payload, "online");
    for (const std::string name : {"Buoy 1", "Pier/North#2", "Buoy 3"}) {
        const auto got = sub.On(Topic(name));
        ASSERT_EQ(got.size(), 1u) << name << "\n" << sub.Raw();
        EXPECT_TRUE(got[0].retained);
        EXPECT_EQ(nlohmann::json::parse(got[0].payload)["name"], name);
    }
    EXPECT_EQ(sub.On("zormanager/harbour/device/Pier%2FNorth%232/state").size(), 1u);
    EXPECT_NE(RunLogText().find("MQTT: connected to 127.0.0.1:"), std::string::npos);
}

TEST_F(MqttPublisherTest, UnchangedStateIsNotRepublishedButAChangeIs) {
    CMqttPublisher publisher(&runLog);
    publisher.Apply(settings);
    MqttSubscriber sub(broker->Port(), Topic("A"));
    ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().connected; }));
    publisher.PublishState(State("A", 1, 1));
    ASSERT_TRUE(WaitFor([&] { return sub.Messages().size() == 1; }));
    for (int i = 0; i < 5; ++i) {
        publisher.PublishState(State("A", 1, 2 + i));  // only the signal moves
    }
    publisher.PublishState(State("A", 5, 900));
    ASSERT_TRUE(WaitFor([&] { return sub.Messages().size() >= 2; }));
    std::this_thread::sleep_for(300ms);
    const auto got = sub.Messages();
    ASSERT_EQ(got.size(), 2u) << sub.Raw();
    EXPECT_EQ(nlohmann::json::parse(got[1].payload)["status"], 5);
    EXPECT_EQ(nlohmann::json::parse(got[1].payload)["value"], 900);
}

TEST_F(MqttPublisherTest, AlarmDuringOutageArrivesOnceAndStatesAreCurrentAfterwards) {
    const auto sub = KeepingSubscriber("zormanager/#");
    CMqttPublisher publisher(&runLog);
    publisher.PublishState(State("A", 1));
    publisher.Apply(settings);
    ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished == 1; }));

    broker->Stop();
    ASSERT_TRUE(WaitFor([&] { return !publisher.GetStats().connected; }));
    publisher.PublishState(State("A", 5, 700));
    publisher.PublishAlarm({AlarmEventRecord::kOpened, "A", 1700000001, 700, "/r/A.txt"});
    publisher.PublishData({"A", 1700000001, {700}, {3}});
    std::this_thread::sleep_for(1s);
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(broker->Start());
    auto current = [&] {
        const auto states = sub->On(Topic("A"));
        return !states.empty() && nlohmann::json::parse(states.back().payload)["status"] == 5;
    };
    ASSERT_TRUE(WaitFor([&] { return !sub->On("zormanager/harbour/alarm").empty() && current(); }))
        << sub->Raw();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 4s);
    std::this_thread::sleep_for(500ms);
    const auto alarms = sub->On("zormanager/harbour/alarm");
    ASSERT_EQ(alarms.size(), 1u) << sub->Raw();
    const auto alarm = nlohmann::json::parse(alarms[0].payload);
    EXPECT_EQ(alarm["event"], "opened");
    EXPECT_EQ(alarm["report"], "/r/A.txt");
    const std::string log = RunLogText();
    EXPECT_NE(log.find("MQTT: connection to 127.0.0.1:"), std::string::npos) << log;
    EXPECT_NE(log.find("1 queued alarm event(s) sent, 1 data portion(s) not published"),
              std::string::npos)
        << log;
}

TEST_F(MqttPublisherTest, OpenAlarmListFollowsItsEventsAndReturnsAfterABrokerRestart) {
    CMqttPublisher publisher(&runLog);
    publisher.Apply(settings);
    MqttSubscriber sub(broker->Port(), "zormanager/harbour/+");
    ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().connected; }));
    AlarmEventRecord opened(AlarmEventRecord::kOpened, "A", 1700000001, 700, "");
    opened.id = 7;
    opened.state = "active_unacked";
    const std::string list = R"({"station":"harbour","alarms":[{"id":7}]})";
    publisher.PublishAlarm(opened);
    publisher.PublishOpenAlarms(list);
    ASSERT_TRUE(WaitFor([&] { return !sub.On("zormanager/harbour/alarms").empty(); })) << sub.Raw();
    const auto messages = sub.Messages();
    size_t event = messages.size(), shown = messages.size();
    for (size_t i = 0; i < messages.size(); ++i) {
        event = messages[i].topic == "zormanager/harbour/alarm" ? std::min(event, i) : event;
        shown = messages[i].topic == "zormanager/harbour/alarms" ? std::min(shown, i) : shown;
    }
    EXPECT_LT(event, shown) << sub.Raw();  // never a list ahead of the event it includes
    EXPECT_EQ(nlohmann::json::parse(messages[event].payload)["id"], 7);

    // A broker without persistence forgets what was retained; the station tells it again.
    broker->Stop();
    ASSERT_TRUE(broker->Start());
    ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().connects >= 2; }, 10s));
    MqttSubscriber late(broker->Port(), "zormanager/harbour/alarms");
    ASSERT_TRUE(WaitFor([&] { return !late.Messages().empty(); })) << late.Raw();
    EXPECT_EQ(late.Messages().back().payload, list);
}

TEST_F(MqttPublisherTest, FullAlarmQueueKeepsTheNewestAndSaysSo) {
    CMqttPublisher::Limits limits;
    limits.alarmQueue = 3;
    const auto sub = KeepingSubscriber("zormanager/harbour/alarm");
    CMqttPublisher publisher(&runLog, limits);
    broker->Stop();
    publisher.Apply(settings);
    for (int i = 0; i < 5; ++i) {
        publisher.PublishAlarm({AlarmEventRecord::kOpened, "D" + std::to_string(i), 0, 0, ""});
    }
    EXPECT_EQ(publisher.GetStats().alarmsLost, 2u);
    ASSERT_TRUE(broker->Start());
    ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().alarmsPublished == 3; }, 8000ms));
    ASSERT_TRUE(WaitFor([&] { return sub->Messages().size() == 3; }));
    const auto got = sub->Messages();
    EXPECT_EQ(nlohmann::json::parse(got[0].payload)["device"], "D2");
    EXPECT_EQ(nlohmann::json::parse(got[2].payload)["device"], "D4");
    const std::string log = RunLogText();
    EXPECT_NE(log.find("MQTT: no connection to 127.0.0.1:"), std::string::npos) << log;
    EXPECT_NE(log.find("2 alarm event(s) lost to a full queue"), std::string::npos) << log;
}

TEST_F(MqttPublisherTest, ForgottenDeviceAndOrderlyStopLeaveNoStaleState) {
    {
        CMqttPublisher publisher(&runLog);
        publisher.PublishState(State("Gone", 1));
        publisher.PublishState(State("Kept", 1));
        publisher.Apply(settings);
        ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished == 2; }));
        publisher.ForgetDevice(IdOf("Gone"));
        std::this_thread::sleep_for(300ms);
        publisher.Stop();
        EXPECT_FALSE(publisher.IsRunning());
    }
    MqttSubscriber sub(broker->Port(), "zormanager/#");
    ASSERT_TRUE(WaitFor([&] { return sub.Messages().size() >= 2; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(sub.On(Topic("Gone")).empty()) << sub.Raw();
    ASSERT_EQ(sub.On(Topic("Kept")).size(), 1u);
    const auto status = sub.On("zormanager/harbour/status");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].payload, "offline");
}

TEST_F(MqttPublisherTest, ARenamedDeviceLeavesNoRetainedStateUnderItsOldName) {
    {
        CMqttPublisher publisher(&runLog);
        publisher.PublishState(State("Pier-1", 5, 800));
        publisher.Apply(settings);
        ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished == 1; }));
        DeviceStateRecord renamed = State("Pier-9", 5, 800);
        renamed.id = IdOf("Pier-1");
        publisher.PublishState(renamed);
        ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished == 2; }));
        // A reconnect republishes what the publisher knows: the new name only.
        publisher.Stop();
        publisher.Apply(settings);
        ASSERT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished >= 3; }));
        std::this_thread::sleep_for(300ms);
    }
    MqttSubscriber sub(broker->Port(), "zormanager/harbour/device/+/state");
    ASSERT_TRUE(WaitFor([&] { return !sub.On(Topic("Pier-9")).empty(); })) << sub.Raw();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(sub.On(Topic("Pier-1")).empty()) << sub.Raw();
    EXPECT_EQ(sub.Messages().size(), 1u) << sub.Raw();
}

TEST_F(MqttPublisherTest, RetainedStateOfADeviceRemovedMeanwhileIsClearedAtConnect) {
    {
        CMqttPublisher first(&runLog);
        first.PublishState(State("Old", 1));
        first.Apply(settings);
        ASSERT_TRUE(WaitFor([&] { return first.GetStats().statesPublished == 1; }));
    }
    CMqttPublisher second(&runLog);
    second.PublishState(State("New", 1));
    second.Apply(settings);
    ASSERT_TRUE(WaitFor([&] { return second.GetStats().statesPublished == 1; }));
    std::this_thread::sleep_for(500ms);
    MqttSubscriber sub(broker->Port(), "zormanager/harbour/device/#");
    ASSERT_TRUE(WaitFor([&] { return !sub.Messages().empty(); }));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(sub.On(Topic("Old")).empty()) << sub.Raw();
    EXPECT_EQ(sub.On(Topic("New")).size(), 1u);
}

TEST_F(MqttPublisherTest, SettingsThatCannotWorkAreRefusedWithAReason) {
    struct Case {
        int port;
        std::string host;
        std::string says;
    };
    const Case cases[] = {
        {0, "127.0.0.1", "mqtt_port 0 is not a port number"},
        {70000, "127.0.0.1", "mqtt_port 70000 is not a port number"},
        {1883, "", "mqtt_host is empty"},
    };
    for (const Case& c : cases) {
        CMqttPublisher publisher(&runLog);
        settings.port = c.port;
        settings.host = c.host;
        publisher.Apply(settings);
        EXPECT_FALSE(publisher.IsRunning()) << c.says;
        EXPECT_NE(RunLogText().find(c.says + "; nothing is published"), std::string::npos)
            << RunLogText();
    }
}

TEST_F(MqttPublisherTest, UserAndPasswordAreSentAndARefusalIsLogged) {
    test::TempDir conf;
    const std::string passwords = conf.folder() + "passwords";
    const std::string make =
        "mosquitto_passwd -c -b " + passwords + " station s3cret >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "mosquitto_passwd cannot make a password file";
    }
    const int port = test::FreeTcpPort();
    std::ofstream(conf.folder() + "auth.conf")
        << test::BrokerUserLine() << "listener " << port << " 127.0.0.1\n"
        << "allow_anonymous false\npassword_file " << passwords << "\n";
    test::ChildProcess authBroker({test::kMosquitto, "-c", conf.folder() + "auth.conf"});
    ASSERT_TRUE(WaitFor([&] { return test::PortAccepts(port); }));
    settings.port = port;
    settings.user = "station";
    settings.pass = "wrong";
    CMqttPublisher publisher(&runLog);
    publisher.Apply(settings);
    ASSERT_TRUE(WaitFor([&] { return RunLogText().find("not authorised") != std::string::npos; }))
        << RunLogText();
    EXPECT_EQ(publisher.GetStats().connects, 0u);
    settings.pass = "s3cret";
    publisher.Apply(settings);
    EXPECT_TRUE(WaitFor([&] { return publisher.GetStats().connected; })) << RunLogText();
}

TEST_F(MqttPublisherTest, TlsConnectsToABrokerTheSystemStoreTrusts) {
    // OpenSSL's system store can be pointed at a file (SSL_CERT_FILE), as an operator adds
    // a site CA; the broker's certificate names 127.0.0.1.
    test::TempDir certs;
    const std::string key = certs.folder() + "key.pem", cert = certs.folder() + "cert.pem";
    const std::string cmd =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1 -keyout " +
        key + " -out " + cert + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) {
        GTEST_SKIP() << "openssl cannot make a certificate";
    }
    const int port = test::FreeTcpPort();
    std::ofstream(certs.folder() + "tls.conf")
        << test::BrokerUserLine() << "listener " << port << " 127.0.0.1\n"
        << "allow_anonymous true\n"
        << "certfile " << cert << "\nkeyfile " << key << "\n";
    test::ChildProcess tlsBroker({test::kMosquitto, "-c", certs.folder() + "tls.conf"});
    ASSERT_TRUE(WaitFor([&] { return test::PortAccepts(port); }));
    test::ScopedEnv trust;
    trust.Set("SSL_CERT_FILE", cert);
    settings.port = port;
    settings.tls = true;
    CMqttPublisher publisher(&runLog);
    publisher.PublishState(State("A", 1));
    publisher.Apply(settings);
    EXPECT_TRUE(WaitFor([&] { return publisher.GetStats().statesPublished == 1; })) << RunLogText();
}

TEST_F(MqttPublisherTest, TlsRefusesABrokerWhoseCertificateTheSystemDoesNotTrust) {
    // A TLS listener with a self-signed certificate: verification must stop the connection.
    test::TempDir certs;
    const std::string key = certs.folder() + "key.pem", cert = certs.folder() + "cert.pem";
    const std::string cmd =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
        "-keyout " +
        key + " -out " + cert + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) {
        GTEST_SKIP() << "openssl cannot make a certificate";
    }
    const int port = test::FreeTcpPort();
    std::ofstream(certs.folder() + "tls.conf")
        << test::BrokerUserLine() << "listener " << port << " 127.0.0.1\n"
        << "allow_anonymous true\n"
        << "certfile " << cert << "\nkeyfile " << key << "\n";
    test::ChildProcess tlsBroker({test::kMosquitto, "-c", certs.folder() + "tls.conf"});
    ASSERT_TRUE(WaitFor([&] { return test::PortAccepts(port); }));
    settings.port = port;
    settings.tls = true;
    CMqttPublisher publisher(&runLog);
    publisher.Apply(settings);
    ASSERT_TRUE(
        WaitFor([&] { return RunLogText().find("MQTT: no connection to") != std::string::npos; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(publisher.GetStats().connected);
    EXPECT_EQ(publisher.GetStats().connects, 0u);
    EXPECT_NE(RunLogText().find("certificate verify failed"), std::string::npos) << RunLogText();
}

}  // namespace
}  // namespace zm
