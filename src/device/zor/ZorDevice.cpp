#include "device/zor/ZorDevice.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>

#include "base/DailyLogs.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "base/MessageSink.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/texts/WindowTexts.h"
#include "base/texts/ZorTexts.h"
#include "device/TavTexts.h"
#include "device/zor/ZorFrame.h"
#include "platform/NamedLock.h"

namespace zm {

namespace {

std::atomic<bool> g_HexByteLists{false};
std::mutex g_ZorDialogMutex;
CTavDevice::SettingsDialog g_ZorSettingsDialog;
CTavDevice::SettingsDialog g_ZorDeviceDialog;

std::int64_t NowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string ZorTr(const CMlsEntry& entry) {
    return Translate(entry, "ZorDevice");
}

std::string ListTr(const CMlsEntry& entry) {
    return Translate(entry, "DevListCols");
}

}  // namespace

// Forwards the transactor's link calls to whichever link the device has selected.
class CZorDevice::LinkAdapter : public IZorLink {
  public:
    CDeviceLink* link = nullptr;

    std::string GetName(bool withKind) override { return link->GetName(withKind); }
    bool IsOpen() override { return link->IsOpen(); }
    bool Read(uint8_t* buffer, int wanted, int* received, int timeoutMs) override {
        std::int32_t n = 0;
        const bool ok = link->Read(buffer, wanted, n, timeoutMs);
        *received = n;
        return ok;
    }
    bool Write(const uint8_t* data, int count, int* sent, int timeoutMs) override {
        std::int32_t n = 0;
        const bool ok = link->Write(data, count, n, timeoutMs);
        // The serial link does not count what it sent (-1); it handed over everything.
        *sent = n < 0 && ok ? count : n;
        return ok;
    }
    void Purge() override { link->Purge(); }
    int ReadTimeoutMs(int timeoutMs) override {
        if (dynamic_cast<CComPortLink*>(link) != nullptr) {
            return CComPort::ReadTimeOut(timeoutMs);
        }
        if (const auto* tcp = dynamic_cast<CTcpIpLink*>(link)) {
            return tcp->ReadTimeOut(timeoutMs);
        }
        return timeoutMs > 0 ? timeoutMs : CComPort::kDefaultReadTimeOutMs;
    }
    int LineBitsPerSecond() override {
        const auto* com = dynamic_cast<CComPortLink*>(link);
        return com != nullptr ? com->GetSettings().nBaudRate : 0;
    }
    bool GetError(std::string* text, int* code) override {
        std::int32_t c = 0;
        const bool ok = link->GetError(text, &c);
        if (code != nullptr) {
            *code = c;
        }
        return ok;
    }
};

class CZorDevice::ChannelHost : public IZorChannelHost {
  public:
    explicit ChannelHost(CZorDevice& device) : m_dev(device) {}
    ~ChannelHost() override { ReleaseNamedLock(); }

    void EnterLinkLock() override { m_dev.m_LinkLock.lock(); }
    void LeaveLinkLock() override {
        // Every exchange ends here: the snapshot then tells how the link fared.
        m_dev.NoteLinkStateLocked();
        m_dev.m_LinkLock.unlock();
    }
    IZorLink* CurrentLink() override {
        m_dev.SelectPendingLinkLocked();
        if (m_dev.m_pCurrentLink == nullptr) {
            return nullptr;
        }
        // The channel lock is named after the link, so a closed link must carry the
        // configured port or endpoint before its name is asked, not the one of its last
        // opening (or the default, before the first).
        if (!m_dev.m_pCurrentLink->IsOpen()) {
            std::lock_guard lock(m_dev.m_SettingsLock);
            if (m_dev.m_pCurrentLink == &m_dev.m_ComPortLink) {
                m_dev.m_ComPortLink.SetSettings(m_dev.m_Cfg.comPort);
            } else if (m_dev.m_pCurrentLink == &m_dev.m_TcpIpLink) {
                m_dev.m_TcpIpLink.SetSettings(m_dev.m_Cfg.xSocket);
            }
        }
        m_dev.m_pLinkAdapter->link = m_dev.m_pCurrentLink;
        return m_dev.m_pLinkAdapter.get();
    }
    bool OpenLink() override { return m_dev.OpenLink(); }
    void CloseLink() override { m_dev.CloseLink(); }
    bool KeepLink() override {
        std::lock_guard lock(m_dev.m_SettingsLock);
        return m_dev.m_Zor.bKeepLink;
    }
    bool AcquireNamedLock(const std::string& name, int timeoutMs) override {
        if (m_dev.IsStopRequested()) {
            return false;  // a device being stopped starts no further exchange
        }
        std::string prefix;
        {
            std::lock_guard lock(m_dev.m_SettingsLock);
            prefix = m_dev.m_sLockPrefix;
        }
        m_lock = std::make_unique<platform::NamedLock>(prefix + name);
        if (m_lock->Acquire(timeoutMs) != platform::NamedLock::Result::kAcquired) {
            m_lock.reset();
            return false;
        }
        if (m_dev.IsStopRequested()) {  // asked while waiting for the channel
            ReleaseNamedLock();
            return false;
        }
        return true;
    }
    void ReleaseNamedLock() override {
        if (m_lock) {
            m_lock->Unlock();
            m_lock.reset();
        }
    }
    uint8_t BusAddress() override { return m_dev.GetAddress(); }
    bool HexByteLists() override { return g_HexByteLists.load(); }
    void NoteTransactionSucceeded() override {
        std::lock_guard lock(m_dev.m_TimesLock);
        m_dev.m_tLastTransaction = NowSeconds();
    }
    ZorTranslate Translator() override { return ZorTranslateText; }

