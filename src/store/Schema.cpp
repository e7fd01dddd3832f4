#include "store/Schema.h"

#include "base/Printf.h"
#include "store/Database.h"

namespace zm::store {

int SchemaVersion(CDatabase& db) {
    const auto exists = db.QueryInt(
        "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='schema_version'");
    if (!exists) {
        return -1;
    }
    if (*exists == 0) {
        return 0;
    }
    const auto version = db.QueryInt("SELECT max(version) FROM schema_version");
    return version ? static_cast<int>(*version) : -1;
}

bool Migrate(CDatabase& db, std::span<const Migration> migrations, std::string* error) {
    auto fail = [&](std::string why) {
        if (error != nullptr) {
            *error = std::move(why);
        }
        return false;
    };
    if (!db.Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) {
        return fail(db.LastError());
    }
    const int current = SchemaVersion(db);
    if (current < 0) {
        return fail("the schema version cannot be read: " + db.LastError());
    }
    int known = 0;
    for (const Migration& step : migrations) {
        known = std::max(known, step.version);
    }
    if (current > known) {
        return fail(
            StrPrintf("schema version %d is newer than this program knows (%d)", current, known));
    }
    for (const Migration& step : migrations) {
        if (step.version <= current) {
            continue;
        }
        CTransaction transaction(db);
        if (!transaction.IsOpen() || !db.Exec(step.sql)) {
            return fail(StrPrintf("migration to version %d failed: %s", step.version,
                                  db.LastError().c_str()));
        }
        CStatement record = db.Prepare("INSERT INTO schema_version (version) VALUES (?)");
        if (!record.Bind(1, step.version).Run() || !transaction.Commit()) {
            return fail(StrPrintf("migration to version %d failed: %s", step.version,
                                  db.LastError().c_str()));
        }
    }
    return true;
}

}  // namespace zm::store
