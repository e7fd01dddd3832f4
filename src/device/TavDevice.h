#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "device/DeviceEvent.h"
#include "device/DevicePane.h"
#include "device/DeviceStatus.h"
#include "device/DeviceThread.h"
#include "device/TavDeviceCfg.h"
#include "links/ComPortLink.h"
#include "links/EmulationLink.h"
#include "links/TcpIpLink.h"

namespace zm {

class CIni;
class CLog;

// The event objects of a device, in the order the event thread serves them.
enum DeviceEventObject : unsigned {
    kEvStop = 0,      // ends the event thread
    kEvNewData = 1,   // raise NewDataEvent
    kEvNewState = 2,  // raise NewStateEvent
    kEvNewTrack = 3,  // raise NewTrackEvent
    kEvAll = 4,       // raise all three: data, state, track
};

// The generic monitored device: identity, configuration, links, latest data, status
// codes, its worker threads and its three events.
//
// Ownership: create devices with std::make_shared. The worker threads hold the device
// only while they work in it (a poll, an event), so the last owner may let go at any
// time; a thread that is stuck in a poll keeps the device alive until the poll returns,
// and the device is then destroyed on that thread. Threads refuse to start for a device
// that is not owned by a shared_ptr.
//
// Locks: each group of fields has its own re-entrant lock (see the protected part);
// accessors take exactly that lock, briefly. No lock but the event lock is held while an
// event is raised.
class CTavDevice : public std::enable_shared_from_this<CTavDevice> {
  public:
    using Lock = std::recursive_mutex;
    using WaitHook = CDeviceThread::WaitHook;
    // Runs a device's settings dialog on the live device; true when it ended with OK.
    using SettingsDialog = std::function<bool(CTavDevice& device)>;

    static constexpr std::int32_t kDataKind = 1000;
    static constexpr auto kStopWait = std::chrono::milliseconds(3000);

    // Nothing is started: device status 2, data status 2, no link selected.
    CTavDevice(std::string ownCfgPath, CLog* runLog, std::string initialName = "Tav-Device",
               std::string familyCode = "TAV");
    CTavDevice(const CTavDevice&) = delete;
    CTavDevice& operator=(const CTavDevice&) = delete;

    // Virtual operations, in slot order.
    virtual ~CTavDevice();                                      // 0
    virtual bool Connect();                                     // 1
    virtual void Disconnect();                                  // 2
    virtual void Poll();                                        // 3
    virtual bool QueryFeature(int nFeature);                    // 4: always true
    virtual std::string GetInfoText(const std::string& sItem);  // 5
    virtual void SetDataStatus(std::int32_t nCode);             // 6
    virtual void Emulate();                                     // 7
    // Section empty: the initial name. No CIni: the device's own configuration file.
    virtual bool ImportCfg(const std::string& sSection = {}, CIni* pIni = nullptr);  // 8
    virtual void ExportCfg(const std::string& sSection = {}, CIni* pIni = nullptr);  // 9
    virtual void DefaultCfg();                                                       // 10
    virtual void ApplyCfg();                                                         // 11
    virtual bool EditSettings();                                                     // 12
    virtual bool IsEmulation() const;                                                // 13
    virtual bool IsExternalData() const;                                             // 14
    virtual bool IsTcpIpLink() const;                                                // 15
    virtual bool IsComPortLink() const;                                              // 16
    virtual bool OpenLink();                                                         // 17
    virtual std::string GetLinkText() const;                                         // 18
    virtual std::string GetLinkType() const;                                         // 19
    virtual bool GetLinkError(std::string* pText) const;                             // 20
    virtual void CloseLink();                                                        // 21
    virtual void FireNewData();                                                      // 22
    virtual void FireNewState();                                                     // 23
    virtual void FireNewTrack();                                                     // 24
    virtual bool IsOnline() const;                                                   // 25
    virtual int GetPollPeriod();                                      // 26: milliseconds
    virtual void SetDataStatusEx(std::int32_t nCode, bool bPublish);  // 27
    virtual void PublishStatus();                                     // 28
    virtual void UpdateStatePane(CDevicePane* pPane);                 // 29
    virtual void UpdateDataPane(CDevicePane* pPane, bool bTrack);     // 30

    // What the alert texts ask of a device. GetInfoText takes the column titles as the
    // list shows them, in the current language; these ask the same in every language.
    enum class InfoItem { kParameters, kPosition, kCurValue };
    virtual std::string GetInfoItemText(InfoItem item);

