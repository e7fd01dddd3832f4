#include "store/StoreFile.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "base/Log.h"
#include "base/Printf.h"

namespace zm::store {

namespace {

// A dangling link counts too: the path is taken either way.
bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() !=
               std::filesystem::file_type::not_found &&
           !error;
}

// The whole check: the file opens, its pages are sound and its schema is current.
bool OpenChecked(CDatabase& db, const std::string& path, std::span<const Migration> migrations,
                 const OpenOptions& options, std::string* why) {
    if (!db.Open(path, options)) {
        *why = db.LastError();
        return false;
    }
    CStatement check = db.Prepare("PRAGMA quick_check(1)");
    if (!check.IsValid() || !check.Step() || check.Text(0) != "ok") {
        *why = check.IsValid() && !check.Failed() ? "damaged: " + check.Text(0) : db.LastError();
        db.Close();
        return false;
    }
    check = CStatement();
    if (!Migrate(db, migrations, why)) {
        db.Close();
        return false;
    }
    return true;
}

bool MoveAside(const std::string& path, const std::string& aside) {
    bool moved = true;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string from = path + suffix;
        if (Exists(from) && std::rename(from.c_str(), (aside + suffix).c_str()) != 0) {
            moved = false;
        }
    }
    return moved;
}

}  // namespace

std::string AsidePathFor(const std::string& path, std::int64_t when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string aside = path + ".damaged-" + stamp;
    for (int n = 2; Exists(aside) && n < 1000; ++n) {
        aside = StrPrintf("%s.damaged-%s-%d", path.c_str(), stamp, n);
    }
    return aside;
}

CDatabase OpenStoreFile(const std::string& path, std::span<const Migration> migrations,
                        const OpenOptions& options, CLog* runLog, OpenOutcome* outcome) {
    OpenOutcome local;
    OpenOutcome& out = outcome != nullptr ? *outcome : local;
    out = {};
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    CDatabase db;
    std::string why;
    if (OpenChecked(db, path, migrations, options, &why)) {
        return db;
    }
    out.recreated = true;
    out.reason = why;
    const std::string aside = AsidePathFor(path, std::time(nullptr));
    const bool present = Exists(path);
    if (present && MoveAside(path, aside)) {
        out.asidePath = aside;
    }
    std::string again;
    if (present && !out.asidePath.empty() && OpenChecked(db, path, migrations, options, &again)) {
        if (runLog != nullptr) {
            runLog->AddError(
                "<li><dt> Database %s could not be used (%s); it was moved to %s and a new "
                "one was started.</li>",
                HtmlEscaped(path).c_str(), HtmlEscaped(why).c_str(), HtmlEscaped(aside).c_str());
        }
        return db;
    }
    out.inMemory = true;
    if (!OpenChecked(db, ":memory:", migrations, options, &again)) {
        again = db.LastError();
    }
    if (runLog != nullptr) {
        runLog->AddError(
            "<li><dt> Database %s could not be used (%s) nor replaced; this run keeps it in "
            "memory only and nothing of it survives a restart.</li>",
            HtmlEscaped(path).c_str(), HtmlEscaped(why).c_str());
    }
    return db;
}

}  // namespace zm::store