  private:
    CZorDevice& m_dev;
    std::unique_ptr<platform::NamedLock> m_lock;
};

CZorDevice::CZorDevice(std::string ownCfgPath, CLog* runLog, std::string initialName)
    : CTavDevice(std::move(ownCfgPath), runLog, std::move(initialName), "ZOR"),
      m_pLinkAdapter(std::make_unique<LinkAdapter>()),
      m_pHost(std::make_unique<ChannelHost>(*this)),
      m_transactor(*m_pHost),
      m_DataLog(runLog),
      m_AlarmProcessor(runLog) {
    {
        std::lock_guard linkLock(m_LinkLock);
        std::lock_guard lock(m_SettingsLock);
        ResetZorLocked();
        m_Cfg.sName = GetInitialName();
        // The sensor's line settings are what a reset returns to.
        ComPortSettings& com = m_Cfg.comPort;
        com.nDefBaudRate = 57600;
        com.nDefByteSize = 8;
        com.nDefStopBits = 0;
        com.nDefParity = 0;
        com.ResetToDefaults();
        XSocketSettings& sock = m_Cfg.xSocket;
        sock.sDefAddress = kDefaultTcpAddress;
        sock.nDefPort = kDefaultTcpPort;
        sock.nDefTimeOut = 2000;
        sock.ResetToDefaults();
        m_ComPortLink.SetSettings(com);
        m_TcpIpLink.SetSettings(sock);
        static_cast<TavDeviceCfg&>(m_Zor) = m_Cfg;
    }
    SetDataStatus(kDataWaiting);
}

CZorDevice::~CZorDevice() {
    StopThreads();
}

void CZorDevice::ResetZorLocked() {
    ResetCfgLocked(kTypeName);
    m_Zor.bKeepLink = false;
    m_Zor.bTestLink = false;
    m_Zor.bPingSenix = false;
    m_Zor.bGetState = true;
    m_Zor.bGetData = true;
    m_Zor.nPause = 2;
    SetDefaultParams(m_Zor.params);
    m_Zor.contrType = {};
    m_Zor.state = {};
    m_Zor.dLatitude = m_Zor.params.Latitude();
    m_Zor.dLongitude = m_Zor.params.Longitude();
}

// ---------------------------------------------------------------------------------------
// Configuration

void CZorDevice::GetZorSettings(ZorDeviceCfg& cfg) const {
    std::lock_guard lock(m_SettingsLock);
    cfg = m_Zor;
    static_cast<TavDeviceCfg&>(cfg) = m_Cfg;
}

void CZorDevice::SetZorSettings(const ZorDeviceCfg& cfg, bool bApply) {
    {
        std::lock_guard lock(m_SettingsLock);
        m_Zor = cfg;
    }
    SetSettings(cfg, bApply);
}

bool CZorDevice::ImportCfg(const std::string& sSection, CIni* pIni) {
    std::unique_ptr<CIni> owned;
    CIni* ini = ResolveIni(pIni, owned);
    const std::string section = sSection.empty() ? GetInitialName() : sSection;
    std::lock_guard lock(m_SettingsLock);  // not the link lock: see CTavDevice::ImportCfg
    CTavDevice::ImportCfg(section, ini);
    ZorDeviceCfg& z = m_Zor;
    z.bKeepLink = ini->GetBool(section, "bKeepLink", false);
    z.bTestLink = ini->GetBool(section, "bTestLink", false);
    z.bPingSenix = ini->GetBool(section, "bPingSenix", false);
    z.bGetState = ini->GetBool(section, "bGetState", true);
    z.bGetData = ini->GetBool(section, "bGetData", true);
    z.nPause = ini->GetInt(section, "nPause", 0);
    // Exactly 182 bytes or the default block: a longer or shorter value is from no sensor.
    if (ini->GetDataBlock(section, "DevParams", nullptr, 0) == static_cast<int>(ZorParams::kSize)) {
        ini->GetDataBlock(section, "DevParams", z.params.bytes.data(),
                          static_cast<int>(ZorParams::kSize));
    } else {
        SetDefaultParams(z.params);
    }
    z.dLatitude = ini->GetDouble(section, "dDegLat", 0.0);
    z.dLongitude = ini->GetDouble(section, "dDegLon", 0.0);
    if (z.params.Latitude() != 0.0) {
        z.dLatitude = z.params.Latitude();
    }
    if (z.params.Longitude() != 0.0) {
        z.dLongitude = z.params.Longitude();
    }
    for (const ZorParamRange& range :
         {kZorAnlParams, kZorCommParams, kZorGeoParams, kZorMeasParams}) {
        // Only as far as the stored value reaches: read into a copy of the range.
        std::uint8_t part[ZorParams::kSize];
        std::copy_n(z.params.bytes.begin() + range.first, range.size, part);
        const int n = ini->GetDataBlock(section, range.key, part, range.size, 0);
        if (n > 0) {
            std::copy_n(part, std::min<int>(n, range.size), z.params.bytes.begin() + range.first);
        }
    }
    static_cast<TavDeviceCfg&>(z) = m_Cfg;
    return true;
}

void CZorDevice::ExportCfg(const std::string& sSection, CIni* pIni) {
    std::unique_ptr<CIni> owned;
    CIni* ini = ResolveIni(pIni, owned);
    const std::string section = sSection.empty() ? GetInitialName() : sSection;
    std::lock_guard lock(m_SettingsLock);
    CTavDevice::ExportCfg(section, ini);
    const ZorDeviceCfg& z = m_Zor;
    ini->WriteBool(section, "bKeepLink", z.bKeepLink);
    ini->WriteBool(section, "bTestLink", z.bTestLink);
    ini->WriteBool(section, "bPingSenix", z.bPingSenix);
    ini->WriteBool(section, "bGetState", z.bGetState);
    ini->WriteBool(section, "bGetData", z.bGetData);
    ini->WriteInt(section, "nPause", z.nPause);
    ini->WriteDataBlock(section, "DevParams", z.params.bytes.data(), ZorParams::kSize);
    for (const ZorParamRange& range :
         {kZorAnlParams, kZorCommParams, kZorGeoParams, kZorMeasParams}) {
        ini->WriteDataBlock(section, range.key, z.params.bytes.data() + range.first, range.size);
    }
    ini->WriteDouble(section, "dDegLat", z.dLatitude);
    ini->WriteDouble(section, "dDegLon", z.dLongitude);
}

void CZorDevice::DefaultCfg() {
    std::lock_guard lock(m_SettingsLock);
    ResetZorLocked();
    static_cast<TavDeviceCfg&>(m_Zor) = m_Cfg;
}

bool CZorDevice::RunDialog(const SettingsDialog& dialog) {
    if (!dialog) {
        return false;
    }
    ZorDeviceCfg before;
    GetZorSettings(before);
    const bool ok = dialog(*this);
    ZorDeviceCfg after;
    GetZorSettings(after);
    if (!ok) {
        if (!(after == before)) {
            SetZorSettings(before, true);
        }
        return false;
    }
    return !(after == before);
}

bool CZorDevice::EditSettings() {
    SettingsDialog dialog;
    {
        std::lock_guard lock(g_ZorDialogMutex);
        dialog = g_ZorSettingsDialog;
    }
    return RunDialog(dialog);
}

bool CZorDevice::EditDeviceDialog() {
    SettingsDialog dialog;
    {
        std::lock_guard lock(g_ZorDialogMutex);
        dialog = g_ZorDeviceDialog;
    }
    return RunDialog(dialog);
}

void CZorDevice::SetZorSettingsDialog(SettingsDialog dialog) {
    std::lock_guard lock(g_ZorDialogMutex);
    g_ZorSettingsDialog = std::move(dialog);
}

void CZorDevice::SetZorDeviceDialog(SettingsDialog dialog) {
    std::lock_guard lock(g_ZorDialogMutex);
    g_ZorDeviceDialog = std::move(dialog);
}

int CZorDevice::GetPollPeriod() {
    std::lock_guard lock(m_SettingsLock);
    if (m_Zor.nPause < 0) {
        m_Zor.nPause = 2;
    }
    return m_Zor.nPause * 1000;
}

int CZorDevice::GetPause() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Zor.nPause < 0 ? 2 : m_Zor.nPause;
}

