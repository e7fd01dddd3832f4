// The Debian packages of this build, checked from outside as an administrator meets them:
// their files and control data, lintian, systemd's checks of the service unit, and the
// programs run from the packages' files unpacked into a folder of their own. Nothing is
// installed on the machine that runs the tests.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "links/DeviceLink.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using zm::test::ChildProcess;
using zm::test::ReadBytes;
using zm::test::TempDir;

const std::string kPackages = ZM_PACKAGE_DIR;  // built once by the fixture packaging.Build
const std::string kVersion = ZM_PACKAGE_VERSION;

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A tool these tests need may be missing on a developer's machine, never in CI.
#define REQUIRE_TOOL(name)                                              \
    do {                                                                \
        if (!HaveTool(name)) {                                          \
            if (InCi()) {                                               \
                FAIL() << (name) << " is missing (scripts/setup.sh)";   \
            }                                                           \
            GTEST_SKIP() << (name) << " is missing (scripts/setup.sh)"; \
        }                                                               \
    } while (false)

struct Outcome {
    int status = -1;     // exit status, -1 when it did not end in time
    std::string output;  // standard output and error together
};

// Runs a program to its end, bounded in time.
Outcome RunProgram(const std::vector<std::string>& args, std::chrono::milliseconds limit = 60s) {
    TempDir dir;
    const std::string out = dir.file("out");
    Outcome outcome;
    {
        ChildProcess child(args, out);
        outcome.status = child.Wait(limit);
    }
    outcome.output = ReadBytes(out);
    return outcome;
}

// The package file of this build: NAME_VERSION_ARCH.deb.
std::string PackageFile(const std::string& name) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kPackages, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(name + "_" + kVersion + "_", 0) == 0 && entry.path().extension() == ".deb") {
            return entry.path().string();
        }
    }
    return {};
}

// Packages unpacked into a temporary folder, the way dpkg would lay them out under "/".
class PackageRoot {
  public:
    ::testing::AssertionResult Unpack(const std::string& name) {
        const std::string file = PackageFile(name);
        if (file.empty()) {
            return ::testing::AssertionFailure() << "no package " << name << " in " << kPackages;
        }
        const Outcome unpacked =
            RunProgram({"/usr/bin/dpkg-deb", "-x", file, root_.path().string()});
        if (unpacked.status != 0) {
            return ::testing::AssertionFailure() << unpacked.output;
        }
        return ::testing::AssertionSuccess();
    }
    // The path of an installed file below the root ("/usr/bin/zor-sim" → ROOT/usr/bin/zor-sim).
    std::string Path(const std::string& installed) const {
        return root_.path().string() + installed;
    }

  private:
    TempDir root_;
};

#ifdef ZM_DESKTOP_IN_BUILD
const std::vector<std::string> kPackageNames = {"zormanager", "zormanagerd", "zormanager-tools"};
#else
const std::vector<std::string> kPackageNames = {"zormanagerd", "zormanager-tools"};
#endif

// Start-up creates "Translations/" beside the program when it finds no language folder;
// a program that found the package's data folder leaves bin/ as the package made it.
bool MadeTranslationsBesideProgram(const PackageRoot& root) {
    return std::filesystem::exists(root.Path("/usr/bin/Translations"));
}

// The service manager's end of the readiness protocol.
class NotifySocket {
  public:
    NotifySocket() {
        path_ = dir_.file("notify");
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool bound() const { return bound_; }
    const std::string& path() const { return path_; }

    // The next message, or "(none)" when none came within the limit.
    std::string Next(std::chrono::milliseconds limit) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) {
            return "(none)";
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n < 0 ? "(error)" : std::string(buffer, static_cast<size_t>(n));
    }

  private:
    TempDir dir_;
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
};

}  // namespace

