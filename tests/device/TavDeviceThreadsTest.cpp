#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestDevices.h"
#include "base/Log.h"
#include "device/TavDevice.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::CfgFor;
using test::EventRecorder;

// A run log in a temporary folder that the test can read back.
class RunLogFile {
  public:
    RunLogFile() {
        m_Log.SetFolder(m_Dir.folder());
        m_Log.Open("RunLog", true);
    }
    CLog* Log() { return &m_Log; }
    std::string Text() const {
        std::ifstream in(m_Log.GetPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The entry (one line of the file) that holds the text; empty when none does.
    std::string LineWith(const std::string& needle) const {
        const std::string text = Text();
        const auto pos = text.find(needle);
        if (pos == std::string::npos) {
            return {};
        }
        const auto begin = text.rfind('\n', pos);
        const auto end = text.find('\n', pos);
        return text.substr(begin == std::string::npos ? 0 : begin + 1,
                           end == std::string::npos ? std::string::npos : end - begin);
    }
    int CountOf(const std::string& needle) const {
        const std::string text = Text();
        int n = 0;
        for (auto pos = text.find(needle); pos != std::string::npos;
             pos = text.find(needle, pos + 1)) {
            ++n;
        }
        return n;
    }

  private:
    test::TempDir m_Dir;
    CLog m_Log;
};

// Voluntary context switches of one thread of this process: how often it went to sleep.
long SleepsOf(int tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
            return std::stol(line.substr(line.find(':') + 1));
        }
    }
    return -1;
}

// A generic device that notes when the live thread calls into it.
class ProbeDevice : public CTavDevice {
  public:
    using CTavDevice::CTavDevice;
    ~ProbeDevice() override { StopThreads(); }

    bool Connect() override {
        const bool ok = CTavDevice::Connect();
        std::lock_guard lock(m_Mutex);
        m_Connects.push_back(Clock::now());
        return ok;
    }
    void Disconnect() override {
        ++m_Disconnects;
        CTavDevice::Disconnect();
    }
    void Poll() override {
        {
            std::lock_guard lock(m_Mutex);
            m_Polls.push_back(Clock::now());
        }
        CTavDevice::Poll();
    }

    std::vector<Clock::time_point> Connects() {
        std::lock_guard lock(m_Mutex);
        return m_Connects;
    }
    std::vector<Clock::time_point> Polls() {
        std::lock_guard lock(m_Mutex);
        return m_Polls;
    }
    int Disconnects() const { return m_Disconnects.load(); }

