// The serial bus scan against the simulator on two pseudo-terminals.

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ZorTestPeers.h"
#include "app/BusScan.h"
#include "base/MessageSink.h"
#include "device/zor/ZorDevice.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using test::SimProcess;

// The wait window's side of the scan, as a record of what it was told; it presses
// Cancel when the progress reaches a chosen address.
class RecordingProgress : public IWaitProgress {
  public:
    int cancelAtAddress = 0;  // 0: never
    std::vector<std::string> texts;
    std::vector<int> positions;
    bool started = false, stopped = false;
    int hides = 0, shows = 0;

    void SetTexts(const std::string& sMessage, const std::string&) override {
        texts.push_back(sMessage);
        if (cancelAtAddress > 0 &&
            sMessage.find(" " + std::to_string(cancelAtAddress) + " (") != std::string::npos) {
            cancelPending = true;
        }
    }
    void SetBar(bool, bool, int) override {}
    void SetBarPos(int nPos, int) override { positions.push_back(nPos); }
    void EnableCancel(bool) override {}
    void SetMinSize(int, int) override {}
    bool Start() override { return started = true; }
    int CheckCancel(bool bReset) override {
        const bool pressed = cancelPending;
        if (bReset) {
            cancelPending = false;
        }
        return pressed ? kCancelPressed : kNoCancel;
    }
    void Hide() override { ++hides; }
    void Show() override { ++shows; }
    void Stop() override { stopped = true; }

  private:
    bool cancelPending = false;
};

// Answers the message boxes in order and keeps what they said.
class ScriptedAnswers {
  public:
    explicit ScriptedAnswers(std::vector<MsgResult> answers) : answers_(std::move(answers)) {
        SetMessageSink([this](const std::string& text, MessageBoxType, const std::string&) {
            std::lock_guard lock(mutex_);
            shown.push_back(text);
            if (next_ < answers_.size()) {
                return answers_[next_++];
            }
            return MsgResult::kOk;
        });
    }
    ~ScriptedAnswers() { SetMessageSink({}); }
    std::vector<std::string> shown;

  private:
    std::mutex mutex_;
    std::vector<MsgResult> answers_;
    size_t next_ = 0;
};

class BusScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Sensors at 3 and 42 on one bus, 17 on the other.
        busA = std::make_unique<SimProcess>(std::vector<std::string>{
            "--pty", "--no-tcp", "--sensor", "addr=3", "--sensor", "addr=42"});
        busB = std::make_unique<SimProcess>(
            std::vector<std::string>{"--pty", "--no-tcp", "--sensor", "addr=17"});
        ASSERT_TRUE(busA->Ready());
        ASSERT_TRUE(busB->Ready());
        ports = {busA->ptyPath, busB->ptyPath};

        device = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr,
                                              "Pier-1");
        device->SetChannelLockPrefix("bst-" + std::to_string(getpid()) + "-");
        device->SetPauseBeforeExchangeMs(0);
        ZorDeviceCfg cfg;
        device->GetZorSettings(cfg);
        cfg.sLinkType = kLinkTypeCom;
        cfg.comPort.sPortName = busB->ptyPath;
        cfg.comPort.nBaudRate = 57600;
        cfg.params.SetAddress(17);
        cfg.nPause = 1;
        cfg.bScanning = true;
        device->SetZorSettings(cfg, true);
        device->GetZorSettings(before);
    }
    void TearDown() override { device->StopThreads(); }

    CBusScan::PortLister Lister() {
        return [this](std::vector<std::string>& list) {
            list = ports;
            return static_cast<int>(list.size());
        };
    }
    void ExpectRestoredAndRunning() {
        ZorDeviceCfg after;
        device->GetZorSettings(after);
        EXPECT_EQ(after.comPort.sPortName, before.comPort.sPortName);
        EXPECT_EQ(after.params.Address(), 17);
        EXPECT_TRUE(after.bScanning);
        EXPECT_TRUE(device->AreThreadsRunning());
    }

    test::TempDir dir;
    std::unique_ptr<SimProcess> busA, busB;
    std::vector<std::string> ports;
    std::shared_ptr<CZorDevice> device;
    ZorDeviceCfg before;
};

