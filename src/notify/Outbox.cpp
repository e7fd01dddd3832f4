#include "notify/Outbox.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

using store::OutboxRow;
using store::OutboxState;
using store::RecipientState;

std::atomic<int> liveThreads{0};

constexpr std::int64_t kHourMs = 3600 * 1000;
constexpr std::int64_t kProbeEveryMs = 30 * 1000;
constexpr std::chrono::milliseconds kProbeLimit{5000};
// Finished messages stay listed this long.
constexpr std::int64_t kHistoryMs = 30 * 24 * kHourMs;

std::int64_t SystemNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string LocalClockText(std::int64_t ms) {
    const std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::vector<std::string> BodyLines(const std::string& body) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = body.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(body.substr(start));
            return lines;
        }
        lines.push_back(body.substr(start, end - start));
        start = end + 2;
    }
}

std::vector<std::string> SplitIds(const std::string& text) {
    std::vector<std::string> ids;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            ids.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return ids;
}

std::string ServerName(const MailAccount& account, bool backup) {
    return StrPrintf("%s server %s:%d", backup ? "backup" : "primary", account.sServer.c_str(),
                     account.nPort);
}

// Both logs get the outcomes the operator acts on; the server's words are escaped.
void LogBoth(LogColor color, const std::string& text) {
    const std::string shown = HtmlEscaped(text);
    DeviceLog().AddColored(color, "<li><dt> %s</li>", shown.c_str());
    RunLog().AddColored(color, "<li><dt> %s</li>", shown.c_str());
}

// What one session achieved.
struct SessionOutcome {
    enum Kind { Delivered, Transient, Permanent } kind = Transient;
    std::string reason;  // the client's error text with the server's reply, for the logs
    std::vector<RcptResult> recipients;
};

}  // namespace

struct COutbox::State {
    struct Entry {
        OutboxRow row;
        MailAccount account;
        MailAccount backup;
        int retryHours = 24;
    };

    Options options;
    mutable std::mutex mutex;
    std::condition_variable wake;
    mutable std::condition_variable idle;
    std::deque<AlertMail> inbox;
    std::vector<Entry> pending;  // queue order
    std::int64_t inFlight = 0;   // id of the message in its session
    bool started = false;
    bool stopping = false;
    bool abandoned = false;  // Stop gave up waiting: take no further turn
    bool ended = false;
    bool poked = false;
    int dropped = 0;
    std::optional<OutboxSettings> latest;  // the newest; none: each message's own
    std::int64_t lastContactMs = 0;        // last attempt or probe
    bool probing = false;
    bool ProbeDue(std::int64_t now) const {
        return !pending.empty() && now - lastContactMs >= kProbeEveryMs;
    }

    // The database is the worker's, but Stop writes what it could not wait for.
    mutable std::mutex storeMutex;
    store::COutboxStore store;

    std::int64_t Now() const { return options.nowMs ? options.nowMs() : SystemNowMs(); }
    std::int64_t DelayAfter(int attempts) const {
        if (options.retryDelaysMs.empty()) {
            return 600000;
        }
        const size_t i = std::min(static_cast<size_t>(std::max(attempts, 1) - 1),
                                  options.retryDelaysMs.size() - 1);
        return options.retryDelaysMs[i];
    }

    void Run(const std::string& path);
    // Whether a server of the waiting messages answers again: a greeting and a login, no
    // message. True when one does.
    bool Probe() const;
    void Enqueue(AlertMail mail);
    Entry RowFor(AlertMail& mail, std::int64_t now) const;
    void Attempt(Entry entry);
    SessionOutcome Session(const MailAccount& account, const OutboxRow& row) const;
    bool Save(const OutboxRow& row) {
        std::lock_guard lock(storeMutex);
        return store.Save(row);
    }
    void Finish(Entry& entry);
};

COutbox::COutbox(Options options) : state_(std::make_shared<State>()) {
    state_->options = std::move(options);
}

COutbox::~COutbox() {
    Stop();
}

bool COutbox::Open(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    if (state_->started) {
        return false;
    }
    StartLocked(path);
    return true;
}

