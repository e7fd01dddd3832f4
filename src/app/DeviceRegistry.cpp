#include "app/DeviceRegistry.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <utility>

#include "base/Ini.h"
#include "base/Log.h"
#include "base/Printf.h"
#include "device/TavDevice.h"

namespace zm {

std::shared_ptr<CTavDevice> GenericDeviceFactory::CreateDevice(const DeviceContext& context) {
    return std::make_shared<CTavDevice>(context.ownCfgPath, context.runLog, context.initialName,
                                        context.familyCode);
}

CDeviceRegistry::CDeviceRegistry(CDeviceGate& gate, DeviceFactory& factory)
    : gate_(gate), factory_(factory) {}

CDeviceRegistry::~CDeviceRegistry() {
    RemoveAllDevices();
}

void CDeviceRegistry::SetContext(std::string ownCfgPath, CLog* runLog, CLog* deviceLog) {
    std::lock_guard lock(lock_);
    ownCfgPath_ = std::move(ownCfgPath);
    runLog_ = runLog;
    deviceLog_ = deviceLog;
}

void CDeviceRegistry::SetStopPump(Pump pump) {
    std::lock_guard lock(lock_);
    pump_ = std::move(pump);
}

ListenerToken CDeviceRegistry::AddRemovedListener(RemovedListener listener) {
    return removedListeners_.Add(std::move(listener));
}

ListenerToken CDeviceRegistry::AddRenamedListener(RenamedListener listener) {
    return renamedListeners_.Add(std::move(listener));
}

void CDeviceRegistry::RememberName(const CTavDevice& device) {
    std::lock_guard lock(namesMutex_);
    knownNames_[device.GetInstanceId()] = device.GetName();
}

void CDeviceRegistry::CheckRename(CTavDevice& device) {
    const std::string name = device.GetName();
    std::string oldName;
    {
        std::lock_guard lock(namesMutex_);
        auto [it, fresh] = knownNames_.try_emplace(device.GetInstanceId(), name);
        if (fresh || it->second == name) {
            return;
        }
        oldName = std::exchange(it->second, name);
    }
    renamedListeners_.Notify(device, oldName);
}

void CDeviceRegistry::MakeNameUnique(CTavDevice& device, const std::string& section) {
    const std::string name = device.GetName();
    const auto taken = [&](const std::string& candidate) {
        return std::any_of(devices_.begin(), devices_.end(), [&](const DevicePtr& other) {
            return other.get() != &device && other->GetName() == candidate;
        });
    };
    if (!taken(name)) {
        return;
    }
    std::string unique;
    for (int n = 2; unique.empty() || taken(unique); ++n) {
        unique = name + "-" + std::to_string(n);
    }
    device.SetName(unique);
    if (runLog_ != nullptr) {
        runLog_->AddWarning("<li><dt> %s: %s '%s' %s; %s '%s'.</li>", section.c_str(),
                            "a device named", name.c_str(), "is in the list already",
                            "this one is named", unique.c_str());
    }
}

std::uint32_t CDeviceRegistry::DeviceColor(int index) {
    const int i = std::max(index, 0);
    const float n = static_cast<float>(std::max(7, i + 1));
    const float d = (n - 1.0f) / 6.0f;
    const float f = n - static_cast<float>(i) - 1.0f;
    const float g = 255.0f / d;
    float red, green;
    if (4.0f * d > f) {
        red = g * (3.0f * d - f);
        green = f * g * 0.5f;
    } else {
        red = g * (f - 5.0f * d);
        green = g * (5.0f * d - f);
    }
    const float blue = g * (f - 3.0f * d);
    auto component = [](float v) {
        return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 255.0f));
    };
    return component(red) | (component(green) << 8) | (component(blue) << 16);
}

std::string CDeviceRegistry::SectionName(int number) {
    return StrPrintf("Zor-%02d", number);
}

bool CDeviceRegistry::IsDeviceSection(const std::string& name) {
    return name.size() > 4 && name.compare(0, 4, "Zor-") == 0 &&
           std::isdigit(static_cast<unsigned char>(name[4])) != 0;
}

void CDeviceRegistry::Subscribe(CTavDevice& device) {
    device.NewStateEvent.Subscribe(this, &CDeviceRegistry::OnNewState);
    device.NewDataEvent.Subscribe(this, &CDeviceRegistry::OnNewData);
    device.NewTrackEvent.Subscribe(this, &CDeviceRegistry::OnNewTrack);
}

void CDeviceRegistry::OnNewState(CTavDevice* device) {
    CheckRename(*device);
    gate_.PassEvent(&DeviceEventSink::OnDeviceNewState, device);
}

