#pragma once

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <ctime>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "alarms/AlarmOperations.h"

namespace zm::test {

// The lifecycle's operations in memory, for the widgets' tests: the states move as the
// engine moves them, every write is recorded with its thread, and listeners are told as
// the engine tells them (on the writing thread). `nextResult` fails the next write.
class FakeAlarmOperations final : public alarms::AlarmOperations {
  public:
    struct Call {
        std::string what;  // "ack 3", "shelve Pier-1 60 cleaning", ...
        std::string user;
        bool onGuiThread = false;
    };

    // A new alarm of the device; its id.
    std::int64_t Open(const std::string& device, std::int64_t opened = 1000) {
        std::lock_guard lock(mutex_);
        alarms::AlarmRecord alarm;
        alarm.id = ++lastId_;
        alarm.device = device;
        alarm.opened = opened;
        alarm.maxValue = 800;
        alarms_.push_back(alarm);
        return alarm.id;
    }
    // The engine's own transitions, told to the listeners.
    void Return(std::int64_t id) {
        alarms::AlarmRecord after;
        {
            std::lock_guard lock(mutex_);
            alarms::AlarmRecord* alarm = Find(id);
            alarm->returned = alarm->opened + 60;
            alarm->state = alarm->state == alarms::AlarmState::ActiveAcked
                               ? alarms::AlarmState::Closed
                               : alarms::AlarmState::RtnUnacked;
            after = *alarm;
        }
        Tell(alarms::AlarmChange::Kind::Returned, after);
    }

    alarms::OpResult Acknowledge(std::int64_t id, const alarms::Actor& actor,
                                 const std::string& comment, alarms::AlarmRecord* after) override {
        alarms::AlarmRecord changed;
        {
            std::lock_guard lock(mutex_);
            Record("ack " + std::to_string(id) + (comment.empty() ? "" : " " + comment), actor);
            if (auto failure = TakeFailure()) {
                return *failure;
            }
            alarms::AlarmRecord* alarm = Find(id);
            if (!alarm || alarm->state == alarms::AlarmState::Closed) {
                return alarms::OpResult::Fail(alarms::OpStatus::NotFound, "no such alarm");
            }
            if (alarms::IsAcknowledged(alarm->state)) {
                if (after) {
                    *after = *alarm;
                }
                return alarms::OpResult::Ok();
            }
            alarm->state = alarm->state == alarms::AlarmState::RtnUnacked
                               ? alarms::AlarmState::Closed
                               : alarms::AlarmState::ActiveAcked;
            alarm->ackedBy = actor.user;
            alarm->ackedAt = 2000;
            alarm->comment = comment;
            changed = *alarm;
            if (after) {
                *after = changed;
            }
        }
        Tell(alarms::AlarmChange::Kind::Acknowledged, changed);
        return alarms::OpResult::Ok();
    }
    alarms::OpResult AcknowledgeAll(const alarms::Actor& actor, const std::string& comment,
                                    int* count) override {
        int done = 0;
        for (const alarms::AlarmRecord& alarm : OpenAlarms()) {
            if (!alarms::IsAcknowledged(alarm.state) &&
                Acknowledge(alarm.id, actor, comment, nullptr)) {
                ++done;
            }
        }
        if (count) {
            *count = done;
        }
        return alarms::OpResult::Ok();
    }
    alarms::OpResult Shelve(const std::string& device, int minutes, const std::string& reason,
                            const alarms::Actor& actor) override {
        return Suppress("shelve " + device + " " + std::to_string(minutes) + " " + reason, actor,
                        device, alarms::DeviceSuppression::Kind::Shelved, reason, minutes);
    }
    alarms::OpResult Unshelve(const std::string& device, const alarms::Actor& actor) override {
        return Suppress("unshelve " + device, actor, device, alarms::DeviceSuppression::Kind::None,
                        "", 0);
    }
    alarms::OpResult TakeOutOfService(const std::string& device, const std::string& reason,
                                      const alarms::Actor& actor) override {
        return Suppress("out " + device + " " + reason, actor, device,
                        alarms::DeviceSuppression::Kind::OutOfService, reason, 0);
    }
    alarms::OpResult ReturnToService(const std::string& device,
                                     const alarms::Actor& actor) override {
        return Suppress("in " + device, actor, device, alarms::DeviceSuppression::Kind::None, "",
                        0);
    }