void COutbox::StartLocked(const std::string& path) {
    state_->started = true;
    ++liveThreads;
    // The thread holds the state itself: when it must be abandoned at shutdown it still
    // finds its database and flags after this object is gone.
    thread_ = std::thread([state = state_, path] {
        platform::NameCurrentThread("mail-sender");
        state->Run(path);
        --liveThreads;
    });
}

bool COutbox::Queue(AlertMail mail) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->started) {
            StartLocked(":memory:");
        }
        if (!state_->stopping) {
            state_->inbox.push_back(std::move(mail));
            state_->wake.notify_one();
            return true;
        }
    }
    {
        std::lock_guard storeLock(state_->storeMutex);
        if (state_->store.IsDurable()) {
            State::Entry entry = state_->RowFor(mail, state_->Now());
            if (state_->store.Insert(entry.row)) {
                LogBoth(kLogOrange,
                        mail.sKind + " stays in the outbox and goes out after the next start.");
                return true;
            }
        }
    }
    LogBoth(kLogRed, mail.sKind + " was not sent: " + kClosingReason + ".");
    return false;
}

void COutbox::SetSettings(const OutboxSettings& settings) {
    std::lock_guard lock(state_->mutex);
    state_->latest = settings;
    state_->wake.notify_one();
}

void COutbox::Poke() {
    std::lock_guard lock(state_->mutex);
    state_->poked = true;
    state_->wake.notify_one();
}

bool COutbox::Stop(std::chrono::milliseconds bound) {
    if (stopped_) {
        return stopResult_;
    }
    stopped_ = true;
    bool ended = true;
    std::deque<AlertMail> inbox;
    std::vector<State::Entry> left;
    {
        std::unique_lock lock(state_->mutex);
        state_->stopping = true;
        state_->wake.notify_one();
        if (state_->started) {
            ended = state_->idle.wait_for(lock, bound, [&] { return state_->ended; });
        }
        if (!ended) {
            state_->abandoned = true;
            inbox.swap(state_->inbox);
            for (auto& entry : state_->pending) {
                if (entry.row.id != state_->inFlight) {
                    left.push_back(std::move(entry));
                }
            }
            std::erase_if(state_->pending,
                          [&](const State::Entry& e) { return e.row.id != state_->inFlight; });
        }
    }
    bool durable = false;
    {
        std::lock_guard storeLock(state_->storeMutex);
        durable = state_->store.IsDurable();
        for (AlertMail& mail : inbox) {
            State::Entry entry = state_->RowFor(mail, state_->Now());
            if (durable && state_->store.Insert(entry.row)) {
                left.push_back(std::move(entry));
            } else {
                LogBoth(kLogRed, mail.sKind + " was not sent: " + kClosingReason + ".");
            }
        }
    }
    if (durable && !left.empty()) {
        LogBoth(kLogOrange,
                StrPrintf("%d alert messages stay in the outbox and go out after the next start.",
                          static_cast<int>(left.size())));
    } else {
        for (const auto& entry : left) {
            LogBoth(kLogRed, entry.row.kindWord + " was not sent: " + kClosingReason + ".");
        }
    }
    if (!ended) {
        RunLog().AddError(
            "<li><dt> Mail sender FAILED to stop within %d ms; the message being sent is left "
            "to finish on its own.</li>",
            static_cast<int>(bound.count()));
        thread_.detach();
    } else if (thread_.joinable()) {
        thread_.join();
    }
    stopResult_ = ended;
    return ended;
}

size_t COutbox::Pending() const {
    std::lock_guard lock(state_->mutex);
    return state_->inbox.size() + state_->pending.size();
}

OutboxStatus COutbox::Status() const {
    std::lock_guard lock(state_->mutex);
    OutboxStatus status;
    status.pending = state_->inbox.size() + state_->pending.size();
    for (const auto& entry : state_->pending) {
        const std::int64_t since = entry.row.failingSinceMs;
        if (since > 0 &&
            (status.oldestFailingSinceMs == 0 || since < status.oldestFailingSinceMs)) {
            status.oldestFailingSinceMs = since;
        }
    }
    return status;
}

bool COutbox::WaitIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->idle.wait_for(lock, timeout, [&] {
        if (state_->ended) {
            return true;
        }
        const std::int64_t now = state_->Now();
        if (!state_->inbox.empty() || state_->inFlight != 0 || state_->probing ||
            (!state_->stopping && state_->ProbeDue(now))) {
            return false;
        }
        return std::none_of(
            state_->pending.begin(), state_->pending.end(), [&](const State::Entry& e) {
                return e.row.nextAttemptMs <= now && (state_->latest || IsConfigured(e.account));
            });
    });
}

