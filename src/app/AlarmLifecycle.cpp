#include "app/AlarmLifecycle.h"

#include <algorithm>
#include <ctime>

#include "alarms/AlarmStateMachine.h"
#include "alarms/AlarmStatistics.h"
#include "alarms/Suppression.h"
#include "app/Dispatcher.h"
#include "app/UiPort.h"
#include "base/Log.h"
#include "device/DeviceStatus.h"
#include "store/Database.h"
#include "store/StoreFile.h"
#include "store/StoreWriter.h"

namespace zm {

namespace {

using alarms::AlarmChange;
using alarms::AlarmEvent;
using alarms::AlarmRecord;
using alarms::AlarmState;
using alarms::DeviceSuppression;
using alarms::OpResult;
using alarms::OpStatus;

constexpr std::int64_t kDaySeconds = 86400;
constexpr int kMaxRetentionDays = 36500;

std::string TimeText(std::int64_t when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

bool Unacked(AlarmState state) {
    return state == AlarmState::ActiveUnacked || state == AlarmState::RtnUnacked;
}

}  // namespace

CAlarmLifecycle::CAlarmLifecycle(Clock clock) : clock_(std::move(clock)) {}

CAlarmLifecycle::~CAlarmLifecycle() {
    if (writer_) {
        writer_->Stop();
    }
}

std::int64_t CAlarmLifecycle::Now() const {
    if (clock_) {
        return clock_();
    }
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void CAlarmLifecycle::Open(const std::string& path, CLog* runLog, CLog* deviceLog) {
    runLog_ = runLog;
    deviceLog_ = deviceLog;
    store::OpenOutcome outcome;
    store::CDatabase db =
        store::OpenStoreFile(path, store::journal::Migrations(), {}, runLog, &outcome);
    std::vector<store::JournalAlarm> open = store::journal::LoadOpen(db);
    auto suppressions = store::journal::LoadSuppressions(db);
    const std::int64_t lastId = store::journal::LastAlarmId(db);
    {
        std::lock_guard lock(mutex_);
        path_ = outcome.inMemory ? std::string() : path;
        inMemory_ = outcome.inMemory;
        lastId_ = lastId;
        suppressions_ = std::move(suppressions);
        for (store::JournalAlarm& alarm : open) {
            Entry entry;
            alarm.record.deviceId = 0;  // instance ids belong to the process that ended
            entry.journal = std::move(alarm);
            entry.restored = alarms::IsActive(entry.journal.record.state);
            open_[entry.journal.record.id] = std::move(entry);
        }
    }
    writer_ = std::make_unique<store::CStoreWriter>(std::move(db));
    if (runLog_ == nullptr) {
        return;
    }
    for (const store::JournalAlarm& alarm : open) {
        const AlarmRecord& a = alarm.record;
        runLog_->AddText("<li><dt> Alarm %lld of %s restored from the journal: %s, opened %s.</li>",
                         static_cast<long long>(a.id), HtmlEscaped(a.device).c_str(),
                         alarms::StateName(a.state), TimeText(a.opened).c_str());
    }
    std::lock_guard lock(mutex_);
    for (const auto& [device, s] : suppressions_) {
        if (s.kind == DeviceSuppression::Kind::Shelved) {
            runLog_->AddText("<li><dt> %s is shelved until %s (restored from the journal).</li>",
                             HtmlEscaped(device).c_str(), TimeText(s.until).c_str());
        } else {
            runLog_->AddText("<li><dt> %s is out of service (restored from the journal).</li>",
                             HtmlEscaped(device).c_str());
        }
    }
}

void CAlarmLifecycle::Start(Dispatcher& dispatcher, UiPort& ui, int tickMs) {
    dispatcher_ = &dispatcher;
    ui_ = &ui;
    lastPrune_ = 0;
    dispatcher.StartTimer(kTickTimerId, tickMs, Dispatcher::TimerMode::kRepeat, [this] { Tick(); });
    dispatcher.StartTimer(kSoundTimerId, kSoundRepeatMs, Dispatcher::TimerMode::kRepeat,
                          [this] { SoundTick(); });
}

void CAlarmLifecycle::Stop() {
    Dispatcher* dispatcher = dispatcher_.load();
    if (dispatcher != nullptr && dispatcher->IsDispatcherThread()) {
        dispatcher->StopTimer(kTickTimerId);
        dispatcher->StopTimer(kSoundTimerId);
        // Feed updates still waiting run now: nothing the operator is to hear of is lost.
        RunWaitingFeeds(0, true);
    }
    dispatcher_ = nullptr;
    // The writer ends with the run's other threads; what is queued is committed first.
    if (writer_) {
        writer_->Stop();
    }
}

void CAlarmLifecycle::SetDeviceDirectory(std::function<bool(const std::string&)> exists) {
    exists_ = std::move(exists);
}

void CAlarmLifecycle::SetRetentionSource(std::function<int()> days) {
    retention_ = std::move(days);
}

void CAlarmLifecycle::SetSoundRepeatSource(std::function<bool()> on) {
    soundRepeat_ = std::move(on);
}

std::string CAlarmLifecycle::JournalPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void CAlarmLifecycle::FlushJournal() {
    if (writer_) {
        writer_->Flush();
    }
}

// ---- journal writes -------------------------------------------------------------------

CAlarmLifecycle::Commit CAlarmLifecycle::QueueLocked(Job job) {
    Commit commit;
    if (!writer_) {
        std::promise<bool> none;
        none.set_value(false);
        commit.done = none.get_future();
        return commit;
    }
    auto promise = std::make_shared<std::promise<bool>>();
    commit.done = promise->get_future();
    // Queued under the lock: the journal takes the changes in the order memory took them.
    writer_->Post(std::move(job), [promise](bool ok) { promise->set_value(ok); });
    return commit;
}

void CAlarmLifecycle::Finish(Commit commit) {
    bool committed = false;
    Dispatcher* dispatcher = dispatcher_.load();
    if (commit.done.valid()) {
        if (dispatcher != nullptr && dispatcher->IsDispatcherThread()) {
            dispatcher->WaitPumping(
                [&] {
                    return commit.done.wait_for(std::chrono::seconds(0)) ==
                           std::future_status::ready;
                },
                60000);
        }
        committed = commit.done.get();
    }
    if (!committed && writer_ && runLog_ != nullptr) {
        runLog_->AddError(
            "<li><dt> Alarm journal: a change could not be committed; it is kept in memory "
            "for this run only.</li>");
    }
    for (const AlarmChange& change : commit.changes) {
        listeners_.Notify(change);
    }
    if (commit.releaseDevice != 0 && dispatcher != nullptr) {
        const std::uint64_t device = commit.releaseDevice;
        dispatcher->Post([this, device] { RunWaitingFeeds(device, false); });
    }
}

void CAlarmLifecycle::SaveLocked(Commit& commit, const Entry& entry, const char* event,
                                 const alarms::Actor& actor, const std::string& comment) {
    store::JournalAlarm alarm = entry.journal;
    store::JournalTransition transition{alarm.record.id,    Now(), event,
                                        alarm.record.state, actor, comment};
    Commit queued = QueueLocked([alarm, transition](store::CDatabase& db) {
        return store::journal::SaveAlarm(db, alarm) &&
               store::journal::AddTransition(db, transition);
    });
    commit.done = std::move(queued.done);
}

AlarmChange CAlarmLifecycle::ChangeOf(AlarmChange::Kind kind, const Entry& entry,
                                      const alarms::Actor& actor) const {
    AlarmChange change;
    change.kind = kind;
    change.alarm = entry.journal.record;
    change.device = entry.journal.record.device;
    change.deviceId = entry.journal.record.deviceId;
    change.actor = actor;
    auto found = suppressions_.find(change.device);
    if (found != suppressions_.end()) {
        change.suppression = found->second;
    }
    return change;
}

// ---- lookups ---------------------------------------------------------------------------

CAlarmLifecycle::Entry* CAlarmLifecycle::ActiveOfLocked(std::uint64_t deviceId) {
    for (auto& [id, entry] : open_) {
        if (entry.journal.record.deviceId == deviceId && deviceId != 0 &&
            alarms::IsActive(entry.journal.record.state)) {
            return &entry;
        }
    }
    return nullptr;
}

CAlarmLifecycle::Entry* CAlarmLifecycle::RestoredOfLocked(const std::string& name) {
    for (auto& [id, entry] : open_) {
        if (entry.restored && entry.journal.record.device == name &&
            alarms::IsActive(entry.journal.record.state)) {
            return &entry;
        }
    }
    return nullptr;
}

CAlarmLifecycle::Entry* CAlarmLifecycle::CurrentOfLocked(const AlarmDeviceFacts& device) {
    Entry* entry = ActiveOfLocked(device.id);
    return entry != nullptr ? entry : RestoredOfLocked(device.name);
}

DeviceSuppression CAlarmLifecycle::EffectiveLocked(const std::string& device) const {
    auto found = suppressions_.find(device);
    if (found == suppressions_.end() || alarms::IsExpired(found->second, Now())) {
        return {};
    }
    return found->second;
}

// ---- device events ---------------------------------------------------------------------

void CAlarmLifecycle::OnAlarmOpened(const AlarmDeviceFacts& device, const std::string& report) {
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        devices_[device.id].name = device.name;
        if (Entry* restored = RestoredOfLocked(device.name)) {
            // The same alarm goes on after the restart: the same id, no second opening.
            restored->restored = false;
            restored->continued = true;
            restored->journal.record.deviceId = device.id;
            restored->journal.record.maxValue =
                std::max(restored->journal.record.maxValue, device.value);
            SaveLocked(commit, *restored, "continued", {}, {});
            AlarmChange change = ChangeOf(AlarmChange::Kind::Opened, *restored, {});
            change.restored = true;
            commit.changes.push_back(std::move(change));
        } else {
            Entry entry;
            AlarmRecord& a = entry.journal.record;
            a.id = ++lastId_;
            a.deviceId = device.id;
            a.device = device.name;
            a.state = AlarmState::ActiveUnacked;
            a.opened = Now();
            a.openValue = device.value;
            a.maxValue = device.value;
            a.report = report;
            entry.journal.announced =
                !alarms::WithholdsAlarmActions(EffectiveLocked(device.name), a.opened);
            entry.committed = false;
            auto& stored = open_[a.id] = std::move(entry);
            SaveLocked(commit, stored, "opened", {}, {});
            commit.changes.push_back(ChangeOf(AlarmChange::Kind::Opened, stored, {}));
        }
        commit.releaseDevice = device.id;
    }
    const std::int64_t id = commit.changes.front().alarm.id;
    Finish(std::move(commit));
    std::lock_guard lock(mutex_);
    if (auto found = open_.find(id); found != open_.end()) {
        found->second.committed = true;
    }
}

OpResult CAlarmLifecycle::ApplyEventLocked(Entry& entry, AlarmEvent event,
                                           const alarms::Actor& actor, const std::string& comment,
                                           Commit& commit) {
    AlarmRecord& a = entry.journal.record;
    const alarms::AlarmStep step = alarms::Apply({a.state, a.commLost}, event);
    if (!step.accepted) {
        return OpResult::Fail(OpStatus::NotFound, "the alarm is closed");
    }
    if (!step.changed) {
        return OpResult::Ok();
    }
    const AlarmState before = a.state;
    a.state = step.after.state;
    a.commLost = step.after.commLost;
    AlarmChange::Kind kind = AlarmChange::Kind::CommLost;
    switch (event) {
        case AlarmEvent::Acknowledge:
            a.ackedBy = actor.user;
            a.ackedAt = Now();
            a.comment = comment;
            kind = before == AlarmState::RtnUnacked ? AlarmChange::Kind::Closed
                                                    : AlarmChange::Kind::Acknowledged;
            break;
        case AlarmEvent::Return:
            a.returned = Now();
            entry.restored = false;
            kind = AlarmChange::Kind::Returned;
            break;
        case AlarmEvent::CommLost:
        case AlarmEvent::CommRestored:
            // Restored connections are journaled but told as nothing new.
            kind = AlarmChange::Kind::CommLost;
            break;
    }
    SaveLocked(commit, entry, alarms::EventName(event), actor, comment);
    if (event != AlarmEvent::CommRestored) {
        commit.changes.push_back(ChangeOf(kind, entry, actor));
    }
    return OpResult::Ok();
}

void CAlarmLifecycle::OnAlarmClosed(const AlarmDeviceFacts& device) {
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        Entry* entry = ActiveOfLocked(device.id);
        if (entry == nullptr) {
            return;
        }
        const std::int64_t id = entry->journal.record.id;
        ApplyEventLocked(*entry, AlarmEvent::Return, {}, {}, commit);
        if (entry->journal.record.state == AlarmState::Closed) {
            open_.erase(id);
        }
    }
    Finish(std::move(commit));
}

void CAlarmLifecycle::OnDeviceData(const AlarmDeviceFacts& device) {
    std::lock_guard lock(mutex_);
    Device& d = devices_[device.id];
    d.name = device.name;
    d.dataRun = true;
}

void CAlarmLifecycle::OnProcessorRun(const AlarmDeviceFacts& device, bool inAlarm) {
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        Device& d = devices_[device.id];
        d.name = device.name;
        const bool dataRun = std::exchange(d.dataRun, false);
        if (inAlarm) {
            if (Entry* entry = ActiveOfLocked(device.id)) {
                entry->journal.record.maxValue =
                    std::max(entry->journal.record.maxValue, device.value);
            }
        }
        if (!dataRun || d.firstData) {
            return;
        }
        // A run without an alarm on a device that reports one did not decide (a batch
        // that could not be read), nor does a single quiet portion: the next data decides.
        if (!inAlarm && (device.status == kDevAlarm || ++d.quietRuns < kQuietRunsToReturn)) {
            return;
        }
        d.firstData = true;
        Entry* restored = RestoredOfLocked(device.name);
        if (restored == nullptr || inAlarm) {
            return;
        }
        // Back to normal while the program was away.
        restored->journal.record.deviceId = device.id;
        const std::int64_t id = restored->journal.record.id;
        ApplyEventLocked(*restored, AlarmEvent::Return, {}, {}, commit);
        if (restored->journal.record.state == AlarmState::Closed) {
            open_.erase(id);
        }
    }
    Finish(std::move(commit));
}

