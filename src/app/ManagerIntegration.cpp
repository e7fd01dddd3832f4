#include "app/ManagerIntegration.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

#include <nlohmann/json.hpp>

#include "alarms/AlarmOperations.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "app/StatusLevel.h"
#include "app/ZorDeviceKind.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "device/DeviceStatus.h"
#include "device/TavDevice.h"
#include "device/zor/ZorDevice.h"

namespace zm {

namespace {

std::int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool IsOnline(int status) {
    return status == kDevOnlineOk || status == kDevEmulation || status == kDevAlarm;
}

}  // namespace

MqttSettings MqttSettingsFrom(const ManagerSettings& settings) {
    MqttSettings m;
    m.enabled = settings.mqtt_enabled != 0;
    m.host = settings.mqtt_host;
    m.port = settings.mqtt_port;
    m.tls = settings.mqtt_tls != 0;
    m.user = settings.mqtt_user;
    m.pass = settings.mqtt_pass;
    m.station = settings.mqtt_station;
    m.prefix = settings.mqtt_prefix;
    return m;
}

CManagerIntegration::CManagerIntegration(CDeviceRegistry& registry, CLog* runLog,
                                         std::string operatorsFile)
    : registry_(registry),
      runLog_(runLog),
      publisher_(runLog),
      operators_(std::move(operatorsFile)),
      access_(operators_) {
    operators_.SetProblemSink([this](const std::string& problem) {
        if (runLog_ != nullptr) {
            runLog_->AddError("<li><dt> Operator accounts: %s</li>", HtmlEscaped(problem).c_str());
        }
    });
}

CManagerIntegration::~CManagerIntegration() {
    alarmListener_.Reset();
    Stop();
}

void CManagerIntegration::AttachAlarms(alarms::AlarmOperations* alarms) {
    alarmListener_.Reset();
    alarms_ = alarms;
    if (alarms != nullptr) {
        alarmListener_ =
            alarms->AddChangeListener([this](const alarms::AlarmChange& c) { OnAlarmChange(c); });
        PublishOpenAlarms();
    }
}

void CManagerIntegration::LogAccountProblems() {
    operators_.HasAccounts();  // reads the file when it changed; the sink logs its problems
}

void CManagerIntegration::Apply(const ManagerSettings& settings, const std::string& settingsFile) {
    const MqttSettings mqtt = MqttSettingsFrom(settings);
    {
        std::lock_guard lock(mutex_);
        station_ = mqtt.station;
    }
    if (!settingsFile.empty()) {
        CIni ini(settingsFile);
        access_.SetReadsNeedAccount(ini.GetInt(ManagerSettings::kSection, "http_auth_reads", 0) !=
                                    0);
    }
    LogAccountProblems();
    if (mqtt.enabled) {
        for (const auto& device : registry_.GetDevices()) {
            publisher_.PublishState(DescribeWithAlarms(*device));
        }
    }
    publisher_.Apply(mqtt);
}

DeviceStateRecord CManagerIntegration::DescribeWithAlarms(CTavDevice& device) {
    DeviceStateRecord s = Describe(device);
    const DeviceStateRecord fields = AlarmFieldsOf(s.name);
    s.shelvedUntil = fields.shelvedUntil;
    s.outOfService = fields.outOfService;
    s.outOfServiceReason = fields.outOfServiceReason;
    s.unackedAlarms = fields.unackedAlarms;
    return s;
}

DeviceStateRecord CManagerIntegration::AlarmFieldsOf(const std::string& name) {
    DeviceStateRecord s;
    s.name = name;
    if (alarms::AlarmOperations* alarms = alarms_) {
        const alarms::DeviceSuppression suppression = alarms->SuppressionOf(s.name);
        if (suppression.kind == alarms::DeviceSuppression::Kind::Shelved) {
            s.shelvedUntil = suppression.until;
        } else if (suppression.kind == alarms::DeviceSuppression::Kind::OutOfService) {
            s.outOfService = true;
            s.outOfServiceReason = suppression.reason;
        }
        s.unackedAlarms = alarms->UnackedAlarmsOf(s.name);
    }
    return s;
}

void CManagerIntegration::PublishOpenAlarms() {
    alarms::AlarmOperations* alarms = alarms_;
    if (alarms == nullptr) {
        return;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const alarms::AlarmRecord& alarm : alarms->OpenAlarms()) {
        list.push_back(ToJson(alarm));
    }
    publisher_.PublishOpenAlarms(
        JsonText(nlohmann::json{{"station", Station()}, {"alarms", list}}));
}

void CManagerIntegration::OnAlarmChange(const alarms::AlarmChange& change) {
    using Kind = alarms::AlarmChange::Kind;
    AlarmEventRecord event;
    event.device = change.device;
    event.time = NowSeconds();
    event.value = std::numeric_limits<double>::quiet_NaN();  // null: no value belongs to it
    const bool alarmKind = change.kind == Kind::Opened || change.kind == Kind::Acknowledged ||
                           change.kind == Kind::Returned || change.kind == Kind::Closed;
    if (alarmKind) {
        event.id = change.alarm.id;
        event.state = alarms::StateName(change.alarm.state);
        event.value = change.kind == Kind::Opened ? change.alarm.openValue : change.alarm.maxValue;
    }
    switch (change.kind) {
        case Kind::Opened:
            event.event = AlarmEventRecord::kOpened;
            break;
        case Kind::Acknowledged:
            event.event = AlarmEventRecord::kAcknowledged;
            event.by = change.actor.user;
            event.comment = change.alarm.comment;
            break;
        case Kind::Returned: {
            event.event = AlarmEventRecord::kReturned;
            std::lock_guard lock(mutex_);
            returnedIds_[change.deviceId] = change.alarm.id;
            break;
        }
        case Kind::Closed:  // an acknowledgement of an alarm that had returned
            event.event = AlarmEventRecord::kAcknowledged;
            event.by = change.actor.user;
            event.comment = change.alarm.comment;
            break;
        case Kind::Shelved:
            event.event = AlarmEventRecord::kShelved;
            event.by = change.actor.user;
            event.until = change.suppression.until;
            event.reason = change.suppression.reason;
            break;
        case Kind::Unshelved:
            event.event = AlarmEventRecord::kUnshelved;
            event.by = change.actor.user;
            break;
        case Kind::OutOfService:
            event.event = AlarmEventRecord::kOutOfService;
            event.by = change.actor.user;
            event.reason = change.suppression.reason;
            break;
        case Kind::InService:
            event.event = AlarmEventRecord::kInService;
            event.by = change.actor.user;
            break;
        case Kind::CommLost:
        case Kind::Announced:
            // The connection events come from the device status as before; an
            // announcement changes nothing a control room sees.
            break;
    }
    // A restored alarm shown again after a restart was told before the restart.
    const bool tell = !event.event.empty() && !(change.kind == Kind::Opened && change.restored);
    if (tell) {
        if (alarmKind) {
            event.report = change.alarm.report;
        }
        publisher_.PublishAlarm(std::move(event));
    }
    PublishOpenAlarms();
    // The device's state carries its suppression and its unacknowledged alarms. Told on
    // device threads too, which must not take the registry's lock: the publisher's copy of
    // the state is patched instead.
    publisher_.PatchAlarmState(change.deviceId, change.device, AlarmFieldsOf(change.device));
}

void CManagerIntegration::Stop() {
    publisher_.Stop();
}

DeviceStateRecord CManagerIntegration::Describe(CTavDevice& device) {
    DeviceStateRecord s;
    s.id = device.GetInstanceId();
    s.name = device.GetName();
    s.status = device.GetStatusWithText(s.statusText);
    const StatusLevel level = GetStatusLevel(s.status);
    s.level = level.level;
    s.icon = level.icon;
    s.time = NowSeconds();
    if (CZorDevice* zor = AsZorDevice(device)) {
        zor->GetPosition(s.latitude, s.longitude);
    }
    s.value = device.GetValue();
    const std::uint32_t color = device.GetColor();  // red in the low byte
    s.red = static_cast<unsigned char>(color & 0xFF);
    s.green = static_cast<unsigned char>((color >> 8) & 0xFF);
    s.blue = static_cast<unsigned char>((color >> 16) & 0xFF);
    return s;
}

void CManagerIntegration::OnDeviceState(CTavDevice& device) {
    const DeviceStateRecord state = DescribeWithAlarms(device);
    publisher_.PublishState(state);
    // A connection counts as lost when an online device stops answering, and as restored
    // when it answers again; a device that never answered loses nothing.
    const char* event = nullptr;
    std::string report;
    {
        std::lock_guard lock(mutex_);
        auto [it, fresh] = lastStatus_.try_emplace(state.id, state.status);
        const int previous = fresh ? state.status : it->second;
        it->second = state.status;
        if (state.status == kDevNoConnection && IsOnline(previous)) {
            lost_.insert(state.id);
            event = AlarmEventRecord::kConnectionLost;
        } else if (IsOnline(state.status) && lost_.erase(state.id) != 0) {
            event = AlarmEventRecord::kConnectionRestored;
        }
        if (event != nullptr) {
            for (const AlarmEventRecord& open : openAlarms_) {
                if (open.deviceId == state.id) {
                    report = open.report;
                }
            }
        }
    }
    if (event != nullptr) {
        publisher_.PublishAlarm({event, state.name, state.time, state.value, report, state.id});
    }
}

void CManagerIntegration::OnDeviceData(CTavDevice& device) {
    CZorDevice* zor = AsZorDevice(device);
    if (zor == nullptr) {
        return;
    }
    const std::vector<std::uint8_t> batch = zor->GetLatestBatch();
    if (batch.empty()) {
        return;
    }
    DataPortionRecord data;
    data.device = device.GetName();
    // Data status times count 100 ns since 1601.
    const std::uint64_t fileTime = device.GetStatusTime();
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    data.time = fileTime > kEpochDifference
                    ? static_cast<std::int64_t>((fileTime - kEpochDifference) / 10000000ULL)
                    : NowSeconds();
    const size_t count = batch.size() / 8;
    data.values.reserve(count);
    data.backgrounds.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        float signal = 0, background = 0;
        std::memcpy(&signal, batch.data() + 8 * i, 4);
        std::memcpy(&background, batch.data() + 8 * i + 4, 4);
        data.values.push_back(signal);
        data.backgrounds.push_back(background);
    }
    publisher_.PublishData(std::move(data));
    // The state carries the current signal.
    publisher_.PublishState(DescribeWithAlarms(device));
}

