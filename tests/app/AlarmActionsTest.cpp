#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <thread>

#include "ActionsFixture.h"
#include "app/AlarmActions.h"
#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/HeadlessDispatcher.h"
#include "app/ManagerSettings.h"
#include "app/Recipients.h"
#include "base/MlsPrgMsg.h"
#include "base/MlsTestFiles.h"
#include "base/TextFile.h"
#include "device/TavDevice.h"
#include "device/zor/ZorDevice.h"
#include "notify/Clickatell.h"
#include "notify/Smtp.h"
#include "notify/TestPeers.h"

namespace zm::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t device1 = 1001;  // identities of the devices in these tests
constexpr std::uint64_t device2 = 1002;

DeviceSnapshot Pier(int status, const std::string& text) {
    DeviceSnapshot d;
    d.id = device1;
    d.sName = "Pier-2";
    d.sIdent = "ZOR-000123";
    d.nStatus = status;
    d.sStatusText = text;
    d.dLatitude = 59.4370001;
    d.dLongitude = 24.7535;
    d.sInfoParameters = "ZOR-000123 fw 2.1";
    d.sInfoPosition = "59.437000 N, 24.753500 E";
    d.sInfoCurValue = "812.5 (bg 10.0)";
    return d;
}

class AlarmActionsTest : public LogsFixture {
  protected:
    void SetUp() override {
        LogsFixture::SetUp();
        ResetSettings();
    }
    void ResetSettings() {
        settings_ = {};
        UdpSettings udp;
        udp.bEnabled = true;
        udp.sIpAddress = "127.0.0.1";
        udp.nPort = trail_.port();
        udp_.SetSettings(udp);
        settings_.bAlarmPopup = true;
        settings_.bConnPopup = true;
        settings_.bAlarmSound = true;
        settings_.bAlarmMails = true;
        settings_.bAlarmSms = true;
        settings_.bNoConnectionSms = true;
        settings_.sMailRecipients = "ops@example.org, ,37255512345,+3725550000";
        settings_.account.sServer = "127.0.0.1";
        settings_.account.nPort = UnusedPort();
        settings_.account.nSecurity = CSmtp::kSecurityNone;
        settings_.account.sLogin = "user";
        settings_.account.sPassword = "secret";
        settings_.account.sSenderName = "ZorManager";
        settings_.account.sSenderMail = "noreply@example.org";
        settings_.sClickatellPass = "gwpass";
        settings_.sClickatellClientId = "client";
        settings_.sClickatellApiId = "3456";
    }
    void TearDown() override {
        mail_.Stop(10s);
        LogsFixture::TearDown();
    }
    // Brings the device to "Online and Ok" without mails and clears the trail.
    void StartOnline() {
        actions_.UpdateDeviceFeed(Pier(1, "Online and Ok"));
        trail_.Clear();
    }

    AlarmActionSettings settings_;
    CUdpFun udp_;
    RecordingUi ui_{trail_};
    CMailSender mail_;
    AlarmActions actions_{ui_, udp_, mail_, [this] { return settings_; }};
};