void CAlarmLifecycle::OnDeviceState(const AlarmDeviceFacts& device) {
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        Entry* entry = CurrentOfLocked(device);
        if (entry == nullptr) {
            return;
        }
        if (device.status == kDevNoConnection && !entry->journal.record.commLost) {
            ApplyEventLocked(*entry, AlarmEvent::CommLost, {}, {}, commit);
        } else if (IsOnlineStatus(static_cast<std::int32_t>(device.status)) &&
                   entry->journal.record.commLost) {
            ApplyEventLocked(*entry, AlarmEvent::CommRestored, {}, {}, commit);
        } else {
            return;
        }
    }
    Finish(std::move(commit));
}

void CAlarmLifecycle::ForgetDevice(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    devices_.erase(id);
    for (auto& [alarmId, entry] : open_) {
        if (entry.journal.record.deviceId == id) {
            // A device of the same name that comes again continues it, as after a restart.
            entry.journal.record.deviceId = 0;
            entry.restored = alarms::IsActive(entry.journal.record.state);
        }
    }
}

// ---- the feed gate ---------------------------------------------------------------------

void CAlarmLifecycle::GateFeed(const AlarmDeviceFacts& device, std::function<void()> feed) {
    {
        std::lock_guard lock(mutex_);
        auto queued = waiting_.find(device.id);
        const bool behindOthers = queued != waiting_.end() && !queued->second.empty();
        Entry* entry = CurrentOfLocked(device);
        const bool uncommitted = entry != nullptr && !entry->committed;
        const bool notYetOpened = device.status == kDevAlarm && entry == nullptr;
        if (behindOthers || uncommitted || notYetOpened) {
            waiting_[device.id].push_back(
                {std::chrono::steady_clock::now() + std::chrono::milliseconds(kFeedWaitMs),
                 std::move(feed)});
            return;
        }
    }
    feed();
}

