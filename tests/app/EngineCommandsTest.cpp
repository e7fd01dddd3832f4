// The engine's side of the main window's menu: advanced mode, the language switch, the
// UDP dialog, the GeoPreview switches, device-list files and the default placement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/DeviceRegistry.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ManagerEngine.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "device/TavDevice.h"
#include "notify/UdpFun.h"
#include "support/TempDir.h"
#include "support/UdpSink.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

// Answers questions from a script and keeps every text it was shown.
class ScriptedUi : public HeadlessUiPort {
  public:
    MsgResult Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                  const std::string&) override {
        shown.push_back(text);
        types.push_back(type);
        if (answers.empty()) {
            return safeAnswer;
        }
        const MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<MsgResult> answers;
    std::vector<std::string> shown;
    std::vector<MessageBoxType> types;
};

// Hands out the data datagram the test prepared, under the device's name.
class DatagramOps : public DeviceKindOps {
  public:
    bool GetDataDatagram(CTavDevice& device, UdpDeviceData* data) override {
        data->sSerial = "ZOR-000001";
        data->sName = device.GetName();
        data->portion = {0, 0, 0x80, 0x3f, 0, 0, 0, 0};  // signal 1.0
        data->nDataStatus = 0;
        return true;
    }
};

// The engine run by hand on the test's thread: every call here is a dispatcher call.
class EngineCommandsTest : public ::testing::Test {
  protected:
    EngineCommandsTest() : settings(dir.file("settings.ini")), registry(gate, factory) {
        registry.SetContext(dir.file("Zor-Device.ini"), nullptr, nullptr);
        RunLog().SetFolder(dir.folder());
        RunLog().Open("RunLog", true);
        engine = std::make_unique<CManagerEngine>(dispatcher, ui, gate, registry, ops, settings);
        EngineHooks hooks;
        hooks.refreshViews = [this] { ++refreshes; };
        hooks.startWebServer = [] { return true; };
        engine->SetHooks(hooks);
        engine->SetInternetCheck([] { return true; });
    }
    ~EngineCommandsTest() override {
        registry.RemoveAllDevices();
        engine.reset();
        RunLog().Close();
    }

    test::TempDir dir;
    CIni settings;
    CDeviceGate gate;
    GenericDeviceFactory factory;
    DatagramOps ops;
    CDeviceRegistry registry;
    HeadlessDispatcher dispatcher;  // never started: timers only wait
    ScriptedUi ui;
    std::unique_ptr<CManagerEngine> engine;
    int refreshes = 0;
};

TEST_F(EngineCommandsTest, AdvancedModeAsksOnlyToSwitchOnAndTellsEveryListener) {
    std::vector<bool> heard1, heard2;
    ListenerToken one = engine->AddAdvancedModeListener([&](bool on) { heard1.push_back(on); });
    ListenerToken two = engine->AddAdvancedModeListener([&](bool on) { heard2.push_back(on); });
    const std::string question =
        "Advanced mode allows you to see additional technical properties of your devices, "
        "which are not required for the normal operation of sensors. Do you wish to proceed?";

    // No: nothing changes, nobody hears anything.
    ui.answers = {MsgResult::kNo};
    EXPECT_FALSE(engine->ToggleAdvancedMode());
    EXPECT_FALSE(engine->IsAdvancedMode());
    EXPECT_EQ(ui.shown, std::vector<std::string>{question});
    EXPECT_EQ(ui.types[0].buttons, MsgButtons::kYesNo);
    EXPECT_EQ(ui.types[0].icon, MsgIcon::kWarning);
    EXPECT_TRUE(heard1.empty());
    EXPECT_FALSE(engine->IsViewAvailable(CManagerEngine::kRunLogView));

    // Yes: on, the run-log view becomes available, then the message.
    ui.shown.clear();
    ui.answers = {MsgResult::kYes, MsgResult::kOk};
    EXPECT_TRUE(engine->ToggleAdvancedMode());
    EXPECT_TRUE(engine->IsAdvancedMode());
    EXPECT_TRUE(engine->IsViewAvailable(CManagerEngine::kRunLogView));
    EXPECT_EQ(ui.shown, (std::vector<std::string>{question, "Advanced mode is now ON"}));
    EXPECT_EQ(heard1, std::vector<bool>{true});

    // Off again without a question; a listener that left hears nothing more.
    two.Reset();
    ui.shown.clear();
    EXPECT_TRUE(engine->ToggleAdvancedMode());
    EXPECT_FALSE(engine->IsAdvancedMode());
    EXPECT_EQ(ui.shown, std::vector<std::string>{"Advanced mode is now OFF"});
    EXPECT_EQ(heard1, (std::vector<bool>{true, false}));
    EXPECT_EQ(heard2, std::vector<bool>{true});

    // Applied directly without the message (the start).
    ui.shown.clear();
    EXPECT_TRUE(engine->SetAdvancedMode(true, false));
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_FALSE(engine->SetAdvancedMode(true, false));  // no change, no call
    EXPECT_EQ(heard1, (std::vector<bool>{true, false, true}));
    for (int view : {0, 1, 2, 3}) {
        EXPECT_TRUE(engine->IsViewAvailable(view)) << view;
    }
    EXPECT_FALSE(engine->IsViewAvailable(5));
    EXPECT_FALSE(engine->IsViewAvailable(-1));
}

