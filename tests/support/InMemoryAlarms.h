#pragma once
// The operator's alarm operations kept in memory, for the front ends' tests: the lifecycle
// rules the API and the publishers rely on, and a list of every change made, so that a
// test sees what a request did and that a refused one did nothing.
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "alarms/AlarmOperations.h"
#include "base/ListenerList.h"

namespace zm::test {

class InMemoryAlarms final : public alarms::AlarmOperations {
  public:
    struct Write {
        std::string what;  // "ack 3", "shelve Pier-1 60", ...
        alarms::Actor actor;
    };

    explicit InMemoryAlarms(std::set<std::string> devices) : devices_(std::move(devices)) {}

    // A new alarm as the engine would open it; its id.
    std::int64_t Open(const std::string& device, double value, std::int64_t when) {
        alarms::AlarmRecord alarm;
        {
            std::lock_guard lock(mutex_);
            alarm.id = nextId_++;
            alarm.device = device;
            alarm.opened = when;
            alarm.openValue = value;
            alarm.maxValue = value;
            alarms_[alarm.id] = alarm;
        }
        Tell(alarms::AlarmChange::Kind::Opened, alarm, {});
        return alarm.id;
    }

    std::vector<Write> Writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }

    alarms::OpResult Acknowledge(std::int64_t id, const alarms::Actor& actor,
                                 const std::string& comment, alarms::AlarmRecord* after) override {
        alarms::AlarmRecord alarm;
        {
            std::lock_guard lock(mutex_);
            auto it = alarms_.find(id);
            if (it == alarms_.end() || it->second.state == alarms::AlarmState::Closed) {
                return alarms::OpResult::Fail(alarms::OpStatus::NotFound, "no such alarm");
            }
            if (!alarms::IsAcknowledged(it->second.state)) {
                it->second.state = alarms::AlarmState::ActiveAcked;
                it->second.ackedBy = actor.user;
                it->second.ackedAt = 1700000100;
                it->second.comment = comment;
                writes_.push_back({"ack " + std::to_string(id), actor});
            }
            alarm = it->second;
        }
        if (after != nullptr) {
            *after = alarm;
        }
        Tell(alarms::AlarmChange::Kind::Acknowledged, alarm, actor);
        return alarms::OpResult::Ok();
    }
    alarms::OpResult AcknowledgeAll(const alarms::Actor& actor, const std::string& comment,
                                    int* count) override {
        int n = 0;
        for (const alarms::AlarmRecord& a : OpenAlarms()) {
            if (!alarms::IsAcknowledged(a.state)) {
                Acknowledge(a.id, actor, comment, nullptr);
                ++n;
            }
        }
        if (count != nullptr) {
            *count = n;
        }
        return alarms::OpResult::Ok();
    }
    alarms::OpResult Shelve(const std::string& device, int minutes, const std::string& reason,
                            const alarms::Actor& actor) override {
        if (minutes < alarms::kMinShelveMinutes || minutes > alarms::kMaxShelveMinutes ||
            reason.empty()) {
            return alarms::OpResult::Fail(alarms::OpStatus::BadInput, "bad shelving");
        }
        return Suppress(device, alarms::DeviceSuppression::Kind::Shelved, reason, actor,
                        "shelve " + device + " " + std::to_string(minutes), minutes);
    }
    alarms::OpResult Unshelve(const std::string& device, const alarms::Actor& actor) override {
        return Suppress(device, alarms::DeviceSuppression::Kind::None, "", actor,
                        "unshelve " + device, 0);
    }
    alarms::OpResult TakeOutOfService(const std::string& device, const std::string& reason,
                                      const alarms::Actor& actor) override {
        return Suppress(device, alarms::DeviceSuppression::Kind::OutOfService, reason, actor,
                        "out " + device, 0);
    }
    alarms::OpResult ReturnToService(const std::string& device,
                                     const alarms::Actor& actor) override {
        return Suppress(device, alarms::DeviceSuppression::Kind::None, "", actor, "in " + device,
                        0);
    }

