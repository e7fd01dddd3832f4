#include "device/TavDevice.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>

#include "base/Log.h"
#include "base/Printf.h"
#include "device/TavDeviceSignals.h"
#include "device/TavTexts.h"

namespace zm {

namespace {

std::mutex g_DialogMutex;
CTavDevice::SettingsDialog g_SettingsDialog;

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Local time as the pane shows it.
std::string PaneTimeText() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y/%m/%d ; %H:%M:%S", &tm);
    return std::string(buf, n);
}

}  // namespace

std::uint64_t CTavDevice::FileTimeNow() {
    // 100-ns units between 1601-01-01 and 1970-01-01.
    constexpr std::uint64_t kEpochDelta = 116444736000000000ULL;
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return kEpochDelta + static_cast<std::uint64_t>(since1970.count() / 100);
}

namespace {

std::uint64_t NextInstanceId() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

}  // namespace

CTavDevice::CTavDevice(std::string ownCfgPath, CLog* runLog, std::string initialName,
                       std::string familyCode)
    : m_sOwnCfgPath(std::move(ownCfgPath)),
      m_pRunLog(runLog),
      m_sInitialName(initialName.empty() ? std::string("Tav-Device") : std::move(initialName)),
      m_sFamily(familyCode.empty() ? std::string("TAV") : std::move(familyCode)),
      m_nInstanceId(NextInstanceId()),
      m_pSignals(std::make_shared<Signals>(runLog)) {
    const std::int64_t now = Now();
    m_Cfg.sName = m_sInitialName;
    m_Cfg.comPort = m_ComPortLink.GetSettings();
    m_Cfg.xSocket = m_TcpIpLink.GetSettings();
    m_BaseData.nDataStatus = kDataScanningOff;
    m_BaseData.nStatusTime = FileTimeNow();
    m_BaseData.dValue = 0.0;
    m_tLastData = now - 2;
    m_tLastTransaction = now;
    m_tLastPoll = now;
    m_pSignals->tLastLogOutput = now - 5;
}

CTavDevice::~CTavDevice() {
    StopThreads();
    StopDelayedLogThread();
}

// ---------------------------------------------------------------------------------------
// Slots

bool CTavDevice::Connect() {
    Disconnect();
    if (m_bReconnectPending.load()) {
        SetStatus(kDevDataAbsent, std::string("Connecting..."));
    }
    const bool opened = OpenLink();
    SetDataStatus(opened ? kDataWaiting : kDataPortError);
    PublishStatus();
    m_bReconnectPending.store(false);
    SetEventObject(kEvAll);
    return opened;
}

void CTavDevice::Disconnect() {
    if (!IsScanning()) {
        SetDataStatus(kDataScanningOff);
        PublishStatus();
        SetEventObject(kEvAll);
    }
    CloseLink();
}

void CTavDevice::Poll() {
    if (IsEmulation()) {
        Emulate();
        PublishStatus();
    }
}

bool CTavDevice::QueryFeature(int /*nFeature*/) {
    return true;
}

