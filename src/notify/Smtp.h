#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "notify/SmtpError.h"
#include "notify/SmtpTransport.h"

namespace zm {

// The steps of the mail dialogue, each with its own entry (time-outs, expected reply,
// error code) in the command table.
enum class SmtpStep {
    Greeting,
    Ehlo,
    AuthPlain,
    AuthLogin,
    AuthCramMd5,
    AuthDigestMd5,
    DigestResponse,
    UserName,
    Password,
    MailFrom,
    RcptTo,
    Data,
    DataBlock,
    DataEnd,
    Quit,
    StartTls,
};

// What one recipient's RCPT got: accepted, refused for now (4xx, or no clear answer) or
// refused for good (5xx).
enum class RcptOutcome { Accepted, Transient, Permanent };

struct RcptResult {
    std::string mail;
    RcptOutcome outcome = RcptOutcome::Transient;
    int replyCode = 0;
    std::string reply;  // first line of the server's answer
};

// Sends one alert mail per object: fill in server, account, sender, subject, recipients
// and body lines, call SendMail; the dialogue ends (QUIT) when the object is destroyed.
// Every failure is raised as ECSmtp, after the connection has been closed.
// Text fields are byte strings (UTF-8 in this program) sent as they are.
class CSmtp {
  public:
    enum Security : int { kSecurityNone = 0, kSecurityStartTls = 1, kSecurityTls = 2 };
    static constexpr int kConnectTimeoutSec = 15;
    static constexpr int kHandshakeTimeoutSec = 15;
    static constexpr std::chrono::milliseconds kDefaultSessionLimit{60000};

    // Reads the local host name for EHLO (ECSmtp 107 when the system cannot tell).
    CSmtp();
    virtual ~CSmtp();
    CSmtp(const CSmtp&) = delete;
    CSmtp& operator=(const CSmtp&) = delete;

    void SetServer(const std::string& host, uint16_t port = 0, bool authenticate = true);
    void SetSecurity(int security) { security_ = security; }
    // Certificate check of STARTTLS and TLS connections (system trust store, server name);
    // on by default, off only for relays with self-signed certificates.
    void SetTlsVerify(bool verify) { tlsVerify_ = verify; }
    void SetUser(const std::string& login) { login_ = login; }
    void SetUserPassword(const std::string& password) { password_ = password; }
    void SetFromAddress(const std::string& mail) { senderMail_ = mail; }
    void SetFromName(const std::string& name) { senderName_ = name; }
    void SetReplyAddress(const std::string& mail) { replyTo_ = mail; }
    void SetSubjectLine(const std::string& subject) { subject_ = subject; }
    void SetMailerName(const std::string& mailer) { mailer_ = mailer; }
    void SetPriority(int priority) { priority_ = priority; }
    void SetBodyCharset(const std::string& charset) { charset_ = charset; }
    // The whole session, from connect to QUIT, ends within this time, whatever the server
    // does; the outbox behind it must never be held longer by one server.
    void SetSessionLimit(std::chrono::milliseconds limit) { sessionLimit_ = limit; }
    // The message's own id, without angle brackets. SendMail makes one when none is set;
    // a retry sets the id of the first attempt, so that receivers can spot duplicates.
    void SetMessageId(const std::string& id) { messageId_ = id; }
    const std::string& GetMessageId() const { return messageId_; }
    // Threading: the id this message answers and the ids of its thread, oldest first.
    void SetInReplyTo(const std::string& id) { inReplyTo_ = id; }
    void SetReferences(std::vector<std::string> ids) { references_ = std::move(ids); }
    // `mail` must not be empty (ECSmtp 209); `name` may be.
    void AddTo(const std::string& mail, const std::string& name = {});
    void AddBodyLine(const std::string& line) { body_.push_back(line); }

    // Connects, greets and authenticates. A given login or password replaces the stored
    // one. Returns true or raises ECSmtp.
    bool OpenConnection(const std::string& host, uint16_t port, int security, bool authenticate,
                        const std::optional<std::string>& login = std::nullopt,
                        const std::optional<std::string>& password = std::nullopt);
    // Sends the message, connecting first when needed. Returns or raises ECSmtp. Recipients
    // the server refuses are skipped (see GetRecipientResults) as long as one is accepted;
    // when none is, kRcptToRejected is raised with the reply code of a refusal for now if
    // there was one, else of a refusal for good.
    void SendMail();
    // The RCPT outcome of each recipient of the last SendMail, in the order added. After a
    // SendMail that returned, the accepted ones have the message.
    const std::vector<RcptResult>& GetRecipientResults() const { return rcptResults_; }
    // QUIT when the dialogue was opened, then closes the socket. Never raises.
    void CloseConnection() noexcept;

    static std::string GetErrorText(int code) { return ECSmtp::ErrorText(code); }
    // A new globally unique message id (random part, time, domain of `senderMail` or,
    // when it has none, the local host name).
    static std::string NewMessageId(const std::string& senderMail);

    // The last reply received (the receive buffer), for logs and connection tests.
    const std::string& GetLastReply() const { return lastReply_; }
    bool IsConnected() const { return transport_.IsOpen(); }
    const std::string& GetLocalHostName() const { return localHost_; }
    // The message header exactly as SendMail sends it, for the given local time.
    std::string BuildHeader(long long unixTime) const;

  private:
    // Sends `text` (nothing for the greeting) and checks the reply against the step's entry
    // of the command table.
    void Command(SmtpStep step, const std::string& text = {});
    // Sends `text` and returns the reply's code without judging it.
    int Exchange(SmtpStep step, const std::string& text);
    void SendRecipients();
    void Authenticate();
    void AuthCramMd5();
    void AuthDigestMd5();
    void SendBody();
    void AfterFailure(const ECSmtp& error) noexcept;

    std::string localHost_;
    std::string senderMail_;
    std::string senderName_;
    std::string subject_;
    std::string charset_ = "US-ASCII";
    std::string mailer_;
    std::string replyTo_;
    std::string login_;
    std::string password_;
    std::string server_;
    uint16_t port_ = 0;
    bool authenticate_ = true;
    int priority_ = 3;
    int security_ = kSecurityNone;
    bool tlsVerify_ = true;
    std::vector<std::pair<std::string, std::string>> recipients_;  // (name, mail)
    std::vector<std::string> body_;
    std::chrono::milliseconds sessionLimit_ = kDefaultSessionLimit;
    std::string messageId_;
    std::string inReplyTo_;
    std::vector<std::string> references_;
    std::vector<RcptResult> rcptResults_;

    CSmtpTransport transport_;
    bool dialogue_ = false;
    std::string lastReply_;
};

}  // namespace zm
