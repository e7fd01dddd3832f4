#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "base/TextFile.h"
#include "support/TempDir.h"

namespace zm {
namespace {

// The key lines of one section, in file order.
std::vector<std::string> KeysInFile(const std::string& path, const std::string& section) {
    std::string text;
    EXPECT_TRUE(ReadTextFile(path, text));
    std::istringstream in(text);
    std::vector<std::string> keys;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        const auto eq = line.find('=');
        if (inside && eq != std::string::npos) {
            keys.push_back(line.substr(0, eq));
        }
    }
    return keys;
}

// A record with every field away from its default.
ManagerSettings Changed() {
    ManagerSettings s;
    s.wp.showCmd = WindowPlacement::kShowMaximized;
    s.wp.flags = 2;
    s.wp.left = -10;
    s.wp.top = 20;
    s.wp.right = 900;
    s.wp.bottom = 650;
    s.nViewMode = 4;
    s.nFeedId = 77;
    s.bHttpServ = false;
    s.bMapView = true;
    s.bCacheManage = false;
    s.bAlarmPopup = s.bConnPopup = s.bAlarmSound = s.bAlarmMails = s.bAlarmSms = true;
    s.bNoConnectionSms = true;
    s.sMailRecipients = "a@example.org, b@example.org";
    s.sDatabasePath = "/srv/db";
    s.bPrintLine = false;
    s.smtp_server = "mail.example.org";
    s.smtp_login = "user";
    s.smtp_pass = "pä;ss=word";
    s.smtp_sender_name = "Pier Station";
    s.smtp_sender_mail = "pier@example.org";
    s.smtp_reply_to = "ops@example.org";
    s.smtp_port = 587;
    s.smtp_sec = 1;
    s.smtp_tls_verify = 0;
    s.clickatell_user_name = "u";
    s.clickatell_pass = "p";
    s.clickatell_client_id = "c";
    s.clickatell_api_id = "123";
    s.clickatell_sms_gateway = "https://gw.example.org";
    s.clickatell_email_address = "sms@gw.example.org";
    s.udp_port = 9000;
    s.udp_enabled = 1;
    s.udp_send_state = 0;
    s.udp_send_data = 0;
    s.udp_broadcast_mac = 0;
    s.udp_ip_address = "127.0.0.1";
    s.sCurrentLang = "Русский";
    s.mqtt_enabled = 1;
    s.mqtt_host = "broker.example.org";
    s.mqtt_port = 8883;
    s.mqtt_tls = 1;
    s.mqtt_user = "station";
    s.mqtt_pass = "mq;tt=pass";
    s.mqtt_station = "Pier/7";
    s.mqtt_prefix = "coast/guard";
    s.nAlarmJournalDays = 30;
    s.bAlarmSoundRepeat = true;
    s.smtp2_server = "backup.zm.test";
    s.smtp2_port = 587;
    s.smtp2_sec = 1;
    s.smtp2_tls_verify = 0;
    s.smtp2_login = "second";
    s.smtp2_pass = "other secret";
    s.nMailRetryHours = 6;
    s.https_port = 8443;
    s.https_cert = "/etc/ssl/station.pem";
    s.https_key = "station-key.pem";
    s.sMapTilesUrl = "https://{s}.tile.example.org/{z}/{x}/{y}.png";
    s.sMapTilesAttribution = "&copy; Example";
    return s;
}

TEST(ManagerSettings, MissingFileGivesTheDefaults) {
    test::TempDir dir;
    CIni ini(dir.file("none.ini"));
    ManagerSettings s = Changed();
    s.Load(ini);
    const ManagerSettings defaults;
    EXPECT_TRUE(s.SameExceptPlacement(defaults));
    EXPECT_TRUE(s.bHttpServ);
    EXPECT_FALSE(s.bAlarmPopup || s.bAlarmSound || s.bAlarmMails || s.bAlarmSms);
    EXPECT_EQ(s.udp_port, 8181);
    EXPECT_EQ(s.udp_ip_address, "255.255.255.255");
    EXPECT_EQ(s.sCurrentLang, "English");
    EXPECT_EQ(s.smtp_port, 465);
    EXPECT_EQ(s.smtp_sec, 2);
    EXPECT_EQ(s.smtp_tls_verify, 1);
    EXPECT_EQ(s.smtp_sender_name, "ZorManager");
    // Publishing is off until the operator sets the broker's keys.
    EXPECT_EQ(s.mqtt_enabled, 0);
    EXPECT_EQ(s.mqtt_host, "127.0.0.1");
    EXPECT_EQ(s.mqtt_port, 1883);
    EXPECT_EQ(s.mqtt_tls, 0);
    EXPECT_EQ(s.mqtt_prefix, "zormanager");
    EXPECT_FALSE(s.mqtt_station.empty());
    EXPECT_EQ(s.mqtt_station, ManagerSettings::DefaultMqttStation());
    EXPECT_EQ(s.nAlarmJournalDays, 400);
    EXPECT_FALSE(s.bAlarmSoundRepeat);
    // 1200 x 700 centred on the assumed screen.
    EXPECT_EQ(s.wp, WindowPlacement::Default(1920, 1080));
    EXPECT_EQ(s.wp.left, 360);
    EXPECT_EQ(s.wp.top, 190);
    EXPECT_EQ(s.wp.right - s.wp.left, 1200);
    EXPECT_EQ(s.wp.bottom - s.wp.top, 700);
    EXPECT_EQ(s.wp.showCmd, WindowPlacement::kShowNormal);
    // A small screen cuts the window to its size.
    const WindowPlacement small = WindowPlacement::Default(1024, 600);
    EXPECT_EQ(small.left, 0);
    EXPECT_EQ(small.right, 1024);
    EXPECT_EQ(small.bottom, 600);
}

TEST(ManagerSettings, RoundTripThroughTheFileKeepsEveryKeyInOrder) {
    test::TempDir dir;
    const std::string path = dir.file("settings.ini");
    CIni ini(path);
    ini.WriteString("Other", "keep", "me");
    const ManagerSettings saved = Changed();
    saved.Save(ini);

    ManagerSettings loaded;
    loaded.Load(ini);
    EXPECT_TRUE(loaded.SameExceptPlacement(saved));
    EXPECT_EQ(loaded.wp, saved.wp);

    const std::vector<std::string> keys = KeysInFile(path, ManagerSettings::kSection);
    EXPECT_EQ(keys, ManagerSettings::KeyNames());
    ASSERT_EQ(keys.size(), 59u);
    EXPECT_EQ(keys.front(), "wp");
    // The broker's keys follow "Current Lang", the last of the operator's original keys.
    const auto lang = std::find(keys.begin(), keys.end(), "Current Lang");
    ASSERT_EQ(keys.end() - lang, 23);
    EXPECT_EQ(*(lang + 1), "mqtt_enabled");
    EXPECT_EQ(*(lang + 8), "mqtt_prefix");
    // The alarm journal's keys, the outbox's, then HTTPS and the map tiles come last.
    EXPECT_EQ(*(lang + 9), "nAlarmJournalDays");
    EXPECT_EQ(*(lang + 11), "smtp2_server");
    EXPECT_EQ(*(lang + 18), "https_port");
    EXPECT_EQ(keys.back(), "sMapTilesAttribution");
    const auto sec = std::find(keys.begin(), keys.end(), "smtp_sec");
    ASSERT_NE(sec, keys.end());
    ASSERT_NE(sec + 1, keys.end());
    EXPECT_EQ(*(sec + 1), "smtp_tls_verify");
    EXPECT_EQ(*(sec + 2), "clickatell_user_name");

    // Stored forms: bools "1"/"0", UDP switches as numbers, the placement as 88 hex digits.
    EXPECT_EQ(ini.GetString("ZorManagerWnd", "bMapView"), "1");
    EXPECT_EQ(ini.GetString("ZorManagerWnd", "bHttpServ"), "0");
    EXPECT_EQ(ini.GetString("ZorManagerWnd", "udp_enabled"), "1");
    EXPECT_EQ(ini.GetString("ZorManagerWnd", "smtp_tls_verify"), "0");
    EXPECT_EQ(ini.GetString("ZorManagerWnd", "wp").size(), 88u);
    EXPECT_EQ(ini.GetString("ZorManagerWnd", "wp").substr(0, 8), "2C000000");
    EXPECT_EQ(ini.GetString("Other", "keep"), "me");
}

// Every key of the settings section with its default as the operator's documentation
// gives it, in the order written, independent of the program's own key table. A default
// given by its kind only (an address of the mail domain or of the SMS gateway) is checked
// by its form.
TEST(ManagerSettings, KeysAndDefaultsAreThoseOfTheDocumentation) {
    enum Form { kExact, kMailAddress, kWebAddress, kHostName };
    struct Key {
        const char* name;
        const char* value;
        Form form = kExact;
    };
    const Key documented[] = {
        {"nViewMode", "0"},
        {"nFeedId", "0"},
        {"bHttpServ", "1"},
        {"bMapView", "0"},
        {"bCacheManage", "1"},
        {"bAlarmPopup", "0"},
        {"bConnPopup", "0"},
        {"bAlarmSound", "0"},
        {"bAlarmMails", "0"},
        {"bAlarmSms", "0"},
        {"bNoConnectionSms", "0"},
        {"sMailRecipients", ""},
        {"sDatabasePath", ""},
        {"bPrintLine", "1"},
        {"smtp_server", ""},
        {"smtp_login", ""},
        {"smtp_pass", ""},
        {"smtp_sender_name", "ZorManager"},
        {"smtp_sender_mail", "", kMailAddress},
        {"smtp_reply_to", "", kMailAddress},
        {"smtp_port", "465"},
        {"smtp_sec", "2"},
        {"clickatell_user_name", "ZorManager"},
        {"clickatell_pass", ""},
        {"clickatell_client_id", ""},
        {"clickatell_api_id", ""},
        {"clickatell_sms_gateway", "", kWebAddress},
        {"clickatell_email_address", "", kMailAddress},
        {"udp_port", "8181"},
        {"udp_enabled", "0"},
        {"udp_send_state", "1"},
        {"udp_send_data", "1"},
        {"udp_broadcast_mac", "1"},
        {"udp_ip_address", "255.255.255.255"},
        {"Current Lang", "English"},
    };
    // Keys this program adds: whether the mail server's certificate is checked (on by
    // default), right after the security mode it belongs to; and the control room's
    // broker at the end of the section, as its operator documentation lists them.
    std::vector<Key> expected = {{"wp", nullptr}};
    for (const Key& key : documented) {
        expected.push_back(key);
        if (std::string(key.name) == "smtp_sec") {
            expected.push_back({"smtp_tls_verify", "1"});
        }
    }
    const Key broker[] = {
        {"mqtt_enabled", "0"},
        {"mqtt_host", "127.0.0.1"},
        {"mqtt_port", "1883"},
        {"mqtt_tls", "0"},
        {"mqtt_user", ""},
        {"mqtt_pass", ""},
        {"mqtt_station", "", kHostName},
        {"mqtt_prefix", "zormanager"},
        {"nAlarmJournalDays", "400"},
        {"bAlarmSoundRepeat", "0"},
        // The outbox's backup account and retry time.
        {"smtp2_server", ""},
        {"smtp2_port", "465"},
        {"smtp2_sec", "2"},
        {"smtp2_tls_verify", "1"},
        {"smtp2_login", ""},
        {"smtp2_pass", ""},
        {"nMailRetryHours", "24"},
        // HTTPS off until a port is set; the certificate's files default to those that
        // --make-certificate writes.
        {"https_port", "0"},
        {"https_cert", ""},
        {"https_key", ""},
        // No outside map tiles unless the operator names them.
        {"sMapTilesUrl", ""},
        {"sMapTilesAttribution", ""},
    };
    expected.insert(expected.end(), std::begin(broker), std::end(broker));

    test::TempDir dir;
    const std::string path = dir.file("settings.ini");
    CIni ini(path);
    ManagerSettings fresh;
    fresh.Load(ini);  // no file: every default
    fresh.Save(ini);
    const std::vector<std::string> keys = KeysInFile(path, ManagerSettings::kSection);
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(keys[i], expected[i].name) << "key " << i;
        if (expected[i].value == nullptr) {
            continue;
        }
        const std::string value = ini.GetString(ManagerSettings::kSection, expected[i].name, "?");
        switch (expected[i].form) {
            case kExact:
                EXPECT_EQ(value, expected[i].value) << expected[i].name;
                break;
            case kMailAddress:
                EXPECT_NE(value.find('@'), std::string::npos) << expected[i].name << ": " << value;
                EXPECT_EQ(value.find_first_of(" ,;<>"), std::string::npos) << value;
                break;
            case kWebAddress:
                EXPECT_TRUE(value.rfind("http://", 0) == 0 || value.rfind("https://", 0) == 0)
                    << expected[i].name << ": " << value;
                break;
            case kHostName:  // this machine's name, or the product's when it has none
                EXPECT_FALSE(value.empty()) << expected[i].name;
                EXPECT_EQ(value.find_first_of(" /+#"), std::string::npos) << value;
                break;
        }
    }
    // The reply address defaults to the sender's own no-reply address.
    EXPECT_EQ(ini.GetString(ManagerSettings::kSection, "smtp_reply_to"),
              ini.GetString(ManagerSettings::kSection, "smtp_sender_mail"));
}