std::string CTavDevice::GetInfoText(const std::string& sItem) {
    using namespace tavtext;
    if (sItem == TavText(kDevStatus) || sItem == TavText(kStatus)) {
        std::string text;
        GetStatusWithText(text, true);
        return text;
    }
    if (sItem == TavText(kDatStatus)) {
        return DataStatusText(GetDataStatus(), true);
    }
    if (sItem == TavText(kData4Sets)) {
        return StrPrintf("\r\n\r\n%.1f", GetValue());
    }
    if (sItem == TavText(kData4Ctrl)) {
        DataRecord data;
        {
            std::lock_guard lock(m_DataLock);
            data = m_BaseData;
        }
        if (IsDataPresent(data.nDataStatus)) {
            return StrPrintf("\r\n%s: %.1f", TavText(kCurrentValue).c_str(), data.dValue);
        }
        return StrPrintf("\r\n %s %s %s ( %s ) ", TavText(kNo).c_str(), m_sFamily.c_str(),
                         TavText(kData).c_str(), DataStatusText(data.nDataStatus, false));
    }
    if (sItem == TavText(kData1Line)) {
        return StrPrintf("%.1f", GetValue());
    }
    if (sItem == TavText(kDataDateTime)) {
        const std::uint64_t ft = GetStatusTime();
        constexpr std::uint64_t kEpochDelta = 116444736000000000ULL;
        const std::time_t t =
            ft >= kEpochDelta ? static_cast<std::time_t>((ft - kEpochDelta) / 10000000ULL) : 0;
        std::tm tm{};
        gmtime_r(&t, &tm);
        return StrPrintf("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    }
    if (sItem == TavText(kTrackString)) {
        return GetTrackText();
    }
    if (sItem == TavText(kLastRmc)) {
        return GetSecondLine();
    }
    if (sItem == TavText(kLink)) {
        return GetLinkText();
    }
    return StrPrintf("%s(?)", sItem.c_str());
}

std::string CTavDevice::GetInfoItemText(InfoItem item) {
    // A device that knows none of them answers as for an unknown title.
    switch (item) {
        case InfoItem::kParameters:
            return "Parameters(?)";
        case InfoItem::kPosition:
            return "Position(?)";
        case InfoItem::kCurValue:
            return "CurValue(?)";
    }
    return "(?)";
}

void CTavDevice::SetDataStatus(std::int32_t nCode) {
    std::lock_guard lock(m_DataLock);
    m_BaseData.nKind = kDataKind;
    m_BaseData.nDataStatus = nCode;
    m_BaseData.nStatusTime = FileTimeNow();
    m_BaseData.dValue = 0.0;
}

void CTavDevice::Emulate() {
    double value;
    {
        std::lock_guard lock(m_DataLock);
        value = m_BaseData.dValue + 1.0;
        if (value > 50.0) {
            value = 0.0;
        }
        m_BaseData.dValue = value;
        m_BaseData.nDataStatus = value < 40.0 ? kDataDeviceFlag : kDataEmulation;
        m_BaseData.nStatusTime = FileTimeNow();
    }
    {
        std::lock_guard lock(m_TimesLock);
        m_tLastData = Now();
        m_sTrack = StrPrintf("m_BaseData.dValue => %.0f", value);
        m_sSecondLine = m_sTrack;
    }
    m_pSignals->events.SetMask((1u << kEvNewTrack) | (1u << kEvNewData));
}

void CTavDevice::ApplyCfg() {
    LogText(StrPrintf("<li><dt> %s: ApplyCfg()", HtmlEscaped(GetName()).c_str()));
    m_bLinkSelectionPending.store(true);
    {
        // A link busy in an exchange is switched by the thread that holds it, at its next
        // use of the link: the caller (the operator's side) does not wait for the sensor.
        std::unique_lock lock(m_LinkLock, std::try_to_lock);
        if (lock.owns_lock()) {
            SelectPendingLinkLocked();
        }
    }
    StartThreads();
    m_bReconnectPending.store(true);
}

void CTavDevice::SelectPendingLinkLocked() {
    if (!m_bLinkSelectionPending.exchange(false)) {
        return;
    }
    CDeviceLink* selected = nullptr;
    switch (LinkKindFromName(GetLinkType())) {
        case LinkKind::Emul:
            selected = &m_EmulationLink;
            break;
        case LinkKind::Ext:
            selected = &m_ExtDataLink;
            break;
        case LinkKind::Com:
            selected = &m_ComPortLink;
            break;
        case LinkKind::TcpIp:
            selected = &m_TcpIpLink;
            break;
        case LinkKind::None:
            break;
    }
    if (m_pCurrentLink != nullptr && m_pCurrentLink != selected && m_pCurrentLink->IsOpen()) {
        m_pCurrentLink->Close();
    }
    m_pCurrentLink = selected;
    // A closed link carries the configured channel, so that its name is the one the
    // operator set (an open one adopts it when it is opened again).
    {
        std::lock_guard slock(m_SettingsLock);
        if (!m_ComPortLink.IsOpen()) {
            m_ComPortLink.SetSettings(m_Cfg.comPort);
        }
        if (!m_TcpIpLink.IsOpen()) {
            m_TcpIpLink.SetSettings(m_Cfg.xSocket);
        }
    }
    NoteLinkStateLocked();
}

void CTavDevice::NoteLinkStateLocked() {
    LinkSnapshot snapshot;
    if (m_pCurrentLink != nullptr) {
        snapshot.hasLink = true;
        snapshot.name = m_pCurrentLink->GetName(false);
        snapshot.ok = m_pCurrentLink->GetError(&snapshot.errorText, nullptr);
    }
    std::lock_guard lock(m_LinkSnapshotLock);
    m_LinkSnapshot = std::move(snapshot);
}

bool CTavDevice::EditSettings() {
    SettingsDialog dialog;
    {
        std::lock_guard lock(g_DialogMutex);
        dialog = g_SettingsDialog;
    }
    if (!dialog) {
        return false;
    }
    TavDeviceCfg before;
    GetSettings(before);
    const bool ok = dialog(*this);
    TavDeviceCfg after;
    GetSettings(after);
    if (!ok) {
        // The dialog may have applied changes on the way; Cancel takes them back.
        if (!(after == before)) {
            SetSettings(before, true);
        }
        return false;
    }
    return !(after == before);
}

void CTavDevice::SetSettingsDialog(SettingsDialog dialog) {
    std::lock_guard lock(g_DialogMutex);
    g_SettingsDialog = std::move(dialog);
}

bool CTavDevice::IsEmulation() const {
    return GetLinkType() == kLinkTypeEmul;
}

bool CTavDevice::IsExternalData() const {
    return GetLinkType() == kLinkTypeExt;
}

bool CTavDevice::IsTcpIpLink() const {
    return GetLinkType().starts_with(kLinkTypeTcpIp);
}

bool CTavDevice::IsComPortLink() const {
    return GetLinkType().starts_with(kLinkTypeCom);
}

bool CTavDevice::OpenLink() {
    std::lock_guard lock(m_LinkLock);
    SelectPendingLinkLocked();
    if (m_pCurrentLink == nullptr) {
        return false;
    }
    LinkSettings settings;
    {
        std::lock_guard slock(m_SettingsLock);
        if (IsComPortLink()) {
            settings = m_Cfg.comPort;
        } else if (IsTcpIpLink()) {
            settings = m_Cfg.xSocket;
        }
    }
    const bool opened = m_pCurrentLink->Open(settings);
    NoteLinkStateLocked();
    return opened;
}

std::string CTavDevice::GetLinkText() const {
    std::string name;
    {
        std::lock_guard lock(m_LinkSnapshotLock);
        name = m_LinkSnapshot.name;
    }
    return name.empty() ? GetLinkType() : name;
}

std::string CTavDevice::GetLinkType() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Cfg.sLinkType;
}

bool CTavDevice::GetLinkError(std::string* pText) const {
    std::lock_guard lock(m_LinkSnapshotLock);
    if (!m_LinkSnapshot.hasLink) {
        return false;
    }
    if (pText != nullptr) {
        *pText = m_LinkSnapshot.errorText;
    }
    return m_LinkSnapshot.ok;
}

void CTavDevice::CloseLink() {
    std::lock_guard lock(m_LinkLock);
    if (m_pCurrentLink != nullptr) {
        m_pCurrentLink->Close();
    }
    SelectPendingLinkLocked();
    NoteLinkStateLocked();
}

void CTavDevice::FireNewData() {
    NewDataEvent.Raise(this);
    if (const auto pane = GetAttachedPane()) {
        UpdateDataPane(pane.get(), false);
    }
}

void CTavDevice::FireNewState() {
    NewStateEvent.Raise(this);
    if (const auto pane = GetAttachedPane()) {
        UpdateStatePane(pane.get());
    }
}

void CTavDevice::FireNewTrack() {
    NewTrackEvent.Raise(this);
    if (const auto pane = GetAttachedPane()) {
        UpdateDataPane(pane.get(), true);
    }
}

bool CTavDevice::IsOnline() const {
    return IsOnlineStatus(GetStatus());
}

int CTavDevice::GetPollPeriod() {
    switch (GetStatus()) {
        case kDevOnlineOk:
        case kDevDataAbsent:
        case kDevAlarm:
            return 100;
        default:
            return 500;
    }
}

void CTavDevice::SetDataStatusEx(std::int32_t nCode, bool bPublish) {
    bool differed = false;
    {
        std::lock_guard lock(m_DataLock);
        if (m_BaseData.nDataStatus != nCode) {
            m_BaseData.nDataStatus = nCode;
            m_BaseData.nStatusTime = FileTimeNow();
            differed = true;
        }
    }
    if (differed && bPublish) {
        PublishStatus();
    }
}

void CTavDevice::PublishStatus() {
    SetStatus(DeviceStatusForData(GetDataStatus()));
}

void CTavDevice::UpdateStatePane(CDevicePane* pPane) {
    if (pPane == nullptr) {
        return;
    }
    DevicePaneTexts texts;
    texts.part = DevicePaneTexts::Part::State;
    GetLinkError(&texts.sLinkError);
    // One reading for icon and text, so that they never tell two different states.
    const std::int32_t code = GetStatusWithText(texts.sStatus, true);
    texts.nStatusIcon = StatusIconIndex(code);
    DelayedLog(texts.sStatus);
    pPane->ShowDeviceTexts(*this, texts);
}

void CTavDevice::UpdateDataPane(CDevicePane* pPane, bool bTrack) {
    if (pPane == nullptr) {
        return;
    }
    using namespace tavtext;
    DevicePaneTexts texts;
    if (bTrack) {
        texts.part = DevicePaneTexts::Part::Track;
        texts.sLastRmc = GetInfoText(TavText(kLastRmc));
        texts.sTrackAppend = GetInfoText(TavText(kTrackString)) + "\r\n";
    } else {
        texts.part = DevicePaneTexts::Part::Data;
        const bool attached = pPane == GetAttachedPane().get();
        texts.sData = GetInfoText(TavText(attached ? kData4Sets : kData4Ctrl));
        texts.sLocalTime = PaneTimeText();
        texts.sGpsTime = GetInfoText("GpsTime");
    }
    pPane->ShowDeviceTexts(*this, texts);
}

// ---------------------------------------------------------------------------------------
// Accessors

std::string CTavDevice::GetName() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Cfg.sName;
}