std::vector<store::OutboxRow> COutbox::Recent(int limit) const {
    std::lock_guard lock(state_->storeMutex);
    if (!state_->store.IsOpen()) {
        return {};
    }
    return state_->store.Recent(limit);
}

int COutbox::DroppedCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->dropped;
}

int COutbox::LiveThreads() {
    return liveThreads.load();
}

void COutbox::State::Run(const std::string& path) {
    std::vector<OutboxRow> recovered;
    {
        std::lock_guard storeLock(storeMutex);
        store.Open(path, &RunLog());
        store.PruneFinished(Now() - kHistoryMs);
        recovered = store.LoadPending();
    }
    std::unique_lock lock(mutex);
    if (!recovered.empty()) {
        RunLog().AddWarning(
            "<li><dt> Outbox: %d alert messages left by an earlier run are sent now.</li>",
            static_cast<int>(recovered.size()));
    }
    const std::int64_t start = Now();
    for (OutboxRow& row : recovered) {
        // Whatever waited goes out at once: the server may well be back by now.
        row.nextAttemptMs = std::min(row.nextAttemptMs, start);
        pending.push_back({std::move(row), {}, {}, 24});
    }
    for (;;) {
        while (!inbox.empty() && !abandoned) {
            AlertMail mail = std::move(inbox.front());
            inbox.pop_front();
            lock.unlock();
            Enqueue(std::move(mail));
            lock.lock();
        }
        if (abandoned) {
            break;
        }
        const std::int64_t now = Now();
        // Messages of an earlier run have no account of their own: they wait for the settings.
        auto due = std::find_if(pending.begin(), pending.end(), [&](const Entry& e) {
            return e.row.nextAttemptMs <= now && (latest || IsConfigured(e.account));
        });
        if (due != pending.end()) {
            Entry entry = *due;
            inFlight = entry.row.id;
            lastContactMs = now;
            lock.unlock();
            Attempt(std::move(entry));
            lock.lock();
            inFlight = 0;
            idle.notify_all();
            continue;
        }
        if (stopping) {
            break;
        }
        if (ProbeDue(now)) {
            // Messages on a long retry cycle would wait up to 10 min for a server that is
            // back already: a short look every 30 s lets them go as soon as it answers.
            lastContactMs = now;
            probing = true;
            lock.unlock();
            const bool back = Probe();
            lock.lock();
            probing = false;
            idle.notify_all();
            if (back) {
                RunLog().AddText(
                    "<li><dt> Outbox: the mail server answers again; %d waiting messages go "
                    "now.</li>",
                    static_cast<int>(pending.size()));
                for (Entry& e : pending) {
                    e.row.nextAttemptMs = std::min(e.row.nextAttemptMs, now);
                }
            }
            continue;
        }
        idle.notify_all();
        std::int64_t next = now + 1000;
        for (const Entry& e : pending) {
            next = std::min(next, e.row.nextAttemptMs);
        }
        if (!pending.empty()) {
            next = std::min(next, lastContactMs + kProbeEveryMs);
        }
        wake.wait_for(lock, std::chrono::milliseconds(std::max<std::int64_t>(next - now, 1)),
                      [&] { return !inbox.empty() || stopping || poked; });
        poked = false;
    }
    ended = true;
    idle.notify_all();
}

COutbox::State::Entry COutbox::State::RowFor(AlertMail& mail, std::int64_t now) const {
    Entry entry;
    OutboxRow& row = entry.row;
    row.kind = static_cast<int>(mail.kind);
    row.kindWord = mail.sKind;
    if (!mail.sDevice.empty()) {
        row.coalesceKey =
            StrPrintf("%s\n%d\n%s", mail.sDevice.c_str(), row.kind, mail.sKind.c_str());
    }
    row.device = mail.sDevice;
    row.alarmId = mail.alarmId;
    row.subject = mail.sSubject;
    row.body = mail.sBody;
    row.messageId =
        !mail.sMessageId.empty() ? mail.sMessageId : CSmtp::NewMessageId(mail.account.sSenderMail);
    row.inReplyTo = mail.sInReplyTo;
    for (const std::string& id : mail.references) {
        row.references += (row.references.empty() ? "" : " ") + id;
    }
    row.createdMs = now;
    row.nextAttemptMs = now;
    for (const std::string& to : mail.recipients) {
        row.recipients.push_back({to, RecipientState::Pending, {}});
    }
    entry.account = mail.account;
    entry.backup = mail.backup;
    entry.retryHours = mail.retryHours;
    return entry;
}

