#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/Database.h"

namespace zm {
class CLog;
}

namespace zm::store {

// Where a message stands. Only Pending is ever attempted again.
enum class OutboxState : int {
    Pending = 0,
    Delivered = 1,
    Failed = 2,     // refused for good
    Expired = 3,    // retried until its time ran out
    Dropped = 4,    // made room in a full outbox
    Discarded = 5,  // the operator threw it away
};

enum class RecipientState : int { Pending = 0, Delivered = 1, Refused = 2 };

struct OutboxRecipientRow {
    std::string address;
    RecipientState state = RecipientState::Pending;
    std::string reply;  // the server's last answer for this recipient
};

// One alert mail or SMS as the outbox keeps it. Times are wall-clock milliseconds since
// 1970: they must mean the same after a restart.
struct OutboxRow {
    std::int64_t id = 0;      // queue order
    int kind = 0;             // the notice kind (alarm, connection lost, ...)
    std::string kindWord;     // "Alarm mail", "Alarm sms": names it in the logs
    std::string coalesceKey;  // one pending message per key at most; empty: never merged
    std::string device;
    std::int64_t alarmId = 0;
    std::string subject;
    std::string body;
    std::string messageId;
    std::string inReplyTo;
    std::string references;  // ids separated by blanks, oldest first
    std::int64_t createdMs = 0;
    int changes = 0;  // further state changes merged into it since it was queued
    int attempts = 0;
    std::int64_t nextAttemptMs = 0;
    int primaryFailures = 0;  // transient failures of the primary server in a row
    OutboxState state = OutboxState::Pending;
    std::string lastReply;
    std::string deliveredBy;
    std::int64_t doneMs = 0;
    std::int64_t failingSinceMs = 0;  // first failure of the current run of failures; 0: none
    std::vector<OutboxRecipientRow> recipients;
};

// The outbox's own database file beside the alarm journal. One thread (the outbox
// worker) owns it; every change is committed before the call returns.
class COutboxStore {
  public:
    // Opens (or starts) the file; a file that cannot be used goes aside and the outbox
    // starts empty (see OpenStoreFile). ":memory:" keeps it for this run only.
    void Open(const std::string& path, CLog* runLog);
    bool IsOpen() const { return db_.IsOpen(); }
    // False when this run keeps it in memory only.
    bool IsDurable() const { return durable_; }
    const std::string& LastError() const { return db_.LastError(); }

    // Every pending message, in queue order.
    std::vector<OutboxRow> LoadPending();
    // Adds `row` (its id is set) and marks the messages of `drop` as dropped, in one
    // transaction.
    bool Insert(OutboxRow& row, std::span<const std::int64_t> drop = {});
    // Writes the message's changing columns and its recipients' states.
    bool Save(const OutboxRow& row);
    // The newest `limit` messages of every state, newest first.
    std::vector<OutboxRow> Recent(int limit);
    // Removes finished messages done before `beforeMs`; returns how many.
    int PruneFinished(std::int64_t beforeMs);

  private:
    bool SaveRecipients(const OutboxRow& row, bool insert);
    std::vector<OutboxRow> Select(const char* sql, int limit);

    CDatabase db_;
    bool durable_ = false;
};

}  // namespace zm::store
