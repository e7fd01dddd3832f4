#include "integration/MqttPublisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Log.h"
#include "integration/MqttTopics.h"
#include "platform/NativeThread.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kOnline = "online";
constexpr const char* kOffline = "offline";
constexpr int kStateQos = 1;
constexpr int kDataQos = 0;
constexpr int kAlarmQos = 1;
constexpr std::size_t kBatch = 200;  // messages handed to the socket per loop turn
constexpr int kIdleLoopMs = 50;      // how long a hand-over may wait for the network thread

// libmosquitto keeps its own state per process; the first publisher sets it up and it
// stays for the rest of the run.
void InitLibrary() {
    static const int once = [] { return mosquitto_lib_init(); }();
    (void)once;
}

}  // namespace

struct DeviceEntry {
    DeviceStateRecord state;
    DeviceStateRecord sent;
    bool everSent = false;
    bool dirty = false;  // a change a dashboard shows: published at the next turn
    Clock::time_point lastSent{};
};

// One run of the network thread: its settings and its stop request. A thread that had to
// be abandoned keeps its session and sees its own stop request, never a newer one.
struct Session {
    MqttSettings settings;
    MqttTopics topics;
    bool quit = false;
    bool done = false;
    std::thread thread;
};

struct CMqttPublisher::Core {
    Core(CLog* log, Limits l) : runLog(log), limits(l) {}

    CLog* const runLog;
    const Limits limits;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<Session> session;  // null while stopped

    // By the device's identity: a rename moves its state to the new topic, and two
    // devices never share an entry.
    std::map<std::uint64_t, DeviceEntry> devices;
    std::set<std::uint64_t> dirty;  // devices whose state waits to be published
    std::set<std::string> clears;   // names whose retained state is to be cleared
    std::deque<AlarmEventRecord> alarms;
    std::deque<DataPortionRecord> data;
    bool republishAll = false;
    std::string openAlarms;  // the retained list; published when dirty
    bool openAlarmsKnown = false;
    bool openAlarmsDirty = false;
    Stats stats;

    // The current outage: written to the run log when it begins and when it ends.
    bool away = true;
    bool awayLogged = false;
    Clock::time_point awaySince = Clock::now();
    std::uint64_t outageAlarmsLost = 0;
    std::uint64_t outageDataLost = 0;
    // Losses while connected (a broker slower than the devices): logged at most once a minute.
    std::uint64_t busyDataLost = 0;
    Clock::time_point busyLogged{};

    void Log(LogColor color, const std::string& text) {
        if (runLog != nullptr) {
            runLog->AddColored(color, "<li><dt> MQTT: %s</li>", HtmlEscaped(text).c_str());
        }
    }
};