void CZorDevice::SetChannelLockPrefix(std::string prefix) {
    std::lock_guard lock(m_SettingsLock);
    m_sLockPrefix = std::move(prefix);
}

void CZorDevice::SetHexByteLists(bool bHex) {
    g_HexByteLists.store(bHex);
}

bool CZorDevice::GetHexByteLists() {
    return g_HexByteLists.load();
}

// ---------------------------------------------------------------------------------------
// Names and position

void CZorDevice::SetOtherNames(std::vector<std::string> names) {
    std::lock_guard lock(m_SettingsLock);
    m_OtherNames = std::move(names);
}

bool CZorDevice::SetUniqueName(const std::string& sName) {
    bool taken = false;
    {
        std::lock_guard lock(m_SettingsLock);
        for (const std::string& other : m_OtherNames) {
            taken = taken || other == sName;
        }
    }
    if (taken) {
        // The closing text is a sentence of its own; one full stop is enough.
        std::string advice = ZorTr(texts::tpZorDevice_Select_another_name);
        while (advice.ends_with('.')) {
            advice.pop_back();
        }
        ShowMessage(StrPrintf("%s '%s' %s.\r\n%s.",
                              ZorTr(texts::tpZorDevice_DeviceWithName).c_str(), sName.c_str(),
                              ZorTr(texts::tpZorDevice_already_exists).c_str(), advice.c_str()),
                    MessageBoxType{MsgButtons::kOk, MsgIcon::kWarning});
        return false;
    }
    SetName(sName);
    {
        std::lock_guard lock(m_SettingsLock);
        m_Zor.sName = m_Cfg.sName;
    }
    return true;
}

