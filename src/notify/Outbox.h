#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "notify/Smtp.h"
#include "store/OutboxStore.h"

namespace zm {

// One SMTP account of the alert mails (the smtp_* or smtp2_* settings).
struct MailAccount {
    std::string sServer;
    int nPort = 465;
    int nSecurity = 2;  // CSmtp::Security
    bool bTlsVerify = true;
    std::string sLogin;
    std::string sPassword;
    std::string sSenderName;
    std::string sSenderMail;
    std::string sReplyTo;
};

inline bool IsConfigured(const MailAccount& account) {
    return !account.sServer.empty();
}

// What a notice tells; with the device and the channel it decides which pending notices
// merge, and which may make room in a full outbox (all but alarm openings).
enum class NoticeKind : int {
    Other = 0,
    AlarmOpened = 1,
    ConnectionLost = 2,
    ConnectionRestored = 3,
    AlarmEnded = 4,
    AlarmAcknowledged = 5,
    AlarmEscalated = 6,
    AlarmRepeated = 7,
};

// One composed alert, ready for the mail dialogue.
struct AlertMail {
    std::string sKind;  // "Alarm mail" or "Alarm sms": names the message in the log lines
    std::string sSubject;
    std::string sBody;                    // lines separated by CR LF
    std::vector<std::string> recipients;  // addresses, trimmed, none empty
    // Used until SetSettings gives the accounts of the moment for every waiting message.
    MailAccount account;
    MailAccount backup;  // no server: none
    int retryHours = 24;
    NoticeKind kind = NoticeKind::Other;
    // With the kind and sKind the merge key: a newer notice replaces the pending one. Empty:
    // never merged.
    std::string sDevice;
    std::int64_t alarmId = 0;
    std::string sMessageId;  // empty: a new one is made when queued
    std::string sInReplyTo;
    std::vector<std::string> references;
    // The body of a merged notice: this notice's text with `note` added. Empty: the body,
    // a line end and the note.
    std::function<std::string(const std::string& note)> bodyWithNote;
};

// The settings read at every attempt, so that a corrected account helps the messages
// already waiting.
struct OutboxSettings {
    MailAccount primary;
    MailAccount backup;
    int retryHours = 24;
};

// What a station shows about its outbox: how much waits, and since when the oldest
// message that keeps failing fails (0: none fails).
struct OutboxStatus {
    size_t pending = 0;
    std::int64_t oldestFailingSinceMs = 0;
};

// The durable outbox of alert mails and SMS. Every notice is committed to the outbox's
// database before its first attempt, which starts at once; failed attempts are retried on
// a schedule until delivered or expired; a delivery is committed right after the server's
// final acceptance (so a crash in between sends it twice, never not at all). One worker
// thread owns the database and runs one session at a time, in queue order.
class COutbox {
  public:
    struct Options {
        // Wall-clock milliseconds since 1970; the schedule survives restarts. Empty: system.
        std::function<std::int64_t()> nowMs;
        // Delay before attempt 2, 3, ...; the last one repeats.
        std::vector<std::int64_t> retryDelaysMs = {30000, 60000, 120000, 300000, 600000};
        size_t bound = 10000;
        std::chrono::milliseconds sessionLimit = CSmtp::kDefaultSessionLimit;
    };
    static constexpr std::chrono::milliseconds kDefaultStopBound{3000};
    static constexpr const char* kClosingReason = "the application was closing";

    explicit COutbox(Options options);
    COutbox() : COutbox(Options{}) {}
    ~COutbox();
    COutbox(const COutbox&) = delete;
    COutbox& operator=(const COutbox&) = delete;

    // Keeps the outbox in `path` and sends what an earlier run left there. Only before the
    // first Queue; without it the outbox lives in memory for this run. False when too late.
    bool Open(const std::string& path);
    // Hands the notice to the worker, which commits it and tries it at once. After Stop the
    // notice is still kept for the next start when the outbox has a file (true); otherwise
    // it is logged as not sent (false).
    bool Queue(AlertMail mail);
    // The worker looks at the clock again (an injected clock moved on).
    void Poke();

    // Stops taking turns: notices due now are still tried until `bound`; what waits for a
    // later attempt stays in the file for the next start (or, without a file, is logged as
    // not sent). A session still running at the bound is left to end on its own, within
    // its session limit. True when the worker ended within the bound.
    bool Stop(std::chrono::milliseconds bound = kDefaultStopBound);

    // The accounts and expiry for every message from now on, those waiting included, so
    // that a corrected account helps them too. After a restart nothing is tried before.
    void SetSettings(const OutboxSettings& settings);

    // Notices not yet delivered, failed or expired.
    size_t Pending() const;
    OutboxStatus Status() const;
    // Waits (bounded) until nothing is queued, being sent or due.
    bool WaitIdle(std::chrono::milliseconds timeout) const;
    // The newest messages of every state, newest first.
    std::vector<store::OutboxRow> Recent(int limit) const;
    // Notices dropped to make room since the start.
    int DroppedCount() const;

    // Worker threads still running in the process, abandoned ones included.
    static int LiveThreads();

    struct State;

  private:
    void StartLocked(const std::string& path);

    std::shared_ptr<State> state_;
    std::thread thread_;
    bool stopped_ = false;
    bool stopResult_ = true;
};

}  // namespace zm
