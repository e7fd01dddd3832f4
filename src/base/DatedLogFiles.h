#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zm {

// One log file of a date, found on disk.
struct DatedLogFile {
    std::string date;  // the ten characters after the prefix, "%Y-%m-%d"
    std::string path;
};

// The files "<prefix><10-character date>...<suffix>" in a folder and all its subfolders
// (the logs root holds one folder per month): one per date, oldest first, at most the
// newest `most`. When a date has several files, the one in the date's own month folder
// counts, otherwise the first by path.
std::vector<DatedLogFile> FindDatedLogFiles(const std::string& folder, std::string_view prefix,
                                            std::string_view suffix, std::size_t most);

// The path of a date among the files found; empty when the date is not among them.
std::string PathOfDate(const std::vector<DatedLogFile>& files, const std::string& date);

}  // namespace zm
