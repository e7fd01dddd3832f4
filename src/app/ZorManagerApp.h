#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerEngine.h"
#include "base/DailyLogs.h"
#include "base/Ini.h"

namespace zm {

class Dispatcher;
class UiPort;

// The application object: start-up checks, folders, logs, the settings file, the device
// registry and gate, and the shutdown order. Runs on the dispatcher thread.
class CZorManagerApp {
  public:
    static constexpr const char* kConfiguratorName = "ZorConfigurator";
    static constexpr const char* kDeviceDefaultsFile = "Zor-Device.ini";
    // How long a thread that was just joined may still be listed by the system.
    static constexpr std::chrono::milliseconds kThreadsLeftGrace{300};
    // How often the logs look whether a new local day has begun.
    static constexpr int kLogDayTimerId = 31;
    static constexpr int kLogDayTimerMs = 1000;

    enum class StartResult {
        kStarted,
        kAlreadyRunning,  // "Application already launched."
        kLockFailed,      // the single-instance lock could not be used
        kConfiguratorCancelled,
        kMainWindowFailed,
    };

    // Parts built elsewhere, called in their places in the sequences.
    struct Hooks {
        std::function<void()> prepareKmlReport;  // start-up step 9
        std::function<void()> stopWebServer;     // shutdown step 2
        // After the devices are gone and before the closing entries: the alert mails
        // still queued are tried (bounded) and their outcome logged.
        std::function<void()> stopMailSender;
        // Step 11 beyond the engine (the GUI's window); false fails the start.
        std::function<bool(CManagerEngine& engine)> createMainWindow;
    };

    // The factory and the device operations default to the generic device.
    CZorManagerApp(Dispatcher& dispatcher, UiPort& ui, DeviceFactory* factory = nullptr,
                   DeviceKindOps* ops = nullptr);
    ~CZorManagerApp();
    CZorManagerApp(const CZorManagerApp&) = delete;
    CZorManagerApp& operator=(const CZorManagerApp&) = delete;

    void SetHooks(Hooks hooks);
    // Given to the engine before it is created (tests and the headless server's options).
    void SetEngineSetup(std::function<void(CManagerEngine& engine)> setup);

    // The start-up sequence; overwriteLogs starts the day's logs afresh (the GUI passes
    // the Ctrl key). Anything but kStarted ends the process.
    StartResult InitInstance(bool overwriteLogs);
    // Closes the main window part (the close decision may keep it open: false).
    bool CloseMainWindow();
    // The shutdown sequence; returns the exit code.
    int ExitInstance();

    CIni& SettingsFile() { return settingsFile_; }
    CDeviceGate& Gate() { return gate_; }
    CDeviceRegistry& Registry() { return registry_; }
    CManagerEngine* Engine() { return engine_.get(); }

    // "ZorManager__All_Ver-Lang", with " version 6.1.0.10", or the version alone;
    // "<nothing>" when asked for neither.
    static std::string BuildIdentifier(bool identifier, bool version);

  private:
    bool CheckConfigurator();
    // Every way out: no device event reaches the engine after this.
    void CloseGateAndRemoveDevices();

    Dispatcher& dispatcher_;
    UiPort& ui_;
    std::unique_ptr<DeviceFactory> ownFactory_;
    std::unique_ptr<DeviceKindOps> ownOps_;
    DeviceFactory& factory_;
    DeviceKindOps& ops_;
    Hooks hooks_;
    std::function<void(CManagerEngine&)> engineSetup_;
    CIni settingsFile_;
    CDeviceGate gate_;
    CDeviceRegistry registry_;
    CDailyLogs dailyLogs_;
    std::unique_ptr<CManagerEngine> engine_;
    bool started_ = false;
    bool exited_ = false;
};

}  // namespace zm
