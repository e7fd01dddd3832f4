#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DeviceGate.h"
#include "app/ManagerSettings.h"
#include "base/ListenerList.h"
#include "notify/UdpFun.h"

namespace zm {

class CDeviceRegistry;
class CIni;
class CTavDevice;
class Dispatcher;
class UiPort;
struct UdpDeviceData;

// What a device of the kind the registry makes can do beyond the generic device. The ZOR
// device fills it in; the generic device does none of it.
class DeviceKindOps {
  public:
    virtual ~DeviceKindOps() = default;
    virtual void WriteDataLog(CTavDevice& device) { (void)device; }
    virtual void ProcessAlarm(CTavDevice& device) { (void)device; }
    // The latest data portion for the data datagram; false when there is none.
    virtual bool GetDataDatagram(CTavDevice& device, UdpDeviceData* data) {
        (void)device;
        (void)data;
        return false;
    }
};

// Where the engine reaches parts built elsewhere: the views of the GUI, the alarm
// actions, the web server and the KML report. Every hook may be empty. The update hooks
// run on the dispatcher thread, as posted tasks.
struct EngineHooks {
    std::function<void(CTavDevice* device)> updateDevList;             // "UM_UPDATE_DEV_LIST"
    std::function<void(CTavDevice* device, int param)> updateKmlView;  // "UM_UPDATE_KML_VIEW"
    std::function<void(CTavDevice* device)> updateDevFeed;             // "UM_UPDATE_DEV_FEED"
    std::function<void()> refreshViews;    // the device list and map views after a switch changed
    std::function<bool()> startWebServer;  // true when it runs afterwards
    std::function<void()> stopWebServer;
    std::function<std::string()> previewAddress;              // the web log's address after a start
    std::function<void(const std::string& clock)> showClock;  // " %s " every 200 ms
    std::function<void(CIni& ini)> loadViewSettings;          // the device list view's plot section
    std::function<void(CIni& ini)> saveViewSettings;
    std::function<WindowPlacement()> currentPlacement;  // the window's placement at close
    std::function<void(const ManagerSettings& settings)> applyWindow;  // placement and view
    // Publishing for control rooms: at Apply and whenever a reload brings new broker keys.
    std::function<void(const ManagerSettings& settings)> applyIntegration;
    // Run on the device's event thread for every new-state and new-data event, before
    // the alarm processor; they must only hand the news on, never wait.
    std::function<void(CTavDevice& device)> deviceStateSeen;
    std::function<void(CTavDevice& device)> deviceDataSeen;
    // A close asked for while a device operation waited (removing devices, loading a
    // list) is put off; once the operation has ended the front end closes again as the
    // operator would. Empty: the engine runs Close itself.
    std::function<void()> closeAfterOperation;
};

// The main window without its widgets: the operator's settings and their snapshot, the
// target of device events (through the gate), the two watch timers, and the closing
// sequence. The GUI's main window holds one; the headless server uses it alone. Lives
// on the dispatcher thread: every operation but the device-event handlers is called there.
class CManagerEngine final : public DeviceEventSink {
  public:
    static constexpr int kFastTimerId = 1;
    static constexpr int kFastTimerMs = 200;
    static constexpr int kSlowTimerId = 4;
    static constexpr int kInternetPeriodMs = 5000;
    static constexpr int kOutagePeriodMs = 600000;
    static constexpr int kOutageChecks = 11;  // a period longer after more than this
    static constexpr int kHeartbeatSeconds = 3600;
    static constexpr int kMapViewerSeconds = 43200;
    // The views of the main window; the run-log view only in advanced mode.
    static constexpr int kViewCount = 5;
    static constexpr int kRunLogView = 4;
    // The Language menu: commands 1390 + index, at most five languages.
    static constexpr int kFirstLanguageCommand = 1390;
    static constexpr int kMaxLanguageItems = 5;
    // Proposed names of the device-list file dialogs (1125, 1126).
    static constexpr const char* kDeviceListFilter = "Ini Format (.ini)";
    static constexpr const char* kDeviceListPattern = "*.ini";
    static constexpr const char* kDeviceListExtension = ".ini";
    // The device-log submenu: dates as commands 1140 + position, "Update this list" 1170.
    static constexpr int kFirstDeviceLogCommand = 1140;
    static constexpr int kMaxDeviceLogDates = 29;
    static constexpr int kUpdateDeviceLogsCommand = 1170;

    using InternetCheck = std::function<bool()>;

    CManagerEngine(Dispatcher& dispatcher, UiPort& ui, CDeviceGate& gate, CDeviceRegistry& registry,
                   DeviceKindOps& ops, CIni& settingsFile);
    ~CManagerEngine() override;
    CManagerEngine(const CManagerEngine&) = delete;
    CManagerEngine& operator=(const CManagerEngine&) = delete;

