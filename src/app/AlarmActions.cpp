#include "app/AlarmActions.h"

#include <utility>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "app/Recipients.h"
#include "app/StatusLevel.h"
#include "app/UiPort.h"
#include "base/AppLogs.h"
#include "base/DateTimeText.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/TextFile.h"
#include "base/texts/WindowTexts.h"
#include "device/TavDevice.h"
#include "device/zor/ZorDataLogFiles.h"
#include "notify/Clickatell.h"
#include "notify/UdpFun.h"

namespace zm {

namespace {

using namespace texts;

constexpr int kStatusNoConnection = 0;
constexpr int kStatusOnline = 1;
constexpr int kStatusAlarm = 5;
constexpr const char* kTextSection = "ZorDevsView";

}  // namespace

std::string MailExtraTextPath() {
    return GetAppDataFolder() + "MailExtraText.txt";
}

AlarmActionSettings ActionSettingsFrom(const ManagerSettings& s) {
    AlarmActionSettings a;
    a.bAlarmPopup = s.bAlarmPopup;
    a.bConnPopup = s.bConnPopup;
    a.bAlarmSound = s.bAlarmSound;
    a.bAlarmMails = s.bAlarmMails;
    a.bAlarmSms = s.bAlarmSms;
    a.bNoConnectionSms = s.bNoConnectionSms;
    a.sMailRecipients = s.sMailRecipients;
    a.account.sServer = s.smtp_server;
    a.account.nPort = s.smtp_port;
    a.account.nSecurity = s.smtp_sec;
    a.account.bTlsVerify = s.smtp_tls_verify != 0;
    a.account.sLogin = s.smtp_login;
    a.account.sPassword = s.smtp_pass;
    a.account.sSenderName = s.smtp_sender_name;
    a.account.sSenderMail = s.smtp_sender_mail;
    a.account.sReplyTo = s.smtp_reply_to;
    a.backup = a.account;
    a.backup.sServer = s.smtp2_server;
    a.backup.nPort = s.smtp2_port;
    a.backup.nSecurity = s.smtp2_sec;
    a.backup.bTlsVerify = s.smtp2_tls_verify != 0;
    a.backup.sLogin = s.smtp2_login;
    a.backup.sPassword = s.smtp2_pass;
    // A retry time that makes no sense gets the documented day; a month is the most.
    a.nMailRetryHours = s.nMailRetryHours >= 1 && s.nMailRetryHours <= 720 ? s.nMailRetryHours : 24;
    a.sClickatellUser = s.clickatell_user_name;
    a.sClickatellPass = s.clickatell_pass;
    a.sClickatellClientId = s.clickatell_client_id;
    a.sClickatellApiId = s.clickatell_api_id;
    return a;
}

DeviceSnapshot SnapshotOf(CTavDevice& device) {
    DeviceSnapshot d;
    d.id = device.GetInstanceId();
    d.sName = device.GetName();
    d.nStatus = device.GetStatusWithText(d.sStatusText);
    d.sInfoParameters = device.GetInfoItemText(CTavDevice::InfoItem::kParameters);
    d.sInfoPosition = device.GetInfoItemText(CTavDevice::InfoItem::kPosition);
    d.sInfoCurValue = device.GetInfoItemText(CTavDevice::InfoItem::kCurValue);
    d.takeStateReportRequest = [&device] { return device.TakeStateReportRequest(); };
    return d;
}

AlarmActions::AlarmActions(UiPort& ui, CUdpFun& udp, CMailSender& mail, SettingsSource settings)
    : ui_(ui), udp_(udp), mail_(mail), settings_(std::move(settings)) {}

bool AlarmActions::TestStateChange(const DeviceSnapshot& device) {
    std::string& last = lastText_[device.id];
    if (device.sStatusText == last) {
        return false;
    }
    const StatusLevel level = GetStatusLevel(device.nStatus);
    if (!IsAdvancedMode() && level.level < 2) {
        return false;
    }
    DeviceLog().AddColored(level.Color(), "<li><dt> %s: %s</li>", HtmlEscaped(device.sName).c_str(),
                           HtmlEscaped(device.sStatusText).c_str());
    last = device.sStatusText;
    return true;
}

void AlarmActions::UpdateDeviceFeed(const DeviceSnapshot& device) {
    const AlarmActionSettings settings = settings_ ? settings_() : AlarmActionSettings{};
    bool changed = TestStateChange(device);
    if (!settings.bNoConnectionSms && device.nStatus == kStatusNoConnection) {
        changed = false;
    }
    if (!changed && !(device.takeStateReportRequest && device.takeStateReportRequest())) {
        return;
    }
    udp_.SendDeviceState(
        {device.sIdent.substr(0, CUdpFun::kMaxSerial), device.sName, device.sStatusText});
    if (!changed) {
        return;
    }
    const ActionGate gate = gate_ ? gate_(device) : ActionGate{};
    if (device.nStatus == kStatusAlarm) {
        if (gate.alarm) {
            ShowAlarm(device, settings.bAlarmPopup);
            if (settings.bAlarmSound) {
                ui_.PlayAlarmSound();
            }
        }
    } else if (settings.bAlarmSound) {
        ui_.StopAlarmSound();
    }
    if (settings.bConnPopup) {
        if (device.nStatus == kStatusNoConnection && gate.connection) {
            ReportConnectionLost(device);
        } else if (device.nStatus == kStatusOnline) {
            ReportConnectionRestored(device);
        }
    }
    if (!settings.bAlarmMails) {
        return;
    }
    const bool mailPasses = device.nStatus == kStatusAlarm
                                ? gate.alarm && gate.alarmMail
                                : device.nStatus == kStatusNoConnection && gate.connection;
    if (mailPasses) {
        const AlertText alert = ComposeAlert(device);
        const NoticeKind kind =
            device.nStatus == kStatusAlarm ? NoticeKind::AlarmOpened : NoticeKind::ConnectionLost;
        SendAlertMessage(alert.sSubject, alert.sBody, {}, false, kind, device.sName);
        if (settings.bAlarmSms) {
            SendAlertMessage(alert.sSubject, alert.sBody, {}, true, kind, device.sName);
        }
    }
}

void AlarmActions::AnnounceAlarm(const DeviceSnapshot& device) {
    const AlarmActionSettings settings = settings_ ? settings_() : AlarmActionSettings{};
    ShowAlarm(device, settings.bAlarmPopup);
    if (settings.bAlarmSound) {
        ui_.PlayAlarmSound();
    }
    if (settings.bAlarmMails) {
        const AlertText alert = ComposeAlert(device);
        SendAlertMessage(alert.sSubject, alert.sBody, {}, false);
        if (settings.bAlarmSms) {
            SendAlertMessage(alert.sSubject, alert.sBody, {}, true);
        }
    }
}

void AlarmActions::AnnounceAlarm(CTavDevice& device) {
    DeviceSnapshot snapshot = SnapshotOf(device);
    if (filler_) {
        filler_(device, snapshot);
    }
    AnnounceAlarm(snapshot);
}

void AlarmActions::ShowAlarm(const DeviceSnapshot& device, bool bringToFront) {
    const std::time_t now = std::time(nullptr);
    // The folder the device's own report writer takes: that of the device log.
    const std::string devLogPath = DeviceLog().GetPath();
    const std::string folder = devLogPath.empty() ? GetLogFolder() : ZorLogFolderOf(devLogPath);
    const std::string proposed = BuildAlarmReportPath(folder, device.sName, device.sIdent, now);
    AlarmPopupEntry entry;
    entry.kind = "ALARM";
    entry.value = 0;
    entry.time = now;
    entry.deviceName = device.sName;
    entry.position = PositionText(device);
    entry.reportPath = device.claimReportPath ? device.claimReportPath(proposed) : proposed;
    ui_.ShowAlarm(entry, bringToFront);
}

void AlarmActions::ReportConnectionLost(const DeviceSnapshot& device) {
    AlarmPopupEntry entry;
    entry.kind = "CONNECTION LOST";
    entry.value = 0;
    entry.time = std::time(nullptr);
    entry.deviceName = device.sName;
    entry.position = PositionText(device);
    ui_.ShowConnectionLost(entry);
}

void AlarmActions::ReportConnectionRestored(const DeviceSnapshot& device) {
    ui_.ShowConnectionRestored(device.sName);
}

bool AlarmActions::SendAlertMessage(const std::string& subject, const std::string& body,
                                    const std::string& recipients, bool asSms) {
    return SendAlertMessage(subject, body, recipients, asSms, NoticeKind::Other, {});
}

bool AlarmActions::SendAlertMessage(const std::string& subject, const std::string& body,
                                    const std::string& recipients, bool asSms, NoticeKind kind,
                                    const std::string& device) {
    const AlarmActionSettings settings = settings_ ? settings_() : AlarmActionSettings{};
    AlertMail mail;
    mail.sKind = "Alarm mail";
    mail.sSubject = subject;
    mail.sBody = body;
    mail.account = settings.account;
    mail.backup = settings.backup;
    mail.retryHours = settings.nMailRetryHours;
    mail.kind = kind;
    mail.sDevice = device;
    const std::string list = recipients.empty() ? settings.sMailRecipients : recipients;
    if (asSms) {
        mail.sKind = "Alarm sms";
        CClickatell gateway(settings.sClickatellUser, settings.sClickatellPass,
                            settings.sClickatellClientId, settings.sClickatellApiId);
        if (!gateway.IsComplete()) {
            return false;
        }
        mail.sBody = gateway.BuildSmsBody(body, list);
        mail.recipients = {CClickatell::GatewayAddress()};
        // The note joins the text the gateway sends, not the gateway's own lines.
        mail.bodyWithNote = [gateway, body, list](const std::string& note) {
            return gateway.BuildSmsBody(body + " (" + note + ")", list);
        };
    } else {
        mail.recipients = MailRecipients(list);
        std::string extra;
        if (ReadTextFile(MailExtraTextPath(), extra) && !extra.empty()) {
            extra = StrPrintf("\r\n%s\r\n", extra.c_str());
        }
        mail.sBody += extra;
        mail.bodyWithNote = [body, extra](const std::string& note) {
            return body + "\r\n\r\n" + note + extra;
        };
    }
    if (mail.recipients.empty() || mail.sBody.empty()) {
        return true;  // nothing to send, nothing failed
    }
    // The accounts of the moment serve the messages still waiting as well.
    mail_.SetSettings({settings.account, settings.backup, settings.nMailRetryHours});
    return mail_.Queue(std::move(mail));
}

void AlarmActions::UpdateDeviceFeed(CTavDevice* device, const CDeviceRegistry& registry) {
    auto run = [this](CTavDevice& one) {
        DeviceSnapshot snapshot = SnapshotOf(one);
        if (filler_) {
            filler_(one, snapshot);
        }
        UpdateDeviceFeed(snapshot);
    };
    if (device != nullptr) {
        // A device that has left the list (its threads stopping, with the dispatcher
        // pumped meanwhile) reports nothing more: nothing of it is remembered after it
        // was forgotten.
        if (registry.IndexOf(device) >= 0) {
            run(*device);
        }
        return;
    }
    for (const auto& one : registry.GetDevices()) {
        if (one) {
            run(*one);
        }
    }
}

std::string AlarmActions::LastReportedText(std::uint64_t id) const {
    auto found = lastText_.find(id);
    return found == lastText_.end() ? std::string() : found->second;
}

void AlarmActions::ForgetDevice(std::uint64_t id) {
    lastText_.erase(id);
}

AlertText AlarmActions::ComposeAlert(const DeviceSnapshot& device) {
    AlertText alert;
    alert.sSubject = StrPrintf("%s: %s", device.sName.c_str(), device.sStatusText.c_str());
    const std::string now = FormatDateTime(std::nullopt, true, true, true, false, ".", " ", ":");
    alert.sBody =
        StrPrintf("%s:\r\n%s (%s)\r\n", Translate(tpZorDevsView_DeviceStatus, kTextSection).c_str(),
                  now.c_str(), Translate(tpZorDevsView_local_time, kTextSection).c_str());
    alert.sBody += StrPrintf("\r\n >>> %s", alert.sSubject.c_str());
    alert.sBody +=
        StrPrintf("\r\n >>> %s: %s", Translate(tpZorDevsView_DeviceInfo, kTextSection).c_str(),
                  device.sInfoParameters.c_str());
    alert.sBody +=
        StrPrintf("\r\n >>> %s: %s", Translate(tpZorDevsView_Location, kTextSection).c_str(),
                  device.sInfoPosition.c_str());
    alert.sBody +=
        StrPrintf("\r\n >>> %s: %s", Translate(tpZorDevsView_Value, kTextSection).c_str(),
                  device.sInfoCurValue.c_str());
    alert.sBody += "\r\n\r\n<msg.end>";
    return alert;
}

std::string AlarmActions::PositionText(const DeviceSnapshot& device) {
    return StrPrintf("%.6lf°, %.6lf°", device.dLatitude, device.dLongitude);
}

std::string AlarmActions::BuildAlarmReportPath(const std::string& logFolder,
                                               const std::string& name, const std::string& ident,
                                               std::time_t when) {
    // The device's own rule: whichever of the popup and the device's alarm processor
    // claims the path first, it is the same file, and no name leads it out of the folder.
    return ZorAlarmReportPath(logFolder, name, ident.substr(0, 16), when);
}

}  // namespace zm