TEST_F(AlarmActionsTest, AnAlarmRunsEveryActionInItsOrder) {
    SmtpTestServer server({"--auth", "LOGIN"});
    settings_.account.nPort = server.port();
    ASSERT_TRUE(AppendTextFile(GetAppDataFolder() + "MailExtraText.txt", "Call the harbour master.",
                               true, TextUtf8));
    StartOnline();

    actions_.UpdateDeviceFeed(Pier(5, "Alarm reported"));
    const std::vector<std::string> expected = {
        "devlog",
        "udp:| ZOR-000123 | Pier-2 | Status = 'Alarm reported'\r\n",
        "ShowAlarm:Pier-2:front",
        "PlaySound",
    };
    auto events = trail_.ActionEvents();
    ASSERT_GE(events.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4), expected);
    EXPECT_EQ(EntryColor(DeviceLogText(), "Pier-2: Alarm reported"), "#C80000");

    ASSERT_EQ(ui_.alarms.size(), 1u);
    const AlarmPopupEntry& entry = ui_.alarms[0];
    EXPECT_EQ(entry.kind, "ALARM");
    EXPECT_EQ(entry.value, 0);
    EXPECT_EQ(entry.position, "59.437000°, 24.753500°");
    const std::string prefix =
        home_.folder() + "logs/Alarms/Reports_Pier-2/AlarmReport_ZOR-000123_Pier-2_";
    EXPECT_EQ(entry.reportPath.rfind(prefix, 0), 0u) << entry.reportPath;
    EXPECT_EQ(entry.reportPath.size(),
              prefix.size() + std::string("2013-05-14_08-30-00.txt").size());

    ASSERT_TRUE(mail_.WaitIdle(20s));
    const std::string mail = server.Message(1);
    EXPECT_NE(mail.find("Subject: Pier-2: Alarm reported"), std::string::npos);
    for (const char* part :
         {"Device status:\r\n", " (local time)\r\n", "\r\n >>> Pier-2: Alarm reported",
          "\r\n >>> Device info: ZOR-000123 fw 2.1", "\r\n >>> Location: 59.437000 N, 24.753500 E",
          "\r\n >>> Value: 812.5 (bg 10.0)", "\r\n\r\n<msg.end>\r\nCall the harbour master.\r\n"}) {
        EXPECT_NE(mail.find(part), std::string::npos) << part << "\n" << mail;
    }
    // The mail to the mail addresses of the list (a server would refuse the phone numbers
    // and the mail with them), then the SMS mail to the gateway with the phone number that
    // is all digits; the extra text belongs to the mail only.
    EXPECT_TRUE(server.WaitFor("MESSAGE 1 from=noreply@example.org to=ops@example.org\n"))
        << server.Transcript();
    EXPECT_TRUE(
        server.WaitFor("MESSAGE 2 from=noreply@example.org to=" + CClickatell::GatewayAddress()));
    const std::string sms = server.Message(2);
    EXPECT_NE(sms.find("User:ZorManager\r\npassword:gwpass\r\napi_id:3456\r\ntext:Device status:"),
              std::string::npos)
        << sms;
    EXPECT_NE(sms.find("<msg.end>\r\nto:37255512345\r\n"), std::string::npos) << sms;
    EXPECT_EQ(sms.find("harbour master"), std::string::npos);
    EXPECT_EQ(sms.find("to:+3725550000"), std::string::npos);
    for (const std::string& log : {DeviceLogText(), RunLogText()}) {
        EXPECT_EQ(EntryColor(log, "Alarm mail was successfully sent (recipients: 1)."), "#006400");
        EXPECT_EQ(EntryColor(log, "Alarm sms was successfully sent (recipients: 1)."), "#006400");
    }
}

TEST_F(AlarmActionsTest, TheSameStatusTextAgainDoesNothing) {
    StartOnline();
    actions_.UpdateDeviceFeed(Pier(5, "Alarm reported"));
    trail_.Clear();
    actions_.UpdateDeviceFeed(Pier(5, "Alarm reported"));
    EXPECT_TRUE(trail_.ActionEvents().empty());
    EXPECT_EQ(Count(DeviceLogText(), "Pier-2: Alarm reported"), 1);

    // A state-report request still sends the datagram, once.
    int requests = 1;
    DeviceSnapshot asked = Pier(5, "Alarm reported");
    asked.takeStateReportRequest = [&] { return requests-- > 0; };
    actions_.UpdateDeviceFeed(asked);
    actions_.UpdateDeviceFeed(asked);
    EXPECT_EQ(
        trail_.ActionEvents(),
        std::vector<std::string>{"udp:| ZOR-000123 | Pier-2 | Status = 'Alarm reported'\r\n"});
}