namespace {

using Core = CMqttPublisher::Core;

// What one network thread works with; callbacks of libmosquitto reach it as their user
// pointer.
struct Link {
    Core* core = nullptr;
    std::shared_ptr<Session> session;
    mosquitto* mosq = nullptr;
    bool socketUp = false;
    bool connected = false;  // CONNACK accepted
    std::string lastLibError;
    int offlineMid = -1;  // the "offline" message of the orderly end
    bool offlineAcked = false;
    Clock::time_point lastRefreshScan{};
};

std::string HostPort(const MqttSettings& s) {
    return s.host + ":" + std::to_string(s.port);
}

bool Quitting(const Link& link) {
    std::lock_guard lock(link.core->mutex);
    return link.session->quit;
}

void NoteAway(Link& link, const std::string& reason) {
    Core& core = *link.core;
    std::string text;
    {
        std::lock_guard lock(core.mutex);
        const bool wasConnected = link.connected;
        link.connected = false;
        core.stats.connected = false;
        if (!core.away) {
            core.away = true;
            core.awaySince = Clock::now();
            core.outageAlarmsLost = 0;
            core.outageDataLost = 0;
            core.awayLogged = false;
        }
        if (core.awayLogged) {
            return;
        }
        core.awayLogged = true;
        text = (wasConnected ? "connection to " : "no connection to ") +
               HostPort(link.session->settings) + (wasConnected ? " lost (" : " (") + reason +
               "); device states are kept and alarm events wait for the broker";
    }
    core.Log(Rgb(200, 100, 0), text);
}

void OnConnect(mosquitto* mosq, void* user, int rc) {
    Link& link = *static_cast<Link*>(user);
    Core& core = *link.core;
    if (rc != 0) {
        NoteAway(link, mosquitto_connack_string(rc));
        return;
    }
    const MqttSettings& s = link.session->settings;
    mosquitto_publish(mosq, nullptr, link.session->topics.Status().c_str(),
                      static_cast<int>(std::strlen(kOnline)), kOnline, kStateQos, true);
    std::string text;
    {
        std::lock_guard lock(core.mutex);
        link.connected = true;
        core.republishAll = true;
        core.stats.connected = true;
        ++core.stats.connects;
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - core.awaySince).count();
        const std::string outage =
            " after " + std::to_string(seconds) + " s away; " +
            std::to_string(core.devices.size()) + " device state(s) republished, " +
            std::to_string(core.alarms.size()) + " queued alarm event(s) sent, " +
            std::to_string(core.outageDataLost) + " data portion(s) not published, " +
            std::to_string(core.outageAlarmsLost) + " alarm event(s) lost to a full queue";
        if (core.stats.connects == 1) {
            text = "connected to " + HostPort(s) + " as station \"" + s.station +
                   "\" under prefix \"" + s.prefix + "\"" + (core.awayLogged ? outage : "");
        } else {
            text = "connected to " + HostPort(s) + " again" + outage;
        }
        core.away = false;
        core.awayLogged = false;
    }
    // Retained states of devices this station no longer has (removed while it was not
    // running) are cleared as the broker hands them over.
    mosquitto_subscribe(mosq, nullptr, link.session->topics.DeviceStateWildcard().c_str(), 1);
    core.Log(Rgb(0, 100, 0), text);
}

void OnMessage(mosquitto* mosq, void* user, const mosquitto_message* message) {
    Link& link = *static_cast<Link*>(user);
    if (message == nullptr || !message->retain || message->payloadlen == 0 ||
        message->topic == nullptr) {
        return;
    }
    const std::string topic = message->topic;
    {
        std::lock_guard lock(link.core->mutex);
        for (const auto& [id, entry] : link.core->devices) {
            if (link.session->topics.DeviceState(entry.state.name) == topic) {
                return;
            }
        }
    }
    mosquitto_publish(mosq, nullptr, topic.c_str(), 0, nullptr, kStateQos, true);
}

// The broker sends the retained states right behind its acknowledgement; after that our
// own states would only come back to us.
void OnSubscribe(mosquitto* mosq, void* user, int mid, int count, const int* granted) {
    (void)mid;
    (void)count;
    (void)granted;
    Link& link = *static_cast<Link*>(user);
    mosquitto_unsubscribe(mosq, nullptr, link.session->topics.DeviceStateWildcard().c_str());
}

void OnDisconnect(mosquitto* mosq, void* user, int rc) {
    (void)mosq;
    Link& link = *static_cast<Link*>(user);
    if (rc != 0) {
        NoteAway(link, link.lastLibError.empty() ? "the broker closed the connection"
                                                 : link.lastLibError);
    }
}

void OnPublish(mosquitto* mosq, void* user, int mid) {
    (void)mosq;
    Link& link = *static_cast<Link*>(user);
    if (mid == link.offlineMid) {
        link.offlineAcked = true;
    }
}

void OnLog(mosquitto* mosq, void* user, int level, const char* text) {
    (void)mosq;
    if ((level & MOSQ_LOG_ERR) != 0 && text != nullptr) {
        static_cast<Link*>(user)->lastLibError = text;
    }
}

std::string ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return std::strerror(errno);
    }
    return mosquitto_strerror(rc);
}

