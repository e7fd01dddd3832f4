#include "store/OutboxStore.h"

#include "store/Schema.h"
#include "store/StoreFile.h"

namespace zm::store {

namespace {

constexpr Migration kMigrations[] = {
    {1,
     "CREATE TABLE outbox_message ("
     " id INTEGER PRIMARY KEY AUTOINCREMENT,"
     " kind INTEGER NOT NULL, kind_word TEXT NOT NULL, coalesce_key TEXT NOT NULL,"
     " device TEXT NOT NULL, alarm_id INTEGER NOT NULL,"
     " subject TEXT NOT NULL, body TEXT NOT NULL,"
     " message_id TEXT NOT NULL, in_reply_to TEXT NOT NULL, refs TEXT NOT NULL,"
     " created_ms INTEGER NOT NULL, changes INTEGER NOT NULL, attempts INTEGER NOT NULL,"
     " next_attempt_ms INTEGER NOT NULL, primary_failures INTEGER NOT NULL,"
     " state INTEGER NOT NULL, last_reply TEXT NOT NULL, delivered_by TEXT NOT NULL,"
     " done_ms INTEGER NOT NULL, failing_since_ms INTEGER NOT NULL);"
     "CREATE INDEX outbox_message_state ON outbox_message(state, id);"
     "CREATE TABLE outbox_recipient ("
     " message INTEGER NOT NULL REFERENCES outbox_message(id) ON DELETE CASCADE,"
     " position INTEGER NOT NULL, address TEXT NOT NULL, state INTEGER NOT NULL,"
     " reply TEXT NOT NULL, PRIMARY KEY (message, position));"},
};

constexpr const char* kColumns =
    "SELECT id, kind, kind_word, coalesce_key, device, alarm_id, subject, body, message_id,"
    " in_reply_to, refs, created_ms, changes, attempts, next_attempt_ms, primary_failures,"
    " state, last_reply, delivered_by, done_ms, failing_since_ms FROM outbox_message ";

OutboxRow RowFrom(const CStatement& s) {
    OutboxRow r;
    r.id = s.Int(0);
    r.kind = static_cast<int>(s.Int(1));
    r.kindWord = s.Text(2);
    r.coalesceKey = s.Text(3);
    r.device = s.Text(4);
    r.alarmId = s.Int(5);
    r.subject = s.Text(6);
    r.body = s.Text(7);
    r.messageId = s.Text(8);
    r.inReplyTo = s.Text(9);
    r.references = s.Text(10);
    r.createdMs = s.Int(11);
    r.changes = static_cast<int>(s.Int(12));
    r.attempts = static_cast<int>(s.Int(13));
    r.nextAttemptMs = s.Int(14);
    r.primaryFailures = static_cast<int>(s.Int(15));
    r.state = static_cast<OutboxState>(s.Int(16));
    r.lastReply = s.Text(17);
    r.deliveredBy = s.Text(18);
    r.doneMs = s.Int(19);
    r.failingSinceMs = s.Int(20);
    return r;
}

}  // namespace

void COutboxStore::Open(const std::string& path, CLog* runLog) {
    OpenOutcome outcome;
    db_ = OpenStoreFile(path, kMigrations, OpenOptions{}, runLog, &outcome);
    durable_ = path != ":memory:" && !outcome.inMemory;
    db_.Exec("PRAGMA foreign_keys=ON");
}

std::vector<OutboxRow> COutboxStore::Select(const char* where, int limit) {
    std::vector<OutboxRow> rows;
    CStatement s = db_.Prepare((std::string(kColumns) + where).c_str());
    if (!s.IsValid()) {
        return rows;
    }
    if (limit > 0) {
        s.Bind(1, limit);
    }
    while (s.Step()) {
        rows.push_back(RowFrom(s));
    }
    CStatement r = db_.Prepare(
        "SELECT address, state, reply FROM outbox_recipient WHERE message = ?1 ORDER BY position");
    for (OutboxRow& row : rows) {
        r.Reset();
        r.Bind(1, row.id);
        while (r.Step()) {
            row.recipients.push_back({r.Text(0), static_cast<RecipientState>(r.Int(1)), r.Text(2)});
        }
    }
    return rows;
}

std::vector<OutboxRow> COutboxStore::LoadPending() {
    return Select("WHERE state = 0 ORDER BY id", 0);
}

std::vector<OutboxRow> COutboxStore::Recent(int limit) {
    return Select("ORDER BY id DESC LIMIT ?1", limit);
}

bool COutboxStore::Insert(OutboxRow& row, std::span<const std::int64_t> drop) {
    CTransaction transaction(db_);
    if (!transaction.IsOpen()) {
        return false;
    }
    CStatement s = db_.Prepare(
        "INSERT INTO outbox_message (kind, kind_word, coalesce_key, device, alarm_id, subject,"
        " body, message_id, in_reply_to, refs, created_ms, changes, attempts, next_attempt_ms,"
        " primary_failures, state, last_reply, delivered_by, done_ms, failing_since_ms)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17,"
        " ?18, ?19, ?20)");
    s.Bind(1, row.kind)
        .Bind(2, row.kindWord)
        .Bind(3, row.coalesceKey)
        .Bind(4, row.device)
        .Bind(5, row.alarmId)
        .Bind(6, row.subject)
        .Bind(7, row.body)
        .Bind(8, row.messageId)
        .Bind(9, row.inReplyTo)
        .Bind(10, row.references)
        .Bind(11, row.createdMs)
        .Bind(12, row.changes)
        .Bind(13, row.attempts)
        .Bind(14, row.nextAttemptMs)
        .Bind(15, row.primaryFailures)
        .Bind(16, static_cast<int>(row.state))
        .Bind(17, row.lastReply)
        .Bind(18, row.deliveredBy)
        .Bind(19, row.doneMs)
        .Bind(20, row.failingSinceMs);
    if (!s.Run()) {
        return false;
    }
    row.id = db_.LastInsertId();
    if (!SaveRecipients(row, true)) {
        return false;
    }
    CStatement d = db_.Prepare("UPDATE outbox_message SET state = 4 WHERE id = ?1");
    for (std::int64_t id : drop) {
        d.Reset();
        if (!d.Bind(1, id).Run()) {
            return false;
        }
    }
    return transaction.Commit();
}

bool COutboxStore::Save(const OutboxRow& row) {
    CTransaction transaction(db_);
    if (!transaction.IsOpen()) {
        return false;
    }
    CStatement s = db_.Prepare(
        "UPDATE outbox_message SET subject = ?2, body = ?3, changes = ?4, attempts = ?5,"
        " next_attempt_ms = ?6, primary_failures = ?7, state = ?8, last_reply = ?9,"
        " delivered_by = ?10, done_ms = ?11, failing_since_ms = ?12 WHERE id = ?1");
    s.Bind(1, row.id)
        .Bind(2, row.subject)
        .Bind(3, row.body)
        .Bind(4, row.changes)
        .Bind(5, row.attempts)
        .Bind(6, row.nextAttemptMs)
        .Bind(7, row.primaryFailures)
        .Bind(8, static_cast<int>(row.state))
        .Bind(9, row.lastReply)
        .Bind(10, row.deliveredBy)
        .Bind(11, row.doneMs)
        .Bind(12, row.failingSinceMs);
    if (!s.Run() || !SaveRecipients(row, false)) {
        return false;
    }
    return transaction.Commit();
}

bool COutboxStore::SaveRecipients(const OutboxRow& row, bool insert) {
    CStatement s = db_.Prepare(
        insert ? "INSERT INTO outbox_recipient (message, position, address, state, reply)"
                 " VALUES (?1, ?2, ?3, ?4, ?5)"
               : "UPDATE outbox_recipient SET address = ?3, state = ?4, reply = ?5"
                 " WHERE message = ?1 AND position = ?2");
    for (size_t i = 0; i < row.recipients.size(); ++i) {
        const OutboxRecipientRow& r = row.recipients[i];
        s.Reset();
        s.Bind(1, row.id)
            .Bind(2, static_cast<int>(i))
            .Bind(3, r.address)
            .Bind(4, static_cast<int>(r.state))
            .Bind(5, r.reply);
        if (!s.Run()) {
            return false;
        }
    }
    return true;
}

int COutboxStore::PruneFinished(std::int64_t beforeMs) {
    CStatement s =
        db_.Prepare("DELETE FROM outbox_message WHERE state <> 0 AND done_ms > 0 AND done_ms < ?1");
    if (!s.Bind(1, beforeMs).Run()) {
        return 0;
    }
    return db_.Changes();
}

}  // namespace zm::store
