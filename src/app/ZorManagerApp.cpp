#include "app/ZorManagerApp.h"

#include "app/Dispatcher.h"
#include "app/ThreadsLeft.h"
#include "app/UiPort.h"
#include "base/AppLogs.h"
#include "base/DateTimeText.h"
#include "base/Folders.h"
#include "base/MlsPrgMsg.h"
#include "base/Paths.h"
#include "base/Printf.h"
#include "base/Startup.h"
#include "base/Version.h"
#include "platform/NativeThread.h"

namespace zm {

CZorManagerApp::CZorManagerApp(Dispatcher& dispatcher, UiPort& ui, DeviceFactory* factory,
                               DeviceKindOps* ops)
    : dispatcher_(dispatcher),
      ui_(ui),
      ownFactory_(factory ? nullptr : std::make_unique<GenericDeviceFactory>()),
      ownOps_(ops ? nullptr : std::make_unique<DeviceKindOps>()),
      factory_(factory ? *factory : *ownFactory_),
      ops_(ops ? *ops : *ownOps_),
      registry_(gate_, factory_),
      dailyLogs_(RunLog(), DeviceLog()) {
    registry_.SetStopPump([this] { dispatcher_.Pump(50); });
}

CZorManagerApp::~CZorManagerApp() {
    // The engine is what the handlers run on: no handler may be inside when it goes.
    CloseGateAndRemoveDevices();
    engine_.reset();
}

void CZorManagerApp::CloseGateAndRemoveDevices() {
    gate_.CloseGate();
    // Unsubscribing waits for a handler of the device that is still running.
    registry_.RemoveAllDevices();
}

void CZorManagerApp::SetHooks(Hooks hooks) {
    hooks_ = std::move(hooks);
}

void CZorManagerApp::SetEngineSetup(std::function<void(CManagerEngine& engine)> setup) {
    engineSetup_ = std::move(setup);
}

std::string CZorManagerApp::BuildIdentifier(bool identifier, bool version) {
    if (identifier && version) {
        return std::string(kProductId) + " version " + kProductVersion;
    }
    if (identifier) {
        return kProductId;
    }
    if (version) {
        return kProductVersion;
    }
    return "<nothing>";
}

bool CZorManagerApp::CheckConfigurator() {
    while (IsProcessRunning(kConfiguratorName, 0, false)) {
        const std::string text = StrPrintf(
            "%s is now running on your system.\r\nPlease close %s and press \"Retry\" to "
            "continue.\r\nOr press \"Cancel\" to exit.",
            kConfiguratorName, kConfiguratorName);
        const MsgResult answer =
            ui_.Ask(text, {MsgButtons::kRetryCancel, MsgIcon::kWarning}, MsgResult::kCancel);
        if (answer != MsgResult::kRetry) {
            return false;
        }
    }
    return true;
}

CZorManagerApp::StartResult CZorManagerApp::InitInstance(bool overwriteLogs) {
    // 1. One instance per user.
    std::string error;
    switch (CheckSingleInstance(&error)) {
        case InstanceState::kFirst:
            break;
        case InstanceState::kAlreadyRunning:
            ui_.Ask("Application already launched.", {MsgButtons::kOk, MsgIcon::kWarning},
                    MsgResult::kOk);
            return StartResult::kAlreadyRunning;
        case InstanceState::kLockFailed:
            ui_.Ask(StrPrintf("Cannot check for a running copy of the application (%s).",
                              error.c_str()),
                    {MsgButtons::kOk, MsgIcon::kWarning}, MsgResult::kOk);
            return StartResult::kLockFailed;
    }
    // 2. Not beside the maker's configuration tool.
    if (!CheckConfigurator()) {
        return StartResult::kConfiguratorCancelled;
    }
    // 4. Configuration folder and settings file.
    CreateFolderChain(GetConfigFolder());
    settingsFile_.SetPathName(GetSettingsFilePath());
    registry_.SetContext(GetConfigFolder() + kDeviceDefaultsFile, &RunLog(), &DeviceLog());
    // 5. Translations.
    CreateFolderChain(GetTranslationsFolder());
    CMlsPrgMsg::SetDefaultFolder(GetTranslationsFolder());
    if (CMlsPrgMsg* mls = CMlsPrgMsg::Instance()) {
        mls->SetFolder(GetTranslationsFolder());
        mls->InitLanguages();
    }
    // 6.-8. Logs of the day, in the month's folder; a run that goes on past midnight
    // goes on in the next day's files.
    dailyLogs_.Open(overwriteLogs);
    dispatcher_.StartTimer(kLogDayTimerId, kLogDayTimerMs, Dispatcher::TimerMode::kRepeat,
                           [this] { dailyLogs_.RollOver(); });
    // 9. KML report.
    if (hooks_.prepareKmlReport) {
        hooks_.prepareKmlReport();
    }
    // 10. Documents.
    CreateFolderChain(GetUserDocsFolder());
    // 11. The main window: settings, devices, web server, device threads.
    engine_ =
        std::make_unique<CManagerEngine>(dispatcher_, ui_, gate_, registry_, ops_, settingsFile_);
    if (engineSetup_) {
        engineSetup_(*engine_);
    }
    if (hooks_.createMainWindow && !hooks_.createMainWindow(*engine_)) {
        engine_.reset();
        return StartResult::kMainWindowFailed;
    }
    engine_->Create();
    engine_->Apply();
    started_ = true;
    return StartResult::kStarted;
}

bool CZorManagerApp::CloseMainWindow() {
    return !engine_ || engine_->Close();
}

int CZorManagerApp::ExitInstance() {
    if (exited_) {
        return 0;
    }
    exited_ = true;
    // 1. Devices, last first: their threads stop before the logs they write close, and
    // before the engine their events go to.
    CloseGateAndRemoveDevices();
    engine_.reset();
    // 2. Web log and server.
    WebLog().Close();
    if (hooks_.stopWebServer) {
        hooks_.stopWebServer();
    }
    if (hooks_.stopMailSender) {
        hooks_.stopMailSender();
    }
    // Every thread of the run must be gone by now; one that is not (a stop that gave up
    // waiting) is named, so that the operator learns of it.
    ReportThreadsLeft(RunLog(), kThreadsLeftGrace);
    dispatcher_.StopTimer(kLogDayTimerId);
    // 3.-4. Closing entries.
    RunLog().AddText("<li><dt> Application ended (ID:%d).</li><br/><br/>",
                     platform::CurrentThreadId());
    RunLog().Close();
    DeviceLog().AddText("<li><dt> Application ended.</li>");
    DeviceLog().Close();
    return 0;
}

}  // namespace zm
