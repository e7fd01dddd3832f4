#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace zm::store {

// How a database file is opened.
struct OpenOptions {
    bool readOnly = false;  // a reader beside the running writer (WAL lets both work)
    // FULL syncs the write-ahead log at every commit: a committed transaction survives a
    // killed process and a power cut. NORMAL survives a killed process only.
    bool fullSync = true;
    int busyTimeoutMs = 5000;  // how long a statement waits for another connection's lock
};

class CDatabase;

// One prepared statement. Values go in only through Bind*, never into the SQL text.
// Parameters and columns are numbered from 1 and 0 as in SQLite.
class CStatement {
  public:
    CStatement() = default;
    ~CStatement();
    CStatement(CStatement&& other) noexcept;
    CStatement& operator=(CStatement&& other) noexcept;
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool IsValid() const { return stmt_ != nullptr; }

    CStatement& Bind(int index, std::int64_t value);
    CStatement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
    CStatement& Bind(int index, double value);
    CStatement& Bind(int index, std::string_view value);
    CStatement& Bind(int index, const char* value) { return Bind(index, std::string_view(value)); }
    CStatement& Bind(int index, const std::string& value) {
        return Bind(index, std::string_view(value));
    }
    CStatement& BindNull(int index);

    // True while a row is there to read; false when done or failed (see Failed).
    bool Step();
    // Runs a statement that returns no rows; false on failure.
    bool Run();
    // Ready to run again with new values.
    void Reset();
    bool Failed() const { return failed_; }

    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

  private:
    friend class CDatabase;
    CStatement(CDatabase* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}

    CDatabase* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
    bool bindFailed_ = false;
};

// One connection to one database file. Not shared between threads: each thread that
// reads has its own, and one writer thread owns the write connection (CStoreWriter).
class CDatabase {
  public:
    CDatabase() = default;
    ~CDatabase();
    CDatabase(CDatabase&& other) noexcept;
    CDatabase& operator=(CDatabase&& other) noexcept;
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    // A writable connection switches the file to WAL mode. False, with the reason in
    // LastError, when the file cannot be opened or is not a database.
    bool Open(const std::string& path, const OpenOptions& options = {});
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const std::string& Path() const { return path_; }

    // For fixed SQL without values (schema, pragmas); values go through Prepare.
    bool Exec(const char* sql);
    // An invalid statement on failure (LastError tells why).
    CStatement Prepare(const char* sql);
    // First column of the first row of fixed SQL.
    std::optional<std::int64_t> QueryInt(const char* sql);

    std::int64_t LastInsertId() const;
    int Changes() const;
    const std::string& LastError() const { return error_; }
    // The SQLite result code of the last failure (0 after success).
    int LastCode() const { return code_; }

  private:
    friend class CStatement;
    void NoteError(int code);

    sqlite3* db_ = nullptr;
    std::string path_;
    std::string error_;
    int code_ = 0;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back when it goes without Commit.
class CTransaction {
  public:
    explicit CTransaction(CDatabase& db);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    bool IsOpen() const { return open_; }
    bool Commit();

  private:
    CDatabase& db_;
    bool open_ = false;
};

}  // namespace zm::store