void COutbox::State::Enqueue(AlertMail mail) {
    const std::int64_t now = Now();
    Entry entry = RowFor(mail, now);
    std::unique_lock lock(mutex);
    if (!entry.row.coalesceKey.empty()) {
        auto same = std::find_if(pending.begin(), pending.end(), [&](const Entry& e) {
            return e.row.coalesceKey == entry.row.coalesceKey;
        });
        if (same != pending.end()) {
            OutboxRow& row = same->row;
            ++row.changes;
            const std::string note = StrPrintf("%d further changes since %s", row.changes,
                                               LocalClockText(row.createdMs).c_str());
            row.subject = mail.sSubject;
            row.body = mail.bodyWithNote ? mail.bodyWithNote(note) : mail.sBody + "\r\n" + note;
            same->account = entry.account;
            same->backup = entry.backup;
            const OutboxRow copy = row;
            lock.unlock();
            if (!Save(copy)) {
                RunLog().AddError("<li><dt> Outbox: %s could not be written: %s</li>",
                                  HtmlEscaped(copy.kindWord).c_str(),
                                  HtmlEscaped(store.LastError()).c_str());
            }
            RunLog().AddText(
                "<li><dt> Outbox: %s #%lld for %s now carries %d further changes.</li>",
                HtmlEscaped(copy.kindWord).c_str(), static_cast<long long>(copy.id),
                HtmlEscaped(copy.device).c_str(), copy.changes);
            return;
        }
    }
    std::vector<std::int64_t> drop;
    if (pending.size() >= options.bound) {
        // The oldest notice that only informs makes room; an alarm's opening never does.
        auto oldest = std::find_if(pending.begin(), pending.end(), [](const Entry& e) {
            return e.row.kind != static_cast<int>(NoticeKind::AlarmOpened);
        });
        if (oldest != pending.end()) {
            drop.push_back(oldest->row.id);
        }
    }
    lock.unlock();
    bool stored = false;
    {
        std::lock_guard storeLock(storeMutex);
        stored = store.Insert(entry.row, drop);
        if (!stored) {
            // Still tried: a mail that cannot be kept is better sent than lost.
            RunLog().AddError("<li><dt> Outbox: %s could not be written: %s</li>",
                              HtmlEscaped(entry.row.kindWord).c_str(),
                              HtmlEscaped(store.LastError()).c_str());
            static std::atomic<std::int64_t> unstored{0};
            entry.row.id = -(++unstored);
            drop.clear();  // nothing was written, nothing made room
        }
    }
    lock.lock();
    for (std::int64_t id : drop) {
        auto gone = std::find_if(pending.begin(), pending.end(),
                                 [&](const Entry& e) { return e.row.id == id; });
        if (gone != pending.end()) {
            ++dropped;
            RunLog().AddError(
                "<li><dt> Outbox full (%d messages): %s #%lld for %s dropped to make room (%d "
                "dropped since the start).</li>",
                static_cast<int>(options.bound), HtmlEscaped(gone->row.kindWord).c_str(),
                static_cast<long long>(id), HtmlEscaped(gone->row.device).c_str(), dropped);
            pending.erase(gone);
        }
    }
    pending.push_back(std::move(entry));
}

bool COutbox::State::Probe() const {
    std::vector<MailAccount> accounts;
    {
        std::lock_guard lock(mutex);
        if (latest) {
            accounts = {latest->primary, latest->backup};
        } else if (!pending.empty()) {
            accounts = {pending.front().account, pending.front().backup};
        }
    }
    for (const MailAccount& account : accounts) {
        if (!IsConfigured(account) || account.nPort < 0 || account.nPort > 65535) {
            continue;
        }
        try {
            CSmtp smtp;
            smtp.SetSessionLimit(kProbeLimit);
            smtp.SetTlsVerify(account.bTlsVerify);
            smtp.OpenConnection(account.sServer, static_cast<uint16_t>(account.nPort),
                                account.nSecurity, true, account.sLogin, account.sPassword);
            return true;
        } catch (const ECSmtp&) {
            // Still away; the messages keep their schedule.
        }
    }
    return false;
}