void CAlarmLifecycle::RunWaitingFeeds(std::uint64_t deviceId, bool all) {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            const bool released = all || it->first == deviceId;
            auto& list = it->second;
            std::size_t n = 0;
            if (released) {
                n = list.size();
            } else {
                while (n < list.size() && list[n].deadline <= now) {
                    ++n;
                }
            }
            for (std::size_t i = 0; i < n; ++i) {
                ready.push_back(std::move(list[i].feed));
            }
            list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(n));
            it = list.empty() ? waiting_.erase(it) : std::next(it);
        }
    }
    for (auto& feed : ready) {
        feed();
    }
}

ActionGate CAlarmLifecycle::GateFor(const DeviceSnapshot& device) {
    ActionGate gate;
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        const std::int64_t now = Now();
        const DeviceSuppression s = EffectiveLocked(device.sName);
        gate.alarm = !alarms::WithholdsAlarmActions(s, now);
        gate.connection = !alarms::WithholdsConnectionActions(s, now);
        if (device.nStatus != kDevAlarm) {
            return gate;
        }
        Entry* entry = CurrentOfLocked({device.id, device.sName, device.nStatus, 0.0});
        if (entry == nullptr) {
            return gate;
        }
        // Restored, whether or not the processor has taken it up again yet.
        if ((entry->continued || entry->restored) && entry->journal.announced) {
            // Mails and SMS went out before the restart; the window shows it while unacked.
            gate.alarmMail = false;
            gate.alarm = gate.alarm && Unacked(entry->journal.record.state);
        } else if (gate.alarm && !entry->journal.announced) {
            entry->journal.announced = true;
            store::JournalAlarm alarm = entry->journal;
            commit = QueueLocked(
                [alarm](store::CDatabase& db) { return store::journal::SaveAlarm(db, alarm); });
        }
    }
    // Bookkeeping only: the actions do not wait for it.
    return gate;
}