TEST_F(AlarmActionsTest, LowStatusesCountOnlyInAdvancedMode) {
    struct Case {
        bool advanced;
        int status;
        const char* text;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {false, 2, "Monitoring OFF", {}},
        {false, 3, "Data is absent", {}},
        {false, 4, "Emulation mode", {}},
        {true,
         2,
         "Monitoring OFF",
         {"devlog", "udp:| ZOR-000123 | Pier-2 | Status = 'Monitoring OFF'\r\n", "StopSound"}},
        {true,
         3,
         "Data is absent",
         {"devlog", "udp:| ZOR-000123 | Pier-2 | Status = 'Data is absent'\r\n", "StopSound"}},
    };
    bool advanced = false;
    actions_.SetAdvancedModeSource([&advanced] { return advanced; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        actions_.ForgetDevice(device1);
        advanced = false;
        StartOnline();
        advanced = c.advanced;
        actions_.UpdateDeviceFeed(Pier(c.status, c.text));
        EXPECT_EQ(trail_.ActionEvents(), c.events);
        EXPECT_EQ(actions_.LastReportedText(device1), c.advanced ? c.text : "Online and Ok");
        EXPECT_EQ(Count(DeviceLogText(), std::string("Pier-2: ") + c.text), c.advanced ? 1 : 0);
    }
    EXPECT_EQ(EntryColor(DeviceLogText(), "Pier-2: Data is absent"), "#646464");
    EXPECT_EQ(EntryColor(DeviceLogText(), "Pier-2: Online and Ok"), "#006400");
}

TEST_F(AlarmActionsTest, ConnectionLostAndRestored) {
    SmtpTestServer server({"--auth", "LOGIN"});
    settings_.account.nPort = server.port();
    settings_.bAlarmSms = false;
    StartOnline();

    actions_.UpdateDeviceFeed(Pier(0, "No connection"));
    EXPECT_EQ(trail_.ActionEvents(),
              (std::vector<std::string>{"devlog",
                                        "udp:| ZOR-000123 | Pier-2 | Status = 'No connection'\r\n",
                                        "StopSound", "ConnectionLost:Pier-2"}));
    ASSERT_EQ(ui_.lost.size(), 1u);
    EXPECT_EQ(ui_.lost[0].kind, "CONNECTION LOST");
    EXPECT_EQ(ui_.lost[0].reportPath, "");
    EXPECT_EQ(ui_.lost[0].position, "59.437000°, 24.753500°");
    EXPECT_EQ(EntryColor(DeviceLogText(), "Pier-2: No connection"), "#C86400");
    ASSERT_TRUE(mail_.WaitIdle(20s));
    EXPECT_NE(server.Message(1).find("Subject: Pier-2: No connection"), std::string::npos);

    trail_.Clear();
    actions_.UpdateDeviceFeed(Pier(1, "Online and Ok"));
    EXPECT_EQ(trail_.ActionEvents(),
              (std::vector<std::string>{"devlog",
                                        "udp:| ZOR-000123 | Pier-2 | Status = 'Online and Ok'\r\n",
                                        "StopSound", "ConnectionRestored:Pier-2"}));
    ASSERT_TRUE(mail_.WaitIdle(20s));
    EXPECT_FALSE(server.WaitFor("MESSAGE 2", 300));  // no mail for a restored connection
}

TEST_F(AlarmActionsTest, WithoutNoConnectionSmsALostConnectionOnlyLogs) {
    SmtpTestServer server({"--auth", "LOGIN"});
    settings_.account.nPort = server.port();
    settings_.bNoConnectionSms = false;
    StartOnline();
    actions_.UpdateDeviceFeed(Pier(0, "No connection"));
    // The change is logged, but no datagram, popup, sound or mail follows.
    EXPECT_EQ(trail_.ActionEvents(), std::vector<std::string>{"devlog"});
    ASSERT_TRUE(mail_.WaitIdle(5s));
    EXPECT_FALSE(server.WaitFor("MESSAGE", 300));
}

TEST_F(AlarmActionsTest, SwitchesGovernEachAction) {
    struct Case {
        const char* name;
        std::function<void(AlarmActionSettings&)> change;
        std::vector<std::string> events;
        int messages;
    };
    const std::string udp = "udp:| ZOR-000123 | Pier-2 | Status = 'Alarm reported'\r\n";
    const Case cases[] = {
        {"popup off: entry added hidden",
         [](auto& s) { s.bAlarmPopup = false; },
         {"devlog", udp, "ShowAlarm:Pier-2:hidden", "PlaySound"},
         2},
        {"no sound",
         [](auto& s) { s.bAlarmSound = false; },
         {"devlog", udp, "ShowAlarm:Pier-2:front"},
         2},
        {"mails off: no SMS either",
         [](auto& s) {
             s.bAlarmMails = false;
             s.bAlarmSms = true;
         },
         {"devlog", udp, "ShowAlarm:Pier-2:front", "PlaySound"},
         0},
        {"SMS account incomplete",
         [](auto& s) { s.sClickatellClientId.clear(); },
         {"devlog", udp, "ShowAlarm:Pier-2:front", "PlaySound"},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpTestServer server({"--auth", "LOGIN"});
        ResetSettings();
        settings_.account.nPort = server.port();
        c.change(settings_);
        actions_.ForgetDevice(device1);
        StartOnline();
        actions_.UpdateDeviceFeed(Pier(5, "Alarm reported"));
        EXPECT_EQ(trail_.ActionEvents(), c.events);
        ASSERT_TRUE(mail_.WaitIdle(20s));
        if (c.messages > 0) {
            EXPECT_TRUE(server.WaitFor("MESSAGE " + std::to_string(c.messages)));
        }
        EXPECT_FALSE(server.WaitFor("MESSAGE " + std::to_string(c.messages + 1), 200));
    }
}

TEST_F(AlarmActionsTest, TheReportPathAssignedFirstIsKept) {
    std::string assigned;
    DeviceSnapshot alarm = Pier(5, "Alarm reported");
    alarm.claimReportPath = [&](const std::string& proposed) {
        if (assigned.empty()) {
            assigned = proposed;
        }
        return assigned;
    };
    settings_.bAlarmMails = false;
    StartOnline();
    actions_.UpdateDeviceFeed(alarm);
    actions_.UpdateDeviceFeed(Pier(1, "Online and Ok"));
    std::this_thread::sleep_for(1100ms);  // a later second would give another file name
    actions_.UpdateDeviceFeed(alarm);
    ASSERT_EQ(ui_.alarms.size(), 2u);
    EXPECT_FALSE(assigned.empty());
    EXPECT_EQ(ui_.alarms[0].reportPath, assigned);
    EXPECT_EQ(ui_.alarms[1].reportPath, assigned);
}

TEST_F(AlarmActionsTest, DevicesAreFollowedApart) {
    settings_.bAlarmMails = false;
    StartOnline();
    DeviceSnapshot other = Pier(1, "Online and Ok");
    other.id = device2;
    other.sName = "Pier-3";
    actions_.UpdateDeviceFeed(other);
    EXPECT_EQ(Count(DeviceLogText(), "Pier-3: Online and Ok"), 1);
    EXPECT_EQ(actions_.LastReportedText(device1), "Online and Ok");
    EXPECT_EQ(actions_.LastReportedText(device2), "Online and Ok");
}

TEST(AlarmActionsText, RecipientsAreTrimmedAndEmptyPartsDropped) {
    EXPECT_EQ(SplitRecipients(" a@x.org,, b@y.org ,\t,"),
              (std::vector<std::string>{"a@x.org", "b@y.org"}));
    EXPECT_TRUE(SplitRecipients(" , ").empty());
}

TEST(AlarmActionsText, MailsGoToTheAddressesNotToThePhoneNumbers) {
    struct Case {
        const char* entry;
        bool phone;
    };
    const Case cases[] = {
        {"4791234567", true},
        {"+47 912 34 567", true},
        {"(0471) 123-45/6", true},
        {"duty@harbour.test", false},
        {"4791234567@sms.test", false},
        {"47+91", false},
        {"+", false},
        {"-", false},
        {"operator", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsPhoneRecipient(c.entry), c.phone) << c.entry;
    }
    EXPECT_EQ(MailRecipients(" 4791234567, duty@harbour.test ,+4790000000,ops@port.test"),
              (std::vector<std::string>{"duty@harbour.test", "ops@port.test"}));
}

TEST_F(AlarmActionsTest, ADeadMailServerNeverHoldsUpTheDispatcher) {
    std::atomic<bool> accepted{false};
    std::atomic<bool> released{false};
    auto silent = std::make_unique<ScriptedPeer>([&](int fd, ScriptedPeer&) {
        accepted = true;
        for (int i = 0; i < 1500 && !released; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        shutdown(fd, SHUT_RDWR);
    });
    settings_.account.nPort = silent->port();
    StartOnline();
    {
        HeadlessDispatcher dispatcher;
        dispatcher.Start();
        std::promise<void> alarmDone;
        std::promise<void> laterTask;
        dispatcher.Post([&] {
            actions_.UpdateDeviceFeed(Pier(5, "Alarm reported"));
            alarmDone.set_value();
        });
        ASSERT_EQ(alarmDone.get_future().wait_for(2s), std::future_status::ready);
        for (int i = 0; i < 500 && !accepted; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(accepted);  // the mail thread now waits for a greeting that never comes
        dispatcher.Post([&] { laterTask.set_value(); });
        EXPECT_EQ(laterTask.get_future().wait_for(1s), std::future_status::ready);
        EXPECT_EQ(mail_.Pending(), 2u);  // the mail in its session, the SMS behind it
    }
    released = true;
    silent.reset();  // the SMS session waiting in its backlog is refused too
    ASSERT_TRUE(mail_.WaitIdle(20s));
    EXPECT_EQ(Count(DeviceLogText(), "was not sent:"), 2);
}

TEST_F(AlarmActionsTest, AGenericDeviceIsTakenAsItStands) {
    CTavDevice device("", nullptr, "Buoy-7");
    device.SetStatus(5, std::string("Alarm reported"));
    DeviceSnapshot snapshot = SnapshotOf(device);
    EXPECT_EQ(snapshot.id, device.GetInstanceId());
    EXPECT_EQ(snapshot.sName, "Buoy-7");
    EXPECT_EQ(snapshot.nStatus, 5);
    EXPECT_EQ(snapshot.sStatusText, "Alarm reported");
    settings_.bAlarmMails = false;
    actions_.UpdateDeviceFeed(snapshot);
    EXPECT_EQ(EntryColor(DeviceLogText(), "Buoy-7: Alarm reported"), "#C80000");
    // The request flag is read only when nothing changed, and reading clears it.
    bool asked = false;
    snapshot.takeStateReportRequest = [&] {
        asked = true;
        return device.TakeStateReportRequest();
    };
    actions_.UpdateDeviceFeed(snapshot);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(device.TakeStateReportRequest());
}

TEST_F(AlarmActionsTest, TheAlertMailCarriesTheValuesInATranslatedProgram) {
    // A language that translates the column titles the device list shows.
    TempDir languages;
    WriteUtf16Lines(
        languages.file("German.lng"),
        {"[Codepage]", "codepage=1252", "[DevListCols]", "tpDevListCols_Position= Standort",
         "tpDevListCols_Parameters= Kenndaten", "[ZorDevice]", "tpZorDevice_CurValue= Messwert"});
    CMlsPrgMsg service;
    service.SetFolder(languages.folder());
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));

    SmtpTestServer server({"--auth", "LOGIN"});
    settings_.account.nPort = server.port();
    settings_.bAlarmSms = false;
    CZorDevice device(home_.file("Zor-Device.ini"), nullptr, "Pier-9");
    device.SetPosition(59.5, 24.25);
    device.SetStatus(1, std::string("Online and Ok"));
    actions_.UpdateDeviceFeed(SnapshotOf(device));
    device.SetStatus(5, std::string("Alarm reported"));
    const DeviceSnapshot alarm = SnapshotOf(device);
    for (const std::string* text :
         {&alarm.sInfoParameters, &alarm.sInfoPosition, &alarm.sInfoCurValue}) {
        EXPECT_EQ(text->find("(?)"), std::string::npos) << *text;
    }
    actions_.UpdateDeviceFeed(alarm);
    ASSERT_TRUE(mail_.WaitIdle(20s));
    const std::string mail = server.Message(1);
    // The labels are the language's own (untranslated ones in braces); the values follow.
    EXPECT_NE(mail.find("}: 59.500000"), std::string::npos) << mail;
    EXPECT_NE(mail.find("}: " + device.GetInfoText("Kenndaten") + "\r\n"), std::string::npos)
        << mail;
    EXPECT_NE(mail.find("}: 0.0\r\n"), std::string::npos) << mail;
    EXPECT_EQ(mail.find("(?)"), std::string::npos) << mail;
    ASSERT_TRUE(service.SwitchLanguage("English"));
}

TEST_F(AlarmActionsTest, AFeedUpdateWithoutDeviceRunsEveryDeviceInListOrder) {
    CDeviceGate gate;
    GenericDeviceFactory factory;
    CDeviceRegistry registry(gate, factory);
    registry.SetContext(home_.file("Zor-Device.ini"), nullptr, nullptr);
    for (const char* name : {"North", "South"}) {
        auto device = registry.AddDevice(false);
        ASSERT_NE(device, nullptr);
        device->SetName(name);
        device->SetStatus(1, std::string("Online and Ok"));
    }
    settings_.bAlarmSound = false;
    settings_.bConnPopup = false;
    std::vector<std::string> filled;
    actions_.SetSnapshotFiller([&](CTavDevice& device, DeviceSnapshot& snapshot) {
        filled.push_back(device.GetName());
        snapshot.sIdent = "ID-" + device.GetName();
    });
    actions_.UpdateDeviceFeed(nullptr, registry);
    EXPECT_EQ(filled, (std::vector<std::string>{"North", "South"}));
    const std::string log = DeviceLogText();
    ASSERT_NE(log.find("North: Online and Ok"), std::string::npos);
    EXPECT_LT(log.find("North: Online and Ok"), log.find("South: Online and Ok"));
    EXPECT_EQ(trail_.ActionEvents(),
              (std::vector<std::string>{
                  "devlog", "udp:| ID-North | North | Status = 'Online and Ok'\r\n", "devlog",
                  "udp:| ID-South | South | Status = 'Online and Ok'\r\n"}));

    // A device forgotten starts afresh.
    auto south = registry.GetDevice(1);
    actions_.ForgetDevice(south->GetInstanceId());
    EXPECT_EQ(actions_.LastReportedText(south->GetInstanceId()), "");
    EXPECT_EQ(actions_.LastReportedText(registry.GetDevice(0)->GetInstanceId()), "Online and Ok");
    actions_.UpdateDeviceFeed(south.get(), registry);
    EXPECT_EQ(Count(DeviceLogText(), "South: Online and Ok"), 2);
    registry.RemoveAllDevices();
}

TEST(AlarmActionsSettings, EverySettingReachesItsPlace) {
    ManagerSettings s;
    s.bAlarmPopup = true;
    s.bConnPopup = false;
    s.bAlarmSound = true;
    s.bAlarmMails = false;
    s.bAlarmSms = true;
    s.bNoConnectionSms = true;
    s.sMailRecipients = "a@b.c";
    s.smtp_server = "mail.example";
    s.smtp_login = "login";
    s.smtp_pass = "pass";
    s.smtp_sender_name = "Sender";
    s.smtp_sender_mail = "from@example";
    s.smtp_reply_to = "reply@example";
    s.smtp_port = 587;
    s.smtp_sec = 1;
    s.smtp_tls_verify = 0;
    s.clickatell_user_name = "cuser";
    s.clickatell_pass = "cpass";
    s.clickatell_client_id = "cid";
    s.clickatell_api_id = "api";
    const AlarmActionSettings a = ActionSettingsFrom(s);
    EXPECT_EQ(std::vector<bool>({a.bAlarmPopup, a.bConnPopup, a.bAlarmSound, a.bAlarmMails,
                                 a.bAlarmSms, a.bNoConnectionSms}),
              std::vector<bool>({true, false, true, false, true, true}));
    EXPECT_EQ(
        std::vector<std::string>({a.sMailRecipients, a.account.sServer, a.account.sLogin,
                                  a.account.sPassword, a.account.sSenderName, a.account.sSenderMail,
                                  a.account.sReplyTo, a.sClickatellUser, a.sClickatellPass,
                                  a.sClickatellClientId, a.sClickatellApiId}),
        std::vector<std::string>({"a@b.c", "mail.example", "login", "pass", "Sender",
                                  "from@example", "reply@example", "cuser", "cpass", "cid",
                                  "api"}));
    EXPECT_EQ(a.account.nPort, 587);
    EXPECT_EQ(a.account.nSecurity, 1);
    EXPECT_FALSE(a.account.bTlsVerify);
    EXPECT_TRUE(ActionSettingsFrom(ManagerSettings{}).account.bTlsVerify);
}

}  // namespace
}  // namespace zm::test