SessionOutcome COutbox::State::Session(const MailAccount& account, const OutboxRow& row) const {
    SessionOutcome outcome;
    if (!IsConfigured(account)) {
        outcome.reason = "no mail server is set";
        return outcome;
    }
    if (account.nPort < 0 || account.nPort > 65535) {
        outcome.reason = StrPrintf("SMTP port %d is out of range", account.nPort);
        return outcome;
    }
    try {
        CSmtp smtp;
        smtp.SetBodyCharset("UTF-8");
        smtp.SetServer(account.sServer, static_cast<uint16_t>(account.nPort), true);
        smtp.SetSecurity(account.nSecurity);
        smtp.SetTlsVerify(account.bTlsVerify);
        smtp.SetUser(account.sLogin);
        smtp.SetUserPassword(account.sPassword);
        smtp.SetFromName(account.sSenderName);
        smtp.SetFromAddress(account.sSenderMail);
        smtp.SetReplyAddress(account.sReplyTo);
        smtp.SetSubjectLine(row.subject);
        smtp.SetMailerName(GetVersionText(true, true));
        smtp.SetPriority(2);
        smtp.SetSessionLimit(options.sessionLimit);
        smtp.SetMessageId(row.messageId);
        smtp.SetInReplyTo(row.inReplyTo);
        smtp.SetReferences(SplitIds(row.references));
        for (const auto& to : row.recipients) {
            if (to.state == RecipientState::Pending) {
                smtp.AddTo(to.address);
            }
        }
        for (const auto& line : BodyLines(row.body)) {
            smtp.AddBodyLine(line);
        }
        try {
            smtp.SendMail();
        } catch (const ECSmtp&) {
            outcome.recipients = smtp.GetRecipientResults();
            throw;
        }
        outcome.recipients = smtp.GetRecipientResults();
        outcome.kind = SessionOutcome::Delivered;
    } catch (const ECSmtp& error) {
        outcome.kind =
            IsPermanentFailure(error) ? SessionOutcome::Permanent : SessionOutcome::Transient;
        outcome.reason = error.GetErrorText();
        if (!error.GetDetail().empty()) {
            outcome.reason += " (" + error.GetDetail() + ")";
        }
    } catch (const std::exception& error) {
        outcome.reason = error.what();
    }
    return outcome;
}