void CTavDevice::SetName(const std::string& sName) {
    {
        std::lock_guard lock(m_SettingsLock);
        if (m_Cfg.sName == sName) {
            return;
        }
        m_Cfg.sName = sName;
    }
    SetEventObject(kEvNewState);
}

std::uint32_t CTavDevice::GetColor() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Cfg.crColor;
}

void CTavDevice::SetColor(std::uint32_t crColor) {
    std::lock_guard lock(m_SettingsLock);
    m_Cfg.crColor = crColor & 0xFFFFFFu;
}

bool CTavDevice::IsScanning() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Cfg.bScanning;
}

bool CTavDevice::SetScanning(bool bScanning) {
    std::lock_guard lock(m_SettingsLock);
    if (m_Cfg.bScanning == bScanning) {
        return false;
    }
    m_Cfg.bScanning = bScanning;
    return true;
}

void CTavDevice::SetUpdFreq(const std::string& sUpdFreq) {
    {
        std::lock_guard lock(m_SettingsLock);
        if (m_Cfg.sUpdFreq == sUpdFreq) {
            return;
        }
        m_Cfg.sUpdFreq = sUpdFreq;
    }
    SetEventObject(kEvNewState);
}

std::string CTavDevice::GetUpdFreq() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Cfg.sUpdFreq;
}

