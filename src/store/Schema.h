#pragma once

#include <span>
#include <string>

namespace zm::store {

class CDatabase;

// One step forward: the SQL that turns the schema of version - 1 into `version`.
struct Migration {
    int version = 0;
    const char* sql = nullptr;
};

// The version recorded in the database's schema_version table; 0 for a new file.
// -1 when it cannot be read.
int SchemaVersion(CDatabase& db);

// Applies every migration above the recorded version, each in its own transaction with
// the new version number, so a killed process leaves a whole version behind. False, with
// the reason, on failure or when the file is newer than the migrations know (it is then
// left as it is).
bool Migrate(CDatabase& db, std::span<const Migration> migrations, std::string* error);

}  // namespace zm::store