void CManagerIntegration::OnAlarm(CTavDevice& device, bool opened, const std::string& reportPath) {
    AlarmEventRecord event{opened ? AlarmEventRecord::kOpened : AlarmEventRecord::kClosed,
                           device.GetName(),
                           NowSeconds(),
                           device.GetValue(),
                           reportPath,
                           device.GetInstanceId()};
    {
        std::lock_guard lock(mutex_);
        auto same = [&](const AlarmEventRecord& a) { return a.deviceId == event.deviceId; };
        openAlarms_.erase(std::remove_if(openAlarms_.begin(), openAlarms_.end(), same),
                          openAlarms_.end());
        if (opened) {
            openAlarms_.push_back(event);
        }
    }
    // With the lifecycle its own event tells the opening, with the id; "closed" stays
    // what it always was, the processor's close with the complete report, and gets the id
    // of the alarm that has just returned.
    if (alarms_ == nullptr) {
        publisher_.PublishAlarm(std::move(event));
    } else if (!opened) {
        {
            std::lock_guard lock(mutex_);
            auto it = returnedIds_.find(event.deviceId);
            if (it != returnedIds_.end()) {
                event.id = it->second;
                returnedIds_.erase(it);
            }
        }
        publisher_.PublishAlarm(std::move(event));
    }
}

