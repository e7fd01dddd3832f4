#include "base/DatedLogFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace zm {

namespace {

constexpr std::size_t kDateLength = 10;

// "2026-01" for a file of 2026-01-31 in ".../2026-01/" or ".../2026-01/Pier/".
bool InItsMonthFolder(const std::filesystem::path& path, const std::string& date) {
    const std::string month = date.substr(0, 7);
    for (auto dir = path.parent_path(); !dir.empty() && dir != dir.root_path();
         dir = dir.parent_path()) {
        if (dir.filename() == month) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<DatedLogFile> FindDatedLogFiles(const std::string& folder, std::string_view prefix,
                                            std::string_view suffix, std::size_t most) {
    namespace fs = std::filesystem;
    std::vector<DatedLogFile> found;
    if (folder.empty() || folder == " ") {
        return found;
    }
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (name.size() < prefix.size() + kDateLength + suffix.size() ||
            !name.starts_with(prefix) || !name.ends_with(suffix)) {
            continue;
        }
        found.push_back({name.substr(prefix.size(), kDateLength), it->path().string()});
    }
    // The directory's own order means nothing: by date, the month folder's file first.
    std::sort(found.begin(), found.end(), [](const DatedLogFile& a, const DatedLogFile& b) {
        if (a.date != b.date) {
            return a.date < b.date;
        }
        const bool aHome = InItsMonthFolder(a.path, a.date);
        const bool bHome = InItsMonthFolder(b.path, b.date);
        return aHome != bHome ? aHome : a.path < b.path;
    });
    found.erase(
        std::unique(found.begin(), found.end(),
                    [](const DatedLogFile& a, const DatedLogFile& b) { return a.date == b.date; }),
        found.end());
    if (found.size() > most) {
        found.erase(found.begin(), found.end() - static_cast<std::ptrdiff_t>(most));
    }
    return found;
}

std::string PathOfDate(const std::vector<DatedLogFile>& files, const std::string& date) {
    for (const DatedLogFile& file : files) {
        if (file.date == date) {
            return file.path;
        }
    }
    return {};
}

}  // namespace zm