    // Identity.
    const std::string& GetInitialName() const { return m_sInitialName; }
    const std::string& GetFamilyCode() const { return m_sFamily; }
    // Tells this device from every other device of the run, those removed before it
    // included: never 0 and never given twice (an address or a name may be).
    std::uint64_t GetInstanceId() const { return m_nInstanceId; }
    const std::string& GetOwnCfgPath() const { return m_sOwnCfgPath; }
    CLog* GetRunLog() const { return m_pRunLog; }

    // Configuration (settings lock).
    std::string GetName() const;
    void SetName(const std::string& sName);  // sets the new-state event when it changed
    std::uint32_t GetColor() const;
    void SetColor(std::uint32_t crColor);
    bool IsScanning() const;
    bool SetScanning(bool bScanning);              // true when the value changed
    void SetUpdFreq(const std::string& sUpdFreq);  // sets the new-state event when changed
    std::string GetUpdFreq() const;
    void GetSettings(TavDeviceCfg& cfg) const;
    void SetSettings(const TavDeviceCfg& cfg, bool bApply);

    // Status (status lock). The text is left untouched for code 2; with the link flag it
    // reads "<family> on '<link>' : <status text>.".
    std::int32_t GetStatus(std::string* pText = nullptr, bool bWithLink = false) const;
    // GetStatus, except that device status 2 ("Monitoring OFF") gets a text as well, where
    // GetStatus leaves the caller's text as it was: for the pane, the logs and the
    // datagrams, which must never show a stale or an empty status.
    std::int32_t GetStatusWithText(std::string& text, bool bWithLink = false) const;
    void SetStatus(std::int32_t nCode, const std::string* pText = nullptr);
    void SetStatus(std::int32_t nCode, const std::string& sText) { SetStatus(nCode, &sText); }
    bool TakeStateReportRequest();

    // Data (data lock).
    std::int32_t GetDataStatus() const;
    double GetValue() const;
    std::uint64_t GetStatusTime() const;  // UTC, 100-ns units since 1601
    static const char* GetDataStatusText(std::int32_t nCode, bool bLong) {
        return DataStatusText(nCode, bLong);
    }

    // Times and texts (times lock). Times are seconds since 1970.
    std::string GetTrackText() const;
    std::string GetSecondLine() const;
    std::int64_t GetLastDataTime() const;
    std::int64_t GetLastTransactionTime() const;
    std::int64_t GetLastPollTime() const;
    // The settings dialog moves it back when the pause changed, so the next poll is due.
    void SetLastPollTime(std::int64_t tLastPoll);
    bool IsLiveStarted() const;

    // Asks the event thread to raise events (any thread).
    void SetEventObject(DeviceEventObject which);

    // Threads. StartThreads is false when the device is not owned by a shared_ptr or the
    // system refuses a thread. StopThreads waits at most 3 s per thread and calls `pump`
    // at least every 50 ms meanwhile; a thread that does not end is logged FAILED and
    // abandoned (it ends by itself later). True when every thread ended.
    bool StartThreads();
    bool StopThreads(const WaitHook& pump = {});
    // Tells the live thread to end after the exchange in progress, without waiting: the
    // owner of many devices asks them all first, so that their stops overlap instead of
    // adding up. StartThreads clears the request.
    void RequestStopThreads();
    // Whether the live thread was asked to end and has not yet: a poll cycle starts no
    // further exchange.
    bool IsStopRequested() const { return m_bStopRequested.load(); }
    bool AreThreadsRunning() const;
    // Kernel thread ids (0 when not running), for diagnostics.
    int LiveThreadId() const;
    int EventThreadId() const;
    void DelayedLog(const std::string& sText);

    // The attached pane (at most one; null detaches). The device shares the pane's
    // ownership, so a refresh that was under way when it was detached still finds it.
    void AttachPane(std::shared_ptr<CDevicePane> pPane);
    std::shared_ptr<CDevicePane> GetAttachedPane() const;

    // The dialog EditSettings runs (installed by the user interface); none: no dialog.
    static void SetSettingsDialog(SettingsDialog dialog);

  protected:
    struct DataRecord {
        std::int32_t nKind = kDataKind;
        std::int32_t nDataStatus = kDataScanningOff;
        std::uint64_t nStatusTime = 0;  // UTC, 100-ns units since 1601
        double dValue = 0.0;
    };

    // Run-log lines; nothing without a run log.
    void LogText(const std::string& sText) const;
    void LogSuccess(const std::string& sText) const;
    void LogWarning(const std::string& sText) const;
    void LogError(const std::string& sText) const;

    // The record of a "reset" (DefaultCfg) for a device type: the type name is also
    // the name and the stem of the text-log path.
    void ResetCfgLocked(const std::string& sTypeName);
    // The text-log path an import falls back to when "sTxtLog" is missing.
    static std::string ImportTxtLogDefault(const std::string& sName);
    CIni* ResolveIni(CIni* pIni, std::unique_ptr<CIni>& owned) const;

