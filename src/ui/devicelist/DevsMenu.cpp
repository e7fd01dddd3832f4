#include "ui/devicelist/DevsMenu.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/DatedLogFiles.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/texts/WindowTexts.h"
#include "device/zor/ZorDataLogFiles.h"
#include "ui/alarms/LifecycleTexts.h"

namespace zm {

namespace {

constexpr size_t kMostDates = 29;

std::string ViewTr(const CMlsEntry& entry) {
    return Translate(entry, "ZorDevsView");
}

DevsMenuItem Command(std::string text, int command, bool enabled = true) {
    DevsMenuItem item;
    item.text = std::move(text);
    item.command = command;
    item.enabled = enabled;
    return item;
}

DevsMenuItem Separator() {
    DevsMenuItem item;
    item.kind = DevsMenuItem::kSeparator;
    return item;
}

std::string DataLogPrefix(const std::string& idText, const std::string& deviceName) {
    return "DataLog_" + ZorFileNamePart(idText) + "_" + ZorFileNamePart(deviceName) + "_";
}

std::string UsableFolder(const std::string& folder) {
    if (folder.empty() || folder == " ") {
        return {};
    }
    return folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

std::string DevsMenuCommandName(int command) {
    if (command < kMenuSettings || command > kMenuLastCommand) {
        return {};
    }
    return StrPrintf("UM_ZOR_MENU_%02d", command);
}

std::vector<DevsMenuItem> BuildDevsMenu(const DevsMenuState& state) {
    using namespace texts;
    const size_t d = state.selectedNames.size();
    std::vector<DevsMenuItem> menu;
    if (d > 1) {
        DevsMenuItem header;
        header.kind = DevsMenuItem::kHeader;
        header.text = StrPrintf("%s (%d):", ViewTr(tpZorDevsView_MultipleSelect).c_str(), int(d));
        menu.push_back(header);
    }
    if (d == 1) {
        const std::string& name = state.selectedNames[0];
        menu.push_back(Command(
            StrPrintf("\"%s\" => %s ...", name.c_str(), ViewTr(tpZorDevsView_Settings).c_str()),
            kMenuSettings));
        menu.push_back(Command(
            StrPrintf("\"%s\" => %s ...", name.c_str(), ViewTr(tpZorDevsView_LinkSettings).c_str()),
            kMenuLinkSettings));
    }
    if (d >= 1 && state.advanced) {
        menu.push_back(Separator());
        menu.push_back(Command(ViewTr(tpZorDevsView_GetStatus), kMenuGetStatus));
    }
    if (d >= 1) {
        menu.push_back(Separator());
        menu.push_back(Command(ViewTr(tpZorDevsView_Start), kMenuStart));
        menu.push_back(Command(ViewTr(tpZorDevsView_Stop), kMenuStop));
    }
    if (d >= 1 && state.alarms.offered) {
        // Every item is there whenever devices are selected, so the operator finds them in
        // one place; those that would change nothing are greyed.
        const AlarmMenuState& a = state.alarms;
        menu.push_back(Separator());
        menu.push_back(
            Command(ViewTr(tpZorDevsView_AcknowledgeAlarm), kMenuAcknowledge, a.unacked > 0));
        menu.push_back(
            Command(ViewTr(tpZorDevsView_ShelveAlarms), kMenuShelve, a.free + a.shelved > 0));
        menu.push_back(Command(ViewTr(tpZorDevsView_Unshelve), kMenuUnshelve, a.shelved > 0));
        menu.push_back(Command(ViewTr(tpZorDevsView_TakeOutOfService), kMenuOutOfService,
                               a.free + a.shelved > 0));
        menu.push_back(
            Command(ViewTr(tpZorDevsView_ReturnToService), kMenuInService, a.outOfService > 0));
    }
    if (state.mapShown) {
        const CMlsEntry& fly = d == 0   ? tpZorDevsView_FlyToAllDevices
                               : d == 1 ? tpZorDevsView_FlyToThisDevice
                                        : tpZorDevsView_FlyToDevices;
        menu.push_back(Command(ViewTr(fly), kMenuFlyTo));
    }
    menu.push_back(Separator());
    menu.push_back(Command(ViewTr(tpZorDevsView_AddNewDevice), kMenuAddDevice));
    if (d >= 1) {
        menu.push_back(
            Command(ViewTr(d == 1 ? tpZorDevsView_RemoveThisDevice : tpZorDevsView_RemoveDevices),
                    kMenuRemove));
    }
    if (d == 1) {
        menu.push_back(Separator());
        DevsMenuItem logs;
        logs.kind = DevsMenuItem::kSubmenu;
        logs.text = ViewTr(tpZorDevsView_OpenDataLog);
        for (size_t i = 0; i < state.dataLogDates.size(); ++i) {
            logs.children.push_back(Command(state.dataLogDates[i], kMenuDataLogFirst + int(i)));
        }
        logs.children.push_back(Separator());
        logs.children.push_back(Command("Update this list", kMenuDataLogUpdate));
        menu.push_back(logs);
    }
    return menu;
}

std::string MenuPlainText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '&') {
            out += '&';
        }
    }
    return out;
}

std::vector<int> FitColumnWidths(const std::vector<DeviceRow>& rows, bool advanced,
                                 const std::function<int(const std::string&)>& textWidth) {
    std::vector<int> widths(kDevListColumns, 0);
    for (int c = 0; c < kDevListColumns; ++c) {
        if (!IsDevListColumnShown(c, advanced)) {
            continue;
        }
        int width = textWidth(DevListColumnText(c)) + 15;
        for (const DeviceRow& row : rows) {
            int cell = textWidth(row.cells[size_t(c)]) + 15 + (c == kColSensor ? 20 : 0);
            width = std::max(width, cell);
        }
        widths[size_t(c)] = width;
    }
    return widths;
}

std::vector<std::string> FindDataLogDates(const std::string& logFolder, const std::string& idText,
                                          const std::string& deviceName) {
    std::vector<std::string> dates;
    for (const DatedLogFile& file : FindDatedLogFiles(
             UsableFolder(logFolder), DataLogPrefix(idText, deviceName), ".txt", kMostDates)) {
        dates.push_back(file.date);
    }
    return dates;
}

std::string DataLogFileFor(const std::string& logFolder, const std::string& idText,
                           const std::string& deviceName, const std::string& date) {
    const std::string folder = UsableFolder(logFolder);
    std::string found = PathOfDate(
        FindDatedLogFiles(folder, DataLogPrefix(idText, deviceName), ".txt", kMostDates), date);
    if (!found.empty()) {
        return found;
    }
    return folder + ZorFileNamePart(deviceName) + "/" + DataLogPrefix(idText, deviceName) +
           ZorFileNamePart(date) + ".txt";
}

std::string StatusReportText(const std::vector<StatusReportEntry>& entries) {
    using namespace texts;
    std::string text = ViewTr(tpZorDevsView_SelectedDevice);
    for (const StatusReportEntry& e : entries) {
        text += StrPrintf("\r\n- %s %s (%s %s):\r\n%s", e.name.c_str(),
                          ViewTr(tpZorDevsView_status).c_str(), ViewTr(tpZorDevsView_since).c_str(),
                          e.since.c_str(), e.status.c_str());
    }
    return text;
}

}  // namespace zm