    void SetHooks(EngineHooks hooks);
    // The Internet check (default CheckInternet); tests give their own.
    void SetInternetCheck(InternetCheck check);
    // The slow timer's first period and the outage period (tests shorten them).
    void SetInternetPeriods(int periodMs, int outagePeriodMs);

    // Creation: opens the gate for this engine, asks the worker for the first Internet
    // check, runs the fast timer's work once, and loads the settings and the device list.
    void Create();
    // Brings the loaded settings into effect and applies every device.
    void Apply();
    // The closing sequence; false when the operator kept the window open, or when a device
    // operation is under way (the close then follows it, see closeAfterOperation).
    bool Close();

    // The screen the default placement is centred on (a placement that the settings file
    // lacks). Before Create.
    void SetScreen(const ScreenRect& screen) { screen_ = screen; }
    const ScreenRect& Screen() const { return screen_; }
    WindowPlacement DefaultPlacement() const { return WindowPlacement::Default(screen_); }

    // Commands 1125 and 1126 on a chosen file; both mark the configuration changed. Save
    // keeps the file's other sections. Load replaces the device list and applies every
    // device; a file that cannot be read, or holds no section at all, leaves the devices
    // alone and gives false with the reason (also a run-log entry).
    bool SaveDeviceList(const std::string& path, std::string* error = nullptr);
    bool LoadDeviceList(const std::string& path, std::string* error = nullptr);
    // The dates of the device logs under the logs root, in every month folder ("DevLog_"
    // and ten characters, ".html"): each date once, oldest first, at most the newest 29.
    static std::vector<std::string> DeviceLogDates(const std::string& logsRoot);
    // The device log of a date as found there (logs root + "DevLog_" + date + ".html"
    // when there is none).
    static std::string DeviceLogPath(const std::string& logsRoot, const std::string& date);
    // Extra mail text (1138): the file to open, created empty when it is missing; empty
    // when it cannot be created.
    static std::string PrepareExtraTextFile();

    // The name the file dialog proposes: "Zor-Device" to load, "Zor-Devices-YYYY-MM-DD"
    // (local date of `now`) to save; the dialogs start in the documents folder.
    static std::string ProposedDeviceListName(bool saving, std::time_t now);
    // The headless server's reload (SIGHUP): the device list of the settings file itself,
    // edited by the operator. The list then equals the file, so nothing is marked for
    // saving, and unchanged devices keep running. False, with the devices left alone,
    // when the file cannot be read.
    bool ReloadDeviceList();
    // The same reload's share of the settings section: the broker's keys ("mqtt_"), which
    // the desktop menu does not offer and the operator sets in the file.
    void ReloadIntegrationSettings();

    // Switches of the menu, for the front ends: 1120 (embedded server) and 1121 (embedded
    // viewer) toggle them.
    void SetHttpServer(bool on);
    void SetMapViewer(bool on);
    void ToggleHttpServer() { SetHttpServer(!settings_.bHttpServ); }
    void ToggleMapViewer() { SetMapViewer(!settings_.bMapView); }
    // The alert sound repeated every 30 s while any alarm is unacknowledged (with the alarm
    // sound switched on); the Alarm actions menu's check item.
    void SetAlarmSoundRepeat(bool on) { settings_.bAlarmSoundRepeat = on; }
    bool IsAlarmSoundRepeat() const { return settings_.bAlarmSoundRepeat; }
    // Checks and enabling of the GeoPreview menu (1120, 1121, 1123).
    struct GeoPreviewMenu {
        bool serverEnabled = false;   // 1120: Internet available
        bool serverChecked = false;   // 1120: "bHttpServ"
        bool viewerEnabled = false;   // 1121: Internet available and "bHttpServ"
        bool viewerChecked = false;   // 1121: "bHttpServ" and "bMapView"
        bool previewEnabled = false;  // 1123: as 1121's enabling
    };
    GeoPreviewMenu GetGeoPreviewMenu() const;

    // Advanced mode (1137), off at every start and never stored. Toggle switches it off
    // without asking, or asks (Yes/No) before switching it on; either switch tells the
    // listeners and then the operator ("Advanced mode is now ON"). Set applies a state
    // directly, with or without that message. True when the state changed.
    bool ToggleAdvancedMode();
    bool SetAdvancedMode(bool on, bool withMessage);
    bool IsAdvancedMode() const { return advancedMode_; }
    [[nodiscard]] ListenerToken AddAdvancedModeListener(std::function<void(bool on)> listener) {
        return advancedListeners_.Add(std::move(listener));
    }
    // Views 0-3 always, view 4 (the run log) only in advanced mode.
    bool IsViewAvailable(int index) const;