// Language files as a translator leaves them: UTF-16 INI with a menu section.
class EngineLanguageTest : public EngineCommandsTest {
  protected:
    void WriteLanguage(const std::string& name, const std::string& file) {
        std::filesystem::create_directories(dir.file("Translations"));
        CIni lng(dir.file("Translations/" + name + ".lng"));
        lng.WriteString("Menu", "tpMenu_File", file);
    }
    void StartService() {
        mls.reset();  // the first service alive is the process-wide one
        mls = std::make_unique<CMlsPrgMsg>();
        mls->SetFolder(dir.folder() + "Translations/");
        mls->InitLanguages();
    }
    ~EngineLanguageTest() override { mls.reset(); }
    std::unique_ptr<CMlsPrgMsg> mls;
};

TEST_F(EngineLanguageTest, MenuListsLanguagesOnlyWhenThereIsAChoice) {
    std::filesystem::create_directories(dir.file("Translations"));
    StartService();
    ASSERT_EQ(CMlsPrgMsg::Instance(), mls.get());
    EXPECT_TRUE(engine->LanguageMenu().empty());  // English alone
    EXPECT_FALSE(engine->SelectLanguageCommand(CManagerEngine::kFirstLanguageCommand));

    for (const char* name : {"Deutsch", "Francais", "Italiano", "Polski", "Russkij"}) {
        WriteLanguage(name, std::string("&") + name);
    }
    StartService();
    const std::vector<std::string> menu = engine->LanguageMenu();
    ASSERT_EQ(menu.size(), 5u);  // English and four files: at most five items
    EXPECT_EQ(menu[0], "English");
    EXPECT_EQ(engine->CurrentLanguage(), "English");
}

TEST_F(EngineLanguageTest, SwitchRetranslatesEveryRegisteredWindowAndIsKept) {
    WriteLanguage("Deutsch", "&Datei");
    StartService();
    ASSERT_EQ(engine->LanguageMenu(), (std::vector<std::string>{"English", "Deutsch"}));
    std::vector<std::string> window1, window2;
    ListenerToken one = engine->AddRetranslateListener([&] {
        window1.push_back(Translate(CMlsEntry{"tpMenu_File", "&File"}, "Menu"));
    });
    ListenerToken two = engine->AddRetranslateListener([&] {
        window2.push_back(Translate(CMlsEntry{"tpMenu_File", "&File"}, "Menu"));
    });

    EXPECT_TRUE(engine->SelectLanguageCommand(CManagerEngine::kFirstLanguageCommand + 1));
    EXPECT_EQ(engine->CurrentLanguage(), "Deutsch");
    EXPECT_EQ(engine->Settings().sCurrentLang, "Deutsch");
    EXPECT_EQ(window1, std::vector<std::string>{"&Datei"});
    EXPECT_EQ(window2, std::vector<std::string>{"&Datei"});

    // The current language again: nothing to do.
    EXPECT_FALSE(engine->SwitchLanguage("Deutsch"));
    EXPECT_EQ(window1.size(), 1u);
    // Out of the menu's range.
    EXPECT_FALSE(engine->SelectLanguageCommand(CManagerEngine::kFirstLanguageCommand + 2));

    // A window that closed hears nothing more.
    two.Reset();
    EXPECT_TRUE(engine->SelectLanguageCommand(CManagerEngine::kFirstLanguageCommand));
    EXPECT_EQ(window1, (std::vector<std::string>{"&Datei", "&File"}));
    EXPECT_EQ(window2.size(), 1u);
    EXPECT_EQ(engine->Settings().sCurrentLang, "English");
}