// ---- timers ----------------------------------------------------------------------------

void CAlarmLifecycle::Tick() {
    std::vector<std::string> expired;
    {
        std::lock_guard lock(mutex_);
        const std::int64_t now = Now();
        for (const auto& [device, s] : suppressions_) {
            if (alarms::IsExpired(s, now)) {
                expired.push_back(device);
            }
        }
    }
    for (const std::string& device : expired) {
        SetSuppression(device, {}, "expired", {}, DeviceSuppression::Kind::Shelved);
    }
    RunWaitingFeeds(0, false);
    const std::int64_t now = Now();
    if (now - lastPrune_ >= kDaySeconds) {
        lastPrune_ = now;
        PruneNow(false);  // the dispatcher does not wait for it
    }
}

void CAlarmLifecycle::SoundTick() {
    if (ui_ == nullptr) {
        return;
    }
    bool unacked = false;
    if (soundRepeat_ && soundRepeat_()) {
        std::lock_guard lock(mutex_);
        const std::int64_t now = Now();
        for (const auto& [id, entry] : open_) {
            const AlarmRecord& a = entry.journal.record;
            if (Unacked(a.state) &&
                !alarms::WithholdsAlarmActions(EffectiveLocked(a.device), now)) {
                unacked = true;
                break;
            }
        }
    }
    if (unacked) {
        ui_->PlayAlarmSound();
        soundOn_ = true;
    } else if (soundOn_) {
        ui_->StopAlarmSound();
        soundOn_ = false;
    }
}