TEST(ManagerSettings, BadOrMissingValuesFallBackKeyByKey) {
    test::TempDir dir;
    CIni ini(dir.file("settings.ini"));
    const char* s = ManagerSettings::kSection;
    ini.WriteString(s, "wp", "2C000000000000000100000000");  // too short for a placement
    ini.WriteString(s, "smtp_port", "abc");                  // no number: 0
    ini.WriteString(s, "bNoConnectionSms", "1");
    ini.WriteString(s, "udp_ip_address", "");  // empty: the default
    ManagerSettings loaded;
    loaded.Load(ini, s, 800, 600);
    EXPECT_EQ(loaded.wp, WindowPlacement::Default(800, 600));
    EXPECT_EQ(loaded.smtp_port, 0);
    EXPECT_TRUE(loaded.bNoConnectionSms);
    EXPECT_EQ(loaded.smtp_tls_verify, 1);
    EXPECT_EQ(loaded.sCurrentLang, "English");
}

// Answers with a fixed button and counts the questions.
class AnswerPort : public UiPort {
  public:
    explicit AnswerPort(MsgResult answer) : answer_(answer) {}
    int asked = 0;
    std::string text;
    MessageBoxType type;
    MsgResult Ask(const std::string& t, MessageBoxType ty, MsgResult, const std::string&) override {
        ++asked;
        text = t;
        type = ty;
        return answer_;
    }
    void ShowAlarm(const AlarmPopupEntry&, bool) override {}
    void ShowConnectionLost(const AlarmPopupEntry&) override {}
    void ShowConnectionRestored(const std::string&) override {}
    void CloseAlarmPopup() override {}
    void PlayAlarmSound() override {}
    void StopAlarmSound() override {}
    void OpenReport(const std::string&) override {}