  private:
    std::mutex m_Mutex;
    std::vector<Clock::time_point> m_Connects;
    std::vector<Clock::time_point> m_Polls;
    std::atomic<int> m_Disconnects{0};
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(TavDeviceThreads, EmulatedDevicePollsAboutEvery100MsAndRaisesEventsOnItsEventThread) {
    RunLogFile log;
    auto dev = std::make_shared<CTavDevice>("", log.Log(), "Emu");
    EventRecorder rec(*dev);
    dev->SetSettings(CfgFor("EMUL", true), true);
    ASSERT_TRUE(dev->AreThreadsRunning());
    ASSERT_TRUE(rec.WaitFor(EventRecorder::kData, 3, 5s));
    const auto start = Clock::now();
    const int before = rec.Count(EventRecorder::kData);
    std::this_thread::sleep_for(2s);
    const int polls = rec.Count(EventRecorder::kData) - before;
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(dev->StopThreads());
    EXPECT_FALSE(dev->AreThreadsRunning());

    // About one poll per 100 ms (each poll raises one data event).
    const double perSecond = polls / std::chrono::duration<double>(elapsed).count();
    EXPECT_GT(perSecond, 4.0);
    EXPECT_LT(perSecond, 12.0);

    const auto records = rec.Records();
    std::thread::id eventThread = records.front().thread;
    EXPECT_NE(eventThread, std::this_thread::get_id());
    double last = -1;
    for (const auto& r : records) {
        EXPECT_EQ(r.thread, eventThread) << "an event was raised on another thread";
        if (r.kind == EventRecorder::kData && r.dataStatus != kDataWaiting) {
            // Value and status are read one after the other, so a poll may fall between.
            EXPECT_GE(r.value, last) << "the emulated value must rise";
            EXPECT_TRUE(r.dataStatus == kDataDeviceFlag || r.dataStatus == kDataEmulation);
            if (r.value < 39) {
                EXPECT_EQ(r.dataStatus, kDataDeviceFlag) << r.value;
            }
            last = r.value;
        }
    }
    EXPECT_FALSE(rec.Overlapped()) << "two handlers of one device ran at once";
    EXPECT_GE(rec.Count(EventRecorder::kTrack), polls);
    EXPECT_GE(rec.Count(EventRecorder::kState), 1);

    const std::string text = log.Text();
    EXPECT_NE(text.find("Unit: ApplyCfg()"), std::string::npos);
    EXPECT_NE(text.find("Unit: Thread_Event start: OK (ID:"), std::string::npos);
    EXPECT_NE(text.find("Unit: Thread_Live start: OK (ID:"), std::string::npos);
    EXPECT_NE(text.find("Thread_Live: Unit terminating: OK (0x"), std::string::npos);
    EXPECT_NE(text.find("Thread_Event: Unit terminating: OK (0x"), std::string::npos);
}

TEST(TavDeviceThreads, ScanningOffDisconnectsOnceThenWakesEvery500Ms) {
    auto dev = std::make_shared<ProbeDevice>("", nullptr);
    dev->SetSettings(CfgFor("EMUL", false), true);
    ASSERT_TRUE(WaitUntil([&] { return dev->Disconnects() >= 1; }, 3s));
    const int tid = dev->LiveThreadId();
    ASSERT_GT(tid, 0);
    const long sleepsBefore = SleepsOf(tid);
    std::this_thread::sleep_for(2s);
    const long sleeps = SleepsOf(tid) - sleepsBefore;
    EXPECT_EQ(dev->Disconnects(), 1);
    EXPECT_TRUE(dev->Polls().empty());
    EXPECT_TRUE(dev->Connects().empty());
    EXPECT_EQ(dev->GetStatus(), kDevMonitoringOff);
    // Four wake-ups in 2 s; 100 ms polling would give twenty.
    EXPECT_GE(sleeps, 2);
    EXPECT_LE(sleeps, 8);

    // Switched on, the device makes the connection that ApplyCfg asked for, then polls.
    dev->SetScanning(true);
    ASSERT_TRUE(WaitUntil([&] { return dev->Polls().size() >= 3; }, 5s));
    EXPECT_EQ(dev->Connects().size(), 1u);
    // Off and on again: one more Disconnect, and polling resumes without reconnecting.
    dev->SetScanning(false);
    ASSERT_TRUE(WaitUntil([&] { return dev->Disconnects() == 3; }, 3s));
    const std::size_t polled = dev->Polls().size();
    dev->SetScanning(true);
    ASSERT_TRUE(WaitUntil([&] { return dev->Polls().size() >= polled + 3; }, 5s));
    EXPECT_EQ(dev->Connects().size(), 1u);
    EXPECT_EQ(dev->Disconnects(), 3);  // the off switch, and the one inside Connect
    dev->StopThreads();
    EXPECT_EQ(dev->Disconnects(), 4);  // StopThreads disconnects once more
}

TEST(TavDeviceThreads, FirstPollFollowsAFailedConnectAfterAbout500Ms) {
    struct Row {
        const char* linkType;
        bool connects;
        std::chrono::milliseconds min, max;
    };
    const Row rows[] = {
        {"COM", false, 400ms, 1500ms},
        {"EMUL", true, 50ms, 450ms},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.linkType);
        auto dev = std::make_shared<ProbeDevice>("", nullptr);
        TavDeviceCfg cfg = CfgFor(row.linkType, true);
        cfg.comPort.sPortName = "/dev/zm-no-such-port";
        dev->SetSettings(cfg, true);
        ASSERT_TRUE(WaitUntil([&] { return !dev->Polls().empty(); }, 5s));
        dev->StopThreads();
        const auto connects = dev->Connects();
        const auto polls = dev->Polls();
        ASSERT_EQ(connects.size(), 1u) << "a failed connect is not repeated";
        EXPECT_EQ(dev->GetStatus() == kDevNoConnection, !row.connects);
        const auto gap = polls.front() - connects.front();
        EXPECT_GE(gap, row.min);
        EXPECT_LE(gap, row.max);
    }
}

// A device whose link fails with an exception in its first poll, as a faulty driver
// might.
class ThrowingLinkDevice : public ProbeDevice {
  public:
    using ProbeDevice::ProbeDevice;
    void Poll() override {
        if (m_ThrowsLeft.fetch_sub(1) > 0) {
            throw std::runtime_error("read <failed>");
        }
        ProbeDevice::Poll();
    }