void CDeviceRegistry::OnNewData(CTavDevice* device) {
    CheckRename(*device);
    gate_.PassEvent(&DeviceEventSink::OnDeviceNewData, device);
}

void CDeviceRegistry::OnNewTrack(CTavDevice* device) {
    gate_.PassEvent(&DeviceEventSink::OnDeviceNewTrack, device);
}

CDeviceRegistry::DevicePtr CDeviceRegistry::CreateDevice() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[32];
    std::strftime(name, sizeof name, "Zor-%H-%M-%S", &local);

    DeviceContext context;
    context.ownCfgPath = ownCfgPath_;
    context.runLog = runLog_;
    context.deviceLog = deviceLog_;
    context.initialName = name;
    return factory_.CreateDevice(context);
}

CDeviceRegistry::DevicePtr CDeviceRegistry::AddDevice(bool applyDefaults) {
    std::lock_guard lock(lock_);
    DevicePtr device = CreateDevice();
    if (!device) {
        return nullptr;
    }
    const int index = static_cast<int>(devices_.size());
    devices_.push_back(device);
    Subscribe(*device);
    if (applyDefaults) {
        device->DefaultCfg();
    }
    device->SetColor(DeviceColor(index));
    device->SetName(device->GetInitialName());
    RememberName(*device);
    if (applyDefaults) {
        device->ApplyCfg();
    }
    return device;
}

void CDeviceRegistry::LoadDevices(CIni& ini) {
    COperationTracker::Scope operation(operations_);
    // Stopped without the lock: the web routes go on answering meanwhile.
    RemoveAllDevices();
    std::lock_guard lock(lock_);
    // One parse of the file for all sections instead of one per key.
    CIniBatch batch(ini.GetPathName());
    for (int n = 1;; ++n) {
        const std::string section = SectionName(n);
        if (!ini.IsSectionExist(section)) {
            break;
        }
        DevicePtr device = AddDevice(false);
        if (!device) {
            break;
        }
        device->ImportCfg(section, &ini);
        loadedSections_[device.get()] = SectionText(ini, section);
        MakeNameUnique(*device, section);
        RememberName(*device);
        device->ApplyCfg();
    }
}

std::string CDeviceRegistry::SectionText(const CIni& ini, const std::string& section) {
    std::vector<std::string> keys;
    ini.GetKeyNames(section, keys);
    std::sort(keys.begin(), keys.end());
    std::string text;
    for (const std::string& key : keys) {
        text += key;
        text += '=';
        text += ini.GetString(section, key);
        text += '\n';
    }
    return text;
}

CDeviceRegistry::ReloadResult CDeviceRegistry::ReloadDevices(CIni& ini) {
    COperationTracker::Scope operation(operations_);
    ReloadResult result;
    CIniBatch batch(ini.GetPathName());
    std::vector<std::string> sections;
    for (int n = 1; ini.IsSectionExist(SectionName(n)); ++n) {
        sections.push_back(SectionText(ini, SectionName(n)));
    }
    std::vector<bool> kept(sections.size(), false);
    std::vector<DevicePtr> leaving;
    std::vector<DevicePtr> successors;
    {
        std::lock_guard lock(lock_);
        const std::size_t before = devices_.size();
        // From the end, so that the positions of the devices before stay as they are.
        for (std::size_t i = before; i-- > 0;) {
            if (i < sections.size()) {
                // The section as the operator left it, not the running configuration: a
                // sensor's own parameter block, read while polling, is no edit.
                const auto it = loadedSections_.find(devices_[i].get());
                if (it != loadedSections_.end() && it->second == sections[i]) {
                    kept[i] = true;
                    ++result.kept;
                    continue;
                }
                ++result.replaced;
            } else {
                ++result.removed;
            }
            leaving.push_back(DetachLocked(devices_[i].get()));
        }
        result.added = static_cast<int>(sections.size()) - result.kept - result.replaced;
        // Made while their predecessors still exist, so that no successor is taken for
        // the device it replaces; they start only below.
        for (std::size_t i = 0; i < sections.size(); ++i) {
            if (!kept[i]) {
                DevicePtr device = CreateDevice();
                if (!device) {
                    break;
                }
                successors.push_back(std::move(device));
            }
        }
    }
    // The old devices are gone before their successors open the same ports.
    StopDetached(leaving);
    std::lock_guard lock(lock_);
    std::size_t next = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (kept[i]) {
            continue;
        }
        if (next == successors.size()) {
            break;
        }
        DevicePtr device = std::move(successors[next++]);
        devices_.insert(devices_.begin() + static_cast<std::ptrdiff_t>(i), device);
        Subscribe(*device);
        device->SetColor(DeviceColor(static_cast<int>(i)));
        device->SetName(device->GetInitialName());
        const std::string section = SectionName(static_cast<int>(i) + 1);
        device->ImportCfg(section, &ini);
        loadedSections_[device.get()] = sections[i];
        MakeNameUnique(*device, section);
        RememberName(*device);
        device->ApplyCfg();
    }
    return result;
}

