#pragma once

// A ZOR device on the simulator for the dialog tests, and a few waits that keep the GUI
// thread's event loop turning.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZorTestPeers.h"
#include "device/zor/ZorDevice.h"
#include "support/TempDir.h"
#include "ui/common/DeviceWork.h"
#include "ui/common/MessageBox.h"

namespace zm::test {

inline bool WaitUntil(const std::function<bool()>& ready, int ms = 8000) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (ready()) {
            return true;
        }
        QTest::qWait(10);
    }
    return ready();
}

class DevicesFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageBox::InstallAsMessageSink();
        MessageBox::ClearNextAnswers();
    }
    void TearDown() override {
        // Exchanges the dialogs started end before the devices go.
        WaitUntil([] { return DeviceWorkPool().activeThreadCount() == 0; }, 20000);
        for (auto& device : devices) {
            device->StopThreads();
        }
        MessageBox::ClearNextAnswers();
    }

    std::unique_ptr<SimProcess> StartSim(std::vector<std::string> args, bool pty = false) {
        if (pty) {
            args.insert(args.begin(), {"--pty", "--no-tcp"});
        } else {
            args.insert(args.begin(), {"--tcp-port", "0"});
        }
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->Ready());
        return sim;
    }

    // A device on the simulator, stopped unless `running`.
    std::shared_ptr<CZorDevice> MakeDevice(const SimProcess& sim, uint8_t address, bool running,
                                           const std::string& name = "Pier-1",
                                           const std::function<void(ZorDeviceCfg&)>& edit = {}) {
        auto dev =
            std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr, name);
        dev->SetChannelLockPrefix("uidev-" + std::to_string(getpid()) + "-");
        dev->SetPauseBeforeExchangeMs(0);
        ZorDeviceCfg cfg;
        dev->GetZorSettings(cfg);
        cfg.sName = name;
        if (!sim.ptyPath.empty()) {
            cfg.sLinkType = kLinkTypeCom;
            cfg.comPort.sPortName = sim.ptyPath;
            cfg.comPort.nBaudRate = 57600;
        } else {
            cfg.sLinkType = kLinkTypeTcpIp;
            cfg.xSocket.sAddress = "127.0.0.1";
            cfg.xSocket.nPort = sim.tcpPort;
            cfg.xSocket.nTimeOut = 500;
        }
        cfg.nPause = 2;
        cfg.bScanning = running;
        cfg.params.SetAddress(address);
        if (edit) {
            edit(cfg);
        }
        dev->SetZorSettings(cfg, true);
        devices.push_back(dev);
        return dev;
    }

    TempDir dir;
    std::vector<std::shared_ptr<CZorDevice>> devices;
};

}  // namespace zm::test