  private:
    std::atomic<int> m_ThrowsLeft{1};
};

TEST(TavDeviceThreads, AnExceptionFromTheLinkIsLoggedReportedAsNoConnectionAndTheLoopGoesOn) {
    RunLogFile log;
    auto dev = std::make_shared<ThrowingLinkDevice>("", log.Log(), "Pier");
    EventRecorder rec(*dev);
    TavDeviceCfg cfg = CfgFor("EMUL", true);
    cfg.sName = "Pier <1>";
    dev->SetSettings(cfg, true);
    // After the fault and the pause, the loop connects anew and polls again.
    ASSERT_TRUE(WaitUntil([&] { return !dev->Polls().empty(); }, 5s))
        << "the live thread ended with the exception";
    EXPECT_EQ(dev->Connects().size(), 2u);
    dev->StopThreads();

    const std::string line = log.LineWith("Thread_Live: exception");
    EXPECT_NE(line.find("Pier &lt;1&gt;: Thread_Live: exception: read &lt;failed&gt;"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("#C80000"), std::string::npos) << "not red: " << line;
    bool lost = false;
    for (const auto& r : rec.Records()) {
        lost = lost || (r.kind == EventRecorder::kState && r.deviceStatus == kDevNoConnection);
    }
    EXPECT_TRUE(lost) << "no state event told of the lost connection";
}

// A subscriber that fails once.
class ThrowingSubscriber {
  public:
    explicit ThrowingSubscriber(CTavDevice& device) : m_Device(device) {
        device.NewDataEvent.Subscribe(this, &ThrowingSubscriber::OnData);
    }
    ~ThrowingSubscriber() { m_Device.NewDataEvent.UnsubscribeAll(this); }
    int Calls() const { return m_Calls.load(); }

  private:
    void OnData(CTavDevice*) {
        if (m_Calls.fetch_add(1) == 0) {
            throw std::logic_error("handler fault");
        }
    }
    CTavDevice& m_Device;
    std::atomic<int> m_Calls{0};
};

TEST(TavDeviceThreads, AnExceptionFromAHandlerIsLoggedAndLaterEventsStillArrive) {
    RunLogFile log;
    auto dev = std::make_shared<CTavDevice>("", log.Log(), "Emu");
    ThrowingSubscriber subscriber(*dev);
    dev->SetSettings(CfgFor("EMUL", true), true);
    EXPECT_TRUE(WaitUntil([&] { return subscriber.Calls() >= 3; }, 5s))
        << "the event thread ended with the exception";
    dev->StopThreads();
    EXPECT_NE(log.LineWith("Unit: Thread_Event: exception: handler fault").find("#C80000"),
              std::string::npos)
        << log.Text();
}

// A TCP server on 127.0.0.1 that accepts connections into its backlog and never answers.
class SilentServer {
  public:
    SilentServer() {
        m_Fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_Fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(m_Fd, 8);
        socklen_t len = sizeof addr;
        getsockname(m_Fd, reinterpret_cast<sockaddr*>(&addr), &len);
        m_Port = ntohs(addr.sin_port);
    }
    ~SilentServer() { close(m_Fd); }
    int Port() const { return m_Port; }

  private:
    int m_Fd = -1;
    int m_Port = 0;
};

// A device whose poll waits for an answer in a 5-second read, holding the link lock as a
// transaction does.
class BlockingReadDevice : public CTavDevice {
  public:
    using CTavDevice::CTavDevice;
    ~BlockingReadDevice() override { StopThreads(); }
    void Poll() override {
        std::lock_guard lock(m_LinkLock);
        if (m_pCurrentLink == nullptr || !m_pCurrentLink->IsOpen()) {
            return;
        }
        m_bInRead = true;
        std::uint8_t buf[16];
        std::int32_t got = 0;
        m_pCurrentLink->Read(buf, sizeof buf, got, 5000);
        m_bInRead = false;
        ++m_nReads;
    }
    std::atomic<bool> m_bInRead{false};
    std::atomic<int> m_nReads{0};
};

TEST(TavDeviceThreads, StopAbandonsAPollBlockedInAReadAfterThreeSeconds) {
    SilentServer server;
    RunLogFile log;
    auto dev = std::make_shared<BlockingReadDevice>("", log.Log(), "Blocked");
    std::weak_ptr<CTavDevice> watch = dev;
    TavDeviceCfg cfg = CfgFor("TCP/IP", true);
    cfg.sName = "Blocked";
    cfg.xSocket.sAddress = "127.0.0.1";
    cfg.xSocket.nPort = server.Port();
    cfg.xSocket.nTimeOut = 2000;
    dev->SetSettings(cfg, true);
    ASSERT_TRUE(WaitUntil([&] { return dev->m_bInRead.load(); }, 8s))
        << "the link did not open: " << dev->GetInfoText("Link");

    int pumps = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(dev->StopThreads([&] { ++pumps; }));
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 2900ms);
    EXPECT_LT(elapsed, 4500ms);
    EXPECT_GE(pumps, 20) << "the wait must keep the caller's messages going";
    EXPECT_EQ(log.CountOf("Thread_Live: Blocked terminating: FAILED (0x"), 1);
    EXPECT_NE(log.LineWith("Thread_Live: Blocked terminating: FAILED").find("#C80000"),
              std::string::npos);
    EXPECT_EQ(log.CountOf("Thread_Event: Blocked terminating: OK (0x"), 1);
    EXPECT_FALSE(dev->AreThreadsRunning());
    EXPECT_EQ(CDeviceThread::AbandonedCount(), 1);

    // The owner lets go; the abandoned poll keeps the device alive until its read ends,
    // and the device is then destroyed on that thread.
    dev.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_TRUE(CDeviceThread::WaitForAbandoned(6s));
    EXPECT_TRUE(WaitUntil([&] { return watch.expired(); }, 2s));
}