    // The Language menu: the names of the languages, in list order, when there are at
    // least two (else empty: no menu), at most five; item i is command 1390 + i.
    std::vector<std::string> LanguageMenu() const;
    std::string CurrentLanguage() const;
    // Commands 1390-1394 and their names: unless the language is the current one, loads
    // it, keeps its name as "Current Lang" and has every window retranslate itself. A file
    // that cannot be used leaves English current (and kept). With ctrlHeld while the
    // template is current, the language's file is refreshed from the template. False when
    // nothing changed.
    bool SelectLanguageCommand(int command, bool ctrlHeld = false);
    bool SwitchLanguage(const std::string& name, bool ctrlHeld = false);
    // Windows register their RetranslateUi here; called on the dispatcher thread after
    // every switch and once when the settings are applied.
    [[nodiscard]] ListenerToken AddRetranslateListener(std::function<void()> listener) {
        return retranslateListeners_.Add(std::move(listener));
    }

    // The UDP dialog (1139): the six UDP values of the record, and their change. The
    // sender reads them when it sends, so the next datagram obeys the new values. The UDP
    // fields of the record change only through SetUdpSettings.
    UdpSettings GetUdpSettings() const;
    void SetUdpSettings(const UdpSettings& udp);

    ManagerSettings& Settings() { return settings_; }
    const ManagerSettings& Snapshot() const { return snapshot_; }
    void SetConfigChanged() { configChanged_ = true; }
    bool IsConfigChanged() const { return configChanged_; }
    bool IsInternetAvailable() const { return internet_; }
    // Whether the first Internet check (asked for by Create) has answered; until then the
    // web server waits for it.
    bool IsFirstInternetCheckDone() const { return !firstCheck_; }
    bool IsWebServerRunning() const { return webServerRunning_; }
    int InternetPeriodMs() const { return period_; }
    int InternetFailures() const { return failures_; }
    CUdpFun& Udp() { return udp_; }

    // Device events (device event threads, through the gate).
    void OnDeviceNewState(CTavDevice* device) override;
    void OnDeviceNewData(CTavDevice* device) override;

    // Timer work, callable directly by tests on the dispatcher thread.
    void FastTimerWork();
    // A check's result as the watch takes it (tests hand results in directly; checks asked
    // for before are then dropped).
    void InternetResult(bool available);

  private:
    // While a device operation waits, the command is put off until it has ended (then
    // posted); true when put off.
    bool DeferDuringOperation(std::function<void()> command);
    void StartWebServer();
    void StopWebServer();
    void RefreshViews();
    void ScheduleInternetCheck(int delayMs);
    void OnCheckResult(bool available, std::uint64_t generation);
    void InternetCheckDone(bool available);
    void ApplyLanguage(const std::string& name, bool ctrlHeld);
    // Checks that a device-list file can be read and holds sections.
    bool CheckDeviceListFile(const std::string& path, CIni& ini, std::string* error) const;
    void StopInternetWorker();

    // Tasks posted to the dispatcher hold this weakly: once the engine is gone they do
    // nothing. Destroy the engine on the dispatcher thread or after it stopped.
    std::weak_ptr<char> Alive() const { return alive_; }
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    Dispatcher& dispatcher_;
    UiPort& ui_;
    CDeviceGate& gate_;
    CDeviceRegistry& registry_;
    DeviceKindOps& ops_;
    CIni& settingsFile_;
    EngineHooks hooks_;
    InternetCheck check_;
    ManagerSettings settings_;
    ManagerSettings snapshot_;
    CUdpFun udp_;
    bool configChanged_ = false;
    bool advancedMode_ = false;
    bool created_ = false;
    bool firstStart_ = false;  // the settings file had no settings section
    bool closed_ = false;
    bool closeDeferred_ = false;
    bool webServerRunning_ = false;
    std::chrono::system_clock::time_point mapViewerStart_;
    ScreenRect screen_;
    ListenerList<bool> advancedListeners_;
    ListenerList<> retranslateListeners_;
    std::string lastClock_;

    // Internet watch.
    bool internet_ = false;
    bool previousInternet_ = false;
    bool firstCheck_ = true;
    bool applied_ = false;
    std::uint64_t checkGeneration_ = 0;
    int failures_ = 0;
    int period_ = kInternetPeriodMs;
    int outagePeriod_ = kOutagePeriodMs;
    bool stoppedForLackOfInternet_ = true;

    // The check runs on its own thread (it can take 2.5 s) and posts its result back.
    struct Worker;
    std::shared_ptr<Worker> worker_;
};

}  // namespace zm