int CAlarmLifecycle::PruneNow(bool wait) {
    int days = retention_ ? retention_() : 400;
    if (days < 1) {
        days = 400;
    }
    days = std::min(days, kMaxRetentionDays);
    const std::int64_t before = Now() - static_cast<std::int64_t>(days) * kDaySeconds;
    if (!writer_) {
        return 0;
    }
    auto removed = std::make_shared<int>(0);
    CLog* log = runLog_;
    auto job = [removed, before](store::CDatabase& db) {
        *removed = store::journal::Prune(db, before);
        return *removed >= 0;
    };
    auto done = [removed, log, days](bool) {
        if (*removed > 0 && log != nullptr) {
            log->AddText(
                "<li><dt> Alarm journal: %d closed alarms older than %d days removed.</li>",
                *removed, days);
        }
    };
    if (!wait) {
        writer_->Post(job, done);
        return -1;
    }
    const bool ok = writer_->Run(job);
    done(ok);
    return *removed;
}

// ---- operations ------------------------------------------------------------------------

OpResult CAlarmLifecycle::Acknowledge(std::int64_t id, const alarms::Actor& actor,
                                      const std::string& comment, AlarmRecord* after) {
    if (OpResult check = alarms::CheckComment(comment); !check) {
        return check;
    }
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        auto found = open_.find(id);
        if (found == open_.end()) {
            return OpResult::Fail(OpStatus::NotFound, "no open alarm has this id");
        }
        Entry& entry = found->second;
        OpResult result = ApplyEventLocked(entry, AlarmEvent::Acknowledge, actor, comment, commit);
        if (!result) {
            return result;
        }
        if (after != nullptr) {
            *after = entry.journal.record;
        }
        if (entry.journal.record.state == AlarmState::Closed) {
            open_.erase(found);
        }
    }
    Finish(std::move(commit));
    return OpResult::Ok();
}

