// One alarm on its whole way through the headless server: the simulator's sensor signal
// enters its corridor, and the logs, the alarm files, the UDP datagrams, the mail, the web
// routes and the KML placemark all have to follow. Every peer is real and started here.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "app/StatusLevel.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/DeviceStatus.h"
#include "device/zor/ZorDevice.h"
#include "notify/Clickatell.h"
#include "notify/TestPeers.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"
#include "web/KmlView.h"
#include "zor/ZorTestPeers.h"

extern char** environ;

namespace zm {
namespace {

using namespace std::chrono_literals;

using Daemon = zm::test::ChildProcess;
using test::FilesText;
using test::LogLineWith;
using test::UdpSink;
using test::WaitUntil;

std::string Curl(const std::string& url) {
    return zm::test::CurlGet(url, 5);
}

// Header and body of a message as the SMTP server received it.
struct Received {
    std::string header;
    std::string body;
};
Received Split(const std::string& message) {
    const size_t gap = message.find("\r\n\r\n");
    if (gap == std::string::npos) {
        return {message, {}};
    }
    return {message.substr(0, gap + 2), message.substr(gap + 4)};
}

class AppEndToEnd : public ::testing::Test {
  protected:
    std::filesystem::path Documents() const { return home.Documents(); }
    std::string DeviceLog() const { return home.DeviceLog(); }
    std::string RunLog() const { return home.RunLog(); }

    // The settings file the operator would leave: one ZOR device on the simulator's TCP
    // endpoint, mails, SMS and UDP on, the web server on its own port. The recipient list
    // holds a mail address and two phone numbers, of which only the one of digits alone
    // is a number the gateway takes.
    void WriteSettings(int simPort, int smtpPort, int udpPort) {
        ManagerSettings s = test::MailSmsAndUdpSettings(smtpPort, udpPort);
        s.sMailRecipients = std::string(kRecipient) + ", 4791234567 ,+4790000000";
        home.WriteSettings(s, {{.name = kDevice, .tcpPort = simPort}});
    }

    static constexpr const char* kDevice = "Pier-1";
    static constexpr const char* kRecipient = "duty@harbour.test";
    test::DaemonHome home;
};

TEST_F(AppEndToEnd, OneAlarmTravelsTheWholeRoad) {
    test::SimProcess sim({"--tcp-port", "0", "--log", home.home.file("sim.log"), "--sensor",
                          "addr=5,devnum=ZOR-0042,value=100,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    test::SmtpTestServer smtp({});
    UdpSink udp;
    WriteSettings(sim.tcpPort, smtp.port(), udp.port());

    Daemon daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);

    // Polling before the alarm: data log lines and data datagrams, no alarm yet.
    ASSERT_TRUE(WaitUntil(
        [&] { return FilesText(Documents(), "DataLog_ZOR-0042_Pier-1_").size() > 0; }, 10s))
        << RunLog();
    EXPECT_EQ(FilesText(Documents(), "AlarmReport_").size(), 0u);
    const std::string base = home.BaseUrl();
    ASSERT_TRUE(WaitUntil([&] { return Curl(base + "/device-list") == "Pier-1;"; }, 5s))
        << "the web server does not list the device";

    // The signal enters the corridor between the thresholds, and then the sensor raises
    // its alarm bit as a real one does (the state record decides the device status). The
    // bit follows a data portion that holds the new value, as a sensor's would; set
    // together, a poll under load could see the bit with the last portion still older.
    ASSERT_EQ(sim.Control("set 5 value=800").rfind("OK", 0), 0u);
    ASSERT_TRUE(WaitUntil(
        [&] {
            udp.Drain(100);
            return udp.Has([](const std::string& d) {
                return d.rfind("| ZOR-0042 | Pier-1 | Data[", 0) == 0 &&
                       d.find(" 800.0 }") != std::string::npos;
            });
        },
        8s))
        << "no data datagram with the value in the corridor";
    ASSERT_EQ(sim.Control("set 5 alarm=1").rfind("OK", 0), 0u);

    const StatusLevel alarm = GetStatusLevel(kDevAlarm);
    const std::string red = StrPrintf("<font color=#%02X%02X%02X>", alarm.r, alarm.g, alarm.b);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::string line = LogLineWith(DeviceLog(), "Pier-1: Alarm");
            return line.rfind(red, 0) == 0;
        },
        8s))
        << DeviceLog();