TEST(TavDeviceThreads, StateEventsFollowChangesAndTheUpdateFrequency) {
    auto dev = std::make_shared<CTavDevice>("", nullptr);
    EventRecorder rec(*dev);
    TavDeviceCfg cfg = CfgFor("EMUL", false);
    cfg.sUpdFreq = "0";
    dev->SetSettings(cfg, true);
    // Scanning off: the first wake-up publishes "Monitoring OFF", then nothing happens.
    ASSERT_TRUE(rec.WaitFor(EventRecorder::kState, 1, 3s));
    std::this_thread::sleep_for(300ms);
    const int base = rec.Count(EventRecorder::kState);
    auto settled = [&](int expected) {
        if (!rec.WaitFor(EventRecorder::kState, expected, 3s)) {
            return false;
        }
        std::this_thread::sleep_for(200ms);  // and no more than that
        return rec.Count(EventRecorder::kState) == expected;
    };

    dev->SetStatus(kDevOnlineOk);
    EXPECT_TRUE(settled(base + 1));
    dev->SetStatus(kDevOnlineOk);  // same code and text: no event
    EXPECT_TRUE(settled(base + 1));
    dev->SetStatus(kDevOnlineOk, std::string("other text"));  // same code, new text
    EXPECT_TRUE(settled(base + 2));

    // Update frequency 0: no forced reports, however long the status stays.
    std::this_thread::sleep_for(1100ms);
    dev->SetStatus(kDevOnlineOk, std::string("other text"));
    EXPECT_TRUE(settled(base + 2));
    EXPECT_FALSE(dev->TakeStateReportRequest());

    // Update frequency 1 s: the first unchanged SetStatus after that raises a report.
    dev->SetUpdFreq("1");
    EXPECT_TRUE(settled(base + 3));
    std::this_thread::sleep_for(2100ms);
    dev->SetStatus(kDevOnlineOk, std::string("other text"));
    EXPECT_TRUE(settled(base + 4));
    EXPECT_TRUE(dev->TakeStateReportRequest());
    EXPECT_FALSE(dev->TakeStateReportRequest());
    dev->SetStatus(kDevOnlineOk, std::string("other text"));  // too soon for another
    EXPECT_TRUE(settled(base + 4));
    EXPECT_FALSE(dev->TakeStateReportRequest());
    dev->StopThreads();
}

TEST(TavDeviceThreads, DroppingTheLastOwnerOfARunningDeviceStopsItsThreads) {
    auto dev = std::make_shared<CTavDevice>("", nullptr);
    std::weak_ptr<CTavDevice> watch = dev;
    dev->SetSettings(CfgFor("EMUL", true), true);
    ASSERT_TRUE(WaitUntil([&] { return dev->GetValue() >= 2; }, 5s));
    const auto start = Clock::now();
    dev.reset();
    EXPECT_TRUE(WaitUntil([&] { return watch.expired(); }, 3s));
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(CDeviceThread::AbandonedCount(), 0);
}