    std::vector<alarms::AlarmRecord> OpenAlarms() const override {
        std::lock_guard lock(mutex_);
        std::vector<alarms::AlarmRecord> list;
        for (const auto& [id, a] : alarms_) {
            if (a.state != alarms::AlarmState::Closed) {
                list.push_back(a);
            }
        }
        return list;
    }
    bool FindAlarm(std::int64_t id, alarms::AlarmRecord* alarm) const override {
        std::lock_guard lock(mutex_);
        auto it = alarms_.find(id);
        if (it == alarms_.end()) {
            return false;
        }
        *alarm = it->second;
        return true;
    }
    alarms::DeviceSuppression SuppressionOf(const std::string& device) const override {
        std::lock_guard lock(mutex_);
        auto it = suppression_.find(device);
        return it == suppression_.end() ? alarms::DeviceSuppression{} : it->second;
    }
    int UnackedAlarmsOf(const std::string& device) const override {
        int n = 0;
        for (const alarms::AlarmRecord& a : OpenAlarms()) {
            n += a.device == device && !alarms::IsAcknowledged(a.state);
        }
        return n;
    }
    std::vector<alarms::AlarmRecord> History(const alarms::HistoryQuery& query) const override {
        std::lock_guard lock(mutex_);
        lastQuery_ = query;
        std::vector<alarms::AlarmRecord> list;
        for (const auto& [id, a] : alarms_) {
            if (a.opened >= query.from && (query.to == 0 || a.opened < query.to) &&
                (query.device.empty() || query.device == a.device)) {
                list.push_back(a);
            }
        }
        return list;
    }
    alarms::HistoryQuery LastQuery() const {
        std::lock_guard lock(mutex_);
        return lastQuery_;
    }
    alarms::AlarmStatistics Statistics(int days) const override {
        alarms::AlarmStatistics stats;
        stats.total = days;  // lets a test see the days that arrived
        stats.topDevices.push_back({"Pier-1", 2});
        return stats;
    }
    ListenerToken AddChangeListener(
        std::function<void(const alarms::AlarmChange&)> listener) override {
        return listeners_.Add(std::move(listener));
    }

  private:
    alarms::OpResult Suppress(const std::string& device, alarms::DeviceSuppression::Kind kind,
                              const std::string& reason, const alarms::Actor& actor,
                              const std::string& what, int minutes) {
        alarms::DeviceSuppression s;
        {
            std::lock_guard lock(mutex_);
            if (devices_.count(device) == 0) {
                return alarms::OpResult::Fail(alarms::OpStatus::NotFound,
                                              "no device \"" + device + "\"");
            }
            s.kind = kind;
            s.reason = reason;
            s.by = actor.user;
            s.since = 1700000000;
            s.until = minutes != 0 ? s.since + 60 * minutes : 0;
            suppression_[device] = s;
            writes_.push_back({what, actor});
        }
        using K = alarms::AlarmChange::Kind;
        alarms::AlarmChange change;
        change.kind = what.rfind("shelve", 0) == 0     ? K::Shelved
                      : what.rfind("unshelve", 0) == 0 ? K::Unshelved
                      : what.rfind("out", 0) == 0      ? K::OutOfService
                                                       : K::InService;
        change.device = device;
        change.suppression = s;
        change.actor = actor;
        listeners_.Notify(change);
        return alarms::OpResult::Ok();
    }
    void Tell(alarms::AlarmChange::Kind kind, const alarms::AlarmRecord& alarm,
              const alarms::Actor& actor) {
        alarms::AlarmChange change;
        change.kind = kind;
        change.alarm = alarm;
        change.device = alarm.device;
        change.actor = actor;
        listeners_.Notify(change);
    }

    const std::set<std::string> devices_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, alarms::AlarmRecord> alarms_;
    std::map<std::string, alarms::DeviceSuppression> suppression_;
    std::vector<Write> writes_;
    std::int64_t nextId_ = 1;
    mutable alarms::HistoryQuery lastQuery_;
    ListenerList<const alarms::AlarmChange&> listeners_;
};

}  // namespace zm::test
