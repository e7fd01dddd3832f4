#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace zm {

// The file dialog of "Save List of Devices as..." and "Load List of Devices...": INI files,
// starting in the documents folder, proposing "Zor-Device" for loading and
// "Zor-Devices-<local date>" for saving; saving asks before overwriting. Empty when the
// operator cancelled.
std::optional<std::string> ChooseDeviceListFile(QWidget* parent, bool save);

// The name the dialog proposes.
std::string ProposedDeviceListName(bool save);

// Tests answer the dialog in advance: the hook gets the save flag, the starting folder and
// the proposed name and returns the chosen path (or nothing for Cancel).
using DeviceListFileHook = std::function<std::optional<std::string>(
    bool save, const std::string& folder, const std::string& proposed)>;
void SetDeviceListFileHook(DeviceListFileHook hook);

}  // namespace zm