  private:
    MsgResult answer_;
};

TEST(ManagerSettings, CloseDecision) {
    struct Case {
        const char* name;
        bool configChanged;
        bool recordChanged;
        bool placementMoved;
        MsgResult answer;
        bool asks;
        CloseDecision expected;
    };
    const Case cases[] = {
        {"nothing changed", false, false, false, MsgResult::kYes, false, CloseDecision::kDontSave},
        {"window moved only", false, false, true, MsgResult::kNo, false, CloseDecision::kSave},
        {"switch toggled, Yes", false, true, false, MsgResult::kYes, true, CloseDecision::kSave},
        {"switch toggled, No", false, true, true, MsgResult::kNo, true, CloseDecision::kDontSave},
        {"switch toggled, Cancel", false, true, false, MsgResult::kCancel, true,
         CloseDecision::kKeepOpen},
        {"device list changed, Yes", true, false, false, MsgResult::kYes, true,
         CloseDecision::kSave},
        {"device list changed, Cancel", true, false, true, MsgResult::kCancel, true,
         CloseDecision::kKeepOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManagerSettings snapshot;
        ManagerSettings current = snapshot;
        if (c.recordChanged) {
            current.bAlarmSms = !current.bAlarmSms;
        }
        if (c.placementMoved) {
            current.wp.left += 5;
        }
        AnswerPort port(c.answer);
        EXPECT_EQ(DecideClose(current, snapshot, c.configChanged, port), c.expected);
        EXPECT_EQ(port.asked, c.asks ? 1 : 0);
        if (c.asks) {
            EXPECT_EQ(port.text, "Do you want to save configuration changes?\r\n");
            EXPECT_EQ(port.type.buttons, MsgButtons::kYesNoCancel);
            EXPECT_EQ(port.type.icon, MsgIcon::kWarning);
        }
    }
}

TEST(ManagerSettings, EveryKeyTakesPartInTheComparison) {
    // Each changed field alone must count as a change, except the placement.
    const ManagerSettings base;
    const ManagerSettings changed = Changed();
    test::TempDir dir;
    CIni ini(dir.file("x.ini"));
    changed.Save(ini);
    int differing = 0;
    for (const std::string& key : ManagerSettings::KeyNames()) {
        if (key == "wp") {
            continue;
        }
        const std::string path = dir.file("one-" + std::to_string(differing) + ".ini");
        CIniBatch batch(path);
        CIni one(path);
        base.Save(one);
        one.WriteString(ManagerSettings::kSection, key,
                        ini.GetString(ManagerSettings::kSection, key));
        ManagerSettings loaded;
        loaded.Load(one);
        EXPECT_FALSE(loaded.SameExceptPlacement(base)) << key;
        ++differing;
    }
    EXPECT_EQ(differing, 58);
}

}  // namespace
}  // namespace zm
