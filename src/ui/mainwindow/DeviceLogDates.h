#pragma once

#include <string>
#include <vector>

namespace zm {

// The dates of the device logs in the month's log folder and its subfolders: the ten
// characters after "DevLog_" of every "*.html" file, oldest first, at most the last 29.
std::vector<std::string> FindDeviceLogDates(const std::string& logFolder);

// The device log of a date: log folder + "DevLog_" + date + ".html".
std::string DeviceLogPath(const std::string& logFolder, const std::string& date);

}  // namespace zm
