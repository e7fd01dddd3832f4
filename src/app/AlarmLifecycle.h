#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "alarms/AlarmOperations.h"
#include "alarms/AlarmStateMachine.h"
#include "app/AlarmActions.h"
#include "base/ListenerList.h"
#include "store/AlarmJournal.h"

namespace zm {

class CLog;
class Dispatcher;
class UiPort;

namespace store {
class CDatabase;
class CStoreWriter;
}  // namespace store

// What the lifecycle needs to know of a device at one of its events.
struct AlarmDeviceFacts {
    std::uint64_t id = 0;  // instance id
    std::string name;
    int status = 0;  // device status code
    double value = 0.0;
};

// The alarm lifecycle of the engine: follows the alarm processors' openings and closings
// and the devices' connections, keeps which alarms are open and which devices are
// suppressed, commits every change to the alarm journal before it is told or acted on,
// and brings the open alarms and suppressions back at start-up.
//
// Threads: device events arrive on the devices' event threads, operations on any thread,
// the feed gate and the timers on the dispatcher thread. A commit waited for on the
// dispatcher thread keeps the dispatcher pumping.
class CAlarmLifecycle final : public alarms::AlarmOperations {
  public:
    using Clock = std::function<std::int64_t()>;  // seconds since 1970
    static constexpr const char* kJournalFile = "AlarmJournal.sqlite";
    static constexpr int kTickTimerId = 19001;
    static constexpr int kSoundTimerId = 19002;
    static constexpr int kSoundRepeatMs = 30000;
    // How long a feed update for an alarm waits for the alarm's open to commit.
    static constexpr int kFeedWaitMs = 2000;
    // Data runs without an alarm before a restored alarm counts as returned: a sensor's
    // first portion after a connect may come before its state tells the alarm.
    static constexpr int kQuietRunsToReturn = 2;

    explicit CAlarmLifecycle(Clock clock = {});
    ~CAlarmLifecycle() override;
    CAlarmLifecycle(const CAlarmLifecycle&) = delete;
    CAlarmLifecycle& operator=(const CAlarmLifecycle&) = delete;

    // Opens the journal (an unusable file goes aside, see the store) and restores the open
    // alarms and the suppressions, one run-log line each. Call once, before the devices run.
    void Open(const std::string& path, CLog* runLog, CLog* deviceLog);
    // The dispatcher's timers: shelving expiry and the waiting feed updates every tickMs,
    // the repeated sound, the daily pruning.
    void Start(Dispatcher& dispatcher, UiPort& ui, int tickMs = 500);
    // Stops the timers (dispatcher thread), commits what is queued and ends the journal's
    // writer; later changes stay in memory.
    void Stop();

    // Whether a device of that name exists (operations on devices answer NotFound else).
    void SetDeviceDirectory(std::function<bool(const std::string& name)> exists);
    // Days closed alarms are kept; asked at each pruning.
    void SetRetentionSource(std::function<int()> days);
    // Whether the sound is to be repeated while any alarm is unacknowledged.
    void SetSoundRepeatSource(std::function<bool()> on);

    // Device events (event threads). The processor's run observer comes after its alarm
    // observer; the data event before both.
    void OnAlarmOpened(const AlarmDeviceFacts& device, const std::string& report);
    void OnAlarmClosed(const AlarmDeviceFacts& device);
    void OnDeviceData(const AlarmDeviceFacts& device);
    void OnProcessorRun(const AlarmDeviceFacts& device, bool inAlarm);
    void OnDeviceState(const AlarmDeviceFacts& device);
    void ForgetDevice(std::uint64_t id);

    // The feed update of a device (dispatcher thread): runs `feed` now, or, for a device in
    // alarm whose open is not committed yet, once it is (at most kFeedWaitMs later).
    void GateFeed(const AlarmDeviceFacts& device, std::function<void()> feed);
    // What the device's suppression and its alarm let through to people.
    ActionGate GateFor(const DeviceSnapshot& device);

    // Runs the timers' work now (tests; the timers call it).
    void Tick();
    void SoundTick();
    // Prunes closed alarms older than the retention; the number removed (-1: queued only,
    // when not waiting).
    int PruneNow(bool wait = true);
    void FlushJournal();

    std::string JournalPath() const;

