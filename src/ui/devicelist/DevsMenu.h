#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/devicelist/DeviceRow.h"
#include "ui/devicelist/Suppression.h"

namespace zm {

// Commands of the device list's context menu ("UM_ZOR_MENU_01" ...), and the ids of the
// data-log submenu.
enum DevsMenuCommand : int {
    kMenuNone = 0,
    kMenuSettings = 1,
    kMenuLinkSettings = 2,
    kMenuGetStatus = 5,
    kMenuStart = 6,
    kMenuStop = 7,
    kMenuFlyTo = 8,
    kMenuAddDevice = 10,
    kMenuRemove = 11,
    // The alarm lifecycle's commands for the selected devices.
    kMenuAcknowledge = 14,
    kMenuShelve = 15,
    kMenuUnshelve = 16,
    kMenuOutOfService = 17,
    kMenuInService = 18,
    kMenuLastCommand = kMenuInService,
    kMenuDataLogFirst = 1230,  // + position of the date
    kMenuDataLogUpdate = 1260,
};
// The registered name of a command ("UM_ZOR_MENU_01"); empty for none and the data-log ids.
std::string DevsMenuCommandName(int command);

// One item of the menu. Texts are plain: a device name is never markup and never holds a
// mnemonic (MenuPlainText makes it safe for a menu).
struct DevsMenuItem {
    enum Kind { kCommand, kSeparator, kHeader, kSubmenu };
    Kind kind = kCommand;
    std::string text;
    int command = kMenuNone;
    bool enabled = true;
    std::vector<DevsMenuItem> children;
};

struct DevsMenuState {
    std::vector<std::string> selectedNames;  // in list order
    bool advanced = false;
    bool mapShown = false;
    std::vector<std::string> dataLogDates;  // of the one selected device
    AlarmMenuState alarms;
};

// The context menu for the selection, with every condition and text of the device list.
std::vector<DevsMenuItem> BuildDevsMenu(const DevsMenuState& state);

// "&" doubled, so that a menu shows the text as it is.
std::string MenuPlainText(const std::string& text);

// Column widths: a shown column gets the largest of its title's width + 15 and each row's
// text width + 15 (+ 20 where the cell shows the status image); hidden columns get 0.
std::vector<int> FitColumnWidths(const std::vector<DeviceRow>& rows, bool advanced,
                                 const std::function<int(const std::string&)>& textWidth);

// The data-log dates of a device: files "<prefix><10-character date>...txt" in the logs
// root and its subfolders (every month's), where the prefix is "DataLog_<id>_<name>_".
// Each date once, sorted, at most the latest 29.
std::vector<std::string> FindDataLogDates(const std::string& logFolder, const std::string& idText,
                                          const std::string& deviceName);
// The file a chosen date opens: the one found, else folder + name + "/" + its file name.
std::string DataLogFileFor(const std::string& logFolder, const std::string& idText,
                           const std::string& deviceName, const std::string& date);

// One device of the status report: its name, the time of its data and its status text.
struct StatusReportEntry {
    std::string name;
    std::string since;
    std::string status;
};
// "Selected device(s):" and "\r\n- %s %s (%s %s):\r\n%s" for each device.
std::string StatusReportText(const std::vector<StatusReportEntry>& entries);

}  // namespace zm
