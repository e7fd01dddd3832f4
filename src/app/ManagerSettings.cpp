#include "app/ManagerSettings.h"

#include <algorithm>
#include <variant>

#include "base/Ini.h"
#include "platform/SystemInfo.h"

namespace zm {

namespace {

using Member =
    std::variant<int ManagerSettings::*, bool ManagerSettings::*, std::string ManagerSettings::*>;

struct Key {
    const char* name;
    Member member;
};

// Every key after "wp", in the order the file holds them. Load, Save and the comparison
// all walk this one table, so the three cannot drift apart.
const std::vector<Key>& Keys() {
    using S = ManagerSettings;
    static const std::vector<Key> keys = {
        {"nViewMode", &S::nViewMode},
        {"nFeedId", &S::nFeedId},
        {"bHttpServ", &S::bHttpServ},
        {"bMapView", &S::bMapView},
        {"bCacheManage", &S::bCacheManage},
        {"bAlarmPopup", &S::bAlarmPopup},
        {"bConnPopup", &S::bConnPopup},
        {"bAlarmSound", &S::bAlarmSound},
        {"bAlarmMails", &S::bAlarmMails},
        {"bAlarmSms", &S::bAlarmSms},
        {"bNoConnectionSms", &S::bNoConnectionSms},
        {"sMailRecipients", &S::sMailRecipients},
        {"sDatabasePath", &S::sDatabasePath},
        {"bPrintLine", &S::bPrintLine},
        {"smtp_server", &S::smtp_server},
        {"smtp_login", &S::smtp_login},
        {"smtp_pass", &S::smtp_pass},
        {"smtp_sender_name", &S::smtp_sender_name},
        {"smtp_sender_mail", &S::smtp_sender_mail},
        {"smtp_reply_to", &S::smtp_reply_to},
        {"smtp_port", &S::smtp_port},
        {"smtp_sec", &S::smtp_sec},
        {"smtp_tls_verify", &S::smtp_tls_verify},
        {"clickatell_user_name", &S::clickatell_user_name},
        {"clickatell_pass", &S::clickatell_pass},
        {"clickatell_client_id", &S::clickatell_client_id},
        {"clickatell_api_id", &S::clickatell_api_id},
        {"clickatell_sms_gateway", &S::clickatell_sms_gateway},
        {"clickatell_email_address", &S::clickatell_email_address},
        {"udp_port", &S::udp_port},
        {"udp_enabled", &S::udp_enabled},
        {"udp_send_state", &S::udp_send_state},
        {"udp_send_data", &S::udp_send_data},
        {"udp_broadcast_mac", &S::udp_broadcast_mac},
        {"udp_ip_address", &S::udp_ip_address},
        {"Current Lang", &S::sCurrentLang},
        {"mqtt_enabled", &S::mqtt_enabled},
        {"mqtt_host", &S::mqtt_host},
        {"mqtt_port", &S::mqtt_port},
        {"mqtt_tls", &S::mqtt_tls},
        {"mqtt_user", &S::mqtt_user},
        {"mqtt_pass", &S::mqtt_pass},
        {"mqtt_station", &S::mqtt_station},
        {"mqtt_prefix", &S::mqtt_prefix},
        {"nAlarmJournalDays", &S::nAlarmJournalDays},
        {"bAlarmSoundRepeat", &S::bAlarmSoundRepeat},
        // The outbox: the backup mail account and how long a message is retried.
        {"smtp2_server", &S::smtp2_server},
        {"smtp2_port", &S::smtp2_port},
        {"smtp2_sec", &S::smtp2_sec},
        {"smtp2_tls_verify", &S::smtp2_tls_verify},
        {"smtp2_login", &S::smtp2_login},
        {"smtp2_pass", &S::smtp2_pass},
        {"nMailRetryHours", &S::nMailRetryHours},
        {"https_port", &S::https_port},
        {"https_cert", &S::https_cert},
        {"https_key", &S::https_key},
        {"sMapTilesUrl", &S::sMapTilesUrl},
        {"sMapTilesAttribution", &S::sMapTilesAttribution},
    };
    return keys;
}

void PutLe32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    p[0] = static_cast<std::uint8_t>(u);
    p[1] = static_cast<std::uint8_t>(u >> 8);
    p[2] = static_cast<std::uint8_t>(u >> 16);
    p[3] = static_cast<std::uint8_t>(u >> 24);
}

std::int32_t GetLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

std::array<std::uint8_t, WindowPlacement::kSize> WindowPlacement::ToBytes() const {
    std::array<std::uint8_t, kSize> bytes{};
    const std::int32_t fields[11] = {length, flags, showCmd, minX,  minY,  maxX,
                                     maxY,   left,  top,     right, bottom};
    for (int i = 0; i < 11; ++i) {
        PutLe32(bytes.data() + 4 * i, fields[i]);
    }
    return bytes;
}

WindowPlacement WindowPlacement::FromBytes(const std::uint8_t* bytes) {
    WindowPlacement wp;
    std::int32_t* fields[11] = {&wp.length, &wp.flags, &wp.showCmd, &wp.minX,  &wp.minY,  &wp.maxX,
                                &wp.maxY,   &wp.left,  &wp.top,     &wp.right, &wp.bottom};
    for (int i = 0; i < 11; ++i) {
        *fields[i] = GetLe32(bytes + 4 * i);
    }
    return wp;
}

WindowPlacement WindowPlacement::Default(const ScreenRect& screen) {
    const int screenWidth = std::max(screen.width, 0);
    const int screenHeight = std::max(screen.height, 0);
    const int width = std::min(1200, screenWidth);
    const int height = std::min(700, screenHeight);
    WindowPlacement wp;
    wp.left = screen.left + (screenWidth - width) / 2;
    wp.top = screen.top + (screenHeight - height) / 2;
    wp.right = wp.left + width;
    wp.bottom = wp.top + height;
    return wp;
}

std::string ManagerSettings::DefaultMqttStation() {
    const std::string host = platform::HostName();
    return host.empty() ? std::string("zormanager") : host;
}

const std::vector<std::string>& ManagerSettings::KeyNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list{"wp"};
        for (const Key& key : Keys()) {
            list.emplace_back(key.name);
        }
        return list;
    }();
    return names;
}

