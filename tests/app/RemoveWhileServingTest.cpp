// A device whose sensor answers late is removed while web clients keep asking for the
// device list and the Internet watch switches the web server off. The stop of the device
// takes seconds: the registry must not be locked meanwhile, the switch-off waits for the
// removal, and no connection thread may reach a freed server (run under ASan too).
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DaemonPeers.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ManagerAssembly.h"
#include "base/Folders.h"
#include "device/TavDevice.h"
#include "support/Loopback.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One GET on a fresh connection; true when a whole "200 OK" answer came.
bool GetDevices(int port) {
    const int fd = test::ConnectLoopback(port);
    if (fd < 0) {
        return false;
    }
    const std::string request = "GET /api/devices HTTP/1.0\r\n\r\n";
    bool ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
              static_cast<ssize_t>(request.size());
    std::string answer;
    const auto until = Clock::now() + 15s;
    while (ok && Clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        answer.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return answer.rfind("HTTP/1.0 200", 0) == 0;
}

TEST(RemoveWhileServing, TheRegistryAnswersDuringTheStopAndTheServerGoesOffAfterIt) {
    test::SimProcess sim(
        {"--tcp-port", "0", "--latency", "2500", "--sensor", "addr=5,devnum=ZOR-0301,value=100"});
    ASSERT_TRUE(sim.Ready());
    test::DaemonHome home;
    ManagerSettings settings;
    settings.bHttpServ = true;
    home.WriteSettings(settings, {{.name = "Late", .tcpPort = sim.tcpPort, .timeoutMs = 4000},
                                  {.name = "Other", .linkType = kLinkTypeEmul}});
    SetHomeRoot(home.home.folder());

    HeadlessUiPort ui;
    HeadlessDispatcher dispatcher;
    dispatcher.Start();
    AssemblyOptions options;
    options.httpPort = home.httpPort;
    options.httpBind = "127.0.0.1";
    options.noShare = true;
    options.noInternetCheck = true;
    auto assembly = std::make_unique<CManagerAssembly>(dispatcher, ui, options);
    auto result = CZorManagerApp::StartResult::kMainWindowFailed;
    dispatcher.Call([&] { result = assembly->Start(false); });
    ASSERT_EQ(result, CZorManagerApp::StartResult::kStarted);
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            bool serving = false;
            dispatcher.Call([&] { serving = assembly->Web().IsRunning(); });
            return serving;
        },
        10s));
    // The late sensor has been asked: its device now waits seconds in every exchange.
    ASSERT_TRUE(test::WaitUntil(
        [&] { return sim.Control("stats").find("requests=0") == std::string::npos; }, 10s));
    std::this_thread::sleep_for(300ms);

    std::atomic<bool> hammering{true};
    std::mutex mutex;
    std::vector<Clock::time_point> answered;
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&] {
            while (hammering) {
                if (GetDevices(home.httpPort)) {
                    std::lock_guard lock(mutex);
                    answered.push_back(Clock::now());
                } else {
                    std::this_thread::sleep_for(5ms);
                }
            }
        });
    }
    std::this_thread::sleep_for(200ms);

    Clock::time_point removeStart, removeEnd, offAt;
    std::atomic<bool> removing{false}, removed{false}, off{false};
    dispatcher.Post([&] {
        removeStart = Clock::now();
        removing = true;
        std::shared_ptr<CTavDevice> late = assembly->Registry().GetDevice(0);
        assembly->Registry().RemoveDevice(late.get());
        late.reset();
        removeEnd = Clock::now();
        removed = true;
    });
    ASSERT_TRUE(test::WaitUntil([&] { return removing.load(); }, 5s));
    std::this_thread::sleep_for(300ms);
    const bool offAskedDuringRemoval = !removed;
    // What the watch does when a check finds no Internet access.
    dispatcher.Post([&] {
        assembly->Engine()->InternetResult(false);
        if (!assembly->Web().IsRunning()) {
            offAt = Clock::now();
            off = true;
        }
    });
    ASSERT_TRUE(test::WaitUntil([&] { return removed.load(); }, 15s));
    // Deferred: the switch-off runs once the removal is over, from a later task.
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            bool running = true;
            dispatcher.Call([&] { running = assembly->Web().IsRunning(); });
            if (!running && !off) {
                offAt = Clock::now();
                off = true;
            }
            return !running;
        },
        15s));
    hammering = false;
    for (std::thread& t : clients) {
        t.join();
    }

    ASSERT_TRUE(offAskedDuringRemoval) << "the device stopped too soon to show anything";
    EXPECT_GE(removeEnd - removeStart, 300ms) << "the sensor was not slow";
    EXPECT_GE(offAt, removeEnd) << "the web server went off inside the removal's wait";
    int duringRemoval = 0;
    {
        std::lock_guard lock(mutex);
        for (const auto& at : answered) {
            duringRemoval += at > removeStart && at < removeEnd ? 1 : 0;
        }
    }
    EXPECT_GT(duringRemoval, 0) << "the web routes waited for the device's stop";
    dispatcher.Call([&] { EXPECT_EQ(assembly->Registry().GetDeviceNames(), "Other;"); });

    bool closed = false;
    dispatcher.Call([&] { closed = assembly->Close(); });
    EXPECT_TRUE(closed);
    dispatcher.Call([&] {
        assembly->Exit();
        assembly.reset();
    });
    dispatcher.Stop();
    SetHomeRoot("");
}

}  // namespace
}  // namespace zm
