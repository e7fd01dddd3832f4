// SIGHUP on the running server: the operator edits the device sections of the settings
// file and the server follows without a restart, leaving the devices that were not
// edited running and the file as the operator wrote it.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class DaemonReload : public ::testing::Test {
  protected:
    std::string Get(const std::string& path) const {
        return test::CurlGet(home.BaseUrl() + path, 5);
    }
    bool WaitForList(const std::string& expected) const {
        return test::WaitUntil([&] { return Get("/device-list") == expected; }, 8s);
    }
    bool WaitForLog(const std::string& text, size_t count = 1) const {
        return test::WaitUntil([&] { return Count(home.RunLog(), text) >= count; }, 8s);
    }
    // Edits the running server's settings file the way an operator's tool does.
    void Edit(const std::function<void(CIni&)>& change) const {
        CIni ini(home.SettingsPath());
        CIniBatch batch(home.SettingsPath());
        change(ini);
    }

    const test::HomeDevice a{
        .name = "Reload-A", .latitude = 59.40, .longitude = 24.70, .linkType = kLinkTypeEmul};
    const test::HomeDevice b{
        .name = "Reload-B", .latitude = 59.30, .longitude = 24.60, .linkType = kLinkTypeEmul};
    const test::HomeDevice c{
        .name = "Reload-C", .latitude = 59.35, .longitude = 24.90, .linkType = kLinkTypeEmul};
    test::DaemonHome home;
};

TEST_F(DaemonReload, HangupFollowsTheEditedDeviceSections) {
    home.WriteSettings(ManagerSettings(), {a, b});
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    ASSERT_TRUE(WaitForList("Reload-A;Reload-B;")) << test::ReadBytes(home.home.file("daemon.out"));
    // Start-up applies each device twice: when the list is loaded and when the settings
    // take effect.
    ASSERT_TRUE(WaitForLog("Reload-B: ApplyCfg()", 2));
    const size_t appliedA = Count(home.RunLog(), "Reload-A: ApplyCfg()");
    const size_t appliedB = Count(home.RunLog(), "Reload-B: ApplyCfg()");

    // A third device appears and B moves; A is left as it was.
    test::HomeDevice movedB = b;
    movedB.latitude = 59.25;
    Edit([&](CIni& ini) {
        home.WriteDevice(ini, "Zor-02", movedB);
        home.WriteDevice(ini, "Zor-03", c);
    });
    ASSERT_EQ(kill(daemon.Pid(), SIGHUP), 0);
    EXPECT_TRUE(WaitForList("Reload-A;Reload-B;Reload-C;")) << home.RunLog();
    EXPECT_TRUE(WaitForLog(": 3 device(s), 1 unchanged, 1 changed, 1 added, 0 removed"))
        << home.RunLog();
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Get("/files/Reload-B.kml").find("24.600000,59.250000") != std::string::npos; },
        8s))
        << Get("/files/Reload-B.kml");
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Get("/files/Reload-C.kml").find("24.900000,59.350000") != std::string::npos; },
        8s))
        << Get("/files/Reload-C.kml");
    // The unchanged device was not applied again: its link and state went on.
    EXPECT_EQ(Count(home.RunLog(), "Reload-A: ApplyCfg()"), appliedA) << home.RunLog();
    EXPECT_EQ(Count(home.RunLog(), "Reload-B: ApplyCfg()"), appliedB + 1);

    // The section of C goes: C stops and leaves the web pages.
    Edit([](CIni& ini) { ini.DeleteSection("Zor-03"); });
    ASSERT_EQ(kill(daemon.Pid(), SIGHUP), 0);
    EXPECT_TRUE(WaitForList("Reload-A;Reload-B;"));
    EXPECT_TRUE(WaitForLog(": 2 device(s), 2 unchanged, 0 changed, 0 added, 1 removed"))
        << home.RunLog();

    // A text editor saves the file as UTF-8 without byte-order mark, C back in.
    Edit([&](CIni& ini) { home.WriteDevice(ini, "Zor-03", c); });
    const std::string utf8 = home.SettingsPath() + ".utf8";
    ASSERT_EQ(std::system(("iconv -f UTF-16 -t UTF-8 '" + home.SettingsPath() + "' > '" + utf8 +
                           "' && mv '" + utf8 + "' '" + home.SettingsPath() + "'")
                              .c_str()),
              0);
    ASSERT_EQ(test::ReadBytes(home.SettingsPath()).rfind("[ZorManagerWnd]", 0), 0u);
    ASSERT_EQ(kill(daemon.Pid(), SIGHUP), 0);
    EXPECT_TRUE(WaitForList("Reload-A;Reload-B;Reload-C;")) << home.RunLog();
    EXPECT_TRUE(WaitForLog(": 3 device(s), 2 unchanged, 0 changed, 1 added, 0 removed"))
        << home.RunLog();

    // A file that is not there (an editor between delete and write) or holds nothing
    // stops no device.
    const std::string aside = home.SettingsPath() + ".aside";
    ASSERT_EQ(std::rename(home.SettingsPath().c_str(), aside.c_str()), 0);
    const struct {
        const char* what;
        std::function<void()> spoil;
        std::string logged;
    } spoilt[] = {
        {"missing", [] {}, "Device list not reloaded: cannot read " + home.SettingsPath()},
        {"empty", [&] { test::WriteBytes(home.SettingsPath(), ""); },
         "Device list not reloaded: " + home.SettingsPath() + " holds no sections"},
    };
    for (const auto& bad : spoilt) {
        SCOPED_TRACE(bad.what);
        bad.spoil();
        ASSERT_EQ(kill(daemon.Pid(), SIGHUP), 0);
        EXPECT_TRUE(WaitForLog(bad.logged)) << home.RunLog();
        EXPECT_EQ(Get("/device-list"), "Reload-A;Reload-B;Reload-C;");
    }
    ASSERT_EQ(std::rename(aside.c_str(), home.SettingsPath().c_str()), 0);

    // Nothing was changed in the server, so it leaves the operator's file alone at exit.
    const std::string written = test::ReadBytes(home.SettingsPath());
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(10s), 0);
    EXPECT_EQ(test::ReadBytes(home.SettingsPath()), written);
    EXPECT_EQ(Count(home.RunLog(), "Device list reloaded from " + home.SettingsPath()), 3u);
}

}  // namespace
}  // namespace zm