void CManagerIntegration::ForgetDevice(std::uint64_t id) {
    {
        std::lock_guard lock(mutex_);
        openAlarms_.erase(
            std::remove_if(openAlarms_.begin(), openAlarms_.end(),
                           [&](const AlarmEventRecord& a) { return a.deviceId == id; }),
            openAlarms_.end());
        lastStatus_.erase(id);
        lost_.erase(id);
        returnedIds_.erase(id);
    }
    publisher_.ForgetDevice(id);
}

void CManagerIntegration::OnDeviceRenamed(CTavDevice& device) {
    const std::uint64_t id = device.GetInstanceId();
    const std::string name = device.GetName();
    {
        std::lock_guard lock(mutex_);
        // The open alarm is the device's, whatever it is called now: its closing event
        // then names the alarm that /api/alarms showed.
        for (AlarmEventRecord& open : openAlarms_) {
            if (open.deviceId == id) {
                open.device = name;
            }
        }
    }
    publisher_.PublishState(Describe(device));
}

void CManagerIntegration::InstallRoutes(CHttpServer& server) {
    RegisterJsonApi(
        server, *this, [this] { return alarms_.load(); }, access_);
}

std::string CManagerIntegration::Station() {
    std::lock_guard lock(mutex_);
    return station_;
}

std::vector<DeviceStateRecord> CManagerIntegration::DeviceStates() {
    std::vector<DeviceStateRecord> list;
    for (const auto& device : registry_.GetDevices()) {
        list.push_back(DescribeWithAlarms(*device));
    }
    return list;
}

std::string CManagerIntegration::DataLogsFolder() {
    return GetUserDocsFolder() + "Logs/";
}

std::vector<AlarmEventRecord> CManagerIntegration::OpenAlarms() {
    std::lock_guard lock(mutex_);
    return openAlarms_;
}

OutboxSummaryRecord CManagerIntegration::Summarise(const OutboxStatus& status, std::int64_t nowMs) {
    OutboxSummaryRecord summary;
    summary.pending = status.pending;
    if (status.oldestFailingSinceMs > 0 &&
        nowMs - status.oldestFailingSinceMs >= kOutboxFailingShownMs) {
        summary.oldestFailingSince = status.oldestFailingSinceMs / 1000;
    }
    return summary;
}

OutboxSummaryRecord CManagerIntegration::Outbox() {
    if (!outbox_) {
        return {};
    }
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return Summarise(outbox_(), now);
}

}  // namespace zm
