#include "app/ManagerIntegration.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "app/StatusLevel.h"
#include "app/ZorDeviceKind.h"
#include "base/Folders.h"
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

CManagerIntegration::CManagerIntegration(CDeviceRegistry& registry, CLog* runLog)
    : registry_(registry), publisher_(runLog) {}

CManagerIntegration::~CManagerIntegration() {
    Stop();
}

void CManagerIntegration::Apply(const ManagerSettings& settings) {
    const MqttSettings mqtt = MqttSettingsFrom(settings);
    {
        std::lock_guard lock(mutex_);
        station_ = mqtt.station;
    }
    if (mqtt.enabled) {
        for (const auto& device : registry_.GetDevices()) {
            publisher_.PublishState(Describe(*device));
        }
    }
    publisher_.Apply(mqtt);
}

void CManagerIntegration::Stop() {
    publisher_.Stop();
}

DeviceStateRecord CManagerIntegration::Describe(CTavDevice& device) {
    DeviceStateRecord s;
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
    const DeviceStateRecord state = Describe(device);
    publisher_.PublishState(state);
    // A connection counts as lost when an online device stops answering, and as restored
    // when it answers again; a device that never answered loses nothing.
    const char* event = nullptr;
    std::string report;
    {
        std::lock_guard lock(mutex_);
        auto [it, fresh] = lastStatus_.try_emplace(state.name, state.status);
        const int previous = fresh ? state.status : it->second;
        it->second = state.status;
        if (state.status == kDevNoConnection && IsOnline(previous)) {
            lost_.insert(state.name);
            event = AlarmEventRecord::kConnectionLost;
        } else if (IsOnline(state.status) && lost_.erase(state.name) != 0) {
            event = AlarmEventRecord::kConnectionRestored;
        }
        if (event != nullptr) {
            for (const AlarmEventRecord& open : openAlarms_) {
                if (open.device == state.name) {
                    report = open.report;
                }
            }
        }
    }
    if (event != nullptr) {
        publisher_.PublishAlarm({event, state.name, state.time, state.value, report});
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
    publisher_.PublishState(Describe(device));
}

void CManagerIntegration::OnAlarm(CTavDevice& device, bool opened, const std::string& reportPath) {
    AlarmEventRecord event{opened ? AlarmEventRecord::kOpened : AlarmEventRecord::kClosed,
                           device.GetName(), NowSeconds(), device.GetValue(), reportPath};
    {
        std::lock_guard lock(mutex_);
        auto same = [&](const AlarmEventRecord& a) { return a.device == event.device; };
        openAlarms_.erase(std::remove_if(openAlarms_.begin(), openAlarms_.end(), same),
                          openAlarms_.end());
        if (opened) {
            openAlarms_.push_back(event);
        }
    }
    publisher_.PublishAlarm(std::move(event));
}

void CManagerIntegration::ForgetDevice(const std::string& name) {
    {
        std::lock_guard lock(mutex_);
        openAlarms_.erase(
            std::remove_if(openAlarms_.begin(), openAlarms_.end(),
                           [&](const AlarmEventRecord& a) { return a.device == name; }),
            openAlarms_.end());
        lastStatus_.erase(name);
        lost_.erase(name);
    }
    publisher_.ForgetDevice(name);
}

void CManagerIntegration::InstallRoutes(CHttpServer& server) {
    RegisterJsonApi(server, *this);
}

std::string CManagerIntegration::Station() {
    std::lock_guard lock(mutex_);
    return station_;
}

std::vector<DeviceStateRecord> CManagerIntegration::DeviceStates() {
    std::vector<DeviceStateRecord> list;
    for (const auto& device : registry_.GetDevices()) {
        list.push_back(Describe(*device));
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

}  // namespace zm