void ManagerSettings::Load(const CIni& ini, const std::string& section, const ScreenRect& screen) {
    const ManagerSettings defaults;
    CIniBatch batch(ini.GetPathName());  // one parse for all keys
    std::uint8_t block[WindowPlacement::kSize] = {};
    const int count = ini.GetDataBlock(section, "wp", block, WindowPlacement::kSize, 0);
    wp = count == WindowPlacement::kSize ? WindowPlacement::FromBytes(block)
                                         : WindowPlacement::Default(screen);
    wp.length = WindowPlacement::kSize;
    for (const Key& key : Keys()) {
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, int>) {
                    this->*member = ini.GetInt(section, key.name, defaults.*member);
                } else if constexpr (std::is_same_v<T, bool>) {
                    this->*member = ini.GetBool(section, key.name, defaults.*member);
                } else {
                    this->*member = ini.GetString(section, key.name, defaults.*member);
                }
            },
            key.member);
    }
}

void ManagerSettings::Save(CIni& ini, const std::string& section) const {
    CIniBatch batch(ini.GetPathName());  // one write for all keys
    WindowPlacement placement = wp;
    placement.length = WindowPlacement::kSize;
    const auto bytes = placement.ToBytes();
    ini.WriteDataBlock(section, "wp", bytes.data(), WindowPlacement::kSize);
    for (const Key& key : Keys()) {
        std::visit(
            [&](auto member) {
                using T = std::remove_cvref_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, int>) {
                    ini.WriteInt(section, key.name, this->*member);
                } else if constexpr (std::is_same_v<T, bool>) {
                    ini.WriteBool(section, key.name, this->*member);
                } else {
                    ini.WriteString(section, key.name, this->*member);
                }
            },
            key.member);
    }
}

bool ManagerSettings::SameExceptPlacement(const ManagerSettings& other) const {
    for (const Key& key : Keys()) {
        const bool same =
            std::visit([&](auto member) { return this->*member == other.*member; }, key.member);
        if (!same) {
            return false;
        }
    }
    return true;
}

CloseDecision DecideClose(const ManagerSettings& current, const ManagerSettings& snapshot,
                          bool configChanged, UiPort& ui) {
    if (configChanged || !current.SameExceptPlacement(snapshot)) {
        const MsgResult answer = ui.Ask(
            kSaveChangesQuestion, {MsgButtons::kYesNoCancel, MsgIcon::kWarning}, MsgResult::kYes);
        if (answer == MsgResult::kYes) {
            return CloseDecision::kSave;
        }
        if (answer == MsgResult::kNo) {
            return CloseDecision::kDontSave;
        }
        return CloseDecision::kKeepOpen;
    }
    return current.wp == snapshot.wp ? CloseDecision::kDontSave : CloseDecision::kSave;
}

}  // namespace zm
