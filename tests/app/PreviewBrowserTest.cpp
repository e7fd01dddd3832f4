// The preview page of the running server in headless Chromium (preview_browser.py drives
// it through chromedriver): markers with the devices' state icons, a device added by the
// operator appearing and then leaving without a reload, and the map functions the
// desktop view calls.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "device/DeviceStatus.h"
#include "support/RequiredTool.h"
#include "web/KmlView.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

std::string Icon(int status) {
    return CKmlView::IconForStatus(status);
}

TEST(PreviewBrowser, MarkersFollowTheDevicesWithoutReload) {
    // Two sensors behind one simulated converter: one in alarm, one quiet.
    test::SimProcess sim({"--tcp-port", "0", "--sensor",
                          "addr=5,devnum=ZOR-0005,value=800,alarm=1,param.MinSigThr=500,"
                          "param.MaxSigThr=10000",
                          "--sensor",
                          "addr=6,devnum=ZOR-0006,value=100,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    // An emulated sensor whose corridor is empty stays in emulation mode, never in alarm.
    const test::HomeDevice north{.name = "Emul-North",
                                 .latitude = 59.40,
                                 .longitude = 24.70,
                                 .linkType = kLinkTypeEmul,
                                 .lowerThreshold = 1000.0f,
                                 .upperThreshold = 500.0f};
    const test::HomeDevice south{
        .name = "Sim-South", .latitude = 59.30, .longitude = 24.60, .tcpPort = sim.tcpPort};
    const test::HomeDevice east{.name = "Sim-East",
                                .latitude = 59.35,
                                .longitude = 24.90,
                                .tcpPort = sim.tcpPort,
                                .address = 6};

    test::DaemonHome home;
    home.WriteSettings(ManagerSettings(), {north, south});
    const std::string first = home.home.file("two-devices.ini");
    const std::string next = home.home.file("with-third-device.ini");
    {
        std::filesystem::copy_file(home.SettingsPath(), first);
        std::filesystem::copy_file(home.SettingsPath(), next);
        CIni ini(next);
        home.WriteDevice(ini, "Zor-03", east);
    }
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    // The page is only asked once the server itself publishes the states it should show.
    const std::string alarm = Icon(kDevAlarm) + ".png";
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            return test::CurlGet(home.BaseUrl() + "/files/Sim-South.kml").find(alarm) !=
                       std::string::npos &&
                   test::CurlGet(home.BaseUrl() + "/device-list") == "Emul-North;Sim-South;";
        },
        10s))
        << home.RunLog();

    auto expect = [](std::initializer_list<std::pair<std::string, int>> list) {
        std::string text;
        for (const auto& [name, status] : list) {
            text += name + "=" + Icon(status) + ";";
        }
        return text;
    };
    auto position = [](const test::HomeDevice& d) {
        return d.name + "=" + std::to_string(d.latitude) + "," + std::to_string(d.longitude) + ";";
    };
    const std::string out = home.home.file("browser.out");
    test::ChildProcess browser(
        {"/usr/bin/python3",
         ZM_PREVIEW_BROWSER_SCRIPT,
         "--url",
         home.BaseUrl(),
         "--pid",
         std::to_string(daemon.Pid()),
         "--settings",
         home.SettingsPath(),
         "--next-settings",
         next,
         "--first-settings",
         first,
         "--expect",
         expect({{north.name, kDevEmulation}, {south.name, kDevAlarm}}),
         "--expect-after",
         expect({{north.name, kDevEmulation}, {south.name, kDevAlarm}, {east.name, kDevOnlineOk}}),
         "--positions",
         position(north) + position(south) + position(east),
         "--work",
         home.home.folder()},
        out);
    ASSERT_GT(browser.Pid(), 0);
    int status = browser.Wait(60s);
    if (status == -1) {
        // The script ends the browser and its driver on SIGTERM.
        kill(browser.Pid(), SIGTERM);
        status = browser.Wait(10s);
    }
    if (status == -1) {
        // The script did not get to end them itself: the driver's process group holds
        // the browser.
        const std::string group = test::ReadBytes(home.home.file("chromedriver.pgid"));
        if (const int pgid = std::atoi(group.c_str()); pgid > 1) {
            killpg(pgid, SIGKILL);
        }
    }
    const std::string transcript = test::ReadBytes(out);
    std::printf("%s", transcript.c_str());
    if (status == 77) {
        GTEST_SKIP() << transcript;
    }
    EXPECT_EQ(status, 0) << transcript;
    EXPECT_EQ(test::CurlGet(home.BaseUrl() + "/device-list"), "Emul-North;Sim-South;");

    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(10s), 0);
}

