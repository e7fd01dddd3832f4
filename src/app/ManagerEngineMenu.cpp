// The engine's side of the main window's menu: device-list files, the File and Mail
// menus' files, the GeoPreview switches' state, advanced mode, the language and the UDP
// dialog.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AlarmActions.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerEngine.h"
#include "app/OperationScope.h"
#include "base/AppLogs.h"
#include "base/DatedLogFiles.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/TextFile.h"
#include "base/texts/WindowTexts.h"

namespace zm {

bool CManagerEngine::SaveDeviceList(const std::string& path, std::string* error) {
    configChanged_ = true;
    // The file is tried first: a folder without write access would otherwise lose the
    // list without a word.
    FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        const std::string reason =
            StrPrintf("cannot write %s (%s)", path.c_str(), std::strerror(errno));
        RunLog().AddError("<li><dt> Device list not saved: %s</li>", HtmlEscaped(reason).c_str());
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    }
    std::fclose(file);
    CIni ini(path);
    registry_.SaveDevices(ini);
    return true;
}

bool CManagerEngine::LoadDeviceList(const std::string& path, std::string* error) {
    // A close asked for meanwhile (a signal, the window's close box) waits for the whole
    // load: the list it saves is then the new one, never half of the old.
    COperationTracker::Scope operation(registry_.Operations());
    configChanged_ = true;
    CIni ini(path);
    std::string reason;
    if (!CheckDeviceListFile(path, ini, &reason)) {
        RunLog().AddError("<li><dt> Device list not loaded: %s</li>", HtmlEscaped(reason).c_str());
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    }
    const bool viewerWasOn = settings_.bHttpServ && settings_.bMapView;
    if (viewerWasOn) {
        SetMapViewer(false);
    }
    registry_.LoadDevices(ini);
    if (viewerWasOn) {
        SetMapViewer(true);
    }
    registry_.ApplyAllDevices();
    RefreshViews();
    return true;
}

bool CManagerEngine::CheckDeviceListFile(const std::string& path, CIni& ini,
                                         std::string* error) const {
    // A missing or unreadable file is not an empty list: every device would stop
    // monitoring.
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = StrPrintf("cannot read %s (%s)", path.c_str(), std::strerror(errno));
        return false;
    }
    std::fclose(file);
    // Nor is a file without any section (emptied, or not an INI file at all).
    std::vector<std::string> sections;
    ini.GetSectionNames(sections);
    if (sections.empty()) {
        *error = StrPrintf("%s holds no sections", path.c_str());
        return false;
    }
    return true;
}

namespace {

constexpr std::string_view kDeviceLogPrefix = "DevLog_";
constexpr std::string_view kDeviceLogSuffix = ".html";

}  // namespace

std::vector<std::string> CManagerEngine::DeviceLogDates(const std::string& logsRoot) {
    std::vector<std::string> dates;
    for (const DatedLogFile& file :
         FindDatedLogFiles(logsRoot, kDeviceLogPrefix, kDeviceLogSuffix, kMaxDeviceLogDates)) {
        dates.push_back(file.date);
    }
    return dates;
}

std::string CManagerEngine::DeviceLogPath(const std::string& logsRoot, const std::string& date) {
    std::string path = PathOfDate(
        FindDatedLogFiles(logsRoot, kDeviceLogPrefix, kDeviceLogSuffix, kMaxDeviceLogDates), date);
    return path.empty()
               ? logsRoot + std::string(kDeviceLogPrefix) + date + std::string(kDeviceLogSuffix)
               : path;
}

std::string CManagerEngine::PrepareExtraTextFile() {
    const std::string path = MailExtraTextPath();
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return path;
    }
    return AppendTextFile(path, "", false, TextEncoding::TextAnsi) ? path : std::string();
}

std::string CManagerEngine::ProposedDeviceListName(bool saving, std::time_t now) {
    if (!saving) {
        return "Zor-Device";
    }
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    return std::string("Zor-Device") + "s-" + date;
}

CManagerEngine::GeoPreviewMenu CManagerEngine::GetGeoPreviewMenu() const {
    GeoPreviewMenu menu;
    menu.serverEnabled = internet_;
    menu.serverChecked = settings_.bHttpServ;
    menu.viewerEnabled = internet_ && settings_.bHttpServ;
    menu.viewerChecked = settings_.bHttpServ && settings_.bMapView;
    menu.previewEnabled = menu.viewerEnabled;
    return menu;
}

