#include "store/Database.h"

#include <sqlite3.h>

#include <utility>

namespace zm::store {

CStatement::~CStatement() {
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
    }
}

CStatement::CStatement(CStatement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      stmt_(std::exchange(other.stmt_, nullptr)),
      failed_(other.failed_),
      bindFailed_(other.bindFailed_) {}

CStatement& CStatement::operator=(CStatement&& other) noexcept {
    if (this != &other) {
        if (stmt_ != nullptr) {
            sqlite3_finalize(stmt_);
        }
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
        failed_ = other.failed_;
        bindFailed_ = other.bindFailed_;
    }
    return *this;
}

CStatement& CStatement::Bind(int index, std::int64_t value) {
    if (stmt_ != nullptr && sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

CStatement& CStatement::Bind(int index, double value) {
    if (stmt_ != nullptr && sqlite3_bind_double(stmt_, index, value) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

CStatement& CStatement::Bind(int index, std::string_view value) {
    if (stmt_ != nullptr &&
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

CStatement& CStatement::BindNull(int index) {
    if (stmt_ != nullptr && sqlite3_bind_null(stmt_, index) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

bool CStatement::Step() {
    if (stmt_ == nullptr || bindFailed_) {
        failed_ = true;
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        failed_ = true;
        if (db_ != nullptr) {
            db_->NoteError(rc);
        }
    }
    return false;
}

bool CStatement::Run() {
    while (Step()) {
    }
    return !failed_;
}

void CStatement::Reset() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    failed_ = false;
    bindFailed_ = false;
}

std::int64_t CStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double CStatement::Real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string CStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool CStatement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

CDatabase::~CDatabase() {
    Close();
}

CDatabase::CDatabase(CDatabase&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)),
      code_(other.code_) {}

CDatabase& CDatabase::operator=(CDatabase&& other) noexcept {
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
        code_ = other.code_;
    }
    return *this;
}

bool CDatabase::Open(const std::string& path, const OpenOptions& options) {
    Close();
    path_ = path;
    const int flags =
        (options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        error_ = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        code_ = rc;
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, options.busyTimeoutMs);
    // Reading the schema is the first thing that finds a file that is no database.
    bool ok = QueryInt("SELECT count(*) FROM sqlite_master").has_value();
    if (ok && !options.readOnly) {
        ok = Exec("PRAGMA journal_mode=WAL") &&
             Exec(options.fullSync ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL") &&
             Exec("PRAGMA foreign_keys=ON");
    }
    if (!ok) {
        const std::string why = error_;
        const int code = code_;
        Close();
        error_ = why;
        code_ = code;
        return false;
    }
    error_.clear();
    code_ = 0;
    return true;
}

void CDatabase::Close() {
    if (db_ != nullptr) {
        // Statements still alive are a caller's bug; close_v2 keeps the file until they go.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool CDatabase::Exec(const char* sql) {
    if (db_ == nullptr) {
        error_ = "database not open";
        return false;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        error_ = message != nullptr ? message : sqlite3_errstr(rc);
        code_ = rc;
        sqlite3_free(message);
        return false;
    }
    return true;
}

CStatement CDatabase::Prepare(const char* sql) {
    if (db_ == nullptr) {
        error_ = "database not open";
        return {};
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        NoteError(rc);
        sqlite3_finalize(stmt);
        return {};
    }
    return CStatement(this, stmt);
}

std::optional<std::int64_t> CDatabase::QueryInt(const char* sql) {
    CStatement stmt = Prepare(sql);
    if (!stmt.IsValid() || !stmt.Step()) {
        return std::nullopt;
    }
    return stmt.Int(0);
}

std::int64_t CDatabase::LastInsertId() const {
    return db_ != nullptr ? sqlite3_last_insert_rowid(db_) : 0;
}

int CDatabase::Changes() const {
    return db_ != nullptr ? sqlite3_changes(db_) : 0;
}

void CDatabase::NoteError(int code) {
    code_ = code;
    error_ = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
}

CTransaction::CTransaction(CDatabase& db) : db_(db) {
    open_ = db_.Exec("BEGIN IMMEDIATE");
}

CTransaction::~CTransaction() {
    if (open_) {
        db_.Exec("ROLLBACK");
    }
}

bool CTransaction::Commit() {
    if (!open_) {
        return false;
    }
    if (!db_.Exec("COMMIT")) {
        // A failed COMMIT may leave the transaction open; the destructor rolls it back.
        return false;
    }
    open_ = false;
    return true;
}

}  // namespace zm::store