// Names are the operator's text: markup in a name stays text in every viewer's browser,
// and characters with a meaning in a web address still find the device's file.
TEST(PreviewBrowser, NamesWithMarkupAndAddressCharactersStayText) {
    const std::vector<std::string> names = {
        "Pier <img src=x onerror=\"window.__zmNameScript='img'\">",
        "Dock #1 100% ?+",
        "Buoy <b>&\"2\"</b><script>window.__zmNameScript='script'</script>",
    };
    std::vector<test::HomeDevice> devices;
    for (size_t i = 0; i < names.size(); ++i) {
        devices.push_back({.name = names[i],
                           .latitude = 59.30 + 0.05 * static_cast<double>(i),
                           .longitude = 24.60,
                           .linkType = kLinkTypeEmul,
                           .lowerThreshold = 1000.0f,
                           .upperThreshold = 500.0f});
    }
    test::DaemonHome home;
    home.WriteSettings(ManagerSettings(), devices);
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    std::string list;
    for (const std::string& name : names) {
        list += name + ";";
    }
    ASSERT_TRUE(test::WaitUntil(
        [&] { return test::CurlGet(home.BaseUrl() + "/device-list") == list; }, 10s))
        << home.RunLog();

    std::string expect;
    for (const std::string& name : names) {
        expect += name + "=" + Icon(kDevEmulation) + ";";
    }
    const std::string out = home.home.file("browser.out");
    test::ChildProcess browser(
        {"/usr/bin/python3", ZM_PREVIEW_BROWSER_SCRIPT, "--scenario", "names", "--url",
         home.BaseUrl(), "--expect", expect, "--work", home.home.folder()},
        out);
    ASSERT_GT(browser.Pid(), 0);
    int status = browser.Wait(60s);
    if (status == -1) {
        kill(browser.Pid(), SIGTERM);
        status = browser.Wait(10s);
    }
    if (status == -1) {
        const std::string group = test::ReadBytes(home.home.file("chromedriver.pgid"));
        if (const int pgid = std::atoi(group.c_str()); pgid > 1) {
            killpg(pgid, SIGKILL);
        }
    }
    const std::string transcript = test::ReadBytes(out);
    std::printf("%s", transcript.c_str());
    if (status == 77) {
        GTEST_SKIP() << transcript;
    }
    EXPECT_EQ(status, 0) << transcript;
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(10s), 0);
}

// The browser script with these arguments, bounded in time; its exit status (77: skipped)
// and its transcript.
int RunBrowserScript(const test::DaemonHome& home, std::vector<std::string> args,
                     std::string& transcript) {
    const std::string out = home.home.file("browser.out");
    args.insert(args.begin(), {"/usr/bin/python3", ZM_PREVIEW_BROWSER_SCRIPT});
    args.insert(args.end(), {"--work", home.home.folder()});
    test::ChildProcess browser(args, out);
    if (browser.Pid() <= 0) {
        return -1;
    }
    int status = browser.Wait(60s);
    if (status == -1) {
        kill(browser.Pid(), SIGTERM);
        status = browser.Wait(10s);
    }
    if (status == -1) {
        const std::string group = test::ReadBytes(home.home.file("chromedriver.pgid"));
        if (const int pgid = std::atoi(group.c_str()); pgid > 1) {
            killpg(pgid, SIGKILL);
        }
    }
    transcript = test::ReadBytes(out);
    return status;
}

// The demo's coast without any outside server: the land layer the station serves is
// drawn under the markers over a plain sea, with a scale bar. The probes are places the
// land data calls land (the shores of the gulf) and sea (the fairway).
TEST(PreviewBrowser, OfflineBaseMapShowsTheCoastUnderTheMarkers) {
    test::DaemonHome home;
    std::vector<std::string> args = home.Args();
    args.push_back("--demo");
    test::ChildProcess daemon(args, home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            return test::CurlGet(home.BaseUrl() + "/device-list").find("Demo-South;") !=
                   std::string::npos;
        },
        10s))
        << home.RunLog();
    const std::string land = test::CurlGet(home.BaseUrl() + "/basemap/land.geojson", 10);
    ZM_REQUIRE_TOOL(land.rfind("{\"type\":\"Feature\"", 0) == 0,
                    "the offline base map (scripts/setup.sh, zm_setup_basemap)");

    std::filesystem::create_directories(std::string(ZM_TEST_BINARY_DIR) + "/artifacts");
    std::string transcript;
    const int status = RunBrowserScript(
        home,
        {"--scenario", "basemap", "--url", home.BaseUrl(), "--expect", "", "--view",
         "60.05,29.5,10", "--land", "60.17,29.85;59.92,29.6;59.9,29.4;60.0,29.75", "--sea",
         "60.05,29.5;60.1,29.3", "--positions", "60.0830,29.6500;60.0150,29.4200;59.9500,29.5800",
         "--screenshot", std::string(ZM_TEST_BINARY_DIR) + "/artifacts/preview-basemap.png"},
        transcript);
    std::printf("%s", transcript.c_str());
    if (status == 77) {
        GTEST_SKIP() << transcript;
    }
    EXPECT_EQ(status, 0) << transcript;
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(10s), 0);
}

}  // namespace
}  // namespace zm
