// The desktop program under a desktop whose numbers use decimal commas (German): Qt sets
// the C library's locale from the environment, and the program must put it back for
// numbers, so that data logs, KML files and datagrams keep their decimal points.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "e2e/ProgramEnvironment.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "support/UdpSink.h"
#include "zor/ZorTestPeers.h"

namespace zm::test {
namespace {

using namespace std::chrono_literals;

const std::string kProgram = std::string(ZM_TEST_BINARY_DIR) + "/apps/zormanager/zormanager";

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// Numbers written the German way: a digit, a comma, a digit.
bool HasDecimalComma(const std::string& text) {
    return std::regex_search(text, std::regex("[0-9],[0-9]"));
}
bool HasDecimalPoint(const std::string& text) {
    return std::regex_search(text, std::regex("[0-9]\\.[0-9]"));
}

TEST(DesktopLocale, NumbersKeepTheirDecimalPointUnderACommaLocale) {
    // The German locale made for this test alone (no root needed, nothing installed).
    TempDir locales;
    const std::string make =
        "localedef -i de_DE -f UTF-8 " + locales.folder() + "de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        if (InCi()) {
            FAIL() << "localedef cannot make de_DE.UTF-8";
        }
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8";
    }
    const std::string environment = "LOCPATH=" + locales.folder() + " LC_ALL=de_DE.UTF-8 ";
    // The locale really writes commas: otherwise this test would prove nothing.
    const std::string probe = locales.file("probe.txt");
    ASSERT_EQ(std::system((environment + "/usr/bin/printf '%.2f' 1.5 > " + probe).c_str()), 0);
    ASSERT_EQ(ReadBytes(probe), "1,50");

    DaemonHome home;
    SimProcess sim({"--tcp-port", "0", "--log", home.home.file("sim.log"), "--sensor",
                    "addr=5,devnum=ZOR-0042,value=123.4,param.MinSigThr=500,"
                    "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    UdpSink udp;
    ManagerSettings settings = MailAndUdpSettings(25, udp.port());
    settings.bAlarmMails = false;
    home.WriteSettings(
        settings,
        {{.name = "Pier-1", .latitude = 59.5, .longitude = 30.25, .tcpPort = sim.tcpPort}});

    setenv("LOCPATH", locales.folder().c_str(), 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    AllowWebEngineUnderSanitizers();
    std::vector<std::string> args = {kProgram};
    for (const std::string& arg : home.Args()) {
        if (arg != kServer) {
            args.push_back(arg);
        }
    }
    ChildProcess program(args, home.home.file("zormanager.out"));
    unsetenv("LOCPATH");
    unsetenv("LC_ALL");
    ASSERT_GT(program.Pid(), 0);

    std::string dataLog;
    EXPECT_TRUE(WaitUntil(
        [&] {
            dataLog = FilesText(home.Documents(), "DataLog_ZOR-0042_Pier-1_");
            return HasDecimalPoint(dataLog);
        },
        20s))
        << dataLog << ReadBytes(home.home.file("zormanager.out"));
    EXPECT_FALSE(HasDecimalComma(dataLog)) << dataLog;

    std::string datagram;
    EXPECT_TRUE(udp.WaitFor(
        [&](const std::string& d) {
            if (d.find("| Pier-1 | Data[") == std::string::npos) {
                return false;
            }
            datagram = d;
            return true;
        },
        10s));
    EXPECT_TRUE(HasDecimalPoint(datagram)) << datagram;
    EXPECT_FALSE(HasDecimalComma(datagram)) << datagram;

    std::string kml;
    EXPECT_TRUE(WaitUntil(
        [&] {
            kml = FilesText(home.home.path() / "AppData" / "KmlRoot", "Pier-1");
            return kml.find("<coordinates>") != std::string::npos;
        },
        15s))
        << kml;
    EXPECT_NE(kml.find("30.25"), std::string::npos) << kml;
    EXPECT_EQ(kml.find("30,25"), std::string::npos) << kml;

    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.Wait(30s), 0) << ReadBytes(home.home.file("zormanager.out"));
}

}  // namespace
}  // namespace zm::test