TEST_F(EngineLanguageTest, StoredLanguageIsAppliedAtStartAndUnusableFileFallsBackToEnglish) {
    WriteLanguage("Deutsch", "&Datei");
    StartService();
    settings.WriteString(ManagerSettings::kSection, "Current Lang", "Deutsch");
    int retranslations = 0;
    ListenerToken token = engine->AddRetranslateListener([&] { ++retranslations; });
    engine->Create();
    engine->Apply();
    EXPECT_EQ(engine->CurrentLanguage(), "Deutsch");
    EXPECT_EQ(retranslations, 1);

    // A listed language whose file went away: English stays current and is what is kept,
    // so that the next start does not stumble over it again.
    std::filesystem::remove(dir.file("Translations/Deutsch.lng"));
    EXPECT_TRUE(engine->SwitchLanguage("English"));
    EXPECT_FALSE(engine->SwitchLanguage("Deutsch"));
    EXPECT_EQ(engine->CurrentLanguage(), "English");
    EXPECT_EQ(engine->Settings().sCurrentLang, "English");
}

// The UDP dialog's values reach the very next datagram, through a real socket.
TEST_F(EngineCommandsTest, UdpDialogTakesEffectWithTheNextDatagram) {
    test::UdpSink sink;
    engine->Create();
    engine->Apply();
    auto device = registry.AddDevice(false);  // no threads: only the test raises events
    ASSERT_TRUE(device);

    const UdpSettings defaults = engine->GetUdpSettings();
    EXPECT_FALSE(defaults.bEnabled);
    EXPECT_EQ(defaults.nPort, 8181);
    EXPECT_EQ(defaults.sIpAddress, "255.255.255.255");

    UdpSettings udp = defaults;
    udp.bEnabled = true;
    udp.bSendData = false;
    udp.sIpAddress = "127.0.0.1";
    udp.nPort = sink.port();
    engine->SetUdpSettings(udp);
    device->SetName("Muted");
    engine->OnDeviceNewData(device.get());  // data datagrams are off: nothing goes out

    udp.bSendData = true;
    engine->SetUdpSettings(udp);
    device->SetName("Heard");
    engine->OnDeviceNewData(device.get());
    ASSERT_TRUE(sink.WaitFor([](const std::string& d) { return d.find("Heard") != d.npos; }, 5s));
    ASSERT_EQ(sink.datagrams.size(), 1u) << sink.datagrams[0];

    // The record holds the dialog's values: they are compared at close and saved.
    EXPECT_EQ(engine->Settings().udp_enabled, 1);
    EXPECT_EQ(engine->Settings().udp_send_data, 1);
    EXPECT_EQ(engine->Settings().udp_port, sink.port());
    EXPECT_EQ(engine->Settings().udp_ip_address, "127.0.0.1");
    EXPECT_EQ(engine->GetUdpSettings(), udp);

    udp.bEnabled = false;
    engine->SetUdpSettings(udp);
    device->SetName("Off");
    engine->OnDeviceNewData(device.get());
    udp.bEnabled = true;
    engine->SetUdpSettings(udp);
    device->SetName("Back");
    engine->OnDeviceNewData(device.get());
    ASSERT_TRUE(sink.WaitFor([](const std::string& d) { return d.find("Back") != d.npos; }, 5s));
    EXPECT_EQ(sink.datagrams.size(), 2u);
}