void CZorDevice::EmulatePosition(bool bPresets) {
    struct Preset {
        const char* key;
        double lat, lon;
    };
    // Demonstration spots along one stretch of coast.
    static const Preset kKeywords[] = {{"Pier", 59.9311, 30.3609},
                                       {"Port", 59.8806, 30.2140},
                                       {"Buoy", 59.9850, 29.7600},
                                       {"Bay", 60.1700, 29.0300},
                                       {"Harbour", 59.9200, 30.2400}};
    static const Preset kNumbers[] = {{"01", 59.9500, 30.1000}, {"02", 59.9600, 30.0500},
                                      {"03", 59.9700, 30.0000}, {"04", 59.9800, 29.9500},
                                      {"05", 59.9900, 29.9000}, {"06", 60.0000, 29.8500},
                                      {"07", 60.0100, 29.8000}};
    const std::string name = GetName();
    std::lock_guard lock(m_SettingsLock);
    if (bPresets) {
        for (const Preset& p : kKeywords) {
            const auto at = name.find(p.key);
            if (at != std::string::npos && at > 0) {
                m_Zor.dLatitude = p.lat;
                m_Zor.dLongitude = p.lon;
                SetEventObject(kEvNewState);
                return;
            }
        }
        for (const Preset& p : kNumbers) {
            if (name.size() >= 2 && name.ends_with(p.key)) {
                m_Zor.dLatitude = p.lat;
                m_Zor.dLongitude = p.lon;
                SetEventObject(kEvNewState);
                return;
            }
        }
    }
    std::uniform_real_distribution<double> step(-0.005, 0.005);
    {
        std::lock_guard dataLock(m_DataLock);
        m_Zor.dLatitude += step(m_Random);
        m_Zor.dLongitude += step(m_Random);
    }
    SetEventObject(kEvNewState);
}