void CTavDevice::GetSettings(TavDeviceCfg& cfg) const {
    std::lock_guard lock(m_SettingsLock);
    cfg = m_Cfg;
}

void CTavDevice::SetSettings(const TavDeviceCfg& cfg, bool bApply) {
    {
        std::lock_guard lock(m_SettingsLock);
        m_Cfg = cfg;
        m_Cfg.nKind = kDataKind;
    }
    if (bApply) {
        ApplyCfg();
    }
}

std::int32_t CTavDevice::GetStatus(std::string* pText, bool bWithLink) const {
    std::int32_t code;
    std::string text;
    {
        std::lock_guard lock(m_StatusLock);
        code = m_nDevStatus;
        if (pText != nullptr) {
            text = m_sStatusText;
        }
    }
    if (pText != nullptr && code != kDevMonitoringOff) {
        if (bWithLink) {
            *pText = StrPrintf("%s on '%s' : %s.", m_sFamily.c_str(), GetLinkText().c_str(),
                               text.c_str());
        } else {
            *pText = std::move(text);
        }
    }
    return code;
}

std::int32_t CTavDevice::GetStatusWithText(std::string& text, bool bWithLink) const {
    std::int32_t code;
    {
        std::lock_guard lock(m_StatusLock);
        code = m_nDevStatus;
        text = m_sStatusText;
    }
    if (code == kDevMonitoringOff && text.empty()) {
        text = DeviceStatusText(code);
    }
    if (bWithLink) {
        text =
            StrPrintf("%s on '%s' : %s.", m_sFamily.c_str(), GetLinkText().c_str(), text.c_str());
    }
    return code;
}

