#include "app/ManagerAssembly.h"

#include <cstdio>

#include "app/DemoConfig.h"
#include "app/Dispatcher.h"
#include "app/UiPort.h"
#include "auth/OperatorFile.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "base/MessageSink.h"
#include "base/Printf.h"
#include "device/TavDevice.h"
#include "platform/FileIo.h"

namespace zm {

namespace {

AlarmDeviceFacts FactsOf(CTavDevice& device) {
    AlarmDeviceFacts facts;
    facts.id = device.GetInstanceId();
    facts.name = device.GetName();
    facts.status = device.GetStatus();
    facts.value = device.GetValue();
    return facts;
}

}  // namespace

bool PrepareDemo(bool demo, DemoPlan* plan, std::string* error) {
    // A home that has settings keeps them: the demo only fills an empty one. Only a home
    // that the demo wrote with a bus has the bus file, so no other home starts zor-sim.
    plan->busFile = GetConfigFolder() + kDemoBusFile;
    plan->zorSim = FindZorSim();
    if (demo && !platform::PathExists(GetSettingsFilePath())) {
        if (!WriteDemoSettings(GetSettingsFilePath(),
                               GetConfigFolder() + CZorManagerApp::kDeviceDefaultsFile,
                               plan->busFile, !plan->zorSim.empty(), error)) {
            return false;
        }
        std::printf("Demo configuration written to %s\n", GetSettingsFilePath().c_str());
        std::fflush(stdout);
    }
    const bool busFileExists = platform::PathExists(plan->busFile);
    plan->runBus = demo && busFileExists;
    if (!demo && busFileExists) {
        std::printf("This home has the demo's simulated bus (%s); start with --demo to run it.\n",
                    plan->busFile.c_str());
    } else if (demo && !plan->runBus && !plan->zorSim.empty()) {
        std::printf(
            "--demo: this home has a settings file without the demo's bus; it is kept as it "
            "is\n(a home without a settings file gets the whole demo).\n");
    }
    std::fflush(stdout);
    return true;
}

CManagerAssembly::Preamble::Preamble(UiPort& ui) {
    SetMessageSink([&ui](const std::string& text, MessageBoxType type, const std::string&) {
        return ui.Ask(text, type, SafeAnswer(type.buttons));
    });
    CMlsPrgMsg::SetDefaultFolder(GetTranslationsFolder());
}

CManagerAssembly::Preamble::~Preamble() {
    SetMessageSink({});
}

CManagerAssembly::CManagerAssembly(Dispatcher& dispatcher, UiPort& ui, AssemblyOptions options)
    : dispatcher_(dispatcher), ui_(ui), options_(std::move(options)), preamble_(ui) {
    bus_.SetOnUnexpectedEnd([](const std::string& why) {
        const std::string ended =
            StrPrintf("Demo bus: zor-sim ended unexpectedly (%s); %s and %s lose their connection.",
                      why.c_str(), kDemoBusSteady, kDemoBusDrifting);
        std::printf("%s\n", ended.c_str());
        std::fflush(stdout);
        RunLog().AddError("<li><dt> %s</li>", HtmlEscaped(ended).c_str());
    });
    lifecycle_ = std::make_unique<CAlarmLifecycle>();
    app_ = std::make_unique<CZorManagerApp>(dispatcher_, ui_, &factory_, &ops_);
    integration_ = std::make_unique<CManagerIntegration>(app_->Registry(), &RunLog(),
                                                         auth::COperatorFile::DefaultPath());
    // The API's alarm routes and the MQTT lifecycle events follow the journal's alarms.
    integration_->AttachAlarms(lifecycle_.get());
    integration_->SetOutboxSource([this] { return mail_.Status(); });
    // Alarm events come from the processor's own opening and closing, whatever the
    // alarm actions are switched to. The journal takes them first.
    ops_.SetAlarmObserver([this](CTavDevice& device, bool opened, const std::string& report) {
        if (opened) {
            lifecycle_->OnAlarmOpened(FactsOf(device), report);
        } else {
            lifecycle_->OnAlarmClosed(FactsOf(device));
        }
        integration_->OnAlarm(device, opened, report);
    });
    ops_.SetRunObserver([this](CTavDevice& device, bool inAlarm) {
        lifecycle_->OnProcessorRun(FactsOf(device), inAlarm);
    });
    web_ = std::make_unique<CManagerWeb>(app_->Registry());
    web_->SetRouteInstaller([this](CHttpServer& server) { integration_->InstallRoutes(server); });
    web_->SetPort(static_cast<std::uint16_t>(options_.httpPort));
    web_->SetBindAddress(options_.httpBind);
    web_->SetShareAllowed(!options_.noShare);
    forgetToken_ = app_->Registry().AddRemovedListener([this](const CTavDevice& device) {
        web_->ForgetDevice(device.GetName());
        integration_->ForgetDevice(device.GetInstanceId());
        // By the device's own identity: another device of the same name keeps what it
        // reported, and a new device never inherits a removed one's memory.
        if (actions_) {
            actions_->ForgetDevice(device.GetInstanceId());
        }
        lifecycle_->ForgetDevice(device.GetInstanceId());
    });
    renameToken_ =
        app_->Registry().AddRenamedListener([this](CTavDevice& device, const std::string& oldName) {
            // The old name's file goes; the state event behind the rename writes the new.
            web_->ForgetDevice(oldName);
            integration_->OnDeviceRenamed(device);
        });
    app_->SetEngineSetup([this](CManagerEngine& engine) { SetUpEngine(engine); });
    CZorManagerApp::Hooks hooks;
    hooks.prepareKmlReport = [this] {
        // The folders exist now, and no device runs yet: the outbox's file beside the
        // journal, with whatever an earlier run could not deliver.
        mail_.Open(GetAppDataFolder() + "Outbox.sqlite");
        web_->PrepareKmlReport();
    };
    hooks.createMainWindow = [this](CManagerEngine& engine) { return CreateMainWindow(engine); };
    hooks.stopWebServer = [this] { StopWebServerAndBus(); };
    // The actions hold the engine's UDP sender, which is gone by now. Feed updates still
    // waiting for the journal run before the actions go.
    hooks.stopMailSender = [this] {
        lifecycle_->Stop();
        actions_.reset();
        mail_.Stop();
    };
    app_->SetHooks(std::move(hooks));
}

CManagerAssembly::~CManagerAssembly() {
    forgetToken_.Reset();
    announceToken_.Reset();
    renameToken_.Reset();
    actions_.reset();
    // The web server reads the registry that the application owns: it stops first.
    web_.reset();
    // Devices that still run until the application goes tell the publisher their events.
    app_.reset();
    integration_.reset();
    lifecycle_.reset();  // after the devices: it commits what they told last
    bus_.Stop();         // on every way out, before the thread that started it ends
}

void CManagerAssembly::SetFrontEnd(FrontEnd frontEnd) {
    frontEnd_ = std::move(frontEnd);
}

CZorManagerApp::StartResult CManagerAssembly::Start(bool overwriteLogs) {
    return app_->InitInstance(overwriteLogs);
}

bool CManagerAssembly::Close() {
    return app_->CloseMainWindow();
}

int CManagerAssembly::Exit() {
    return app_->ExitInstance();
}

void CManagerAssembly::SetUpEngine(CManagerEngine& engine) {
    if (options_.noInternetCheck) {
        engine.SetInternetCheck([] { return true; });
    }
    actions_ = std::make_unique<AlarmActions>(
        ui_, engine.Udp(), mail_, [&engine] { return ActionSettingsFrom(engine.Settings()); });
    actions_->SetSnapshotFiller(FillZorSnapshot);
    actions_->SetAdvancedModeSource([&engine] { return engine.IsAdvancedMode(); });
    actions_->SetGate([this](const DeviceSnapshot& device) { return lifecycle_->GateFor(device); });
    WireLifecycle();
    lifecycle_->SetRetentionSource([&engine] { return engine.Settings().nAlarmJournalDays; });
    lifecycle_->SetSoundRepeatSource(
        [&engine] { return engine.IsAlarmSoundRepeat() && engine.Settings().bAlarmSound; });
    lifecycle_->Start(dispatcher_, ui_);
    EngineHooks hooks;
    hooks.updateDevFeed = [this](CTavDevice* device) {
        if (!actions_) {
            return;
        }
        if (device == nullptr) {
            actions_->UpdateDeviceFeed(nullptr, app_->Registry());
            return;
        }
        // A device's alarm reaches people only once its opening is in the journal.
        std::weak_ptr<CTavDevice> weak = device->weak_from_this();
        lifecycle_->GateFeed(FactsOf(*device), [this, weak] {
            if (auto d = weak.lock(); d && actions_) {
                actions_->UpdateDeviceFeed(d.get(), app_->Registry());
            }
        });
    };
    hooks.updateKmlView = [this](CTavDevice* device, int param) {
        web_->UpdateKmlView(device, param);
    };
    hooks.startWebServer = [this, &engine] {
        web_->SetHttps(HttpsOptions::From(engine.Settings()));
        web_->SetPreviewMap(
            {engine.Settings().sMapTilesUrl, engine.Settings().sMapTilesAttribution});
        return web_->StartWebServer();
    };
    hooks.stopWebServer = [this] { web_->StopWebServer(); };
    hooks.previewAddress = [this] { return web_->PreviewAddress(); };
    hooks.applyIntegration = [this](const ManagerSettings& settings) {
        integration_->Apply(settings, GetSettingsFilePath());
        // Messages an earlier run left wait for the accounts, which the settings bring.
        const AlarmActionSettings actions = ActionSettingsFrom(settings);
        mail_.SetSettings({actions.account, actions.backup, actions.nMailRetryHours});
    };
    hooks.deviceStateSeen = [this](CTavDevice& device) {
        lifecycle_->OnDeviceState(FactsOf(device));
        integration_->OnDeviceState(device);
    };
    hooks.deviceDataSeen = [this](CTavDevice& device) {
        lifecycle_->OnDeviceData(FactsOf(device));
        integration_->OnDeviceData(device);
    };
    if (frontEnd_.addEngineHooks) {
        frontEnd_.addEngineHooks(hooks);
    }
    engine.SetHooks(std::move(hooks));
    if (frontEnd_.setupEngine) {
        frontEnd_.setupEngine(engine);
    }
}

// The journal opens once, in the application-data folder of this run's home, before the
// devices start; a reloaded engine keeps it.
void CManagerAssembly::WireLifecycle() {
    if (!lifecycle_->JournalPath().empty() || announceToken_.IsActive()) {
        return;
    }
    lifecycle_->Open(GetAppDataFolder() + CAlarmLifecycle::kJournalFile, &RunLog(), &DeviceLog());
    lifecycle_->SetDeviceDirectory([this](const std::string& name) {
        for (const auto& device : app_->Registry().GetDevices()) {
            if (device && device->GetName() == name) {
                return true;
            }
        }
        return false;
    });
    announceToken_ = lifecycle_->AddChangeListener([this](const alarms::AlarmChange& change) {
        if (change.kind == alarms::AlarmChange::Kind::Announced) {
            const std::uint64_t id = change.deviceId;
            dispatcher_.Post([this, id] { AnnounceAlarm(id); });
        }
    });
}

std::shared_ptr<CTavDevice> CManagerAssembly::DeviceById(std::uint64_t id) {
    for (const auto& device : app_->Registry().GetDevices()) {
        if (device && device->GetInstanceId() == id) {
            return device;
        }
    }
    return nullptr;
}

void CManagerAssembly::AnnounceAlarm(std::uint64_t deviceId) {
    if (auto device = DeviceById(deviceId); device && actions_) {
        actions_->AnnounceAlarm(*device);
    }
}

bool CManagerAssembly::CreateMainWindow(CManagerEngine& engine) {
    // The demo's bus has to listen before the devices first connect. It is started on the
    // dispatcher thread, which lives until the bus has stopped.
    if (options_.demo.runBus) {
        StartDemoBus();
    }
    return !frontEnd_.createMainWindow || frontEnd_.createMainWindow(engine);
}

void CManagerAssembly::StartDemoBus() {
    const DemoPlan& demo = options_.demo;
    const std::string log = GetLogFolder() + "DemoBus.log";
    const int port = ReadDemoBusPort(demo.busFile);
    std::string error;
    if (demo.zorSim.empty()) {
        error = "zor-sim is not beside " + demo.programName;
    } else if (bus_.Start(demo.zorSim, demo.busFile, log, &error)) {
        const std::string running =
            StrPrintf("zor-sim (process %d) simulates %s and %s on %s, control port %s",
                      static_cast<int>(bus_.Pid()), kDemoBusSteady, kDemoBusDrifting,
                      bus_.Endpoint().c_str(), bus_.ControlEndpoint().c_str());
        std::printf("Demo bus: %s;\n          its log: %s\n", running.c_str(), log.c_str());
        std::fflush(stdout);
        RunLog().AddSuccess("<li><dt> Demo bus: %s.</li>", HtmlEscaped(running).c_str());
        return;
    }
    if (error.find("Address already in use") != std::string::npos) {
        error += StrPrintf(
            ". Port %d of the demo bus is taken by another program; once it is free, start "
            "the demo again",
            port);
    }
    std::printf(
        "Demo bus not started: %s.\n          %s and %s show \"No connection\"; the "
        "bus log: %s\n",
        error.c_str(), kDemoBusSteady, kDemoBusDrifting, log.c_str());
    std::fflush(stdout);
    RunLog().AddError("<li><dt> Demo bus not started: %s.</li>", HtmlEscaped(error).c_str());
}

// The bus stops after the devices, while the run log is still open; the broker hears
// "offline" after the devices told their last events.
void CManagerAssembly::StopWebServerAndBus() {
    web_->StopWebServer();
    web_->StopKmlWriter();
    integration_->Stop();
    if (bus_.Pid() > 0) {
        bus_.Stop();
        RunLog().AddText("<li><dt> Demo bus: zor-sim stopped.</li>");
    }
}

}  // namespace zm
