#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zm {

// The SMTP account of the alert mails (the smtp_* settings).
struct MailAccount {
    std::string sServer;
    int nPort = 465;
    int nSecurity = 2;  // CSmtp::Security
    bool bTlsVerify = true;
    std::string sLogin;
    std::string sPassword;
    std::string sSenderName;
    std::string sSenderMail;
    std::string sReplyTo;
};

// One composed alert, ready for the mail dialogue.
struct AlertMail {
    std::string sKind;  // "Alarm mail" or "Alarm sms": names the message in the log lines
    std::string sSubject;
    std::string sBody;                    // lines separated by CR LF
    std::vector<std::string> recipients;  // addresses, trimmed, none empty
    MailAccount account;
    // Tells of an alarm that opened: kept before any other when the queue is full.
    bool bAlarmOpen = false;
};

// Runs one SMTP session for the mail and writes its outcome to the device log and the run
// log: "<kind> was successfully sent (recipients: n)." in green or "<kind> was not sent:
// <reason>." in red. A mail without recipient or body is neither sent nor logged (false).
// Blocks for as long as the server takes, so it belongs on the mail-sender thread.
bool DeliverAlertMail(const AlertMail& mail);

// Sends alert mails one after the other, in the order queued, on a thread of its own, so
// that a slow or unreachable server never holds up the thread that queues them.
class CMailSender {
  public:
    static constexpr std::chrono::milliseconds kDefaultStopBound{3000};
    // Reason logged for a message that could not be tried before the sender stopped.
    static constexpr const char* kClosingReason = "the application was closing";

    // Mails waiting at most (a dead server must not let them grow without end).
    static constexpr size_t kMaxQueued = 1000;

    explicit CMailSender(size_t maxQueued = kMaxQueued);
    // Stops with the default bound.
    ~CMailSender();
    CMailSender(const CMailSender&) = delete;
    CMailSender& operator=(const CMailSender&) = delete;

    // Queues the mail behind the ones already waiting. After Stop the mail is logged as
    // not sent and false is returned. With the queue full, the oldest mail that tells of
    // no opened alarm gives way (or this one, when it is such a mail itself); among alarm
    // notices only, the oldest. Drops are counted in the run log (false: this one).
    bool Queue(AlertMail mail);
    // Mails dropped from a full queue so far.
    size_t Dropped() const;

    // Stops taking mails; those queued are still tried, in order, until `bound` has
    // passed. Whatever is still waiting then is logged as not sent. A session still
    // running at the bound cannot be cut short by the mail client: it is left to finish on
    // its own (its outcome is still logged) and the failure to stop is logged. True when
    // the thread ended within the bound. Later calls do nothing and return the same.
    bool Stop(std::chrono::milliseconds bound = kDefaultStopBound);

    // Mails queued or being sent.
    size_t Pending() const;
    // Waits (bounded) until nothing is queued or being sent.
    bool WaitIdle(std::chrono::milliseconds timeout) const;

    // Mail-sender threads still running in the process, abandoned ones included.
    static int LiveThreads();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
    bool stopped_ = false;
    bool stopResult_ = true;
};

}  // namespace zm