OpResult CAlarmLifecycle::AcknowledgeAll(const alarms::Actor& actor, const std::string& comment,
                                         int* count) {
    if (OpResult check = alarms::CheckComment(comment); !check) {
        return check;
    }
    std::vector<Commit> commits;
    {
        std::lock_guard lock(mutex_);
        for (auto it = open_.begin(); it != open_.end();) {
            Commit commit;
            ApplyEventLocked(it->second, AlarmEvent::Acknowledge, actor, comment, commit);
            const bool closed = it->second.journal.record.state == AlarmState::Closed;
            if (!commit.changes.empty()) {
                commits.push_back(std::move(commit));
            }
            it = closed ? open_.erase(it) : std::next(it);
        }
    }
    if (count != nullptr) {
        *count = static_cast<int>(commits.size());
    }
    for (Commit& commit : commits) {
        Finish(std::move(commit));
    }
    return OpResult::Ok();
}

void CAlarmLifecycle::AnnounceWithheldLocked(const std::string& device, Commit& commit,
                                             const alarms::Actor& actor) {
    for (auto& [id, entry] : open_) {
        AlarmRecord& a = entry.journal.record;
        if (a.device != device || !alarms::IsActive(a.state) || entry.journal.announced ||
            a.deviceId == 0) {
            continue;
        }
        entry.journal.announced = true;
        store::JournalAlarm alarm = entry.journal;
        store::JournalTransition transition{a.id, Now(), "announced", a.state, actor, {}};
        Commit queued = QueueLocked([alarm, transition](store::CDatabase& db) {
            return store::journal::SaveAlarm(db, alarm) &&
                   store::journal::AddTransition(db, transition);
        });
        commit.done = std::move(queued.done);
        commit.changes.push_back(ChangeOf(AlarmChange::Kind::Announced, entry, actor));
    }
}