void COutbox::State::Attempt(Entry entry) {
    OutboxRow& row = entry.row;
    OutboxSettings settings{entry.account, entry.backup, entry.retryHours};
    {
        std::lock_guard lock(mutex);
        if (latest) {
            settings = *latest;
        }
    }
    const std::int64_t now = Now();
    const std::int64_t expiry =
        row.createdMs + static_cast<std::int64_t>(std::max(settings.retryHours, 1)) * kHourMs;
    if (row.attempts > 0 && now >= expiry) {
        row.state = OutboxState::Expired;
        row.doneMs = now;
        Save(row);
        LogBoth(kLogRed, StrPrintf("%s was not sent: %s; gave up after %d attempts in %d hours.",
                                   row.kindWord.c_str(), row.lastReply.c_str(), row.attempts,
                                   settings.retryHours));
        Finish(entry);
        return;
    }
    ++row.attempts;
    bool viaBackup = false;
    SessionOutcome outcome = Session(settings.primary, row);
    auto logAttempt = [&](const SessionOutcome& o, bool backup) {
        const MailAccount& used = backup ? settings.backup : settings.primary;
        const std::string head = StrPrintf("Outbox: %s #%lld attempt %d via %s",
                                           row.kindWord.c_str(), static_cast<long long>(row.id),
                                           row.attempts, ServerName(used, backup).c_str());
        if (o.kind == SessionOutcome::Delivered) {
            RunLog().AddText("<li><dt> %s: accepted.</li>", HtmlEscaped(head).c_str());
        } else {
            RunLog().AddWarning("<li><dt> %s: %s.</li>", HtmlEscaped(head).c_str(),
                                HtmlEscaped(o.reason).c_str());
        }
    };
    logAttempt(outcome, false);
    if (outcome.kind == SessionOutcome::Transient) {
        ++row.primaryFailures;
        if (row.primaryFailures >= 2 && IsConfigured(settings.backup)) {
            outcome = Session(settings.backup, row);
            viaBackup = true;
            logAttempt(outcome, true);
        }
    } else {
        row.primaryFailures = 0;
    }

    for (const RcptResult& result : outcome.recipients) {
        for (auto& to : row.recipients) {
            if (to.address != result.mail || to.state != RecipientState::Pending) {
                continue;
            }
            to.reply = result.reply;
            if (result.outcome == RcptOutcome::Accepted &&
                outcome.kind == SessionOutcome::Delivered) {
                to.state = RecipientState::Delivered;
            } else if (result.outcome == RcptOutcome::Permanent) {
                to.state = RecipientState::Refused;
                LogBoth(kLogRed,
                        StrPrintf("%s to %s was refused for good: %s.", row.kindWord.c_str(),
                                  to.address.c_str(), result.reply.c_str()));
            }
            break;
        }
    }
    const auto count = [&](RecipientState s) {
        return static_cast<int>(std::count_if(row.recipients.begin(), row.recipients.end(),
                                              [&](const auto& r) { return r.state == s; }));
    };
    const bool anyLeft = count(RecipientState::Pending) > 0;
    row.lastReply = outcome.kind == SessionOutcome::Delivered ? std::string() : outcome.reason;
    if (outcome.kind == SessionOutcome::Permanent ||
        (!anyLeft && count(RecipientState::Delivered) == 0)) {
        row.state = OutboxState::Failed;
        row.doneMs = now;
        if (outcome.kind == SessionOutcome::Delivered || row.lastReply.empty()) {
            row.lastReply = "every recipient was refused";
        }
        Save(row);
        LogBoth(kLogRed, StrPrintf("%s was not sent: %s; refused for good.", row.kindWord.c_str(),
                                   row.lastReply.c_str()));
        Finish(entry);
        return;
    }
    if (!anyLeft) {
        row.state = OutboxState::Delivered;
        row.doneMs = Now();
        row.failingSinceMs = 0;
        row.deliveredBy = ServerName(viaBackup ? settings.backup : settings.primary, viaBackup);
        // Committed right after the server took it: a crash before this line sends it twice.
        Save(row);
        LogBoth(kLogDarkGreen,
                StrPrintf("%s was successfully sent (recipients: %d). Delivered by the %s.",
                          row.kindWord.c_str(), count(RecipientState::Delivered),
                          row.deliveredBy.c_str()));
        Finish(entry);
        return;
    }
    // Some or all recipients are still to be reached.
    const bool first = row.failingSinceMs == 0;
    if (first) {
        row.failingSinceMs = now;
    }
    row.nextAttemptMs = now + DelayAfter(row.attempts);
    if (row.lastReply.empty()) {
        row.lastReply = "a recipient was refused for now";
    }
    bool closing = false;
    {
        std::lock_guard lock(mutex);
        closing = stopping;
    }
    Save(row);
    if (closing && !store.IsDurable()) {
        LogBoth(kLogRed,
                StrPrintf("%s was not sent: %s.", row.kindWord.c_str(), row.lastReply.c_str()));
        Finish(entry);
        return;
    }
    if (first) {
        LogBoth(kLogOrange, StrPrintf("%s was not sent: %s; will retry.", row.kindWord.c_str(),
                                      row.lastReply.c_str()));
    }
    std::lock_guard lock(mutex);
    for (Entry& e : pending) {
        if (e.row.id == row.id) {
            e = std::move(entry);
            break;
        }
    }
}

void COutbox::State::Finish(Entry& entry) {
    std::lock_guard lock(mutex);
    const bool delivered = entry.row.state == OutboxState::Delivered;
    std::erase_if(pending, [&](const Entry& e) { return e.row.id == entry.row.id; });
    if (delivered) {
        // The server takes mail again: what waits for its next turn goes now.
        const std::int64_t now = Now();
        for (Entry& e : pending) {
            e.row.nextAttemptMs = std::min(e.row.nextAttemptMs, now);
        }
    }
}

}  // namespace zm