void CDeviceRegistry::SaveDevices(CIni& ini) {
    std::lock_guard lock(lock_);
    CIniBatch batch(ini.GetPathName());
    std::vector<std::string> sections;
    ini.GetSectionNames(sections);
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        if (IsDeviceSection(*it)) {
            ini.DeleteSection(*it);
        }
    }
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        devices_[i]->ExportCfg(SectionName(static_cast<int>(i) + 1), &ini);
    }
}

CDeviceRegistry::DevicePtr CDeviceRegistry::DetachLocked(const CTavDevice* device) {
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [device](const DevicePtr& p) { return p.get() == device; });
    if (it == devices_.end()) {
        return nullptr;
    }
    DevicePtr removed = std::move(*it);
    devices_.erase(it);
    loadedSections_.erase(removed.get());
    // Once these return, none of our handlers runs for the device or will run again.
    removed->NewStateEvent.Unsubscribe(this, &CDeviceRegistry::OnNewState);
    removed->NewDataEvent.Unsubscribe(this, &CDeviceRegistry::OnNewData);
    removed->NewTrackEvent.Unsubscribe(this, &CDeviceRegistry::OnNewTrack);
    removedListeners_.Notify(*removed);
    {
        std::lock_guard names(namesMutex_);
        knownNames_.erase(removed->GetInstanceId());
    }
    return removed;
}

void CDeviceRegistry::StopDetached(std::vector<DevicePtr>& devices) {
    Pump pump;
    {
        std::lock_guard lock(lock_);
        pump = pump_;
    }
    // Every poll in progress winds down at once; each stop below then waits only for
    // what is left of its own device's exchange.
    for (const DevicePtr& device : devices) {
        device->RequestStopThreads();
    }
    for (DevicePtr& device : devices) {
        device->StopThreads(pump);
        device.reset();
    }
    devices.clear();
}

bool CDeviceRegistry::RemoveDevice(const CTavDevice* device) {
    return RemoveDevices({device}) == 1;
}

std::size_t CDeviceRegistry::RemoveDevices(const std::vector<const CTavDevice*>& devices) {
    COperationTracker::Scope operation(operations_);
    std::vector<DevicePtr> removed;
    {
        std::lock_guard lock(lock_);
        for (const CTavDevice* device : devices) {
            if (DevicePtr detached = DetachLocked(device)) {
                removed.push_back(std::move(detached));
            }
        }
    }
    const std::size_t count = removed.size();
    StopDetached(removed);
    return count;
}

void CDeviceRegistry::RemoveAllDevices() {
    COperationTracker::Scope operation(operations_);
    std::vector<DevicePtr> removed;
    {
        std::lock_guard lock(lock_);
        while (!devices_.empty()) {
            removed.push_back(DetachLocked(devices_.back().get()));  // last first
        }
    }
    StopDetached(removed);
}

void CDeviceRegistry::DefaultAllDevices() {
    std::lock_guard lock(lock_);
    for (const DevicePtr& device : devices_) {
        device->DefaultCfg();
    }
}

void CDeviceRegistry::ApplyAllDevices() {
    std::lock_guard lock(lock_);
    for (const DevicePtr& device : devices_) {
        device->ApplyCfg();
    }
}

std::string CDeviceRegistry::GetDeviceNames() const {
    std::lock_guard lock(lock_);
    std::string names;
    for (const DevicePtr& device : devices_) {
        names += device->GetName();
        names += ';';
    }
    return names;
}

std::string CDeviceRegistry::GetFirstDeviceName() const {
    std::lock_guard lock(lock_);
    return devices_.empty() ? std::string() : devices_.front()->GetName();
}

std::size_t CDeviceRegistry::GetCount() const {
    std::lock_guard lock(lock_);
    return devices_.size();
}

CDeviceRegistry::DevicePtr CDeviceRegistry::GetDevice(std::size_t index) const {
    std::lock_guard lock(lock_);
    return index < devices_.size() ? devices_[index] : nullptr;
}

std::vector<CDeviceRegistry::DevicePtr> CDeviceRegistry::GetDevices() const {
    std::lock_guard lock(lock_);
    return devices_;
}

int CDeviceRegistry::IndexOf(const CTavDevice* device) const {
    std::lock_guard lock(lock_);
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].get() == device) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace zm