TEST(TavDeviceThreads, AttachedPaneGetsStateDataAndTrackTexts) {
    struct Pane : CDevicePane {
        std::mutex mutex;
        std::vector<DevicePaneTexts> seen;
        void ShowDeviceTexts(CTavDevice&, const DevicePaneTexts& texts) override {
            std::lock_guard lock(mutex);
            seen.push_back(texts);
        }
        bool Has(DevicePaneTexts::Part part) {
            std::lock_guard lock(mutex);
            for (const auto& t : seen) {
                if (t.part == part) {
                    return true;
                }
            }
            return false;
        }
    };
    auto pane = std::make_shared<Pane>();
    auto dev = std::make_shared<CTavDevice>("", nullptr, "Paned");
    dev->AttachPane(pane);
    dev->SetSettings(CfgFor("EMUL", true), true);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return pane->Has(DevicePaneTexts::Part::State) &&
                   pane->Has(DevicePaneTexts::Part::Data) &&
                   pane->Has(DevicePaneTexts::Part::Track);
        },
        5s));
    dev->AttachPane(nullptr);
    dev->StopThreads();

    std::lock_guard lock(pane->mutex);
    for (const auto& t : pane->seen) {
        switch (t.part) {
            case DevicePaneTexts::Part::State:
                EXPECT_EQ(t.sLinkError, "Emul-Link(ok)");
                EXPECT_GE(t.nStatusIcon, 0);
                EXPECT_LE(t.nStatusIcon, 6);
                EXPECT_EQ(t.sStatus.rfind("TAV on 'EMUL' : ", 0), 0u) << t.sStatus;
                break;
            case DevicePaneTexts::Part::Data:
                // The attached pane gets the settings form of the value.
                EXPECT_EQ(t.sData.rfind("\r\n\r\n", 0), 0u);
                EXPECT_EQ(t.sLocalTime.size(), std::string("2026/12/09 ; 22:40:44").size());
                EXPECT_EQ(t.sGpsTime, "GpsTime(?)");
                break;
            case DevicePaneTexts::Part::Track:
                // Empty before the first poll (Connect raises all three events).
                if (t.sTrackAppend != "\r\n") {
                    EXPECT_EQ(t.sTrackAppend.rfind("m_BaseData.dValue => ", 0), 0u);
                }
                EXPECT_TRUE(t.sTrackAppend.ends_with("\r\n"));
                EXPECT_EQ(t.sLastRmc + "\r\n", t.sTrackAppend);
                break;
        }
    }

    // A pane that is not attached gets the control form of the data text.
    Pane other;
    dev->UpdateDataPane(&other, false);
    ASSERT_EQ(other.seen.size(), 1u);
    EXPECT_NE(other.seen[0].sData.rfind("\r\n\r\n", 0), 0u) << other.seen[0].sData;
}

TEST(TavDeviceThreads, DelayedLogWritesAtMostOneLinePerFiveSecondsWithTheLatestText) {
    RunLogFile log;
    auto dev = std::make_shared<CTavDevice>("", log.Log(), "Slow");
    dev->DelayedLog("TAV on 'EMUL' : First.");
    ASSERT_TRUE(WaitUntil([&] { return log.CountOf("First.") == 1; }, 3s))
        << "the first text is written at once";
    const auto firstSeen = Clock::now();
    dev->DelayedLog("Second.");
    dev->DelayedLog("Third.");
    dev->DelayedLog("THIRD.");  // the same text in other letters: ignored
    dev->DelayedLog("Fourth Data Available");
    ASSERT_TRUE(WaitUntil([&] { return log.CountOf("Fourth Data Available") == 1; }, 8s));
    EXPECT_GE(Clock::now() - firstSeen, 3500ms) << "lines closer than about 5 s";
    EXPECT_EQ(log.CountOf("Second."), 0);
    EXPECT_EQ(log.CountOf("Third."), 0);
    EXPECT_EQ(log.CountOf("Fourth Data Available (3)"), 1);
    // "Data Available" lines are successes (dark green), the others warnings (orange).
    EXPECT_NE(log.LineWith("Fourth Data Available (3)").find("#006400"), std::string::npos);
    EXPECT_NE(log.LineWith("First.").find("#C86400"), std::string::npos);

    // A message still waiting when the device goes is never written.
    dev->DelayedLog("Never written");
    std::this_thread::sleep_for(200ms);
    dev.reset();
    EXPECT_EQ(log.CountOf("Never written"), 0);
}

}  // namespace
}  // namespace zm