OpResult CAlarmLifecycle::SetSuppression(const std::string& device, const DeviceSuppression& s,
                                         const char* event, const alarms::Actor& actor,
                                         DeviceSuppression::Kind onlyIf) {
    if (exists_ && !exists_(device) && s.kind != DeviceSuppression::Kind::None) {
        return OpResult::Fail(OpStatus::NotFound, "no device has this name");
    }
    Commit commit;
    {
        std::lock_guard lock(mutex_);
        auto found = suppressions_.find(device);
        const DeviceSuppression::Kind current =
            found == suppressions_.end() ? DeviceSuppression::Kind::None : found->second.kind;
        if (s.kind == DeviceSuppression::Kind::None) {
            if (current != onlyIf) {
                return OpResult::Ok();  // nothing of that kind to end
            }
            suppressions_.erase(found);
        } else {
            suppressions_[device] = s;
        }
        store::JournalSuppressionEvent entry{device, Now(), event, s, actor};
        commit = QueueLocked([device, s, entry](store::CDatabase& db) {
            return store::journal::SaveSuppression(db, device, s) &&
                   store::journal::AddSuppressionEvent(db, entry);
        });
        AlarmChange change;
        change.device = device;
        change.suppression = s;
        change.actor = actor;
        if (s.kind == DeviceSuppression::Kind::Shelved) {
            change.kind = AlarmChange::Kind::Shelved;
        } else if (s.kind == DeviceSuppression::Kind::OutOfService) {
            change.kind = AlarmChange::Kind::OutOfService;
        } else {
            change.kind = onlyIf == DeviceSuppression::Kind::Shelved ? AlarmChange::Kind::Unshelved
                                                                     : AlarmChange::Kind::InService;
        }
        for (const auto& [id, e] : devices_) {
            if (e.name == device) {
                change.deviceId = id;
            }
        }
        commit.changes.push_back(std::move(change));
        if (s.kind == DeviceSuppression::Kind::None) {
            // Still in alarm as the suppression ends: the alarm reaches people now.
            Commit announce;
            AnnounceWithheldLocked(device, announce, actor);
            if (announce.done.valid()) {
                commit.done = std::move(announce.done);  // committed after the event
            }
            for (auto& c : announce.changes) {
                commit.changes.push_back(std::move(c));
            }
        }
    }
    const std::string by = actor.user.empty() ? std::string() : " by " + actor.user;
    if (s.kind == DeviceSuppression::Kind::Shelved) {
        DeviceLogLine(device, "shelved until " + TimeText(s.until) + by + ": " + s.reason, true);
    } else if (s.kind == DeviceSuppression::Kind::OutOfService) {
        DeviceLogLine(device, "out of service" + by + ": " + s.reason, true);
    } else if (std::string(event) == "expired") {
        DeviceLogLine(device, "shelving expired; alarms reach people again", false);
    } else if (onlyIf == DeviceSuppression::Kind::Shelved) {
        DeviceLogLine(device, "unshelved" + by, false);
    } else {
        DeviceLogLine(device, "returned to service" + by, false);
    }
    Finish(std::move(commit));
    return OpResult::Ok();
}

void CAlarmLifecycle::DeviceLogLine(const std::string& device, const std::string& text,
                                    bool suppressed) {
    if (deviceLog_ != nullptr) {
        deviceLog_->AddColored(suppressed ? kLogOrange : kLogDarkGreen, "<li><dt> %s: %s</li>",
                               HtmlEscaped(device).c_str(), HtmlEscaped(text).c_str());
    }
}

OpResult CAlarmLifecycle::Shelve(const std::string& device, int minutes, const std::string& reason,
                                 const alarms::Actor& actor) {
    if (OpResult check = alarms::CheckShelve(minutes, reason); !check) {
        return check;
    }
    return SetSuppression(device, alarms::ShelvedFor(Now(), minutes, reason, actor.user), "shelved",
                          actor, DeviceSuppression::Kind::None);
}

OpResult CAlarmLifecycle::Unshelve(const std::string& device, const alarms::Actor& actor) {
    if (exists_ && !exists_(device)) {
        return OpResult::Fail(OpStatus::NotFound, "no device has this name");
    }
    return SetSuppression(device, {}, "unshelved", actor, DeviceSuppression::Kind::Shelved);
}