void CTavDevice::SetStatus(std::int32_t nCode, const std::string* pText) {
    const std::string text = pText != nullptr ? *pText : DeviceStatusText(nCode);
    const double freq = UpdFreqSeconds(GetUpdFreq());
    bool changed;
    {
        std::lock_guard lock(m_StatusLock);
        changed = nCode != m_nDevStatus || text != m_sStatusText;
        const std::int64_t now = Now();
        if (freq > 0.0 &&
            static_cast<double>(now) > static_cast<double>(m_tLastStateEvent) + freq) {
            m_bStateReportRequest = true;
            changed = true;
        }
        if (changed) {
            m_tLastStateEvent = now;
            m_sStatusText = text;
            m_nDevStatus = nCode;
        }
    }
    if (changed) {
        SetEventObject(kEvNewState);
    }
}

bool CTavDevice::TakeStateReportRequest() {
    std::lock_guard lock(m_StatusLock);
    const bool request = m_bStateReportRequest;
    m_bStateReportRequest = false;
    return request;
}

std::int32_t CTavDevice::GetDataStatus() const {
    std::lock_guard lock(m_DataLock);
    return m_BaseData.nDataStatus;
}

double CTavDevice::GetValue() const {
    std::lock_guard lock(m_DataLock);
    return m_BaseData.dValue;
}

std::uint64_t CTavDevice::GetStatusTime() const {
    std::lock_guard lock(m_DataLock);
    return m_BaseData.nStatusTime;
}

std::string CTavDevice::GetTrackText() const {
    std::lock_guard lock(m_TimesLock);
    return m_sTrack;
}

std::string CTavDevice::GetSecondLine() const {
    std::lock_guard lock(m_TimesLock);
    return m_sSecondLine;
}

std::int64_t CTavDevice::GetLastDataTime() const {
    std::lock_guard lock(m_TimesLock);
    return m_tLastData;
}

std::int64_t CTavDevice::GetLastTransactionTime() const {
    std::lock_guard lock(m_TimesLock);
    return m_tLastTransaction;
}

std::int64_t CTavDevice::GetLastPollTime() const {
    std::lock_guard lock(m_TimesLock);
    return m_tLastPoll;
}

void CTavDevice::SetLastPollTime(std::int64_t tLastPoll) {
    std::lock_guard lock(m_TimesLock);
    m_tLastPoll = tLastPoll;
}

bool CTavDevice::IsLiveStarted() const {
    std::lock_guard lock(m_TimesLock);
    return m_bLiveStarted;
}

void CTavDevice::SetEventObject(DeviceEventObject which) {
    m_pSignals->events.Set(which);
}

void CTavDevice::AttachPane(std::shared_ptr<CDevicePane> pPane) {
    std::lock_guard lock(m_PaneLock);
    m_pPane = std::move(pPane);
}

std::shared_ptr<CDevicePane> CTavDevice::GetAttachedPane() const {
    std::lock_guard lock(m_PaneLock);
    return m_pPane;
}

}  // namespace zm