TEST(PackagingTest, PackagesHoldTheirFiles) {
    struct Case {
        std::string package;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"zormanagerd",
         {"./usr/bin/zormanagerd", "./lib/systemd/system/zormanagerd.service",
          "./etc/default/zormanagerd", "./usr/share/man/man8/zormanagerd.8.gz",
          "./usr/share/doc/zormanagerd/copyright", "./usr/share/doc/zormanagerd/changelog.gz",
          "./usr/share/doc/zormanagerd/headless-server.md",
          "./usr/share/doc/zormanagerd/integration.md", "./usr/share/zormanager/Translations/"}},
        {"zormanager-tools",
         {"./usr/bin/zor-sim", "./usr/bin/zor-probe", "./usr/share/man/man1/zor-sim.1.gz",
          "./usr/share/man/man1/zor-probe.1.gz", "./usr/share/doc/zormanager-tools/copyright",
          "./usr/share/doc/zormanager-tools/changelog.gz",
          "./usr/share/doc/zormanager-tools/zor-sim.md"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package);
        const std::string file = PackageFile(c.package);
        ASSERT_FALSE(file.empty()) << "no package in " << kPackages;
        const Outcome listing = RunProgram({"/usr/bin/dpkg-deb", "--contents", file});
        ASSERT_EQ(listing.status, 0) << listing.output;
        for (const std::string& path : c.files) {
            EXPECT_NE(listing.output.find(" " + path + "\n"), std::string::npos)
                << path << " missing:\n"
                << listing.output;
        }
        // Every file belongs to root, whoever built the package.
        size_t lines = 0, rootLines = 0;
        for (size_t at = 0; (at = listing.output.find('\n', at)) != std::string::npos; ++at) {
            ++lines;
        }
        for (size_t at = 0; (at = listing.output.find(" root/root ", at)) != std::string::npos;
             ++at) {
            ++rootLines;
        }
        EXPECT_EQ(rootLines, lines);
    }
}