    static std::uint64_t FileTimeNow();

    // Identity: set at construction, read without lock.
    const std::string m_sOwnCfgPath;
    CLog* const m_pRunLog;
    const std::string m_sInitialName;
    const std::string m_sFamily;
    const std::uint64_t m_nInstanceId;

    // Settings lock.
    mutable Lock m_SettingsLock;
    TavDeviceCfg m_Cfg;

    // Data lock.
    mutable Lock m_DataLock;
    DataRecord m_BaseData;

    // Status lock.
    mutable Lock m_StatusLock;
    std::int32_t m_nDevStatus = kDevMonitoringOff;
    std::string m_sStatusText;
    std::int64_t m_tLastStateEvent = 0;
    bool m_bStateReportRequest = false;

    // Link lock: the links, the selection and (for subclasses) whatever a transaction
    // holds. Every link call happens under it. A transaction may hold it for seconds, so
    // nothing the operator's side calls takes it: the configuration lives in the settings,
    // ApplyCfg leaves a busy link's selection to the thread that holds it, and the link's
    // name and last error are read from a snapshot that the link's users renew.
    mutable Lock m_LinkLock;
    CComPortLink m_ComPortLink;
    CTcpIpLink m_TcpIpLink;
    CExtDataLink m_ExtDataLink;
    CEmulationLink m_EmulationLink;
    CDeviceLink* m_pCurrentLink = nullptr;

    // Link lock held: takes up the selection ApplyCfg left pending (closing the link it
    // replaces), and renews the snapshot.
    void SelectPendingLinkLocked();
    void NoteLinkStateLocked();

    // Times lock.
    mutable Lock m_TimesLock;
    std::string m_sTrack;
    std::string m_sSecondLine;
    std::int64_t m_tLastData = 0;
    std::int64_t m_tLastTransaction = 0;
    std::int64_t m_tLastPoll = 0;
    bool m_bLiveStarted = false;

    // Event lock: the three subscriber lists.
    mutable Lock m_EventLock;

  public:
    // Raised on the device's event thread only; each carries the raising device.
    CDeviceEvent NewDataEvent{m_EventLock};
    CDeviceEvent NewStateEvent{m_EventLock};
    CDeviceEvent NewTrackEvent{m_EventLock};

  private:
    struct Signals;
    struct LiveState;

    using QuitFlag = std::shared_ptr<std::atomic<bool>>;
    static void LiveThreadMain(std::weak_ptr<CTavDevice> weak, std::shared_ptr<Signals> sig,
                               QuitFlag quit);
    static void EventThreadMain(std::weak_ptr<CTavDevice> weak, std::shared_ptr<Signals> sig,
                                QuitFlag quit);
    static void DelayedLogThreadMain(std::shared_ptr<Signals> sig);
    void LiveStart(LiveState& st);
    std::chrono::milliseconds LiveStep(LiveState& st);
    // What the live thread does with an exception that a step let out: logged, taken as
    // a lost connection; returns the wait before the next try.
    std::chrono::milliseconds LiveFault(const std::string& what);
    void FireEvents(int which);
    bool StartThread(CDeviceThread& thread, const char* name, std::function<void()> body);
    bool StopThread(CDeviceThread& thread, QuitFlag& quit, const char* name, const WaitHook& pump);
    void StopDelayedLogThread();

    // Shared with the threads, so that an abandoned thread never outlives what it uses.
    std::shared_ptr<Signals> m_pSignals;
    std::atomic<bool> m_bReconnectPending{false};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bLinkSelectionPending{false};

    // What GetLinkText and GetLinkError read, renewed under the link lock.
    struct LinkSnapshot {
        bool hasLink = false;
        std::string name;
        bool ok = true;
        std::string errorText;
    };
    mutable std::mutex m_LinkSnapshotLock;
    LinkSnapshot m_LinkSnapshot;

    // Guards the live and event thread objects. Each thread also has its own quit flag:
    // a thread abandoned by one stop must not pick up signals meant for its successor.
    mutable Lock m_ThreadLock;
    CDeviceThread m_LiveThread;
    CDeviceThread m_EventThread;
    QuitFlag m_pLiveQuit;
    QuitFlag m_pEventQuit;
    std::mutex m_DelayedLogLock;  // guards the delayed-log thread object
    CDeviceThread m_DelayedLogThread;

    mutable std::mutex m_PaneLock;
    std::shared_ptr<CDevicePane> m_pPane;
};

}  // namespace zm
