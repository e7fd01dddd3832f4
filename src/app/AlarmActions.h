#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/MailSender.h"

namespace zm {

class CDeviceRegistry;
class CTavDevice;
class CUdpFun;
class UiPort;
struct ManagerSettings;

// What the alarm actions need to know about one device, taken by the engine on the
// dispatcher thread when the device's feed update runs.
struct DeviceSnapshot {
    // The device's instance id (never reused, unlike an address or a name): keys the
    // text reported last.
    std::uint64_t id = 0;
    std::string sName;
    std::string sIdent;  // identification text (device number), at most 16 characters
    int nStatus = 0;     // device status code
    std::string sStatusText;
    double dLatitude = 0.0;
    double dLongitude = 0.0;
    // The device's information texts for the keys "Parameters", "Position", "CurValue".
    std::string sInfoParameters;
    std::string sInfoPosition;
    std::string sInfoCurValue;
    // Reads and clears the device's one-shot state-report request. Called only when the
    // state did not change. Empty: no request.
    std::function<bool()> takeStateReportRequest;
    // Returns the device's alarm report path, assigning `proposed` (and setting the
    // assigned flag) first when none is assigned yet, atomically with the device's report
    // writer. Empty: `proposed` is used and nothing is kept.
    std::function<std::string(const std::string& proposed)> claimReportPath;
};

// The operator's settings the actions obey (section "ZorManagerWnd").
struct AlarmActionSettings {
    bool bAlarmPopup = false;
    bool bConnPopup = false;
    bool bAlarmSound = false;
    bool bAlarmMails = false;
    bool bAlarmSms = false;
    bool bNoConnectionSms = false;
    std::string sMailRecipients;
    MailAccount account;
    MailAccount backup;  // no server: none
    int nMailRetryHours = 24;
    std::string sClickatellUser = "ZorManager";
    std::string sClickatellPass;
    std::string sClickatellClientId;
    std::string sClickatellApiId;
};

// What a device's alarm suppression lets through to people (all of it by default).
struct ActionGate {
    bool alarm = true;       // the alarm popup and sound
    bool alarmMail = true;   // alarm mails and SMS
    bool connection = true;  // the connection-lost popup, mail and SMS
};

// "MailExtraText.txt" in the application-data folder: text added to every alert mail.
std::string MailExtraTextPath();

// The actions' part of the operator's settings.
AlarmActionSettings ActionSettingsFrom(const ManagerSettings& settings);

// What the generic device tells: identity, name, status code and text, the information
// texts and the state-report request. The identification text, the position and the
// report path belong to the device kind, which adds them.
DeviceSnapshot SnapshotOf(CTavDevice& device);

// Subject and body of an alert.
struct AlertText {
    std::string sSubject;
    std::string sBody;
};

// Tells the operator about device state changes: the device log, the state datagram, the
// alarm and connection-lost popups, the alarm sound, alert mails and SMS. Everything runs
// on the dispatcher thread except the mail dialogue, which the mail sender runs.
class AlarmActions {
  public:
    using SettingsSource = std::function<AlarmActionSettings()>;
    // Adds what the device kind knows (identification text, position, report path) to
    // the generic snapshot.
    using SnapshotFiller = std::function<void(CTavDevice& device, DeviceSnapshot& snapshot)>;

    // All references must outlive this object. `settings` is asked at every feed update,
    // so changes take effect at once.
    AlarmActions(UiPort& ui, CUdpFun& udp, CMailSender& mail, SettingsSource settings);

    void SetSnapshotFiller(SnapshotFiller filler) { filler_ = std::move(filler); }
    // Advanced mode belongs to the engine (the main window); the actions ask it at each
    // state-change test. No source: off.
    void SetAdvancedModeSource(std::function<bool()> source) { advanced_ = std::move(source); }
    // Asked for every changed state before anything reaches people. No gate: all passes.
    using Gate = std::function<ActionGate(const DeviceSnapshot& device)>;
    void SetGate(Gate gate) { gate_ = std::move(gate); }
    bool IsAdvancedMode() const { return advanced_ && advanced_(); }

    // The device feed update: the state-change test, then the actions in their fixed
    // order: device log entry, state datagram, alarm popup, sound, connection popup,
    // mail, SMS.
    void UpdateDeviceFeed(const DeviceSnapshot& device);
    // The "UM_UPDATE_DEV_FEED" handler: the device, or (null) every device of the list in
    // list order, each snapshot taken just before its actions run.
    void UpdateDeviceFeed(CTavDevice* device, const CDeviceRegistry& registry);

    // Logs a new status text in the status's colour and remembers it; false when the text
    // is the one reported last or (advanced mode off) the status ranks below "Error".
    bool TestStateChange(const DeviceSnapshot& device);

    void ShowAlarm(const DeviceSnapshot& device, bool bringToFront);
    // An alarm that was withheld reaches people now (its device's shelving ended while it
    // lasts): popup, sound, mail and SMS as the switches say, without the state test.
    void AnnounceAlarm(const DeviceSnapshot& device);
    void AnnounceAlarm(CTavDevice& device);
    void ReportConnectionLost(const DeviceSnapshot& device);
    void ReportConnectionRestored(const DeviceSnapshot& device);

    // Composes the message and hands it to the mail sender. Empty recipients: the
    // settings' list. False when the SMS account is incomplete (nothing is sent or
    // logged); the outcome of the mail itself is logged by the sender when it is done.
    // An alarm-open notice is kept before the others when the sender's queue is full.
    bool SendAlertMessage(const std::string& subject, const std::string& body,
                          const std::string& recipients, bool asSms);
    // The same for a device's notice of `kind`: a newer one of the same device, kind and
    // channel replaces it while it waits in the outbox.
    bool SendAlertMessage(const std::string& subject, const std::string& body,
                          const std::string& recipients, bool asSms, NoticeKind kind,
                          const std::string& device);

    // The device's text reported last (empty at first); a removed device is forgotten
    // once its threads have stopped.
    std::string LastReportedText(std::uint64_t id) const;
    void ForgetDevice(std::uint64_t id);

    static AlertText ComposeAlert(const DeviceSnapshot& device);
    // "%.6lf°, %.6lf°" of latitude and longitude.
    static std::string PositionText(const DeviceSnapshot& device);
    // <logFolder>Alarms/Reports_<name>/AlarmReport_<ident>_<name>_<local time>.txt
    static std::string BuildAlarmReportPath(const std::string& logFolder, const std::string& name,
                                            const std::string& ident, std::time_t when);

  private:
    UiPort& ui_;
    CUdpFun& udp_;
    CMailSender& mail_;
    SettingsSource settings_;
    SnapshotFiller filler_;
    std::function<bool()> advanced_;
    Gate gate_;
    std::map<std::uint64_t, std::string> lastText_;  // by instance id
};

}  // namespace zm