bool Publish(Link& link, const std::string& topic, const std::string& payload, int qos,
             bool retain) {
    const int rc =
        mosquitto_publish(link.mosq, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.empty() ? nullptr : payload.data(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS;
}

// Hands what waits to the socket; true when more is waiting.
bool HandOver(Link& link) {
    Core& core = *link.core;
    std::vector<DeviceStateRecord> states;
    std::vector<std::string> clears;
    std::vector<AlarmEventRecord> alarms;
    std::vector<DataPortionRecord> data;
    std::string busyText;
    std::string openAlarms;
    bool sendOpenAlarms = false;
    bool more = false;
    {
        std::lock_guard lock(core.mutex);
        const auto now = Clock::now();
        if (core.republishAll) {
            core.republishAll = false;
            core.openAlarmsDirty = core.openAlarmsKnown;
            core.dirty.clear();
            for (const auto& [id, entry] : core.devices) {
                core.dirty.insert(id);
            }
        } else if (now - link.lastRefreshScan >= std::chrono::seconds(1)) {
            // A signal that moved is republished now and then, so that a dashboard that
            // subscribes late sees a recent value.
            link.lastRefreshScan = now;
            for (auto& [id, entry] : core.devices) {
                if (entry.everSent && entry.state.value != entry.sent.value &&
                    now - entry.lastSent >= core.limits.stateRefresh) {
                    core.dirty.insert(id);
                }
            }
        }
        clears.assign(core.clears.begin(), core.clears.end());
        core.clears.clear();
        for (auto it = core.dirty.begin(); it != core.dirty.end() && states.size() < kBatch;) {
            auto found = core.devices.find(*it);
            if (found != core.devices.end()) {
                DeviceEntry& entry = found->second;
                states.push_back(entry.state);
                entry.sent = entry.state;
                entry.everSent = true;
                entry.lastSent = now;
            }
            it = core.dirty.erase(it);
        }
        while (!core.alarms.empty() && alarms.size() < kBatch) {
            alarms.push_back(std::move(core.alarms.front()));
            core.alarms.pop_front();
        }
        while (!core.data.empty() && data.size() < kBatch) {
            data.push_back(std::move(core.data.front()));
            core.data.pop_front();
        }
        more = !core.dirty.empty() || !core.alarms.empty() || !core.data.empty();
        // The list follows the events taken in this turn; with more events waiting it
        // waits too, so that it never tells of a state the events have not reached yet.
        if (core.openAlarmsDirty && core.alarms.empty()) {
            openAlarms = core.openAlarms;
            sendOpenAlarms = true;
            core.openAlarmsDirty = false;
        }
        more = more || core.openAlarmsDirty;
        if (core.busyDataLost > 0 && now - core.busyLogged >= std::chrono::minutes(1)) {
            core.busyLogged = now;
            busyText = std::to_string(core.busyDataLost) +
                       " data portion(s) dropped: the broker takes them slower than the "
                       "devices deliver them";
            core.busyDataLost = 0;
        }
    }
    const MqttTopics& topics = link.session->topics;
    std::uint64_t statesDone = 0, alarmsDone = 0, dataDone = 0;
    if (!busyText.empty()) {
        core.Log(Rgb(200, 100, 0), busyText);
    }
    for (const std::string& name : clears) {
        Publish(link, topics.DeviceState(name), std::string(), kStateQos, true);
    }
    for (const DeviceStateRecord& state : states) {
        statesDone +=
            Publish(link, topics.DeviceState(state.name), JsonText(ToJson(state)), kStateQos, true);
    }
    size_t handed = 0;
    for (; handed < alarms.size(); ++handed) {
        if (!Publish(link, topics.Alarm(), JsonText(ToJson(alarms[handed])), kAlarmQos, false)) {
            break;
        }
        ++alarmsDone;
    }
    bool listDone = false;
    if (sendOpenAlarms && handed == alarms.size()) {
        listDone = Publish(link, topics.OpenAlarms(), openAlarms, kAlarmQos, true);
    }
    for (const DataPortionRecord& portion : data) {
        dataDone += Publish(link, topics.DeviceData(portion.device), JsonText(ToJson(portion)),
                            kDataQos, false);
    }
    std::lock_guard lock(core.mutex);
    // Alarm events the socket did not take wait for the next connection, in their order.
    for (size_t i = alarms.size(); i > handed; --i) {
        core.alarms.push_front(std::move(alarms[i - 1]));
    }
    if (handed < alarms.size()) {
        more = false;  // the connection is gone; the loop finds out
    }
    if (sendOpenAlarms && !listDone && !core.openAlarmsDirty) {
        core.openAlarmsDirty = true;  // again at the next connection
    }
    core.stats.alarmListsPublished += listDone;
    core.stats.statesPublished += statesDone;
    core.stats.alarmsPublished += alarmsDone;
    core.stats.dataPublished += dataDone;
    return more;
}

// Waits until the next attempt is due or a stop is requested; false on a stop.
bool WaitForRetry(Link& link, std::chrono::milliseconds delay) {
    std::unique_lock lock(link.core->mutex);
    link.core->wake.wait_for(lock, delay, [&] { return link.session->quit; });
    return !link.session->quit;
}

// The orderly end: the queued alarm events and "offline", each waited for within the
// limit, then the disconnect.
void Farewell(Link& link) {
    Core& core = *link.core;
    const auto end = Clock::now() + core.limits.stopWait;
    if (link.connected) {
        while (Clock::now() < end && HandOver(link)) {
            mosquitto_loop(link.mosq, 0, 1);
        }
        // Acknowledged "offline" (and with it every alarm event before it, QoS 1 keeps
        // the order) before the disconnect.
        mosquitto_publish(link.mosq, &link.offlineMid, link.session->topics.Status().c_str(),
                          static_cast<int>(std::strlen(kOffline)), kOffline, kStateQos, true);
        while (Clock::now() < end && link.connected && !link.offlineAcked) {
            if (mosquitto_loop(link.mosq, 20, 1) != MOSQ_ERR_SUCCESS) {
                break;
            }
        }
    }
    if (link.socketUp) {
        mosquitto_disconnect(link.mosq);
        mosquitto_loop(link.mosq, 50, 1);
    }
    std::string text;
    {
        std::lock_guard lock(core.mutex);
        core.stats.connected = false;
        if (core.away &&
            (core.outageAlarmsLost > 0 || core.outageDataLost > 0 || !core.alarms.empty())) {
            text = "stopped while the broker was away: " + std::to_string(core.alarms.size()) +
                   " alarm event(s) not delivered, " + std::to_string(core.outageAlarmsLost) +
                   " lost to a full queue, " + std::to_string(core.outageDataLost) +
                   " data portion(s) not published";
        } else if (!core.alarms.empty()) {
            text = std::to_string(core.alarms.size()) +
                   " alarm event(s) not delivered before the stop";
        }
    }
    if (!text.empty()) {
        core.Log(Rgb(200, 100, 0), text);
    }
}

std::chrono::milliseconds NextDelay(const Core& core, std::chrono::milliseconds current,
                                    Clock::time_point awaySince) {
    const auto cap = Clock::now() - awaySince < std::chrono::minutes(1) ? core.limits.retryCap
                                                                        : core.limits.longRetryCap;
    return std::min(current * 2, cap);
}

void NetworkThread(std::shared_ptr<Core> corePtr, std::shared_ptr<Session> session) {
    platform::NameCurrentThread("mqtt");
    Core& core = *corePtr;
    Link link;
    link.core = &core;
    link.session = session;
    const MqttSettings& s = session->settings;
    const std::string clientId = "zormanager-" + EncodeTopicLevel(s.station) + "-" +
                                 std::to_string(platform::CurrentProcessId());
    link.mosq = mosquitto_new(clientId.c_str(), true, &link);
    if (link.mosq == nullptr) {
        core.Log(Rgb(200, 0, 0), "cannot create the client: " + std::string(std::strerror(errno)));
    } else {
        mosquitto_int_option(link.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_connect_callback_set(link.mosq, OnConnect);
        mosquitto_disconnect_callback_set(link.mosq, OnDisconnect);
        mosquitto_message_callback_set(link.mosq, OnMessage);
        mosquitto_publish_callback_set(link.mosq, OnPublish);
        mosquitto_subscribe_callback_set(link.mosq, OnSubscribe);
        mosquitto_log_callback_set(link.mosq, OnLog);
        mosquitto_will_set(link.mosq, session->topics.Status().c_str(),
                           static_cast<int>(std::strlen(kOffline)), kOffline, kStateQos, true);
        if (!s.user.empty()) {
            mosquitto_username_pw_set(link.mosq, s.user.c_str(),
                                      s.pass.empty() ? nullptr : s.pass.c_str());
        }
        bool usable = true;
        if (s.tls) {
            // The system's certificate store, the peer's certificate and its host name checked.
            int rc = mosquitto_int_option(link.mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            if (rc == MOSQ_ERR_SUCCESS) {
                rc = mosquitto_tls_opts_set(link.mosq, 1, nullptr, nullptr);
            }
            if (rc == MOSQ_ERR_SUCCESS) {
                rc = mosquitto_tls_insecure_set(link.mosq, false);
            }
            if (rc != MOSQ_ERR_SUCCESS) {
                core.Log(Rgb(200, 0, 0), "TLS cannot be set up: " + ErrorText(rc));
                usable = false;
            }
        }
        auto delay = core.limits.firstRetry;
        bool everTried = false;
        bool everConnected = false;
        while (usable && !Quitting(link)) {
            if (!link.socketUp) {
                if (everTried && !WaitForRetry(link, delay)) {
                    break;
                }
                everTried = true;
                link.lastLibError.clear();
                const int rc = everConnected ? mosquitto_reconnect(link.mosq)
                                             : mosquitto_connect(link.mosq, s.host.c_str(), s.port,
                                                                 core.limits.keepAliveSeconds);
                if (rc != MOSQ_ERR_SUCCESS) {
                    NoteAway(link, link.lastLibError.empty() ? ErrorText(rc) : link.lastLibError);
                    std::lock_guard lock(core.mutex);
                    delay = NextDelay(core, delay, core.awaySince);
                    continue;
                }
                link.socketUp = true;
                everConnected = true;
            }
            const bool more = link.connected && HandOver(link);
            const int rc = mosquitto_loop(link.mosq, more ? 0 : kIdleLoopMs, 1);
            if (rc != MOSQ_ERR_SUCCESS) {
                const std::string why =
                    link.lastLibError.empty() ? ErrorText(rc) : link.lastLibError;
                const bool wasConnected = link.connected;
                link.socketUp = false;
                NoteAway(link, why);
                std::lock_guard lock(core.mutex);
                delay =
                    wasConnected ? core.limits.firstRetry : NextDelay(core, delay, core.awaySince);
            } else if (link.connected) {
                delay = core.limits.firstRetry;
            }
        }
        Farewell(link);
        mosquitto_destroy(link.mosq);
    }
    std::lock_guard lock(core.mutex);
    session->done = true;
    core.wake.notify_all();
}

void StopSession(Core& core, std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<Session> session = std::move(core.session);
    if (!session) {
        return;
    }
    session->quit = true;
    core.wake.notify_all();
    const auto limit = core.limits.stopWait + std::chrono::seconds(2);
    const bool ended = core.wake.wait_for(lock, limit, [&] { return session->done; });
    lock.unlock();
    if (ended) {
        session->thread.join();
    } else {
        // Stuck in a name lookup or a connect to a silent host: it keeps its own session
        // and ends by itself.
        session->thread.detach();
        core.Log(Rgb(200, 0, 0), "network thread did not stop in time (FAILED); abandoned");
    }
    lock.lock();
}

}  // namespace

CMqttPublisher::CMqttPublisher(CLog* runLog) : CMqttPublisher(runLog, Limits{}) {}

CMqttPublisher::CMqttPublisher(CLog* runLog, Limits limits)
    : core_(std::make_shared<Core>(runLog, limits)) {
    InitLibrary();
}

CMqttPublisher::~CMqttPublisher() {
    Stop();
}

void CMqttPublisher::Apply(const MqttSettings& settings) {
    std::unique_lock lock(core_->mutex);
    if (core_->session && core_->session->settings == settings && settings.enabled) {
        return;
    }
    StopSession(*core_, lock);
    core_->alarms.clear();
    core_->data.clear();
    core_->clears.clear();
    core_->away = true;
    core_->awayLogged = false;
    core_->awaySince = Clock::now();
    core_->outageAlarmsLost = 0;
    core_->outageDataLost = 0;
    core_->stats.connects = 0;
    if (!settings.enabled) {
        return;
    }
    std::string invalid;
    if (settings.port < 1 || settings.port > 65535) {
        invalid = "mqtt_port " + std::to_string(settings.port) + " is not a port number";
    } else if (settings.host.empty()) {
        invalid = "mqtt_host is empty";
    }
    if (!invalid.empty()) {
        lock.unlock();
        core_->Log(Rgb(200, 0, 0),
                   invalid + "; nothing is published until the settings are mended");
        return;
    }
    auto session = std::make_shared<Session>();
    session->settings = settings;
    session->topics = MqttTopics(settings.prefix, settings.station);
    core_->session = session;
    session->thread = std::thread(NetworkThread, core_, session);
}

void CMqttPublisher::Stop() {
    std::unique_lock lock(core_->mutex);
    StopSession(*core_, lock);
}

bool CMqttPublisher::IsRunning() const {
    std::lock_guard lock(core_->mutex);
    return core_->session != nullptr;
}

void CMqttPublisher::PublishState(const DeviceStateRecord& state) {
    std::lock_guard lock(core_->mutex);
    auto [it, fresh] = core_->devices.try_emplace(state.id);
    DeviceEntry& entry = it->second;
    if (!fresh && entry.state.name != state.name) {
        // Renamed: the old name's retained state would show a device that is gone.
        if (core_->session) {
            core_->clears.insert(entry.state.name);
        }
        entry.everSent = false;
    }
    entry.state = state;
    core_->clears.erase(state.name);
    if (!entry.everSent || !state.SameStateAs(entry.sent)) {
        core_->dirty.insert(state.id);
    }
}

void CMqttPublisher::PublishData(DataPortionRecord data) {
    std::lock_guard lock(core_->mutex);
    if (!core_->session) {
        return;
    }
    if (core_->away) {
        ++core_->outageDataLost;
        ++core_->stats.dataLost;
        return;
    }
    if (core_->data.size() >= core_->limits.dataQueue) {
        ++core_->busyDataLost;
        ++core_->stats.dataLost;
        return;
    }
    core_->data.push_back(std::move(data));
}

void CMqttPublisher::PublishAlarm(AlarmEventRecord event) {
    std::lock_guard lock(core_->mutex);
    if (!core_->session) {
        return;
    }
    if (core_->alarms.size() >= core_->limits.alarmQueue) {
        // The newest events tell the current situation; the oldest make room.
        core_->alarms.pop_front();
        ++core_->outageAlarmsLost;
        ++core_->stats.alarmsLost;
    }
    core_->alarms.push_back(std::move(event));
}

void CMqttPublisher::PatchAlarmState(std::uint64_t id, const std::string& name,
                                     const DeviceStateRecord& fields) {
    std::lock_guard lock(core_->mutex);
    // A restored alarm's device may not be known by its id yet: its name finds it.
    auto it =
        id != 0 ? core_->devices.find(id)
                : std::find_if(core_->devices.begin(), core_->devices.end(),
                               [&](const auto& entry) { return entry.second.state.name == name; });
    if (it == core_->devices.end()) {
        return;
    }
    DeviceStateRecord& state = it->second.state;
    state.shelvedUntil = fields.shelvedUntil;
    state.outOfService = fields.outOfService;
    state.outOfServiceReason = fields.outOfServiceReason;
    state.unackedAlarms = fields.unackedAlarms;
    if (!it->second.everSent || !state.SameStateAs(it->second.sent)) {
        core_->dirty.insert(it->first);
    }
}

void CMqttPublisher::PublishOpenAlarms(std::string payload) {
    std::lock_guard lock(core_->mutex);
    core_->openAlarms = std::move(payload);
    core_->openAlarmsKnown = true;
    core_->openAlarmsDirty = true;
}

void CMqttPublisher::ForgetDevice(std::uint64_t id) {
    std::lock_guard lock(core_->mutex);
    const auto it = core_->devices.find(id);
    if (it == core_->devices.end()) {
        return;
    }
    const std::string name = it->second.state.name;
    core_->devices.erase(it);
    core_->dirty.erase(id);
    // Another device of the same name (a moment during a load) keeps its topic.
    const bool shared =
        std::any_of(core_->devices.begin(), core_->devices.end(),
                    [&](const auto& other) { return other.second.state.name == name; });
    if (core_->session && !shared) {
        core_->clears.insert(name);
    }
}

CMqttPublisher::Stats CMqttPublisher::GetStats() const {
    std::lock_guard lock(core_->mutex);
    Stats stats = core_->stats;
    stats.alarmsWaiting = core_->alarms.size();
    return stats;
}

}  // namespace zm
