#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/UiPort.h"

namespace zm {

class CIni;

// The usable area of the screen the main window opens on (the front end's available
// geometry: a panel or a second monitor moves its corner away from 0, 0).
struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 1920;
    int height = 1080;
    bool operator==(const ScreenRect&) const = default;
};

// The main window's placement as the settings file keeps it ("wp"): eleven little-endian
// 32-bit fields, 44 bytes.
struct WindowPlacement {
    static constexpr int kSize = 44;
    static constexpr std::int32_t kShowNormal = 1;
    static constexpr std::int32_t kShowMinimized = 2;
    static constexpr std::int32_t kShowMaximized = 3;

    std::int32_t length = kSize;
    std::int32_t flags = 0;
    std::int32_t showCmd = kShowNormal;
    std::int32_t minX = -1, minY = -1;
    std::int32_t maxX = -1, maxY = -1;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;

    std::array<std::uint8_t, kSize> ToBytes() const;
    static WindowPlacement FromBytes(const std::uint8_t* bytes);

    // A normal window of 1200 x 700 (each cut to the screen) centred on the screen.
    static WindowPlacement Default(const ScreenRect& screen);
    static WindowPlacement Default(int screenWidth, int screenHeight) {
        return Default(ScreenRect{0, 0, screenWidth, screenHeight});
    }

    bool operator==(const WindowPlacement&) const = default;
};

// The operator's settings: the keys of section "ZorManagerWnd", in the order they are
// written. Fields carry the key names.
struct ManagerSettings {
    static constexpr const char* kSection = "ZorManagerWnd";
    static constexpr const char* kDefaultSenderMail = "no-reply@zormanager.com";
    static constexpr const char* kDefaultSmsGateway = "https://www.clickatell.com";
    static constexpr const char* kDefaultSmsMailAddress = "sms@messaging.clickatell.com";

    WindowPlacement wp;
    int nViewMode = 0;
    int nFeedId = 0;
    bool bHttpServ = true;
    bool bMapView = false;
    bool bCacheManage = true;
    bool bAlarmPopup = false;
    bool bConnPopup = false;
    bool bAlarmSound = false;
    bool bAlarmMails = false;
    bool bAlarmSms = false;
    bool bNoConnectionSms = false;
    std::string sMailRecipients;
    std::string sDatabasePath;
    bool bPrintLine = true;
    std::string smtp_server;
    std::string smtp_login;
    std::string smtp_pass;
    std::string smtp_sender_name = "ZorManager";
    std::string smtp_sender_mail = kDefaultSenderMail;
    std::string smtp_reply_to = kDefaultSenderMail;
    int smtp_port = 465;
    int smtp_sec = 2;
    int smtp_tls_verify = 1;  // check the server's certificate (0: do not)
    // The backup account, tried when the primary failed twice in a row for a message;
    // no server: none.
    std::string smtp2_server;
    int smtp2_port = 465;
    int smtp2_sec = 2;
    int smtp2_tls_verify = 1;
    std::string smtp2_login;
    std::string smtp2_pass;
    int nMailRetryHours = 24;  // an alert mail or SMS is retried this long, then given up
    std::string clickatell_user_name = "ZorManager";
    std::string clickatell_pass;
    std::string clickatell_client_id;
    std::string clickatell_api_id;
    std::string clickatell_sms_gateway = kDefaultSmsGateway;
    std::string clickatell_email_address = kDefaultSmsMailAddress;
    int udp_port = 8181;
    int udp_enabled = 0;
    int udp_send_state = 1;
    int udp_send_data = 1;
    int udp_broadcast_mac = 1;
    std::string udp_ip_address = "255.255.255.255";
    std::string sCurrentLang = "English";  // key "Current Lang"
    // Publishing to an MQTT broker for control rooms; set in the file, applied at start
    // and by the headless server's reload.
    int mqtt_enabled = 0;
    std::string mqtt_host = "127.0.0.1";
    int mqtt_port = 1883;
    int mqtt_tls = 0;  // TLS, the broker's certificate checked against the system's CAs
    std::string mqtt_user;
    std::string mqtt_pass;  // stored as plain text, like the other passwords
    std::string mqtt_station = DefaultMqttStation();
    std::string mqtt_prefix = "zormanager";
    // The alarm journal: days a closed alarm is kept (values below 1 mean the default),
    // and the alert sound repeated every 30 s while any alarm is unacknowledged.
    int nAlarmJournalDays = kDefaultAlarmJournalDays;
    bool bAlarmSoundRepeat = false;
    static constexpr int kDefaultAlarmJournalDays = 400;
    // HTTPS beside the plain port: 0 is off. Empty paths are the files that
    // "zormanagerd --make-certificate" writes; a relative path is under the configuration
    // folder. Applied at every start of the web server.
    int https_port = 0;
    std::string https_cert;
    std::string https_key;
    // Outside map tiles drawn over the station's own base map where they load
    // ("https://{s}.tile.example.org/{z}/{x}/{y}.png"); empty: none.
    std::string sMapTilesUrl;
    std::string sMapTilesAttribution;

    // The computer's host name, or "zormanager" when it has none.
    static std::string DefaultMqttStation();

    // The screen the default placement is centred on, when the front end cannot tell.
    static constexpr int kAssumedScreenWidth = 1920;
    static constexpr int kAssumedScreenHeight = 1080;

    // Reads the section; missing keys give their defaults and a placement of any other
    // length than 44 bytes the default placement on the given screen.
    void Load(const CIni& ini, const std::string& section, const ScreenRect& screen);
    void Load(const CIni& ini, const std::string& section = kSection,
              int screenWidth = kAssumedScreenWidth, int screenHeight = kAssumedScreenHeight) {
        Load(ini, section, ScreenRect{0, 0, screenWidth, screenHeight});
    }
    // Writes "wp" and then every other key in table order.
    void Save(CIni& ini, const std::string& section = kSection) const;

    // Equal in every key except the placement.
    bool SameExceptPlacement(const ManagerSettings& other) const;

    // The key names in the order they are written ("wp" first).
    static const std::vector<std::string>& KeyNames();
};

// What closing the main window does with the settings.
enum class CloseDecision {
    kKeepOpen,  // the operator cancelled
    kSave,
    kDontSave,
};

inline constexpr const char* kSaveChangesQuestion =
    "Do you want to save configuration changes?\r\n";

// The close decision: a changed configuration or record asks (Yes, No, Cancel) through
// the UiPort, whose safe answer is Yes, so that nobody's changes are lost unasked; an
// unchanged record is saved exactly when the placement moved.
CloseDecision DecideClose(const ManagerSettings& current, const ManagerSettings& snapshot,
                          bool configChanged, UiPort& ui);

}  // namespace zm