OpResult CAlarmLifecycle::TakeOutOfService(const std::string& device, const std::string& reason,
                                           const alarms::Actor& actor) {
    if (OpResult check = alarms::CheckOutOfService(reason); !check) {
        return check;
    }
    return SetSuppression(device, alarms::OutOfService(Now(), reason, actor.user), "out_of_service",
                          actor, DeviceSuppression::Kind::None);
}

OpResult CAlarmLifecycle::ReturnToService(const std::string& device, const alarms::Actor& actor) {
    if (exists_ && !exists_(device)) {
        return OpResult::Fail(OpStatus::NotFound, "no device has this name");
    }
    return SetSuppression(device, {}, "in_service", actor, DeviceSuppression::Kind::OutOfService);
}

std::vector<AlarmRecord> CAlarmLifecycle::OpenAlarms() const {
    std::vector<AlarmRecord> list;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, entry] : open_) {
            list.push_back(entry.journal.record);
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const AlarmRecord& a, const AlarmRecord& b) {
        return a.opened != b.opened ? a.opened < b.opened : a.id < b.id;
    });
    return list;
}

bool CAlarmLifecycle::FindAlarm(std::int64_t id, AlarmRecord* alarm) const {
    {
        std::lock_guard lock(mutex_);
        auto found = open_.find(id);
        if (found != open_.end()) {
            if (alarm != nullptr) {
                *alarm = found->second.journal.record;
            }
            return true;
        }
    }
    auto stored = Read<std::optional<AlarmRecord>>(
        [id](store::CDatabase& db) { return store::journal::FindAlarm(db, id); });
    if (stored && alarm != nullptr) {
        *alarm = *stored;
    }
    return stored.has_value();
}

DeviceSuppression CAlarmLifecycle::SuppressionOf(const std::string& device) const {
    std::lock_guard lock(mutex_);
    return EffectiveLocked(device);
}

int CAlarmLifecycle::UnackedAlarmsOf(const std::string& device) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& [id, entry] : open_) {
        if (entry.journal.record.device == device && Unacked(entry.journal.record.state)) {
            ++count;
        }
    }
    return count;
}

template <typename T>
T CAlarmLifecycle::Read(const std::function<T(store::CDatabase&)>& read) const {
    std::string path;
    {
        std::lock_guard lock(mutex_);
        path = path_;
    }
    if (path.empty()) {
        // A journal kept in memory has only the writer's connection.
        T result{};
        if (writer_) {
            writer_->Run([&](store::CDatabase& db) {
                result = read(db);
                return true;
            });
        }
        return result;
    }
    std::lock_guard lock(readMutex_);
    if (!reader_) {
        reader_ = std::make_unique<store::CDatabase>();
        store::OpenOptions options;
        options.readOnly = true;
        if (!reader_->Open(path, options)) {
            reader_.reset();
            return T{};
        }
    }
    return read(*reader_);
}

std::vector<AlarmRecord> CAlarmLifecycle::History(const alarms::HistoryQuery& query) const {
    auto list = Read<std::vector<AlarmRecord>>(
        [&query](store::CDatabase& db) { return store::journal::History(db, query); });
    // What memory knows is newer than the journal for alarms not yet committed or whose
    // largest value grew since.
    std::lock_guard lock(mutex_);
    for (AlarmRecord& a : list) {
        auto found = open_.find(a.id);
        if (found != open_.end()) {
            const std::uint64_t keep = found->second.journal.record.deviceId;
            a = found->second.journal.record;
            a.deviceId = keep;
        }
    }
    return list;
}

alarms::AlarmStatistics CAlarmLifecycle::Statistics(int days) const {
    days = std::clamp(days, 1, kMaxRetentionDays);
    const std::int64_t now = Now();
    const std::int64_t from = now - static_cast<std::int64_t>(days) * kDaySeconds;
    const auto alarms = History({from, 0, "", 0});
    return alarms::ComputeStatistics(alarms, OpenAlarms(), from, now + 1, now);
}

ListenerToken CAlarmLifecycle::AddChangeListener(std::function<void(const AlarmChange&)> listener) {
    return listeners_.Add(std::move(listener));
}

}  // namespace zm