TEST(PackagingTest, ControlDataNamesDependenciesAndServiceScripts) {
    struct Case {
        std::string package;
        std::string field;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        // adduser for the service's user; Leaflet is copied from the system at start;
        // the rest comes from the shared libraries the programs use.
        {"zormanagerd",
         "Depends",
         {"adduser", "libjs-leaflet", "libc6 (>= ", "libssl3", "libmosquitto1"}},
        {"zormanagerd", "Section", {"net"}},
        {"zormanagerd", "Version", {kVersion}},
        {"zormanager-tools", "Depends", {"libc6 (>= ", "libstdc++6"}},
        {"zormanager-tools", "Section", {"electronics"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package + " " + c.field);
        const Outcome field =
            RunProgram({"/usr/bin/dpkg-deb", "--field", PackageFile(c.package), c.field});
        ASSERT_EQ(field.status, 0) << field.output;
        for (const std::string& part : c.parts) {
            EXPECT_NE(field.output.find(part), std::string::npos) << field.output;
        }
    }

    TempDir control;
    const Outcome extracted = RunProgram(
        {"/usr/bin/dpkg-deb", "--control", PackageFile("zormanagerd"), control.folder()});
    ASSERT_EQ(extracted.status, 0) << extracted.output;
    // The options file is the administrator's: an upgrade must not overwrite it.
    EXPECT_EQ(ReadBytes(control.file("conffiles")), "/etc/default/zormanagerd\n");
    for (const char* script : {"postinst", "prerm", "postrm"}) {
        SCOPED_TRACE(script);
        struct stat info {};
        ASSERT_EQ(stat(control.file(script).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0755u);
        const Outcome syntax = RunProgram({"/bin/sh", "-n", control.file(script)});
        EXPECT_EQ(syntax.status, 0) << syntax.output;
    }
}

TEST(PackagingTest, LintianFindsNoError) {
    REQUIRE_TOOL("lintian");
    std::vector<std::string> args = {"/usr/bin/lintian", "--fail-on", "error",
                                     "--no-tag-display-limit"};
    for (const std::string& name : kPackageNames) {
        args.push_back(PackageFile(name));
    }
    const Outcome lintian = RunProgram(args, 240s);
    EXPECT_EQ(lintian.status, 0) << lintian.output;
    // Warnings do not fail the build, but they show in the test's output.
    std::printf("%s", lintian.output.c_str());
}

TEST(PackagingTest, ManPagesRenderWithoutWarnings) {
    REQUIRE_TOOL("man");
    PackageRoot root;
    for (const std::string& name : kPackageNames) {
        ASSERT_TRUE(root.Unpack(name));
    }
    std::vector<std::string> pages = {"/usr/share/man/man8/zormanagerd.8.gz",
                                      "/usr/share/man/man1/zor-sim.1.gz",
                                      "/usr/share/man/man1/zor-probe.1.gz"};
#ifdef ZM_DESKTOP_IN_BUILD
    pages.push_back("/usr/share/man/man1/zormanager.1.gz");
#endif
    for (const std::string& page : pages) {
        SCOPED_TRACE(page);
        TempDir dir;
        const std::string errors = dir.file("errors");
        const std::string command = "man --warnings -E UTF-8 -l '" + root.Path(page) + "' 2>'" +
                                    errors + "' | grep -c '^' ";
        const Outcome shown = RunProgram({"/bin/sh", "-c", command});
        EXPECT_GT(std::atoi(shown.output.c_str()), 20) << "the page is nearly empty";
        EXPECT_EQ(ReadBytes(errors), "");
    }
}

// systemd's own reading of the unit: unknown keys, bad values, missing programs, the
// documentation page. The unit names /usr/bin/zormanagerd; a copy points into the
// unpacked package instead, since nothing is installed here.
TEST(PackagingTest, ServiceUnitPassesSystemdChecks) {
    REQUIRE_TOOL("systemd-analyze");
    PackageRoot root;
    ASSERT_TRUE(root.Unpack("zormanagerd"));
    const std::string unit = ReadBytes(root.Path("/lib/systemd/system/zormanagerd.service"));
    const std::string program = "/usr/bin/zormanagerd ";
    const size_t at = unit.find("ExecStart=" + program);
    ASSERT_NE(at, std::string::npos) << unit;
    EXPECT_EQ(access(root.Path("/usr/bin/zormanagerd").c_str(), X_OK), 0);

    TempDir dir;
    std::string copy = unit;
    copy.replace(at + 10, program.size() - 1, root.Path("/usr/bin/zormanagerd"));
    zm::test::WriteBytes(dir.file("zormanagerd.service"), copy);
    zm::test::ScopedEnv env;
    env.Set("MANPATH", root.Path("/usr/share/man"));
    const Outcome verify =
        RunProgram({"/usr/bin/systemd-analyze", "verify", dir.file("zormanagerd.service")});
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_EQ(verify.output, "") << "systemd has remarks on the unit";

    // The hardening as systemd rates it: 0 is sealed, 10 fully exposed; "OK" ends at 4.9.
    const Outcome security =
        RunProgram({"/usr/bin/systemd-analyze", "security", "--offline=true", "--threshold=30",
                    "--no-pager", dir.file("zormanagerd.service")});
    EXPECT_EQ(security.status, 0) << security.output;
}

TEST(PackagingTest, ProgramsFromPackagesPrintTheirVersion) {
    PackageRoot root;
    for (const std::string& name : kPackageNames) {
        ASSERT_TRUE(root.Unpack(name));
    }
    struct Case {
        std::string program;
        std::string expected;
    };
    const Case cases[] = {
        {"/usr/bin/zormanagerd", "ZorManager__All_Ver-Lang version " + kVersion + "\n"},
        {"/usr/bin/zor-sim", "zor-sim " + kVersion + "\n"},
        {"/usr/bin/zor-probe", "zor-probe " + kVersion + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const Outcome version = RunProgram({root.Path(c.program), "--version"}, 10s);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output, c.expected);
    }
}

// On this machine the source and build trees exist, so a program that still reached into
// them would run here and fail on the user's: none may name them or search them for
// libraries.
TEST(PackagingTest, ProgramsFromPackagesDoNotNameTheBuildTree) {
    PackageRoot root;
    for (const std::string& name : kPackageNames) {
        ASSERT_TRUE(root.Unpack(name));
    }
    const std::string source =
        std::filesystem::path(ZM_TEST_SOURCE_DIR).parent_path().string() + "/";
    const std::string build = std::string(ZM_TEST_BINARY_DIR) + "/";
    int programs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root.Path("/usr/bin"))) {
        SCOPED_TRACE(entry.path().string());
        ++programs;
        const std::string bytes = ReadBytes(entry.path().string());
        EXPECT_EQ(bytes.find(source), std::string::npos) << "names " << source;
        EXPECT_EQ(bytes.find(build), std::string::npos) << "names " << build;
        const Outcome dynamic =
            RunProgram({"/usr/bin/readelf", "--dynamic", entry.path().string()});
        EXPECT_EQ(dynamic.status, 0) << dynamic.output;
        EXPECT_EQ(dynamic.output.find("PATH)"), std::string::npos) << dynamic.output;
    }
    EXPECT_EQ(programs, static_cast<int>(kPackageNames.size()) + 1);  // the tools are two
}

