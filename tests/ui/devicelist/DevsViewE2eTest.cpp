// The device list of the real desktop program while one sensor's signal enters its alarm
// corridor and leaves it again, read from outside as an operator's screen reader would.
// The program runs under Xvfb with a session bus; devslist_driver.py reads the device's
// row and the trend over AT-SPI and keeps the screenshots under
// <build>/artifacts/ui/devsview-e2e/.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "e2e/ProgramEnvironment.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "zor/ZorTestPeers.h"

namespace zm::test {
namespace {

using namespace std::chrono_literals;

const std::string kProgram = std::string(ZM_TEST_BINARY_DIR) + "/apps/zormanager/zormanager";
const std::string kArtifacts = std::string(ZM_TEST_BINARY_DIR) + "/artifacts/ui/devsview-e2e/";

bool HasTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string MissingTool() {
    for (const char* tool : {"xvfb-run", "dbus-run-session", "xdotool", "import"}) {
        if (!HasTool(tool)) {
            return tool;
        }
    }
    if (std::system("/usr/bin/python3 -c 'import pyatspi' >/dev/null 2>&1") != 0) {
        return "python3-pyatspi";
    }
    return {};
}

// An X display number no server holds now, different for tests running side by side.
int FreeDisplay(int attempt) {
    const int first = 200 + static_cast<int>((getpid() * 11 + attempt * 137 + 300) % 600);
    for (int n = first; n < first + 100; ++n) {
        if (!std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
            !std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
            return n;
        }
    }
    return first;
}

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// The driver's JSON is flat and written by us: a key's value is found by its text.
std::string JsonValue(const std::string& json, const std::string& key) {
    const std::string tag = "\"" + key + "\": ";
    const size_t at = json.find(tag);
    if (at == std::string::npos) {
        return {};
    }
    const size_t start = at + tag.size();
    if (json[start] == '{' || json[start] == '[') {
        const char close = json[start] == '{' ? '}' : ']';
        return json.substr(start, json.find(close, start) - start + 1);
    }
    if (json[start] == '"') {
        return json.substr(start + 1, json.find('"', start + 1) - start - 1);
    }
    return json.substr(start, json.find_first_of(",\n}", start) - start);
}

TEST(DevsViewEndToEnd, TheRowTurnsToAlarmAndBackAndTheTrendShowsTheRise) {
    const std::string missing = MissingTool();
    if (!missing.empty()) {
        if (InCi()) {
            FAIL() << missing << " is missing";
        }
        GTEST_SKIP() << missing << " is missing";
    }
    AllowWebEngineUnderSanitizers();
    std::filesystem::remove_all(kArtifacts);
    std::filesystem::create_directories(kArtifacts);

    DaemonHome home;
    SimProcess sim({"--tcp-port", "0", "--control-port", "0", "--log", home.home.file("sim.log"),
                    "--sensor",
                    "addr=5,devnum=ZOR-0042,value=100,param.MinSigThr=500,"
                    "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    ManagerSettings settings;
    // Nothing over the view: no popups, no sound, no mail.
    settings.bAlarmPopup = false;
    settings.bConnPopup = false;
    settings.bAlarmSound = false;
    settings.bAlarmMails = false;
    settings.bHttpServ = false;
    settings.wp = WindowPlacement::Default(ScreenRect{0, 0, 1280, 1024});
    home.WriteSettings(settings, {{.name = "Pier-1", .tcpPort = sim.tcpPort}});

    const std::string result = kArtifacts + "result.json";
    std::vector<std::string> command = {"/usr/bin/xvfb-run",
                                        "-n",
                                        "",
                                        "-s",
                                        "-screen 0 1280x1024x24",
                                        "dbus-run-session",
                                        "--",
                                        "/usr/bin/python3",
                                        ZM_DEVSLIST_DRIVER,
                                        "--program",
                                        kProgram,
                                        "--home",
                                        home.home.folder(),
                                        "--http-port",
                                        std::to_string(home.httpPort),
                                        "--sim-control",
                                        "127.0.0.1:" + std::to_string(sim.controlPort),
                                        "--address",
                                        "5",
                                        "--device",
                                        "Pier-1",
                                        "--shots",
                                        kArtifacts,
                                        "--result",
                                        result};
    // A display of our own: "xvfb-run -a" picks its number by a race that two tests
    // starting together can both win. A number that a lost race still took is tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        command[2] = std::to_string(FreeDisplay(attempt));
        ChildProcess driver(command, kArtifacts + "driver.out");
        ASSERT_GT(driver.Pid(), 0);
        ASSERT_EQ(driver.Wait(180s), 0) << ReadBytes(kArtifacts + "driver.out");
        const std::string out = ReadBytes(kArtifacts + "zormanager.out");
        if (out.find("could not connect to display") == std::string::npos &&
            out.find("Could not load the Qt platform plugin") == std::string::npos) {
            break;
        }
    }
    const std::string json = ReadBytes(result);
    const std::string context = json + "\n" + ReadBytes(kArtifacts + "driver.out") + "\n" +
                                ReadBytes(kArtifacts + "zormanager.out");

    ASSERT_EQ(JsonValue(json, "mainWindow"), "true") << context;
    ASSERT_EQ(JsonValue(json, "list"), "true") << context;
    EXPECT_NE(JsonValue(json, "online"), "null") << context;
    EXPECT_NE(JsonValue(json, "alarm"), "null") << context;
    EXPECT_NE(JsonValue(json, "back"), "null") << context;
    // The trend rose with the signal.
    const std::string before = JsonValue(json, "trendBefore");
    const std::string during = JsonValue(json, "trendAlarm");
    ASSERT_NE(before, "null") << context;
    ASSERT_NE(during, "null") << context;
    EXPECT_GT(std::stod(during), std::stod(before)) << context;
    // The clock says the time to a screen reader, not only what it is.
    const std::string clock = JsonValue(json, "clock");
    EXPECT_EQ(clock.size(), std::string("Clock 12:34:56").size()) << context;
    EXPECT_EQ(clock.rfind("Clock ", 0), 0u) << context;
    // The open context menu is found from the application and reads as the operator sees
    // it: the device's commands, and "Acknowledge alarm" usable while the alarm is open.
    const std::string menu = JsonValue(json, "contextMenu");
    for (const char* item :
         {"\"\\\"Pier-1\\\" => Settings ...:on\"", "\"Stop:on\"", "\"Acknowledge alarm:on\"",
          "\"Shelve alarms...:on\"", "\"Unshelve:off\"", "\"Take out of service...:on\"",
          "\"Return to service:off\"", "\"Add new device:on\""}) {
        EXPECT_NE(menu.find(item), std::string::npos) << item << "\n" << context;
    }
    EXPECT_EQ(JsonValue(json, "menuClosed"), "true") << context;
    EXPECT_EQ(JsonValue(json, "exitCode"), "0") << context;
    for (const char* shot : {"devs-view-online.png", "devs-view-alarm.png", "devs-view-back.png",
                             "devs-view-context-menu.png"}) {
        EXPECT_TRUE(std::filesystem::exists(kArtifacts + shot)) << shot;
    }
}

}  // namespace
}  // namespace zm::test