// ---------------------------------------------------------------------------------------
// Accessors

void CZorDevice::GetPosition(double& dLat, double& dLon) const {
    std::lock_guard lock(m_SettingsLock);
    dLat = m_Zor.dLatitude;
    dLon = m_Zor.dLongitude;
}

void CZorDevice::SetPosition(double dLat, double dLon) {
    std::lock_guard lock(m_SettingsLock);
    m_Zor.dLatitude = dLat;
    m_Zor.dLongitude = dLon;
}

void CZorDevice::GetThresholds(float& fLower, float& fUpper, float& fMaxBkgChange) const {
    std::lock_guard lock(m_SettingsLock);
    fLower = m_Zor.params.MinSigThr();
    fUpper = m_Zor.params.MaxSigThr();
    fMaxBkgChange = m_Zor.params.MaxBkgChange();
}

bool CZorDevice::GetSensorValues(double& dPressure, double& dTemperature, double& dSeaLevel) const {
    std::lock_guard lock(m_SettingsLock);
    const ZorState& s = m_Zor.state;
    if (s.ValuesInvalid()) {
        dPressure = dTemperature = dSeaLevel = 0.0;
        return false;
    }
    dPressure = s.Pressure() * 0.1;
    dTemperature = s.Temperature() * 0.1;
    dSeaLevel = s.SeaLevel() * 0.1;
    return true;
}

std::uint8_t CZorDevice::GetAddress() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Zor.params.Address();
}

std::string CZorDevice::GetIdText() const {
    std::lock_guard lock(m_SettingsLock);
    return GetDeviceIdText(m_Zor.params);
}

std::string CZorDevice::GetVersionText(bool bLong) const {
    std::lock_guard lock(m_SettingsLock);
    return bLong ? m_Zor.contrType.LongVersionText() : m_Zor.contrType.VersionText();
}

ZorContrType CZorDevice::GetContrTypeValue() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Zor.contrType;
}

ZorState CZorDevice::GetStateRecord() const {
    std::lock_guard lock(m_SettingsLock);
    return m_Zor.state;
}

double CZorDevice::ScaleValue(double dValue) const {
    float lower, upper, bkg;
    GetThresholds(lower, upper, bkg);
    // Equal thresholds would divide by zero; the value then sits on the scale's middle.
    if (upper == lower) {
        return 50.0;
    }
    return (dValue - lower) * 100.0 / (static_cast<double>(upper) - lower) + 50.0;
}

double CZorDevice::UnscaleValue(double dScaled) const {
    float lower, upper, bkg;
    GetThresholds(lower, upper, bkg);
    return (dScaled - 50.0) * (static_cast<double>(upper) - lower) / 100.0 + lower;
}

std::vector<std::uint8_t> CZorDevice::GetLatestBatch() const {
    std::lock_guard lock(m_DataLock);
    return m_Batch;
}

std::uint32_t CZorDevice::GetRunningTotal() const {
    std::lock_guard lock(m_DataLock);
    return m_nRunningTotal;
}

void CZorDevice::SetDataStatus(std::int32_t nCode) {
    std::lock_guard lock(m_DataLock);
    m_BaseData.nKind = kDataKind;
    m_BaseData.nDataStatus = nCode;
    m_BaseData.nStatusTime = FileTimeNow();
    m_BaseData.dValue = 0.0;
    m_Batch.clear();
}

// ---------------------------------------------------------------------------------------
// Commands

bool CZorDevice::RunCommand(std::string* pT, const ZorText& title, std::uint8_t code,
                            std::vector<std::uint8_t>& payload) {
    return m_transactor.Transact(pT, ZorTranslateText(title), code, {}, payload);
}

bool CZorDevice::CheckDevLink(std::string* pT) {
    std::vector<std::uint8_t> payload;
    return RunCommand(pT, zortext::kCheckDevLink, kCmdCheckDevLink, payload);
}

bool CZorDevice::GetDevState(std::string* pT, ZorState& state) {
    std::vector<std::uint8_t> payload;
    const bool ok = RunCommand(pT, zortext::kGetDevState, kCmdGetDevState, payload);
    if (!ok) {
        payload.clear();  // the state line is written for a failed exchange too
    }
    return DecodeDevState(payload, state, pT, ZorTranslateText) && ok;
}