TEST_F(BusScanTest, NoAtTheQuestionLeavesTheDeviceUntouchedAndRunning) {
    ScriptedAnswers answers({MsgResult::kNo});
    RecordingProgress progress;
    const CBusScan::Result result = CBusScan(device, progress, Lister()).Run();
    EXPECT_FALSE(result.bStarted);
    EXPECT_EQ(result.nProbes, 0);
    EXPECT_FALSE(progress.started);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0],
              "Search operation for available devices linked to Com Port may take time "
              "approximately 5-10 minutes. Do you want to continue?\r\n");
    ZorDeviceCfg after;
    device->GetZorSettings(after);
    EXPECT_TRUE(after == before);
    EXPECT_TRUE(device->AreThreadsRunning());
}

TEST_F(BusScanTest, FindsEveryAnsweringAddressOnBothPortsAndRestoresTheDevice) {
    ScriptedAnswers answers({MsgResult::kYes});
    RecordingProgress progress;
    const CBusScan::Result result = CBusScan(device, progress, Lister()).Run();
    ASSERT_TRUE(result.bStarted);
    EXPECT_FALSE(result.bCancelled);
    EXPECT_EQ(result.nFound, 3);
    EXPECT_EQ(result.nProbes, 200);
    ASSERT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(answers.shown[1], "Available devices linked to Com Port:\n" + busA->ptyPath +
                                    ": Addr=3;Addr=42;\n" + busB->ptyPath + ": Addr=17;\n");
    // The bar advances one step per address and the text names port, address and count.
    EXPECT_TRUE(progress.started);
    EXPECT_TRUE(progress.stopped);
    EXPECT_EQ(progress.positions.front(), 0);
    EXPECT_EQ(progress.positions.back(), 100);
    EXPECT_EQ(progress.texts.front(),
              "COM: Searching device with address 1 (total 100). Found so far 0.");
    EXPECT_EQ(progress.texts.back(), busB->ptyPath +
                                         ": Searching device with address 100 (total 100). "
                                         "Found so far 3.");
    ExpectRestoredAndRunning();
}

TEST_F(BusScanTest, CancelListsWhatWasFoundSoFarAndRestartsTheDevice) {
    // Yes to start, No to the first cancel question (the scan goes on), Yes to the second.
    ScriptedAnswers answers({MsgResult::kYes, MsgResult::kNo, MsgResult::kYes});
    RecordingProgress progress;
    progress.cancelAtAddress = 37;
    const CBusScan::Result result = CBusScan(device, progress, Lister()).Run();
    ASSERT_TRUE(result.bStarted);
    EXPECT_TRUE(result.bCancelled);
    EXPECT_EQ(result.nFound, 2);
    ASSERT_EQ(answers.shown.size(), 4u);
    EXPECT_EQ(answers.shown[1], "Are you sure you want to cancel searching?\r\n");
    EXPECT_EQ(answers.shown[3], "Available devices linked to Com Port:\n" + busA->ptyPath +
                                    ": Addr=3;\n" + busB->ptyPath +
                                    ": Addr=17;\n\r\nSearching was canceled by user!\n");
    // Hidden for each question and shown again; no probe after the cancel.
    EXPECT_EQ(progress.hides, 2);
    EXPECT_EQ(progress.shows, 2);
    EXPECT_EQ(result.nProbes, 36 * 2 + 1);
    ExpectRestoredAndRunning();
}

TEST_F(BusScanTest, NoPortsEndWithTheNothingFoundMessage) {
    ports.clear();
    ScriptedAnswers answers({MsgResult::kYes});
    RecordingProgress progress;
    const CBusScan::Result result = CBusScan(device, progress, Lister()).Run();
    EXPECT_TRUE(result.bStarted);
    EXPECT_EQ(result.nProbes, 0);
    ASSERT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(answers.shown[1], "No available devices which are linked to Com Port\n");
    ExpectRestoredAndRunning();
}

TEST(BusScanLinkTest, ANonSerialLinkIsNotScanned) {
    test::TempDir dir;
    auto device =
        std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr, "T");
    ZorDeviceCfg cfg;
    device->GetZorSettings(cfg);
    cfg.sLinkType = kLinkTypeTcpIp;
    device->SetZorSettings(cfg, false);
    ScriptedAnswers answers({MsgResult::kYes});
    RecordingProgress progress;
    const CBusScan::Result result =
        CBusScan(device, progress, [](std::vector<std::string>&) { return 0; }).Run();
    EXPECT_FALSE(result.bStarted);
    EXPECT_TRUE(answers.shown.empty());
}

}  // namespace
}  // namespace zm