TEST_F(EngineCommandsTest, GeoPreviewMenuFollowsInternetAndSwitches) {
    struct Case {
        bool internet, server, viewer;
        bool serverEnabled, viewerEnabled, viewerChecked;
    };
    const Case cases[] = {
        {false, true, true, false, false, true},    {true, true, true, true, true, true},
        {true, true, false, true, true, false},     {true, false, true, true, false, false},
        {false, false, false, false, false, false},
    };
    engine->Create();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.internet << c.server << c.viewer);
        engine->InternetResult(c.internet);
        engine->Settings().bHttpServ = c.server;
        engine->Settings().bMapView = c.viewer;
        const auto menu = engine->GetGeoPreviewMenu();
        EXPECT_EQ(menu.serverEnabled, c.serverEnabled);
        EXPECT_EQ(menu.serverChecked, c.server);
        EXPECT_EQ(menu.viewerEnabled, c.viewerEnabled);
        EXPECT_EQ(menu.viewerChecked, c.viewerChecked);
        EXPECT_EQ(menu.previewEnabled, c.viewerEnabled);
    }
    // The switches toggle and refresh the views.
    engine->Settings().bHttpServ = true;
    engine->Settings().bMapView = false;
    const int before = refreshes;
    engine->ToggleHttpServer();
    EXPECT_FALSE(engine->Settings().bHttpServ);
    engine->ToggleMapViewer();
    EXPECT_TRUE(engine->Settings().bMapView);
    EXPECT_EQ(refreshes, before + 2);
}