bool CZorDevice::PingSenix(std::string* pT, ZorRange& range) {
    std::vector<std::uint8_t> payload;
    const bool ok = RunCommand(pT, zortext::kPingSenix, kCmdPingSenix, payload);
    if (!ok) {
        payload.clear();
    }
    return DecodeRangeFinder(payload, range, pT, ZorTranslateText) && ok;
}

bool CZorDevice::GetContrType(std::string* pT, ZorContrType& type) {
    std::vector<std::uint8_t> payload;
    return RunCommand(pT, zortext::kGetContrType, kCmdGetContrType, payload) &&
           DecodeContrType(payload, type);
}

bool CZorDevice::GetDevParams(std::string* pT, ZorParams& params) {
    std::vector<std::uint8_t> payload;
    return RunCommand(pT, zortext::kGetDevParams, kCmdGetDevParams, payload) &&
           DecodeDevParams(payload, params);
}

bool CZorDevice::GetDevDataPortion(std::string* pT, std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> payload;
    if (!RunCommand(pT, zortext::kGetDevDataPortion, kCmdGetDevDataPortion, payload)) {
        return false;
    }
    data = std::move(payload);
    return true;
}

bool CZorDevice::GetDevStateData(std::string* pT, ZorState& state,
                                 std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> payload;
    const bool ok = RunCommand(pT, zortext::kGetDevStateData, kCmdGetDevStateData, payload);
    if (!ok) {
        payload.clear();
    }
    return DecodeDevStateData(payload, state, data, pT, ZorTranslateText) && ok;
}

// ---------------------------------------------------------------------------------------
// Poll cycle

bool CZorDevice::AcceptDataPortion(const std::vector<std::uint8_t>& data, std::string* pT) {
    float lower, upper, bkg;
    GetThresholds(lower, upper, bkg);
    const ZorDataPortion portion =
        EvaluateDataPortion(data, lower, upper, IsEmulation(), pT, ZorTranslateText);
    if (!portion.accepted) {
        return false;
    }
    {
        std::lock_guard lock(m_DataLock);
        m_Batch = data;
        m_nRunningTotal += static_cast<std::uint32_t>(portion.records);
        ++m_nBatchSerial;
        m_BaseData.nKind = kDataKind;
        m_BaseData.dValue = portion.value;
        m_BaseData.nDataStatus = portion.dataStatus;
        m_BaseData.nStatusTime = FileTimeNow();
    }
    std::lock_guard lock(m_TimesLock);
    m_tLastData = NowSeconds();
    return true;
}

std::vector<std::uint8_t> CZorDevice::BuildEmulatedAnswer(std::string* pT) {
    float lower, upper, bkg;
    GetThresholds(lower, upper, bkg);
    const std::uint8_t address = GetAddress();
    const double lo = 0.1 * lower;
    const double hi = 1.5 * lower;
    const double step = (hi - lo) / 100.0;
    // Devices added in the same second share their initial name; their device numbers
    // keep their emulated signals apart.
    const std::string seedText = GetInitialName() + "/" + GetFamilyCode() + "/" + GetIdText();
    std::vector<std::uint8_t> records;
    std::lock_guard lock(m_DataLock);
    double value = m_BaseData.dValue;
    for (int i = 0; i < 5; ++i) {
        if (value != 0.0 && std::isfinite(value)) {
            value += std::uniform_real_distribution<double>(-step, step)(m_Random);
        } else {
            if (!m_bRandomSeeded) {
                m_Random.seed(static_cast<std::uint32_t>(std::hash<std::string>{}(seedText)));
                m_bRandomSeeded = true;
            }
            value = lo + std::uniform_real_distribution<double>(0.0, 1.0)(m_Random) * (hi - lo);
        }
        value = std::clamp(value, std::min(lo, hi), std::max(lo, hi));
        m_BaseData.dValue = value;
        AppendDataRecord(records, static_cast<float>(value), static_cast<float>(value * 0.25));
    }
    if (pT != nullptr) {
        *pT += StrPrintf("\r\n%s: %.0lf (%s %d %s). %s: [%.1f,%.1f]",
                         Translate(texts::tpEmulation_Value).c_str(), value,
                         Translate(texts::tpEmulation_Last).c_str(),
                         static_cast<int>(m_nRunningTotal + 5),
                         Translate(texts::tpEmulation_Emulated).c_str(),
                         Translate(texts::tpEmulation_Threshs).c_str(), static_cast<double>(lower),
                         static_cast<double>(upper));
    }
    m_BaseData.nStatusTime = FileTimeNow();
    return BuildZorResponse(address, kCmdGetDevDataPortion, records);
}