    // alarms::AlarmOperations
    alarms::OpResult Acknowledge(std::int64_t id, const alarms::Actor& actor,
                                 const std::string& comment,
                                 alarms::AlarmRecord* after = nullptr) override;
    alarms::OpResult AcknowledgeAll(const alarms::Actor& actor, const std::string& comment,
                                    int* count = nullptr) override;
    alarms::OpResult Shelve(const std::string& device, int minutes, const std::string& reason,
                            const alarms::Actor& actor) override;
    alarms::OpResult Unshelve(const std::string& device, const alarms::Actor& actor) override;
    alarms::OpResult TakeOutOfService(const std::string& device, const std::string& reason,
                                      const alarms::Actor& actor) override;
    alarms::OpResult ReturnToService(const std::string& device,
                                     const alarms::Actor& actor) override;
    std::vector<alarms::AlarmRecord> OpenAlarms() const override;
    bool FindAlarm(std::int64_t id, alarms::AlarmRecord* alarm) const override;
    alarms::DeviceSuppression SuppressionOf(const std::string& device) const override;
    int UnackedAlarmsOf(const std::string& device) const override;
    std::vector<alarms::AlarmRecord> History(const alarms::HistoryQuery& query) const override;
    alarms::AlarmStatistics Statistics(int days) const override;
    [[nodiscard]] ListenerToken AddChangeListener(
        std::function<void(const alarms::AlarmChange&)> listener) override;

  private:
    struct Entry {
        store::JournalAlarm journal;
        bool restored = false;   // from the journal, its device not seen with data yet
        bool continued = false;  // restored and continued after the restart
        bool committed = true;   // its open is in the journal
    };
    struct Device {
        std::string name;
        bool dataRun = false;    // a data event's processor run is under way
        bool firstData = false;  // the first data since the start was decided
        int quietRuns = 0;       // data runs without an alarm since the start
    };
    struct Waiting {
        std::chrono::steady_clock::time_point deadline;
        std::function<void()> feed;
    };
    // One journal write with the news it carries, told once it is committed.
    struct Commit {
        std::future<bool> done;
        std::vector<alarms::AlarmChange> changes;
        std::uint64_t releaseDevice = 0;  // feeds of this device may run afterwards
    };
    using Job = std::function<bool(store::CDatabase&)>;

    std::int64_t Now() const;
    Commit QueueLocked(Job job);
    void Finish(Commit commit);
    Entry* ActiveOfLocked(std::uint64_t deviceId);
    Entry* RestoredOfLocked(const std::string& name);
    Entry* CurrentOfLocked(const AlarmDeviceFacts& device);
    void SaveLocked(Commit& commit, const Entry& entry, const char* event,
                    const alarms::Actor& actor, const std::string& comment);
    alarms::AlarmChange ChangeOf(alarms::AlarmChange::Kind kind, const Entry& entry,
                                 const alarms::Actor& actor) const;
    alarms::OpResult ApplyEventLocked(Entry& entry, alarms::AlarmEvent event,
                                      const alarms::Actor& actor, const std::string& comment,
                                      Commit& commit);
    alarms::DeviceSuppression EffectiveLocked(const std::string& device) const;
    alarms::OpResult SetSuppression(const std::string& device,
                                    const alarms::DeviceSuppression& suppression, const char* event,
                                    const alarms::Actor& actor,
                                    alarms::DeviceSuppression::Kind onlyIf);
    void AnnounceWithheldLocked(const std::string& device, Commit& commit,
                                const alarms::Actor& actor);
    void RunWaitingFeeds(std::uint64_t deviceId, bool all);
    void DeviceLogLine(const std::string& device, const std::string& text, bool suppressed);
    template <typename T>
    T Read(const std::function<T(store::CDatabase&)>& read) const;

    Clock clock_;
    CLog* runLog_ = nullptr;
    CLog* deviceLog_ = nullptr;
    std::atomic<Dispatcher*> dispatcher_{nullptr};  // read by event threads
    UiPort* ui_ = nullptr;
    std::function<bool(const std::string&)> exists_;
    std::function<int()> retention_;
    std::function<bool()> soundRepeat_;

    mutable std::mutex mutex_;
    std::map<std::int64_t, Entry> open_;  // the alarms not closed, by id
    std::map<std::string, alarms::DeviceSuppression> suppressions_;
    std::map<std::uint64_t, Device> devices_;
    std::map<std::uint64_t, std::vector<Waiting>> waiting_;
    std::int64_t lastId_ = 0;
    std::int64_t lastPrune_ = 0;
    bool soundOn_ = false;

    std::unique_ptr<store::CStoreWriter> writer_;
    std::string path_;
    bool inMemory_ = false;
    mutable std::mutex readMutex_;
    mutable std::unique_ptr<store::CDatabase> reader_;
    ListenerList<const alarms::AlarmChange&> listeners_;
};

}  // namespace zm
