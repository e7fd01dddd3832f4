#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/DeviceGate.h"
#include "app/OperationScope.h"
#include "base/ListenerList.h"

namespace zm {

class CIni;
class CLog;
class CTavDevice;

// What a new device is made with.
struct DeviceContext {
    std::string ownCfgPath;  // the device's own default file ("Zor-Device.ini")
    CLog* runLog = nullptr;
    CLog* deviceLog = nullptr;
    std::string initialName;  // "Zor-%H-%M-%S"
    std::string familyCode = "ZOR";
};

// Makes the devices of the registry. The ZOR device plugs in here; until then the
// generic device stands in.
class DeviceFactory {
  public:
    virtual ~DeviceFactory() = default;
    virtual std::shared_ptr<CTavDevice> CreateDevice(const DeviceContext& context) = 0;
};

class GenericDeviceFactory final : public DeviceFactory {
  public:
    std::shared_ptr<CTavDevice> CreateDevice(const DeviceContext& context) override;
};

// The ordered list of devices. The position is the device's number: 1-based in the
// section names "Zor-%02d", 0-based for the colour. One re-entrant lock guards the list
// and is held while the list is read or changed and while devices are made and
// configured; device threads never take it. A device leaves the list under the lock but
// is stopped after the lock is released: the stop waits seconds, and web routes must not
// wait for it.
class CDeviceRegistry {
  public:
    using DevicePtr = std::shared_ptr<CTavDevice>;
    using Pump = std::function<void()>;
    // Hears a device leave the list, on the thread that removes it (the dispatcher), with
    // the registry lock held, after its events were unsubscribed and before its threads
    // stop.
    using RemovedListener = std::function<void(const CTavDevice& device)>;

    // Hears a device's new name with the one it had before: a device is known by its
    // identity, so that its KML file, its MQTT topics, its open alarm and the web follow
    // it. Called on the thread that noticed the rename (a device's event thread after any
    // rename, or whoever called CheckRename); listeners must not wait for the dispatcher.
    using RenamedListener = std::function<void(CTavDevice& device, const std::string& oldName)>;

    CDeviceRegistry(CDeviceGate& gate, DeviceFactory& factory);
    ~CDeviceRegistry();  // RemoveAllDevices
    CDeviceRegistry(const CDeviceRegistry&) = delete;
    CDeviceRegistry& operator=(const CDeviceRegistry&) = delete;

    // Where new devices get their default file and logs.
    void SetContext(std::string ownCfgPath, CLog* runLog, CLog* deviceLog);
    // Called while a removed device's threads are stopping (keeps the dispatcher alive).
    void SetStopPump(Pump pump);
    // Everyone who keeps something per device (the KML file, the alarm memory, a plot
    // series) registers here; the registration ends with the token.
    [[nodiscard]] ListenerToken AddRemovedListener(RemovedListener listener);
    [[nodiscard]] ListenerToken AddRenamedListener(RenamedListener listener);
    // Tells the renamed listeners when the device's name is no longer the one last seen.
    // Every event of a device checks, so every way of renaming is heard; a dialog may call
    // it at once.
    void CheckRename(CTavDevice& device);

    DevicePtr AddDevice(bool applyDefaults);
    // Replaces the list with the devices of sections Zor-01, Zor-02 ... up to the first
    // missing number, and applies each.
    void LoadDevices(CIni& ini);
    // What a reload did, device by device.
    struct ReloadResult {
        int kept = 0;      // same position, same configuration: left running untouched
        int replaced = 0;  // same position, another configuration
        int added = 0;
        int removed = 0;
    };
    // Brings the list in line with the device sections of `ini` like LoadDevices, but a
    // device whose section text is the same as when it was loaded, at the same position,
    // keeps running: its link, open alarm and notification state stay. Only new and
    // changed devices are made anew and applied.
    ReloadResult ReloadDevices(CIni& ini);
    // Deletes every section "Zor-" + digit ... and writes the list into Zor-01, Zor-02 ...;
    // other sections stay.
    void SaveDevices(CIni& ini);
    bool RemoveDevice(const CTavDevice* device);
    // Takes the devices out of the list, asks all of them to stop, then waits for each:
    // their stops overlap. Returns how many were registered.
    std::size_t RemoveDevices(const std::vector<const CTavDevice*>& devices);
    void RemoveAllDevices();
    void DefaultAllDevices();
    void ApplyAllDevices();

    std::string GetDeviceNames() const;  // each name followed by ";"
    std::string GetFirstDeviceName() const;

    std::size_t GetCount() const;
    DevicePtr GetDevice(std::size_t index) const;  // null when out of range
    std::vector<DevicePtr> GetDevices() const;     // a copy of the list
    int IndexOf(const CTavDevice* device) const;   // -1 when not registered

    std::recursive_mutex& Lock() const { return lock_; }
    // The removals and loads in progress; commands that must not run inside their waits
    // ask here.
    COperationTracker& Operations() { return operations_; }

    // Colour of the device at 0-based position index (RGB, red in the low byte).
    static std::uint32_t DeviceColor(int index);
    // "Zor-%02d".
    static std::string SectionName(int number);
    // A device section: "Zor-" with a decimal digit right after it.
    static bool IsDeviceSection(const std::string& name);

  private:
    DevicePtr CreateDevice();
    // The name the device has now is the one known for it, without telling anyone.
    void RememberName(const CTavDevice& device);
    // A loaded device whose name another device of the list has already gets the next
    // free "<name>-2", "<name>-3" ..., as the device dialogs allow no two devices of one
    // name; the run log says so.
    void MakeNameUnique(CTavDevice& device, const std::string& section);
    // Every key=value of a section, sorted by key.
    static std::string SectionText(const CIni& ini, const std::string& section);
    void Subscribe(CTavDevice& device);
    // Lock held: takes the device out of the list and out of our events.
    DevicePtr DetachLocked(const CTavDevice* device);
    // Lock released: asks every device to stop, then waits for each, pumping.
    void StopDetached(std::vector<DevicePtr>& devices);
    void OnNewState(CTavDevice* device);
    void OnNewData(CTavDevice* device);
    void OnNewTrack(CTavDevice* device);

    CDeviceGate& gate_;
    DeviceFactory& factory_;
    mutable std::recursive_mutex lock_;
    std::vector<DevicePtr> devices_;
    // The section each device was loaded from, as it read then.
    std::unordered_map<const CTavDevice*, std::string> loadedSections_;
    std::string ownCfgPath_;
    CLog* runLog_ = nullptr;
    CLog* deviceLog_ = nullptr;
    Pump pump_;
    ListenerList<const CTavDevice&> removedListeners_;
    COperationTracker operations_;
    ListenerList<CTavDevice&, const std::string&> renamedListeners_;
    // Device threads check renames; they never take the registry lock.
    std::mutex namesMutex_;
    std::unordered_map<std::uint64_t, std::string> knownNames_;  // by instance id
};

}  // namespace zm