bool CManagerEngine::ToggleAdvancedMode() {
    if (!advancedMode_) {
        const MsgResult answer = ui_.Ask(Translate(texts::tpZorManagerWnd_Advanced_mode_allows),
                                         {MsgButtons::kYesNo, MsgIcon::kWarning}, MsgResult::kNo);
        if (answer != MsgResult::kYes) {
            return false;
        }
    }
    return SetAdvancedMode(!advancedMode_, true);
}

bool CManagerEngine::SetAdvancedMode(bool on, bool withMessage) {
    if (on == advancedMode_) {
        return false;
    }
    advancedMode_ = on;
    advancedListeners_.Notify(on);
    RefreshViews();
    if (withMessage) {
        const std::string text =
            Translate(texts::tpZorManagerWnd_Advanced_mode_now) + " " +
            Translate(on ? texts::tpZorManagerWnd_ON : texts::tpZorManagerWnd_OFF);
        ui_.Ask(text, {MsgButtons::kOk, MsgIcon::kInformation}, MsgResult::kOk);
    }
    return true;
}

bool CManagerEngine::IsViewAvailable(int index) const {
    if (index < 0 || index >= kViewCount) {
        return false;
    }
    return index != kRunLogView || advancedMode_;
}

std::vector<std::string> CManagerEngine::LanguageMenu() const {
    std::vector<std::string> names;
    if (const CMlsPrgMsg* mls = CMlsPrgMsg::Instance()) {
        names = mls->GetLanguages();
    }
    if (names.size() < 2) {
        return {};
    }
    if (names.size() > static_cast<std::size_t>(kMaxLanguageItems)) {
        names.resize(kMaxLanguageItems);
    }
    return names;
}

std::string CManagerEngine::CurrentLanguage() const {
    const CMlsPrgMsg* mls = CMlsPrgMsg::Instance();
    return mls ? mls->GetCurrentLanguage() : std::string(CMlsPrgMsg::kEnglish);
}

bool CManagerEngine::SelectLanguageCommand(int command, bool ctrlHeld) {
    const std::vector<std::string> names = LanguageMenu();
    const int index = command - kFirstLanguageCommand;
    if (index < 0 || index >= static_cast<int>(names.size())) {
        return false;
    }
    return SwitchLanguage(names[static_cast<std::size_t>(index)], ctrlHeld);
}

bool CManagerEngine::SwitchLanguage(const std::string& name, bool ctrlHeld) {
    const std::string before = CurrentLanguage();
    if (name == before) {
        return false;
    }
    ApplyLanguage(name, ctrlHeld);
    // A file that could not be used may have left the language as it was.
    return CurrentLanguage() != before;
}

void CManagerEngine::ApplyLanguage(const std::string& name, bool ctrlHeld) {
    if (CMlsPrgMsg* mls = CMlsPrgMsg::Instance()) {
        mls->SwitchLanguage(name, ctrlHeld);
        // A file that could not be used left English current: that is what is kept, so
        // that the next start does not stumble over the same file.
        settings_.sCurrentLang = mls->GetCurrentLanguage();
    }
    retranslateListeners_.Notify();
}

UdpSettings CManagerEngine::GetUdpSettings() const {
    UdpSettings udp;
    udp.bEnabled = settings_.udp_enabled != 0;
    udp.bSendState = settings_.udp_send_state != 0;
    udp.bSendData = settings_.udp_send_data != 0;
    udp.nPort = settings_.udp_port;
    udp.bBroadcastMac = settings_.udp_broadcast_mac != 0;
    udp.sIpAddress = settings_.udp_ip_address;
    return udp;
}

void CManagerEngine::SetUdpSettings(const UdpSettings& udp) {
    settings_.udp_enabled = udp.bEnabled ? 1 : 0;
    settings_.udp_send_state = udp.bSendState ? 1 : 0;
    settings_.udp_send_data = udp.bSendData ? 1 : 0;
    settings_.udp_port = udp.nPort;
    settings_.udp_broadcast_mac = udp.bBroadcastMac ? 1 : 0;
    settings_.udp_ip_address = udp.sIpAddress;
    udp_.SetSettings(udp);
}

}  // namespace zm
