#include "app/ManagerEngine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/DeviceRegistry.h"
#include "app/Dispatcher.h"
#include "base/AppLogs.h"
#include "base/DateTimeText.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "base/Ping.h"
#include "base/Printf.h"
#include "device/TavDevice.h"
#include "platform/ProcessInfo.h"

namespace zm {

// The thread that runs the Internet check, so that the dispatcher never waits for it.
struct CManagerEngine::Worker {
    std::mutex mutex;
    std::condition_variable wake;
    bool requested = false;
    std::uint64_t generation = 0;  // of the request
    bool quit = false;
    std::thread thread;
};

CManagerEngine::CManagerEngine(Dispatcher& dispatcher, UiPort& ui, CDeviceGate& gate,
                               CDeviceRegistry& registry, DeviceKindOps& ops, CIni& settingsFile)
    : dispatcher_(dispatcher),
      ui_(ui),
      gate_(gate),
      registry_(registry),
      ops_(ops),
      settingsFile_(settingsFile),
      check_([] { return CheckInternet(); }),
      mapViewerStart_(std::chrono::system_clock::now()) {
    udp_.SetSettings(UdpSettings{});
}

CManagerEngine::~CManagerEngine() {
    alive_.reset();
    StopInternetWorker();
    dispatcher_.StopTimer(kFastTimerId);
    dispatcher_.StopTimer(kSlowTimerId);
    gate_.ClearSink(this);
}

void CManagerEngine::SetHooks(EngineHooks hooks) {
    hooks_ = std::move(hooks);
}

void CManagerEngine::SetInternetCheck(InternetCheck check) {
    check_ = std::move(check);
}

void CManagerEngine::SetInternetPeriods(int periodMs, int outagePeriodMs) {
    period_ = periodMs;
    outagePeriod_ = outagePeriodMs;
}

void CManagerEngine::Create() {
    if (created_) {
        return;
    }
    created_ = true;
    gate_.SetSink(this);
    mapViewerStart_ = std::chrono::system_clock::now();
    // The first check runs on the worker like every other (it can take 2.5 s without
    // access): until it answers, the Internet counts as missing, and an answer with
    // access starts the web server then.
    internet_ = false;
    previousInternet_ = false;
    firstCheck_ = true;

    FastTimerWork();
    dispatcher_.StartTimer(kFastTimerId, kFastTimerMs, Dispatcher::TimerMode::kRepeat,
                           [this] { FastTimerWork(); });
    ScheduleInternetCheck(0);

    // One parse of the settings file for the whole load.
    CIniBatch batch(settingsFile_.GetPathName());
    // The headless server has no window whose moving would write the file at the end; a
    // first start writes it anyway, so that the operator finds every key to edit.
    firstStart_ = !settingsFile_.IsSectionExist(ManagerSettings::kSection);
    settings_.Load(settingsFile_, ManagerSettings::kSection, screen_);
    snapshot_ = settings_;
    if (hooks_.loadViewSettings) {
        hooks_.loadViewSettings(settingsFile_);
    }
    registry_.LoadDevices(settingsFile_);
}

void CManagerEngine::Apply() {
    // Even when it is the current one, so that every window shows its texts.
    ApplyLanguage(settings_.sCurrentLang, false);
    if (hooks_.applyWindow) {
        hooks_.applyWindow(settings_);
    }
    const bool mapView = settings_.bMapView;
    if (!settings_.bHttpServ) {
        StopWebServer();
    } else if (internet_) {
        StartWebServer();
        stoppedForLackOfInternet_ = false;
    } else {
        StopWebServer();
        settings_.bMapView = false;
    }
    udp_.SetSettings(GetUdpSettings());
    advancedListeners_.Notify(advancedMode_);
    if (hooks_.applyIntegration) {
        hooks_.applyIntegration(settings_);
    }
    RefreshViews();
    settings_.bMapView = mapView;
    applied_ = true;
    registry_.ApplyAllDevices();
}

bool CManagerEngine::Close() {
    if (closed_) {
        return true;
    }
    // Inside a pumped wait the list is half removed; saving it now would lose devices.
    if (registry_.Operations().IsBusy()) {
        if (!closeDeferred_) {
            closeDeferred_ = true;
            DeferDuringOperation([this] {
                closeDeferred_ = false;
                if (hooks_.closeAfterOperation) {
                    hooks_.closeAfterOperation();
                } else {
                    Close();
                }
            });
        }
        return false;
    }
    if (hooks_.currentPlacement) {
        settings_.wp = hooks_.currentPlacement();
    }
    CloseDecision decision = DecideClose(settings_, snapshot_, configChanged_, ui_);
    if (decision == CloseDecision::kDontSave && firstStart_ && !configChanged_ &&
        settings_.SameExceptPlacement(snapshot_)) {
        decision = CloseDecision::kSave;
    }
    if (decision == CloseDecision::kKeepOpen) {
        return false;
    }
    closed_ = true;
    ui_.CloseAlarmPopup();
    gate_.CloseGate();
    dispatcher_.StopTimer(kFastTimerId);
    dispatcher_.StopTimer(kSlowTimerId);
    StopInternetWorker();
    if (decision == CloseDecision::kSave) {
        CIniBatch batch(settingsFile_.GetPathName());
        settings_.Save(settingsFile_);
        if (hooks_.saveViewSettings) {
            hooks_.saveViewSettings(settingsFile_);
        }
        registry_.SaveDevices(settingsFile_);
    }
    return true;
}

bool CManagerEngine::ReloadDeviceList() {
    COperationTracker::Scope operation(registry_.Operations());
    const std::string path = settingsFile_.GetPathName();
    // An unreadable or emptied file is an editor's half-done save, not an empty list.
    std::string reason;
    if (!CheckDeviceListFile(path, settingsFile_, &reason)) {
        RunLog().AddError("<li><dt> Device list not reloaded: %s</li>",
                          HtmlEscaped(reason).c_str());
        return false;
    }
    const bool viewerWasOn = settings_.bHttpServ && settings_.bMapView;
    if (viewerWasOn) {
        SetMapViewer(false);
    }
    const CDeviceRegistry::ReloadResult result = registry_.ReloadDevices(settingsFile_);
    // The first start's save at close only exists to give the operator a file to edit;
    // once the file has settings of the operator's, that save would overwrite them.
    if (firstStart_ && settingsFile_.IsSectionExist(ManagerSettings::kSection)) {
        firstStart_ = false;
    }
    if (viewerWasOn) {
        SetMapViewer(true);
    }
    RefreshViews();
    RunLog().AddSuccess(
        "<li><dt> Device list reloaded from %s: %d device(s), %d unchanged, %d changed, %d "
        "added, %d removed</li>",
        HtmlEscaped(path).c_str(), static_cast<int>(registry_.GetCount()), result.kept,
        result.replaced, result.added, result.removed);
    return true;
}

void CManagerEngine::ReloadIntegrationSettings() {
    ManagerSettings file;
    {
        CIniBatch batch(settingsFile_.GetPathName());
        // Without the section every key would read as its default: publishing would stop
        // because of an editor's half-done save.
        if (!settingsFile_.IsSectionExist(ManagerSettings::kSection)) {
            RunLog().AddError("<li><dt> MQTT settings not reloaded: %s has no section %s</li>",
                              HtmlEscaped(settingsFile_.GetPathName()).c_str(),
                              ManagerSettings::kSection);
            return;
        }
        file.Load(settingsFile_);
    }
    // Both the record and its snapshot take the file's values: they came from the file,
    // so they are no change of the operator's to save at exit.
    for (ManagerSettings* s : {&settings_, &snapshot_}) {
        s->mqtt_enabled = file.mqtt_enabled;
        s->mqtt_host = file.mqtt_host;
        s->mqtt_port = file.mqtt_port;
        s->mqtt_tls = file.mqtt_tls;
        s->mqtt_user = file.mqtt_user;
        s->mqtt_pass = file.mqtt_pass;
        s->mqtt_station = file.mqtt_station;
        s->mqtt_prefix = file.mqtt_prefix;
    }
    if (hooks_.applyIntegration) {
        hooks_.applyIntegration(settings_);
    }
}

void CManagerEngine::SetHttpServer(bool on) {
    if (DeferDuringOperation([this, on] { SetHttpServer(on); })) {
        return;
    }
    if (settings_.bHttpServ == on) {
        return;
    }
    settings_.bHttpServ = on;
    if (on) {
        StartWebServer();
    } else {
        StopWebServer();
    }
    RefreshViews();
    if (on && settings_.bMapView) {
        mapViewerStart_ = std::chrono::system_clock::now();
    }
}

void CManagerEngine::SetMapViewer(bool on) {
    settings_.bMapView = on;
    RefreshViews();
    if (on) {
        mapViewerStart_ = std::chrono::system_clock::now();
    }
}

void CManagerEngine::OnDeviceNewState(CTavDevice* device) {
    if (hooks_.deviceStateSeen) {
        hooks_.deviceStateSeen(*device);
    }
    // A posted update may run after the device was removed: it holds the device only
    // weakly and is skipped then.
    std::weak_ptr<CTavDevice> weak = device->weak_from_this();
    dispatcher_.Post([this, alive = Alive(), weak] {
        if (auto d = weak.lock(); d && !alive.expired() && hooks_.updateDevList) {
            hooks_.updateDevList(d.get());
        }
    });
    dispatcher_.Post([this, alive = Alive(), weak] {
        if (auto d = weak.lock(); d && !alive.expired() && hooks_.updateKmlView) {
            hooks_.updateKmlView(d.get(), 0);
        }
    });
    dispatcher_.Post([this, alive = Alive(), weak] {
        if (auto d = weak.lock(); d && !alive.expired() && hooks_.updateDevFeed) {
            hooks_.updateDevFeed(d.get());
        }
    });
    const std::int32_t status = device->GetStatus();
    if (status == kDevNoConnection || status == kDevMonitoringOff || status == kDevDataAbsent) {
        ops_.ProcessAlarm(*device);
    }
}

void CManagerEngine::OnDeviceNewData(CTavDevice* device) {
    if (hooks_.deviceDataSeen) {
        hooks_.deviceDataSeen(*device);
    }
    std::weak_ptr<CTavDevice> weak = device->weak_from_this();
    dispatcher_.Post([this, alive = Alive(), weak] {
        if (auto d = weak.lock(); d && !alive.expired() && hooks_.updateDevList) {
            hooks_.updateDevList(d.get());
        }
    });
    dispatcher_.Post([this, alive = Alive()] {
        if (!alive.expired() && hooks_.updateKmlView) {
            hooks_.updateKmlView(nullptr, 0);
        }
    });
    UdpDeviceData data;
    if (ops_.GetDataDatagram(*device, &data)) {
        udp_.SendDeviceData(data);
    }
    ops_.WriteDataLog(*device);
    ops_.ProcessAlarm(*device);
}

void CManagerEngine::FastTimerWork() {
    const auto now = std::chrono::system_clock::now();
    if (auto last = DeviceLog().GetLastEntryTime()) {
        const double seconds = std::chrono::duration<double>(now - *last).count();
        if (std::llround(seconds) >= kHeartbeatSeconds) {
            DeviceLog().AddSuccess("<li><dt> %s</li>",
                                   "Software check complete. Zor manager is operational.");
        }
    }
    if (settings_.bMapView && settings_.bHttpServ &&
        std::chrono::duration<double>(now - mapViewerStart_).count() > kMapViewerSeconds) {
        DeviceLog().AddText("<li><dt> %s</li>", "Map was closed!");
        settings_.bMapView = false;
        RefreshViews();
    }
    const std::string clock = " " + LocalTimeText("%H:%M:%S") + " ";
    if (clock != lastClock_) {
        lastClock_ = clock;
        if (hooks_.showClock) {
            hooks_.showClock(clock);
        }
    }
}

void CManagerEngine::InternetResult(bool available) {
    // A result handed in directly outdates the checks asked for before it.
    ++checkGeneration_;
    firstCheck_ = false;
    InternetCheckDone(available);
}

void CManagerEngine::OnCheckResult(bool available, std::uint64_t generation) {
    if (closed_ || generation != checkGeneration_) {
        return;
    }
    if (!firstCheck_) {
        InternetCheckDone(available);
        return;
    }
    // The first answer sets the state the watch compares with; the web server that the
    // start left stopped for want of it starts now.
    firstCheck_ = false;
    internet_ = available;
    previousInternet_ = available;
    if (available && applied_ && stoppedForLackOfInternet_ && settings_.bHttpServ) {
        StartWebServer();
        stoppedForLackOfInternet_ = false;
    }
    RefreshViews();
    ScheduleInternetCheck(period_);
}

void CManagerEngine::InternetCheckDone(bool available) {
    if (closed_) {
        return;
    }
    // Stopping the web server inside a device operation's wait would abandon connection
    // threads that wait for the registry.
    if (DeferDuringOperation([this, available] { InternetCheckDone(available); })) {
        return;
    }
    internet_ = available;
    if (available != previousInternet_) {
        const bool mapView = settings_.bMapView;
        if (available) {
            if (stoppedForLackOfInternet_) {
                // A server the operator switched off stays off.
                if (settings_.bHttpServ) {
                    StartWebServer();
                }
                stoppedForLackOfInternet_ = false;
            }
            failures_ = 0;
            if (period_ == outagePeriod_) {
                DeviceLog().AddWarning("<li><dt> %s</li>", "Internet access restored!");
            }
            period_ = kInternetPeriodMs;
        } else if (settings_.bHttpServ) {
            StopWebServer();
            stoppedForLackOfInternet_ = true;
            settings_.bMapView = false;
        }
        RefreshViews();
        settings_.bMapView = mapView;
        previousInternet_ = available;
    } else if (!available) {
        ++failures_;
    }
    if (failures_ > kOutageChecks) {
        const std::string outage = StrPrintf("No Internet access more than %d seconds!.",
                                             (kOutageChecks + 1) * period_ / 1000);
        const std::string next =
            StrPrintf("Checking of restoring Internet access will be carried out every %d seconds.",
                      outagePeriod_ / 1000);
        DeviceLog().AddWarning("<li><dt> %s<br>%s </li>", outage.c_str(), next.c_str());
        period_ = outagePeriod_;
        failures_ = 0;
    }
    ScheduleInternetCheck(period_);
}

bool CManagerEngine::DeferDuringOperation(std::function<void()> command) {
    if (!registry_.Operations().IsBusy()) {
        return false;
    }
    Dispatcher* dispatcher = &dispatcher_;
    registry_.Operations().RunWhenIdle([dispatcher, alive = Alive(), command = std::move(command)] {
        dispatcher->Post([alive, command] {
            if (!alive.expired()) {
                command();
            }
        });
    });
    return true;
}

void CManagerEngine::StartWebServer() {
    webServerRunning_ = hooks_.startWebServer ? hooks_.startWebServer() : false;
    // Every start attempt points the web log at the preview page.
    WebLog().Close();
    WebLog().OpenAddress(hooks_.previewAddress ? hooks_.previewAddress() : std::string());
}

void CManagerEngine::StopWebServer() {
    if (hooks_.stopWebServer) {
        hooks_.stopWebServer();
    }
    webServerRunning_ = false;
}

void CManagerEngine::RefreshViews() {
    if (hooks_.refreshViews) {
        hooks_.refreshViews();
    }
}

void CManagerEngine::ScheduleInternetCheck(int delayMs) {
    if (closed_) {
        return;
    }
    if (!worker_) {
        worker_ = std::make_shared<Worker>();
        auto worker = worker_;
        InternetCheck check = check_;
        Dispatcher* dispatcher = &dispatcher_;
        worker->thread = std::thread([worker, check, dispatcher, alive = Alive(), this] {
            platform::NameCurrentThread("internet-check");
            std::unique_lock lock(worker->mutex);
            for (;;) {
                worker->wake.wait(lock, [&] { return worker->requested || worker->quit; });
                if (worker->quit) {
                    return;
                }
                worker->requested = false;
                const std::uint64_t generation = worker->generation;
                lock.unlock();
                const bool available = check ? check() : false;
                lock.lock();
                if (worker->quit) {
                    return;
                }
                // A result that arrives after the engine closed or went away is dropped.
                dispatcher->Post([this, alive, available, generation] {
                    if (!alive.expired()) {
                        OnCheckResult(available, generation);
                    }
                });
            }
        });
    }
    auto worker = worker_;
    dispatcher_.StartTimer(kSlowTimerId, delayMs, Dispatcher::TimerMode::kOnce, [this, worker] {
        std::lock_guard lock(worker->mutex);
        worker->requested = true;
        worker->generation = checkGeneration_;
        worker->wake.notify_one();
    });
}

void CManagerEngine::StopInternetWorker() {
    if (!worker_) {
        return;
    }
    {
        std::lock_guard lock(worker_->mutex);
        worker_->quit = true;
    }
    worker_->wake.notify_all();
    if (worker_->thread.joinable()) {
        worker_->thread.join();
    }
}

}  // namespace zm