// The server from its package alone, on a home with one emulated sensor, started the way
// the service starts it: readiness comes once the device list is really served, a reload
// and the stop are announced, and the language files are looked for in the package's data
// folder, not in the build tree.
TEST(PackagingTest, ServerFromPackageIsReadyWhenItServesItsDevices) {
    PackageRoot root;
    ASSERT_TRUE(root.Unpack("zormanagerd"));
    zm::test::DaemonHome home;
    zm::test::HomeDevice buoy;
    buoy.name = "Buoy-7";
    buoy.linkType = zm::kLinkTypeEmul;
    home.WriteSettings(zm::ManagerSettings{}, {buoy});

    NotifySocket notify;
    ASSERT_TRUE(notify.bound());
    zm::test::ScopedEnv env;
    env.Set("NOTIFY_SOCKET", notify.path());
    std::vector<std::string> args = home.Args();
    args[0] = root.Path("/usr/bin/zormanagerd");
    const std::string out = home.home.file("server.out");
    ChildProcess server(args, out);

    const std::string ready = notify.Next(20s);
    EXPECT_EQ(ready,
              "READY=1\nSTATUS=1 device(s); web server on port " + std::to_string(home.httpPort))
        << ReadBytes(out);
    // No waiting after the readiness message: that is what it promises.
    EXPECT_EQ(zm::test::CurlGet(home.BaseUrl() + "/device-list"), "Buoy-7;");
    EXPECT_NE(ReadBytes(out).find(
                  "Translations:      " + root.Path("/usr/share/zormanager/Translations/") + "\n"),
              std::string::npos)
        << ReadBytes(out);

    EXPECT_FALSE(MadeTranslationsBesideProgram(root));

    kill(server.Pid(), SIGHUP);
    EXPECT_EQ(notify.Next(10s), "RELOADING=1");
    EXPECT_EQ(notify.Next(10s), ready);
    kill(server.Pid(), SIGTERM);
    EXPECT_EQ(notify.Next(10s), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(server.Wait(15s), 0) << ReadBytes(out);
}

// The field tools from their package: the simulator answers the probe on loopback.
TEST(PackagingTest, ToolsFromPackageProbeSimulatedSensor) {
    PackageRoot root;
    ASSERT_TRUE(root.Unpack("zormanager-tools"));
    TempDir dir;
    const std::string out = dir.file("sim.out");
    ChildProcess sim({root.Path("/usr/bin/zor-sim"), "--tcp-port", "0", "--sensor", "addr=12"},
                     out);
    std::string text;
    ASSERT_TRUE(zm::test::WaitUntil(
        [&] { return (text = ReadBytes(out)).find("ready\n") != std::string::npos; }, 10s))
        << text;
    const size_t at = text.find("tcp 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string port = std::to_string(std::atoi(text.c_str() + at + 14));

    const Outcome probe = RunProgram(
        {root.Path("/usr/bin/zor-probe"), "--tcp", "127.0.0.1:" + port, "--addr", "12", "check"},
        20s);
    EXPECT_EQ(probe.status, 0) << probe.output;
    // Another address on the same bus stays silent: the probe says so and fails.
    const Outcome silent =
        RunProgram({root.Path("/usr/bin/zor-probe"), "--tcp", "127.0.0.1:" + port, "--addr", "13",
                    "--timeout", "300", "check"},
                   20s);
    EXPECT_EQ(silent.status, 1) << silent.output;
}

// The desktop program from its package, on the offscreen platform: its files are where
// the menu, the icon theme and the program look for them, and it starts and runs.
TEST(PackagingTest, DesktopProgramFromPackageStartsOffscreen) {
#ifndef ZM_DESKTOP_IN_BUILD
    GTEST_SKIP() << "the desktop program is not part of this build";
#else
    PackageRoot root;
    ASSERT_TRUE(root.Unpack("zormanager"));
    for (const char* file :
         {"/usr/bin/zormanager", "/usr/share/applications/zormanager.desktop",
          "/usr/share/zormanager/sounds/alarm.wav", "/usr/share/man/man1/zormanager.1.gz",
          "/usr/share/doc/zormanager/copyright", "/usr/share/doc/zormanager/changelog.gz"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(root.Path(file))) << file;
    }
    bool icon = std::filesystem::exists(root.Path("/usr/share/pixmaps/zormanager.png"));
    std::error_code ec;
    for (const auto& size :
         std::filesystem::directory_iterator(root.Path("/usr/share/icons/hicolor"), ec)) {
        icon = icon || std::filesystem::exists(size.path() / "apps/zormanager.png");
    }
    EXPECT_TRUE(icon) << "no zormanager.png in the icon theme or pixmaps";
    const std::string sound = ReadBytes(root.Path("/usr/share/zormanager/sounds/alarm.wav"));
    EXPECT_TRUE(sound.size() > 44 && sound.compare(0, 4, "RIFF") == 0 &&
                sound.compare(8, 4, "WAVE") == 0)
        << "the alarm sound is no WAVE file";
    if (HaveTool("desktop-file-validate")) {
        const Outcome valid = RunProgram({"/usr/bin/desktop-file-validate",
                                          root.Path("/usr/share/applications/zormanager.desktop")});
        EXPECT_EQ(valid.status, 0) << valid.output;
        // Hints are suggestions; errors and warnings are faults of the entry.
        EXPECT_EQ(valid.output.find("error:"), std::string::npos) << valid.output;
        EXPECT_EQ(valid.output.find("warning:"), std::string::npos) << valid.output;
    } else if (InCi()) {
        ADD_FAILURE() << "desktop-file-validate is missing (scripts/setup.sh)";
    }

    TempDir home;
    zm::test::ScopedEnv env;
    env.Set("QT_QPA_PLATFORM", "offscreen");
    env.Set("QTWEBENGINE_DISABLE_SANDBOX", "1");  // CI runs as root
    const std::string out = home.file("desktop.out");
    ChildProcess desktop({root.Path("/usr/bin/zormanager"), "--home", home.folder()}, out);
    const auto runLog = [&] { return zm::test::FilesText(home.path() / "Documents", "RunLog_"); };
    // Running() reaps a program that ended, so it is asked last.
    zm::test::WaitUntil([&] { return !runLog().empty() || !desktop.Running(); }, 30s);
    EXPECT_FALSE(runLog().empty()) << "no run log; output:\n" << ReadBytes(out);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(desktop.Running()) << "the desktop program ended; output:\n" << ReadBytes(out);
    EXPECT_FALSE(MadeTranslationsBesideProgram(root));
    kill(desktop.Pid(), SIGTERM);
    EXPECT_NE(desktop.Wait(15s), -1) << "the desktop program did not end on SIGTERM";
#endif
}