    std::vector<alarms::AlarmRecord> OpenAlarms() const override {
        std::lock_guard lock(mutex_);
        std::vector<alarms::AlarmRecord> open;
        std::copy_if(alarms_.begin(), alarms_.end(), std::back_inserter(open),
                     [](const auto& a) { return a.state != alarms::AlarmState::Closed; });
        return open;
    }
    bool FindAlarm(std::int64_t id, alarms::AlarmRecord* alarm) const override {
        std::lock_guard lock(mutex_);
        for (const auto& a : alarms_) {
            if (a.id == id) {
                *alarm = a;
                return true;
            }
        }
        return false;
    }
    alarms::DeviceSuppression SuppressionOf(const std::string& device) const override {
        std::lock_guard lock(mutex_);
        auto it = suppression_.find(device);
        return it == suppression_.end() ? alarms::DeviceSuppression{} : it->second;
    }
    int UnackedAlarmsOf(const std::string& device) const override {
        int count = 0;
        for (const auto& a : OpenAlarms()) {
            count += a.device == device && !alarms::IsAcknowledged(a.state) ? 1 : 0;
        }
        return count;
    }
    std::vector<alarms::AlarmRecord> History(const alarms::HistoryQuery& query) const override {
        std::lock_guard lock(mutex_);
        lastQuery = query;
        historyOnGuiThread = OnGuiThread();
        std::vector<alarms::AlarmRecord> rows;
        for (const auto& a : alarms_) {
            if (a.opened >= query.from && (query.to == 0 || a.opened < query.to) &&
                (query.device.empty() || a.device == query.device)) {
                rows.push_back(a);
            }
        }
        return rows;
    }
    alarms::AlarmStatistics Statistics(int days) const override {
        std::lock_guard lock(mutex_);
        statisticsDays = days;
        return statistics;
    }
    ListenerToken AddChangeListener(
        std::function<void(const alarms::AlarmChange&)> listener) override {
        return listeners_.Add(std::move(listener));
    }

    std::vector<Call> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    std::optional<alarms::OpResult> nextResult;
    alarms::AlarmStatistics statistics;
    mutable alarms::HistoryQuery lastQuery;
    mutable bool historyOnGuiThread = false;
    mutable int statisticsDays = 0;

  private:
    static bool OnGuiThread() {
        return QThread::currentThread() == QCoreApplication::instance()->thread();
    }
    alarms::AlarmRecord* Find(std::int64_t id) {
        for (auto& a : alarms_) {
            if (a.id == id) {
                return &a;
            }
        }
        return nullptr;
    }
    void Record(const std::string& what, const alarms::Actor& actor) {
        calls_.push_back({what, actor.user, OnGuiThread()});
    }
    std::optional<alarms::OpResult> TakeFailure() {
        auto failure = std::exchange(nextResult, std::nullopt);
        return failure && !*failure ? failure : std::nullopt;
    }
    alarms::OpResult Suppress(const std::string& what, const alarms::Actor& actor,
                              const std::string& device, alarms::DeviceSuppression::Kind kind,
                              const std::string& reason, int minutes) {
        alarms::AlarmChange change;
        {
            std::lock_guard lock(mutex_);
            Record(what, actor);
            if (auto failure = TakeFailure()) {
                return *failure;
            }
            alarms::DeviceSuppression& s = suppression_[device];
            s.kind = kind;
            s.reason = reason;
            s.by = actor.user;
            s.until = minutes > 0 ? std::time(nullptr) + minutes * 60 : 0;
            change.kind = kind == alarms::DeviceSuppression::Kind::None
                              ? alarms::AlarmChange::Kind::Unshelved
                              : alarms::AlarmChange::Kind::Shelved;
            change.device = device;
            change.suppression = s;
        }
        listeners_.Notify(change);
        return alarms::OpResult::Ok();
    }
    void Tell(alarms::AlarmChange::Kind kind, const alarms::AlarmRecord& alarm) {
        alarms::AlarmChange change;
        change.kind = kind;
        change.alarm = alarm;
        change.device = alarm.device;
        listeners_.Notify(change);
    }

    mutable std::mutex mutex_;
    std::int64_t lastId_ = 0;
    std::vector<alarms::AlarmRecord> alarms_;
    std::map<std::string, alarms::DeviceSuppression> suppression_;
    std::vector<Call> calls_;
    ListenerList<const alarms::AlarmChange&> listeners_;
};

}  // namespace zm::test
