#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "device/TavDevice.h"
#include "device/zor/AlarmProcessor.h"
#include "device/zor/ZorDataLog.h"
#include "device/zor/ZorParams.h"
#include "device/zor/ZorRecords.h"
#include "device/zor/ZorTransactor.h"

namespace zm {

namespace platform {
class NamedLock;
}

// The ZOR device's configuration: the generic record and the sensor's own part.
struct ZorDeviceCfg : TavDeviceCfg {
    bool bKeepLink = false;
    bool bTestLink = false;
    bool bPingSenix = false;
    bool bGetState = true;
    bool bGetData = true;
    std::int32_t nPause = 2;  // seconds between poll cycles; negative counts as 2
    ZorContrType contrType;   // not stored
    ZorParams params = DefaultZorParams();
    ZorState state;  // not stored
    double dLatitude = 0.0;
    double dLongitude = 0.0;

    bool operator==(const ZorDeviceCfg& o) const {
        return static_cast<const TavDeviceCfg&>(*this) == static_cast<const TavDeviceCfg&>(o) &&
               bKeepLink == o.bKeepLink && bTestLink == o.bTestLink && bPingSenix == o.bPingSenix &&
               bGetState == o.bGetState && bGetData == o.bGetData && nPause == o.nPause &&
               contrType.bytes == o.contrType.bytes && params == o.params &&
               state.bytes == o.state.bytes && dLatitude == o.dLatitude &&
               dLongitude == o.dLongitude;
    }
};

// The fluorescence sensor on a serial bus, a TCP endpoint or the emulation link.
class CZorDevice : public CTavDevice {
  public:
    static constexpr const char* kTypeName = "Zor-Device";
    static constexpr const char* kDefaultTcpAddress = "127.0.0.1";
    static constexpr int kDefaultTcpPort = 11221;
    static constexpr int kSilenceGraceSeconds = 7;

    // The own configuration file is the configuration folder's "Zor-Device.ini".
    CZorDevice(std::string ownCfgPath, CLog* runLog, std::string initialName = kTypeName);
    ~CZorDevice() override;

    // Replaced slots.
    void Poll() override;
    std::string GetInfoText(const std::string& sItem) override;
    std::string GetInfoItemText(InfoItem item) override;
    void SetDataStatus(std::int32_t nCode) override;
    bool ImportCfg(const std::string& sSection = {}, CIni* pIni = nullptr) override;
    void ExportCfg(const std::string& sSection = {}, CIni* pIni = nullptr) override;
    void DefaultCfg() override;
    bool EditSettings() override;
    int GetPollPeriod() override;

    // The sensor's device dialog, offered by the same rule as the settings dialog.
    bool EditDeviceDialog();
    static void SetZorSettingsDialog(SettingsDialog dialog);
    static void SetZorDeviceDialog(SettingsDialog dialog);

    // The commands; each appends its lines to the transcript and is true on success.
    bool CheckDevLink(std::string* pT);
    bool GetDevState(std::string* pT, ZorState& state);
    bool PingSenix(std::string* pT, ZorRange& range);
    bool GetContrType(std::string* pT, ZorContrType& type);
    bool GetDevParams(std::string* pT, ZorParams& params);
    bool GetDevDataPortion(std::string* pT, std::vector<std::uint8_t>& data);
    bool GetDevStateData(std::string* pT, ZorState& state, std::vector<std::uint8_t>& data);

    // The whole configuration (settings lock).
    void GetZorSettings(ZorDeviceCfg& cfg) const;
    void SetZorSettings(const ZorDeviceCfg& cfg, bool bApply);

    // Names of the other devices, for the uniqueness check of SetUniqueName.
    void SetOtherNames(std::vector<std::string> names);
    bool SetUniqueName(const std::string& sName);
    void EmulatePosition(bool bPresets);

    // Accessors (settings lock).
    void GetPosition(double& dLat, double& dLon) const;
    void SetPosition(double dLat, double dLon);
    void GetThresholds(float& fLower, float& fUpper, float& fMaxBkgChange) const;
    // Pressure (kPa), temperature (degC), sea level (cm); false and zeros when not valid.
    bool GetSensorValues(double& dPressure, double& dTemperature, double& dSeaLevel) const;
    std::uint8_t GetAddress() const;
    std::string GetIdText() const;
    std::string GetVersionText(bool bLong) const;
    ZorContrType GetContrTypeValue() const;
    ZorState GetStateRecord() const;
    bool ParamsPending() const { return m_bParamsPending.load(); }
    int GetPause() const;
    double ScaleValue(double dValue) const;
    double UnscaleValue(double dScaled) const;

    // Data (data lock).
    std::vector<std::uint8_t> GetLatestBatch() const;
    std::uint32_t GetRunningTotal() const;

    // The transaction counters: links opened, open failures, channel busy.
    int LinksOpened() const { return m_transactor.LinksOpened(); }
    int OpenFailures() const { return m_transactor.OpenFailures(); }
    int ChannelBusy() const { return m_transactor.ChannelBusy(); }

    // The application's device log; its folder holds the data logs and alarm files.
    void SetDeviceLog(CLog* pDeviceLog) { m_pDeviceLog.store(pDeviceLog); }
    std::string GetLogFolder() const;
    // The data log line of the latest batch, and one run of the alarm processor.
    bool WriteDataLog(bool bRepeatColumnLine);
    bool ProcessAlarm();
    CAlarmProcessor& AlarmProcessor() { return m_AlarmProcessor; }
    ZorLogSnapshot TakeLogSnapshot() const;

    // The process-wide switch for hexadecimal byte lists in transcripts.
    static void SetHexByteLists(bool bHex);
    static bool GetHexByteLists();

    // Tests and benchmarks shorten the pause before every exchange; names of the channel
    // locks get the prefix so that tests running side by side never meet.
    void SetPauseBeforeExchangeMs(int ms) { m_transactor.SetPauseBeforeExchangeMs(ms); }
    void SetChannelLockPrefix(std::string prefix);

  private:
    class LinkAdapter;
    class ChannelHost;

    bool RunCommand(std::string* pT, const ZorText& title, std::uint8_t code,
                    std::vector<std::uint8_t>& payload);
    // The data-portion rule; true when the batch was accepted.
    bool AcceptDataPortion(const std::vector<std::uint8_t>& data, std::string* pT);
    std::vector<std::uint8_t> BuildEmulatedAnswer(std::string* pT);
    void ResetZorLocked();
    bool RunDialog(const SettingsDialog& dialog);

    // Settings lock.
    ZorDeviceCfg m_Zor;
    std::vector<std::string> m_OtherNames;
    std::string m_sLockPrefix;

    // Data lock.
    std::vector<std::uint8_t> m_Batch;
    std::uint32_t m_nRunningTotal = 0;
    std::uint64_t m_nBatchSerial = 0;
    std::mt19937 m_Random;
    bool m_bRandomSeeded = false;

    std::atomic<bool> m_bParamsPending{true};
    std::atomic<CLog*> m_pDeviceLog{nullptr};

    std::unique_ptr<LinkAdapter> m_pLinkAdapter;
    std::unique_ptr<ChannelHost> m_pHost;
    CZorTransactor m_transactor;

    CZorDataLog m_DataLog;
    CAlarmProcessor m_AlarmProcessor;
};

}  // namespace zm