TEST_F(EngineCommandsTest, UnusableDeviceListFileLeavesTheDevicesAlone) {
    engine->Create();
    registry.AddDevice(true)->SetName("Pier");
    const std::string notIni = dir.file("notes.txt");
    {
        std::FILE* f = std::fopen(notIni.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("just some words\n", f);
        std::fclose(f);
    }
    for (const std::string& path : {dir.file("missing.ini"), notIni}) {
        SCOPED_TRACE(path);
        std::string error;
        EXPECT_FALSE(engine->LoadDeviceList(path, &error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(registry.GetDeviceNames(), "Pier;");
    }
    std::string error;
    EXPECT_FALSE(engine->SaveDeviceList(dir.file("no-such-folder/list.ini"), &error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
}

TEST(DeviceListName, ProposalsOfTheFileDialogs) {
    std::tm day{};
    day.tm_year = 2013 - 1900;
    day.tm_mon = 4;
    day.tm_mday = 14;
    day.tm_hour = 12;
    const std::time_t when = std::mktime(&day);
    EXPECT_EQ(CManagerEngine::ProposedDeviceListName(true, when), "Zor-Devices-2013-05-14");
    EXPECT_EQ(CManagerEngine::ProposedDeviceListName(false, when), "Zor-Device");
}

TEST(DefaultPlacement, CentredOnTheUsableScreenArea) {
    struct Case {
        ScreenRect screen;
        int left, top, right, bottom;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, 360, 190, 1560, 890},
        {{0, 0, 1024, 600}, 0, 0, 1024, 600},           // smaller screen: cut to it
        {{1920, 30, 1280, 994}, 1960, 177, 3160, 877},  // second monitor, panel on top
        {{0, 0, 1200, 700}, 0, 0, 1200, 700},
    };
    for (const Case& c : cases) {
        const WindowPlacement wp = WindowPlacement::Default(c.screen);
        EXPECT_EQ(wp.left, c.left);
        EXPECT_EQ(wp.top, c.top);
        EXPECT_EQ(wp.right, c.right);
        EXPECT_EQ(wp.bottom, c.bottom);
        EXPECT_EQ(wp.showCmd, WindowPlacement::kShowNormal);
        EXPECT_EQ(wp.flags, 0);
    }
}

TEST_F(EngineCommandsTest, SettingsWithoutPlacementOpenOnTheGivenScreen) {
    engine->SetScreen({100, 50, 800, 600});
    engine->Create();
    const WindowPlacement wp = engine->Settings().wp;
    EXPECT_EQ(wp, engine->DefaultPlacement());
    EXPECT_EQ(wp.left, 100);
    EXPECT_EQ(wp.top, 50);
    EXPECT_EQ(wp.right, 900);
    EXPECT_EQ(wp.bottom, 650);
}

// Everyone who keeps something per device hears it leave; a token ends the registration,
// also one ended while the others are being told.
TEST(RemovedListeners, EveryListenerHearsARemovedDeviceUntilItsTokenGoes) {
    test::TempDir dir;
    CDeviceGate gate;
    GenericDeviceFactory factory;
    CDeviceRegistry registry(gate, factory);
    registry.SetContext(dir.file("Zor-Device.ini"), nullptr, nullptr);
    std::vector<std::string> kml, alarms, plot;
    ListenerToken plotToken;
    ListenerToken kmlToken = registry.AddRemovedListener(
        [&](const CTavDevice& device) { kml.push_back(device.GetName()); });
    ListenerToken alarmToken = registry.AddRemovedListener([&](const CTavDevice& device) {
        alarms.push_back(device.GetName());
        plotToken.Reset();  // the plot's window closed meanwhile
    });
    plotToken = registry.AddRemovedListener(
        [&](const CTavDevice& device) { plot.push_back(device.GetName()); });

    registry.AddDevice(false)->SetName("A");
    registry.AddDevice(false)->SetName("B");
    registry.RemoveDevice(registry.GetDevice(0).get());
    EXPECT_EQ(kml, std::vector<std::string>{"A"});
    EXPECT_EQ(alarms, std::vector<std::string>{"A"});
    EXPECT_TRUE(plot.empty());

    kmlToken.Reset();
    registry.RemoveAllDevices();
    EXPECT_EQ(kml, std::vector<std::string>{"A"});
    EXPECT_EQ(alarms, (std::vector<std::string>{"A", "B"}));
}

TEST(DeviceLogMenu, DatesOfTheMonthsDeviceLogsNewestTwentyNine) {
    test::TempDir dir;
    auto touch = [&](const std::string& relative) {
        std::filesystem::create_directories(
            std::filesystem::path(dir.file(relative)).parent_path());
        std::FILE* f = std::fopen(dir.file(relative).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    };
    for (int day = 1; day <= 31; ++day) {
        char name[64];
        std::snprintf(name, sizeof name, "%sDevLog_2026-12-%02d.html", day % 2 ? "" : "old/", day);
        touch(name);
    }
    touch("RunLog_2026-12-05.html");
    touch("DevLog_2026-12-05.txt");
    touch("DevLog_short.html");
    const std::vector<std::string> dates = CManagerEngine::DeviceLogDates(dir.folder());
    ASSERT_EQ(dates.size(), 29u);
    EXPECT_EQ(dates.front(), "2026-12-03");  // the two oldest dropped
    EXPECT_EQ(dates.back(), "2026-12-31");
    EXPECT_TRUE(std::is_sorted(dates.begin(), dates.end()));
    EXPECT_EQ(CManagerEngine::DeviceLogPath(dir.folder(), "2026-12-31"),
              dir.folder() + "DevLog_2026-12-31.html");
    EXPECT_TRUE(CManagerEngine::DeviceLogDates(dir.file("missing") + "/").empty());
}

TEST(DeviceLogMenu, DatesOfEveryMonthFolderEachOnceWithItsOwnFile) {
    test::TempDir dir;
    auto touch = [&](const std::string& relative) {
        std::filesystem::create_directories(
            std::filesystem::path(dir.file(relative)).parent_path());
        std::FILE* f = std::fopen(dir.file(relative).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    };
    // A station that ran from December into February; one day was copied elsewhere too.
    touch("2025-12/DevLog_2025-12-31.html");
    touch("2026-01/DevLog_2026-01-01.html");
    touch("2026-01/DevLog_2026-01-31.html");
    touch("2026-02/DevLog_2026-02-01.html");
    touch("2026-02/backup/DevLog_2026-01-31.html");
    const std::string root = dir.folder();
    EXPECT_EQ(CManagerEngine::DeviceLogDates(root),
              (std::vector<std::string>{"2025-12-31", "2026-01-01", "2026-01-31", "2026-02-01"}));
    EXPECT_EQ(CManagerEngine::DeviceLogPath(root, "2025-12-31"),
              root + "2025-12/DevLog_2025-12-31.html");
    EXPECT_EQ(CManagerEngine::DeviceLogPath(root, "2026-01-31"),
              root + "2026-01/DevLog_2026-01-31.html");
    EXPECT_EQ(CManagerEngine::DeviceLogPath(root, "2026-02-01"),
              root + "2026-02/DevLog_2026-02-01.html");
}

TEST(ExtraText, FileIsCreatedEmptyOnceAndKeptAfterwards) {
    test::TempDir home;
    SetHomeRoot(home.folder());
    const std::string path = CManagerEngine::PrepareExtraTextFile();
    ASSERT_EQ(path, GetAppDataFolder() + "MailExtraText.txt");
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("Duty officer: +49 40 000000", f);
        std::fclose(f);
    }
    EXPECT_EQ(CManagerEngine::PrepareExtraTextFile(), path);
    EXPECT_EQ(std::filesystem::file_size(path), 27u);  // the operator's text stays
    SetHomeRoot("");
}

}  // namespace
}  // namespace zm
