#pragma once

#include <functional>
#include <memory>
#include <string>

#include "alarms/AlarmOperations.h"
#include "app/AlarmActions.h"
#include "app/AlarmLifecycle.h"
#include "app/DemoBus.h"
#include "app/MailSender.h"
#include "app/ManagerEngine.h"
#include "app/ManagerIntegration.h"
#include "app/ManagerWeb.h"
#include "app/ZorDeviceKind.h"
#include "app/ZorManagerApp.h"
#include "base/ListenerList.h"
#include "base/MlsPrgMsg.h"

namespace zm {

class Dispatcher;
class UiPort;

// What --demo runs beside the engine.
struct DemoPlan {
    bool runBus = false;  // the home is one the demo wrote with a bus
    std::string zorSim;   // the simulator beside the program; empty when there is none
    std::string busFile;  // the home's bus file
    std::string programName = "zormanagerd";  // named in the notes to the operator
};

// Gives a home without a settings file the demo configuration (with --demo) and decides
// whether the simulated bus runs; notes for the operator go to standard output. False,
// with the reason, when the demo configuration could not be written.
bool PrepareDemo(bool demo, DemoPlan* plan, std::string* error);

// The options both front ends share.
struct AssemblyOptions {
    int httpPort = PreviewRecord::kPort;
    std::string httpBind;          // empty: every address
    bool noInternetCheck = false;  // the Internet counts as always reachable
    bool noShare = false;          // no network share of the KML folder
    DemoPlan demo;
};

// The engine wired together once for both programs: the application object with the
// device registry and the ZOR devices, the web server with the KML report, the mail
// sender, the alarm actions, the publishing for control rooms (MQTT and the JSON view), the
// translation service, the message boxes through the UiPort, the demo's bus, and the order in which
// all of it starts and stops. A front end adds only its Dispatcher, its UiPort and its windows.
//
// Threads: construct it anywhere, but Start, Close, Exit and the destructor run on the
// dispatcher thread (the destructor may also run after the dispatcher stopped).
class CManagerAssembly {
  public:
    // What a front end adds. Every member may be empty.
    struct FrontEnd {
        // Called before anything of the engine runs (tests: the Internet check).
        std::function<void(CManagerEngine& engine)> setupEngine;
        // The window's engine hooks (device list, views, clock, placement) are added
        // here; the assembly's own (feed, KML view, web server) are in already and may be
        // wrapped.
        std::function<void(EngineHooks& hooks)> addEngineHooks;
        // Start-up step 11 before the settings load: the main window. False fails the start.
        std::function<bool(CManagerEngine& engine)> createMainWindow;
    };

    CManagerAssembly(Dispatcher& dispatcher, UiPort& ui, AssemblyOptions options = {});
    ~CManagerAssembly();
    CManagerAssembly(const CManagerAssembly&) = delete;
    CManagerAssembly& operator=(const CManagerAssembly&) = delete;

    // Before Start.
    void SetFrontEnd(FrontEnd frontEnd);

    // The start-up sequence (overwriteLogs: the Ctrl key at start). Anything but
    // kStarted ends the program.
    CZorManagerApp::StartResult Start(bool overwriteLogs);
    // The main window's closing sequence; false when the operator kept it open.
    bool Close();
    // The shutdown sequence; returns the exit code.
    int Exit();

    CZorManagerApp& App() { return *app_; }
    CDeviceRegistry& Registry() { return app_->Registry(); }
    CManagerEngine* Engine() { return app_->Engine(); }  // null before Start and after Exit
    CManagerWeb& Web() { return *web_; }
    CManagerIntegration& Integration() { return *integration_; }
    CMailSender& Mail() { return mail_; }
    AlarmActions* Actions() { return actions_.get(); }  // null outside Start ... Exit
    // The alarm lifecycle every front end calls: acknowledgement, suppression, history.
    // Lives as long as the assembly; its journal opens at Start.
    alarms::AlarmOperations& Alarms() { return *lifecycle_; }
    CAlarmLifecycle& Lifecycle() { return *lifecycle_; }
    CDemoBus& DemoBus() { return bus_; }
    const AssemblyOptions& Options() const { return options_; }

  private:
    void SetUpEngine(CManagerEngine& engine);
    bool CreateMainWindow(CManagerEngine& engine);
    void StartDemoBus();
    void StopWebServerAndBus();
    void WireLifecycle();
    void AnnounceAlarm(std::uint64_t deviceId);
    std::shared_ptr<CTavDevice> DeviceById(std::uint64_t id);

    // Before everything else and gone after it: the message boxes of the whole program
    // go to the UiPort, and the translation service finds its folder when it is made.
    struct Preamble {
        explicit Preamble(UiPort& ui);
        ~Preamble();
    };

    Dispatcher& dispatcher_;
    UiPort& ui_;
    AssemblyOptions options_;
    FrontEnd frontEnd_;
    Preamble preamble_;
    CDemoBus bus_;
    CMlsPrgMsg translations_;
    ZorDeviceFactory factory_;
    ZorDeviceKindOps ops_;
    CMailSender mail_;
    // Outlives the devices: their event threads tell it their alarms until they stop.
    std::unique_ptr<CAlarmLifecycle> lifecycle_;
    std::unique_ptr<AlarmActions> actions_;
    std::unique_ptr<CZorManagerApp> app_;
    // Reads the registry; the web server's routes read it until the server stops.
    std::unique_ptr<CManagerIntegration> integration_;
    std::unique_ptr<CManagerWeb> web_;
    ListenerToken forgetToken_;
    ListenerToken announceToken_;
    ListenerToken renameToken_;
};

}  // namespace zm
