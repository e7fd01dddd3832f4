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

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/ManagerSettings.h"
#include "app/StatusLevel.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/DeviceStatus.h"
#include "device/zor/ZorDevice.h"
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

const std::string kServer = std::string(ZM_TEST_BINARY_DIR) + "/apps/zormanagerd/zormanagerd";

using Daemon = zm::test::ChildProcess;

// A UDP socket on 127.0.0.1 that keeps every datagram it was sent.
class UdpSink {
  public:
    UdpSink() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~UdpSink() { close(fd_); }
    int port() const { return port_; }
    // Reads what has arrived so far (waiting at most waitMs for the first datagram).
    void Drain(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        while (poll(&p, 1, waitMs) > 0) {
            char buffer[65536];
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0) {
                break;
            }
            datagrams.emplace_back(buffer, static_cast<size_t>(n));
            waitMs = 0;
        }
    }
    bool Has(const std::function<bool(const std::string&)>& match) const {
        for (const auto& d : datagrams) {
            if (match(d)) {
                return true;
            }
        }
        return false;
    }
    std::vector<std::string> datagrams;

  private:
    int fd_ = -1;
    int port_ = 0;
};

std::string Curl(const std::string& url) {
    return zm::test::CurlGet(url, 5);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

// Every file below `root` whose name begins with `prefix`, read whole and joined.
std::string FilesText(const std::filesystem::path& root, const std::string& prefix,
                      int* count = nullptr) {
    std::string text;
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().filename().string().rfind(prefix, 0) == 0) {
            text += test::ReadBytes(it->path().string());
            ++n;
        }
    }
    if (count != nullptr) {
        *count = n;
    }
    return text;
}

// The device-log line that holds `text`, from its colour tag on.
std::string LogLineWith(const std::string& log, const std::string& text) {
    const size_t at = log.find(text);
    if (at == std::string::npos) {
        return {};
    }
    size_t start = log.rfind("<font color=#", at);
    start = start == std::string::npos ? 0 : start;
    return log.substr(start, at + text.size() - start);
}

class AppEndToEnd : public ::testing::Test {
  protected:
    std::filesystem::path Documents() const { return home.path() / "Documents"; }
    std::string DeviceLog() const { return FilesText(Documents(), "DevLog_"); }
    std::string RunLog() const { return FilesText(Documents(), "RunLog_"); }

    // The settings file the operator would leave: one ZOR device on the simulator's TCP
    // endpoint, mails and UDP on, the web server on its own port.
    void WriteSettings(int simPort, int smtpPort, int udpPort) {
        const std::string config = home.folder() + "AppData/Config/";
        std::filesystem::create_directories(config);
        CIni ini(config + "ZorManager__All_Ver-Lang.ini");
        ManagerSettings s;
        s.bAlarmMails = true;
        s.sMailRecipients = kRecipient;
        s.smtp_server = "127.0.0.1";
        s.smtp_port = smtpPort;
        s.smtp_sec = 0;  // plain: the test server speaks no TLS here
        s.smtp_tls_verify = 0;
        s.udp_enabled = 1;
        s.udp_ip_address = "127.0.0.1";
        s.udp_port = udpPort;
        s.Save(ini);

        CZorDevice device(config + "Zor-Device.ini", nullptr, kDevice);
        ZorDeviceCfg cfg;
        device.GetZorSettings(cfg);
        cfg.sName = kDevice;
        cfg.bScanning = true;
        cfg.sLinkType = kLinkTypeTcpIp;
        cfg.xSocket.sAddress = "127.0.0.1";
        cfg.xSocket.nPort = simPort;
        cfg.xSocket.nTimeOut = 500;
        cfg.nPause = 0;
        cfg.params.SetAddress(5);
        cfg.dLatitude = 59.9375;
        cfg.dLongitude = 30.3086;
        device.SetZorSettings(cfg, false);
        device.ExportCfg("Zor-01", &ini);
    }

    static constexpr const char* kDevice = "Pier-1";
    static constexpr const char* kRecipient = "duty@harbour.test";
    test::TempDir home;
};

TEST_F(AppEndToEnd, OneAlarmTravelsTheWholeRoad) {
    test::SimProcess sim({"--tcp-port", "0", "--log", home.file("sim.log"), "--sensor",
                          "addr=5,devnum=ZOR-0042,value=100,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    test::SmtpTestServer smtp({});
    UdpSink udp;
    const int httpPort = zm::test::FreeTcpPort();
    WriteSettings(sim.tcpPort, smtp.port(), udp.port());

    Daemon daemon({kServer, "--home", home.folder(), "--http-port", std::to_string(httpPort),
                   "--http-bind", "127.0.0.1", "--no-internet-check", "--no-share"},
                  home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);

    // Polling before the alarm: data log lines and data datagrams, no alarm yet.
    ASSERT_TRUE(WaitUntil(
        [&] { return FilesText(Documents(), "DataLog_ZOR-0042_Pier-1_").size() > 0; }, 10s))
        << RunLog();
    EXPECT_EQ(FilesText(Documents(), "AlarmReport_").size(), 0u);
    const std::string base = "http://127.0.0.1:" + std::to_string(httpPort);
    ASSERT_TRUE(WaitUntil([&] { return Curl(base + "/device-list") == "Pier-1;"; }, 5s))
        << "the web server does not list the device";

    // The signal enters the corridor between the thresholds, and the sensor raises its
    // alarm bit as a real one does (the state record decides the device status).
    ASSERT_EQ(sim.Control("set 5 value=800,alarm=1").rfind("OK", 0), 0u);

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

    EXPECT_TRUE(smtp.WaitFor(std::string("RCPT TO:<") + kRecipient + ">", 8000))
        << smtp.Transcript();
    EXPECT_TRUE(WaitUntil([&] { return !smtp.Message(1).empty(); }, 5s));
    EXPECT_NE(smtp.Message(1).find(kRecipient), std::string::npos);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return DeviceLog().find("Alarm mail was successfully sent (recipients: 1).") !=
                   std::string::npos;
        },
        5s))
        << DeviceLog();

    EXPECT_EQ(Curl(base + "/device-list"), "Pier-1;");
    const std::string alarmIcon = std::string(CKmlView::IconForStatus(kDevAlarm)) + ".png";
    std::string kml;
    EXPECT_TRUE(WaitUntil(
        [&] {
            kml = FilesText(home.path() / "AppData", "Pier-1.kml");
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
}

}  // namespace
}  // namespace zm