    int alarmLogs = 0, reports = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            FilesText(Documents(), "AlarmLog_ZOR-0042_Pier-1_", &alarmLogs);
            FilesText(Documents(), "AlarmReport_ZOR-0042_Pier-1_", &reports);
            return alarmLogs == 1 && reports == 1;
        },
        5s))
        << "alarm logs " << alarmLogs << ", reports " << reports;

    EXPECT_TRUE(WaitUntil(
        [&] {
            udp.Drain(100);
            return udp.Has([](const std::string& d) {
                return d.find("| Pier-1 | Status = '") != std::string::npos &&
                       d.find("Alarm") != std::string::npos;
            });
        },
        5s))
        << "no alarm state datagram among " << udp.datagrams.size();
    EXPECT_TRUE(udp.Has([](const std::string& d) {
        return d.rfind("| ZOR-0042 | Pier-1 | Data[", 0) == 0;
    })) << "no data datagram";

    // The alarm mail goes to the mail address of the list, then the same text as SMS mail
    // to the gateway, which finds the account and the phone number in the body.
    EXPECT_TRUE(smtp.WaitFor(std::string("RCPT TO:<") + kRecipient + ">", 8000))
        << smtp.Transcript();
    EXPECT_TRUE(smtp.WaitFor(std::string("RCPT TO:<") + CClickatell::GatewayAddress() + ">", 8000))
        << smtp.Transcript();
    EXPECT_TRUE(WaitUntil([&] { return !smtp.Message(2).empty(); }, 5s)) << smtp.Transcript();
    EXPECT_EQ(smtp.Transcript().find("RCPT TO:<4791234567>"), std::string::npos);
    EXPECT_EQ(smtp.Transcript().find("RCPT TO:<+4790000000>"), std::string::npos);
    const Received mail = Split(smtp.Message(1));
    const Received sms = Split(smtp.Message(2));
    EXPECT_NE(mail.header.find(std::string("To: <") + kRecipient + ">"), std::string::npos)
        << mail.header;
    EXPECT_NE(mail.header.find("\r\nSubject: Pier-1: Alarm reported\r\n"), std::string::npos)
        << mail.header;
    // Status line with the local time, the subject again, then the parameters (version and
    // thresholds), the position and the value inside the alarm corridor.
    const std::regex alarmBody(
        "Device status:\r\n"
        "\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2} \\(local time\\)\r\n"
        "\r\n >>> Pier-1: Alarm reported"
        "\r\n >>> Device info: [^\r\n]*\\[[^\r\n]*:500,10000\\]"
        "\r\n >>> Location: 59\\.937500°, 30\\.308600°"
        "\r\n >>> Value: ([0-9]+\\.[0-9])"
        "\r\n\r\n<msg\\.end>\r\n"
        // the end of the data adds one empty line
        "\r\n");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(mail.body, parts, alarmBody)) << mail.body;
    const double value = std::stod(parts[1].str());
    EXPECT_TRUE(value >= 500 && value <= 10000) << value;

    EXPECT_NE(sms.header.find(std::string("To: <") + CClickatell::GatewayAddress() + ">\r\n"),
              std::string::npos)
        << sms.header;
    EXPECT_NE(sms.header.find("\r\nSubject: Pier-1: Alarm reported\r\n"), std::string::npos);
    // The gateway reads one line per field: the alert's line breaks become blanks.
    std::string alertText = mail.body.substr(0, mail.body.size() - 4);
    std::replace_if(
        alertText.begin(), alertText.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::string smsBody = sms.body;
    while (smsBody.size() >= 2 && smsBody.compare(smsBody.size() - 2, 2, "\r\n") == 0) {
        smsBody.resize(smsBody.size() - 2);  // empty lines at the end of the data
    }
    EXPECT_EQ(smsBody, "User:harbour\r\npassword:s3cret\r\napi_id:3456789\r\ntext:" + alertText +
                           "\r\nto:4791234567");
    EXPECT_EQ(smtp.Message(3), "") << "more mails than the alarm and its SMS";

    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::string log = DeviceLog();
            return log.find("Alarm mail was successfully sent (recipients: 1).") !=
                       std::string::npos &&
                   log.find("Alarm sms was successfully sent (recipients: 1).") !=
                       std::string::npos;
        },
        5s))
        << DeviceLog();
    EXPECT_LT(DeviceLog().find("Alarm mail was successfully sent"),
              DeviceLog().find("Alarm sms was successfully sent"));

    EXPECT_EQ(Curl(base + "/device-list"), "Pier-1;");
    const std::string alarmIcon = std::string(CKmlView::IconForStatus(kDevAlarm)) + ".png";
    std::string kml;
    EXPECT_TRUE(WaitUntil(
        [&] {
            kml = FilesText(home.home.path() / "AppData", "Pier-1.kml");
            return kml.find(alarmIcon) != std::string::npos;
        },
        8s))
        << kml;
    // The page fetches the same file from the server.
    EXPECT_NE(Curl(base + "/files/Pier-1.kml").find(alarmIcon), std::string::npos);

    // The signal leaves the corridor: the alarm is closed (the second half of the alarm
    // log entry and the report's statistics) and the placemark is good again.
    const size_t alarmLogOpen = FilesText(Documents(), "AlarmLog_").size();
    const size_t reportOpen = FilesText(Documents(), "AlarmReport_").size();
    ASSERT_EQ(sim.Control("set 5 value=100,alarm=0").rfind("OK", 0), 0u);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return FilesText(Documents(), "AlarmLog_").size() > alarmLogOpen &&
                   FilesText(Documents(), "AlarmReport_").size() > reportOpen;
        },
        8s))
        << "the alarm was not closed";
    const std::string goodIcon = std::string(CKmlView::IconForStatus(kDevOnlineOk)) + ".png";
    EXPECT_TRUE(WaitUntil(
        [&] { return Curl(base + "/files/Pier-1.kml").find(goodIcon) != std::string::npos; }, 8s));
    EXPECT_GT(DeviceLog().rfind("Pier-1: Online and Ok"), DeviceLog().find("Pier-1: Alarm"));

    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(8s), 0);
    const std::string devLog = DeviceLog();
    EXPECT_NE(devLog.find("Application ended."), std::string::npos);
    EXPECT_GT(devLog.find("Application ended."), devLog.find("Alarm mail was successfully sent"));
    EXPECT_NE(RunLog().find("Application ended (ID:"), std::string::npos);
    EXPECT_EQ(RunLog().find("Shutdown left"), std::string::npos) << RunLog();
    // The closed alarm ("Online and Ok") sends nothing.
    EXPECT_EQ(smtp.Message(3), "") << smtp.Transcript();
}

}  // namespace
}  // namespace zm