void CZorDevice::Poll() {
    std::string T;
    bool stateOk = false;
    bool dataOk = false;
    std::vector<std::uint8_t> data;

    if (IsEmulation()) {
        const std::vector<std::uint8_t> frame = BuildEmulatedAnswer(&T);
        dataOk = m_transactor.CheckResponse(frame, kCmdGetDevDataPortion, data, nullptr);
    } else if (IsExternalData()) {
        T += StrPrintf("\r\n%s", ZorTr(texts::tpZorDevice_External_data).c_str());
    } else {
        ZorDeviceCfg cfg;
        GetZorSettings(cfg);
        bool linkOk = true;
        if (cfg.bTestLink) {
            linkOk = CheckDevLink(&T);
        }
        if (linkOk && cfg.bPingSenix) {
            ZorRange range;
            PingSenix(&T, range);
        }
        if (linkOk && m_bParamsPending.load()) {
            ZorContrType type;
            ZorParams params = cfg.params;
            linkOk = GetContrType(&T, type);
            if (linkOk) {
                linkOk = GetDevParams(&T, params);
            }
            if (linkOk) {
                m_bParamsPending.store(false);
                std::lock_guard lock(m_SettingsLock);
                m_Zor.contrType = type;
                m_Zor.params = params;
                cfg.contrType = type;
            }
        }
        const bool combined = !m_bParamsPending.load() && cfg.contrType.SupportsStateData() &&
                              cfg.bGetState && cfg.bGetData;
        ZorState state = cfg.state;
        if (combined) {
            stateOk = dataOk = GetDevStateData(&T, state, data);
            if (stateOk) {
                std::lock_guard lock(m_SettingsLock);
                m_Zor.state = state;
            }
        } else if (linkOk) {
            if (cfg.bGetState) {
                stateOk = linkOk = GetDevState(&T, state);
                if (stateOk) {
                    std::lock_guard lock(m_SettingsLock);
                    m_Zor.state = state;
                }
            }
            if (linkOk && cfg.bGetData) {
                dataOk = GetDevDataPortion(&T, data);
            }
        }
        if (stateOk) {
            SetStatus(state.Alarm() ? kDevAlarm : kDevOnlineOk);
            std::lock_guard lock(m_TimesLock);
            m_tLastData = NowSeconds();
        }
    }

    if (dataOk && AcceptDataPortion(data, &T)) {
        if (!stateOk) {
            PublishStatus();
        }
        SetEventObject(kEvNewData);
    }

    // Silence: only the time of the last data decides, not single failures.
    const std::int64_t lastData = GetLastDataTime();
    if (NowSeconds() - lastData > GetPause() + kSilenceGraceSeconds) {
        SetStatus(GetLinkError(nullptr) ? kDevDataAbsent : kDevNoConnection);
    }

    {
        std::lock_guard lock(m_TimesLock);
        m_sTrack = T;
    }
    SetEventObject(kEvNewTrack);
}

// ---------------------------------------------------------------------------------------
// Information texts

std::string CZorDevice::GetInfoItemText(InfoItem item) {
    using namespace texts;
    switch (item) {
        case InfoItem::kPosition: {
            double lat, lon;
            GetPosition(lat, lon);
            return StrPrintf("%.6lf°, %.6lf°", lat, lon);
        }
        case InfoItem::kParameters: {
            float lower, upper, bkg;
            GetThresholds(lower, upper, bkg);
            return StrPrintf("%s [%s:%.0f,%.0f]", GetVersionText(true).c_str(),
                             ZorTr(tpZorDevice_Thr).c_str(), static_cast<double>(lower),
                             static_cast<double>(upper));
        }
        case InfoItem::kCurValue: {
            std::lock_guard lock(m_DataLock);
            return StrPrintf("%.1lf", m_BaseData.dValue);
        }
    }
    return CTavDevice::GetInfoItemText(item);
}

