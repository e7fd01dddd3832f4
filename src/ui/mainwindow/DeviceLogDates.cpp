#include "ui/mainwindow/DeviceLogDates.h"

#include <algorithm>
#include <filesystem>

#include "ui/mainwindow/CommandIds.h"

namespace zm {

std::vector<std::string> FindDeviceLogDates(const std::string& logFolder) {
    static constexpr std::string_view kPrefix = "DevLog_";
    static constexpr std::string_view kExtension = ".html";
    static constexpr size_t kDateLength = 10;
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(logFolder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (name.size() >= kPrefix.size() + kDateLength + kExtension.size() &&
            name.compare(0, kPrefix.size(), kPrefix) == 0 &&
            name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) == 0) {
            names.push_back(name);
        }
    }
    // The directory search of the system the logs were made on returned names in order;
    // here the order is made explicit, so that the last 29 are the newest.
    std::sort(names.begin(), names.end());
    std::vector<std::string> dates;
    for (const std::string& name : names) {
        dates.push_back(name.substr(kPrefix.size(), kDateLength));
    }
    if (dates.size() > static_cast<size_t>(cmd::kMaxDeviceLogs)) {
        dates.erase(dates.begin(), dates.end() - cmd::kMaxDeviceLogs);
    }
    return dates;
}

std::string DeviceLogPath(const std::string& logFolder, const std::string& date) {
    return logFolder + "DevLog_" + date + ".html";
}

}  // namespace zm
