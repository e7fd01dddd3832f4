#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "store/Database.h"
#include "store/Schema.h"

namespace zm {
class CLog;
}

namespace zm::store {

// What happened when a store's file was opened.
struct OpenOutcome {
    bool recreated = false;  // the old file was unusable and went aside
    std::string asidePath;   // where it went (empty when it could not be moved)
    std::string reason;      // why it was unusable
    bool inMemory = false;   // not even a new file could be made: this run keeps it in memory
};

// "<path>.damaged-YYYYMMDD-HHMMSS" in local time; a number is added when that name is taken.
std::string AsidePathFor(const std::string& path, std::int64_t when);

// Opens a store's file for writing and brings its schema up to date. A file that cannot be
// opened, is damaged or is newer than the migrations is moved aside with a time stamp
// (with its -wal and -shm files) and a new one is started; the run log gets a red entry
// naming both. When no file can be made at all the store lives in memory for this run, so
// the caller always gets an open database and the monitoring goes on.
CDatabase OpenStoreFile(const std::string& path, std::span<const Migration> migrations,
                        const OpenOptions& options, CLog* runLog, OpenOutcome* outcome = nullptr);

}  // namespace zm::store