std::string CZorDevice::GetInfoText(const std::string& sItem) {
    using namespace texts;
    if (sItem == ListTr(tpDevListCols_Position)) {
        return GetInfoItemText(InfoItem::kPosition);
    }
    if (sItem == ListTr(tpDevListCols_Parameters)) {
        return GetInfoItemText(InfoItem::kParameters);
    }
    if (sItem == ListTr(tpDevListCols_Lat_Lon_Val)) {
        double lat, lon;
        GetPosition(lat, lon);
        return StrPrintf("%lf,%lf,%lf", lat, lon, GetValue());
    }
    std::size_t records;
    std::int32_t dataStatus;
    double value;
    std::uint32_t total;
    {
        std::lock_guard lock(m_DataLock);
        records = m_Batch.size() / kZorDataRecordSize;
        dataStatus = m_BaseData.nDataStatus;
        value = m_BaseData.dValue;
        total = m_nRunningTotal;
    }
    if (sItem == TavText(tavtext::kData4Ctrl) &&
        (dataStatus == kDataOk || dataStatus == kDataEmulation || dataStatus == kDataAlarm)) {
        return StrPrintf("\r\n%s: %d %s. %s: %.1lf", ZorTr(tpZorDevice_Batch_size).c_str(),
                         static_cast<int>(records), ZorTr(tpZorDevice_points).c_str(),
                         ZorTr(tpZorDevice_Current_value).c_str(), value);
    }
    if (sItem == ListTr(tpDevListCols_Statistics)) {
        return StrPrintf("%.1lf [%.0lf] (%d %s, %d %s, %d/%d/%d)", value, ScaleValue(value),
                         static_cast<int>(records), ZorTr(tpZorDevice_pts).c_str(),
                         static_cast<int>(total), ZorTr(tpZorDevice_total).c_str(), LinksOpened(),
                         OpenFailures(), ChannelBusy());
    }
    if (sItem == ZorTr(tpZorDevice_CurValue)) {
        return GetInfoItemText(InfoItem::kCurValue);
    }
    if (sItem == ListTr(tpDevListCols_Link)) {
        return StrPrintf("%s [%d]", GetLinkText().c_str(), static_cast<int>(GetAddress()));
    }
    const bool isPressure = sItem == ListTr(tpDevListCols_Pressure);
    const bool isTemperature = sItem == ListTr(tpDevListCols_Temperature);
    const bool isSeaLevel = sItem == ListTr(tpDevListCols_Sealevel);
    if (isPressure || isTemperature || isSeaLevel) {
        double p, t, s;
        if (!GetSensorValues(p, t, s)) {
            return "-";
        }
        if (isPressure) {
            return StrPrintf("%.1lf kPa", p);
        }
        if (isTemperature) {
            return StrPrintf("%.1lf °C", t);
        }
        return StrPrintf("%.1lf cm", s);
    }
    return CTavDevice::GetInfoText(sItem);
}

// ---------------------------------------------------------------------------------------
// Data log and alarms

std::string CZorDevice::GetLogFolder() const {
    CLog* log = m_pDeviceLog.load();
    return ZorLogFolderOf(log != nullptr ? log->GetPath() : std::string());
}

ZorLogSnapshot CZorDevice::TakeLogSnapshot() const {
    // The first data after midnight may come before the application's own check.
    RollLogsIfNewDay();
    ZorLogSnapshot s;
    s.logFolder = GetLogFolder();
    {
        std::lock_guard lock(m_SettingsLock);
        s.deviceName = m_Cfg.sName;
        s.linkType = m_Cfg.sLinkType;
        s.pause = m_Zor.nPause < 0 ? 2 : m_Zor.nPause;
        s.tcpTimeoutMs = m_Cfg.xSocket.nTimeOut;
        s.contrType = m_Zor.contrType;
        s.params = m_Zor.params;
        s.state = m_Zor.state;
        s.latitude = m_Zor.dLatitude;
        s.longitude = m_Zor.dLongitude;
    }
    s.deviceStatus = GetStatus();
    {
        std::lock_guard lock(m_DataLock);
        s.batch = m_Batch;
        s.statusTime = m_BaseData.nStatusTime;
        s.batchSerial = m_nBatchSerial;
    }
    s.now = std::time(nullptr);
    return s;
}

bool CZorDevice::WriteDataLog(bool bRepeatColumnLine) {
    return m_DataLog.Write(TakeLogSnapshot(), bRepeatColumnLine);
}

bool CZorDevice::ProcessAlarm() {
    return m_AlarmProcessor.Process(TakeLogSnapshot());
}

}  // namespace zm
