#include "notify/Smtp.h"

#include <openssl/rand.h>

#include <atomic>
#include <cctype>
#include <ctime>
#include <stdexcept>

#include "base/Printf.h"
#include "notify/SmtpCodec.h"
#include "platform/NativeThread.h"
#include "platform/Sockets.h"
#include "platform/SystemInfo.h"

namespace zm {

namespace {

constexpr uint16_t kDefaultSmtpPort = 25;

// One entry of the dialogue: how long to wait for the socket to take the command, how
// long for each piece of the reply (0: no reply expected), and which reply is good.
struct CommandEntry {
    SmtpStep step;
    int sendTimeoutSec;
    int replyTimeoutSec;
    int expected;
    int error;
};

constexpr CommandEntry kCommandTable[] = {
    {SmtpStep::Greeting, 0, 5, 220, ECSmtp::kServerNotResponding},
    {SmtpStep::Ehlo, 5, 5, 250, ECSmtp::kEhloRejected},
    {SmtpStep::AuthPlain, 5, 5, 235, ECSmtp::kAuthPlainRejected},
    {SmtpStep::AuthLogin, 5, 5, 334, ECSmtp::kAuthLoginRejected},
    {SmtpStep::AuthCramMd5, 5, 5, 334, ECSmtp::kAuthCramMd5Rejected},
    {SmtpStep::AuthDigestMd5, 5, 5, 334, ECSmtp::kAuthDigestMd5Rejected},
    {SmtpStep::DigestResponse, 5, 5, 334, ECSmtp::kDigestResponseRejected},
    {SmtpStep::UserName, 5, 5, 334, ECSmtp::kUsernameRejected},
    {SmtpStep::Password, 5, 5, 235, ECSmtp::kAuthRejected},
    {SmtpStep::MailFrom, 5, 5, 250, ECSmtp::kMailFromRejected},
    {SmtpStep::RcptTo, 5, 5, 250, ECSmtp::kRcptToRejected},
    {SmtpStep::Data, 5, 2, 354, ECSmtp::kDataRejected},
    {SmtpStep::DataBlock, 3, 0, 0, ECSmtp::kDataBlockFailed},
    {SmtpStep::DataEnd, 3, 10, 250, ECSmtp::kMessageBodyRejected},
    {SmtpStep::Quit, 5, 5, 221, ECSmtp::kQuitRejected},
    {SmtpStep::StartTls, 5, 5, 220, ECSmtp::kStartTlsRejected},
};

const CommandEntry& EntryOf(SmtpStep step) {
    for (const CommandEntry& entry : kCommandTable) {
        if (entry.step == step) {
            return entry;
        }
    }
    throw std::logic_error("mail dialogue step without a table entry");
}

// Header values and command arguments are single lines: a line end inside one would let
// the text of a setting or a device name inject header lines or SMTP commands.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string FirstLine(const std::string& reply) {
    return reply.substr(0, reply.find_first_of("\r\n"));
}

uint16_t MailServicePort() {
    const int port = platform::ServicePort("mail", "tcp");
    return port > 0 ? static_cast<uint16_t>(port) : kDefaultSmtpPort;
}

// The text a challenge reply carries after its code and blank, without the line end.
std::string ChallengeText(const std::string& reply) {
    return reply.size() > 4 ? FirstLine(reply.substr(4)) : std::string();
}

// A body line with line ends of its own becomes several lines; a leading "." is doubled
// so that no line can end the message early or lose its first character.
void AppendBodyLine(std::string& out, const std::string& line) {
    size_t start = 0;
    for (;;) {
        size_t end = line.find_first_of("\r\n", start);
        std::string_view part(line.data() + start,
                              (end == std::string::npos ? line.size() : end) - start);
        if (!part.empty() && part.front() == '.') {
            out += '.';
        }
        out.append(part);
        out += "\r\n";
        if (end == std::string::npos) {
            return;
        }
        start =
            end + ((line[end] == '\r' && end + 1 < line.size() && line[end + 1] == '\n') ? 2 : 1);
        if (start >= line.size()) {
            return;
        }
    }
}

}  // namespace

CSmtp::CSmtp() {
    localHost_ = platform::HostName();
    if (localHost_.empty()) {
        throw ECSmtp(ECSmtp::kHostNameFailed);
    }
}

CSmtp::~CSmtp() {
    CloseConnection();
}

void CSmtp::SetServer(const std::string& host, uint16_t port, bool authenticate) {
    server_ = host;
    port_ = port;
    authenticate_ = authenticate;
}

void CSmtp::AddTo(const std::string& mail, const std::string& name) {
    if (mail.empty()) {
        throw ECSmtp(ECSmtp::kNoRecipientMail);
    }
    recipients_.emplace_back(name, mail);
}

void CSmtp::Command(SmtpStep step, const std::string& text) {
    const CommandEntry& entry = EntryOf(step);
    const int code = Exchange(step, text);
    if (entry.replyTimeoutSec != 0 && code != entry.expected) {
        throw ECSmtp(entry.error, FirstLine(lastReply_), code);
    }
}

int CSmtp::Exchange(SmtpStep step, const std::string& text) {
    const CommandEntry& entry = EntryOf(step);
    if (step != SmtpStep::Greeting) {
        try {
            transport_.SendAll(text, entry.sendTimeoutSec);
        } catch (const ECSmtp& error) {
            if (step == SmtpStep::DataBlock && error.GetErrorNum() == ECSmtp::kSendFailed) {
                throw ECSmtp(ECSmtp::kDataBlockFailed, error.GetDetail());
            }
            throw;
        }
    }
    if (entry.replyTimeoutSec == 0) {
        return 0;
    }
    lastReply_.clear();
    int code = 0;
    lastReply_ = transport_.ReceiveReply(entry.replyTimeoutSec, code);
    return code;
}

bool CSmtp::OpenConnection(const std::string& host, uint16_t port, int security, bool authenticate,
                           const std::optional<std::string>& login,
                           const std::optional<std::string>& password) {
    if (login) {
        login_ = *login;
    }
    if (password) {
        password_ = *password;
    }
    CloseConnection();
    lastReply_.clear();
    transport_.SetDeadline(std::chrono::steady_clock::now() + sessionLimit_);
    try {
        if (security != kSecurityNone && security != kSecurityStartTls &&
            security != kSecurityTls) {
            // Never fall back to plain text when the setting is not understood.
            throw ECSmtp(ECSmtp::kSslProblem, StrPrintf("unknown security mode %d", security));
        }
        transport_.Connect(host, port != 0 ? port : MailServicePort(), kConnectTimeoutSec);
        if (security != kSecurityNone) {
            transport_.PrepareTls(tlsVerify_);
        }
        if (security == kSecurityTls) {
            transport_.Handshake(host, kHandshakeTimeoutSec);
        }
        Command(SmtpStep::Greeting);
        Command(SmtpStep::Ehlo, StrPrintf("EHLO %s\r\n", localHost_.c_str()));
        dialogue_ = true;
        if (security == kSecurityStartTls) {
            if (!ReplyHasKeyword(lastReply_, "STARTTLS")) {
                throw ECSmtp(ECSmtp::kStartTlsUnsupported);
            }
            Command(SmtpStep::StartTls, "STARTTLS\r\n");
            transport_.Handshake(host, kHandshakeTimeoutSec);
            Command(SmtpStep::Ehlo, StrPrintf("EHLO %s\r\n", localHost_.c_str()));
        }
        if (authenticate && ReplyHasKeyword(lastReply_, "AUTH")) {
            Authenticate();
        }
    } catch (const ECSmtp& error) {
        AfterFailure(error);
        throw;
    }
    return true;
}

void CSmtp::Authenticate() {
    if (login_.empty()) {
        throw ECSmtp(ECSmtp::kNoLogin);
    }
    if (password_.empty()) {
        throw ECSmtp(ECSmtp::kNoPassword);
    }
    if (ReplyHasKeyword(lastReply_, "LOGIN")) {
        Command(SmtpStep::AuthLogin, "AUTH LOGIN\r\n");
        Command(SmtpStep::UserName, Base64Encode(login_) + "\r\n");
        Command(SmtpStep::Password, Base64Encode(password_) + "\r\n");
    } else if (ReplyHasKeyword(lastReply_, "PLAIN")) {
        std::string credential;
        credential += '\0';
        credential += login_;
        credential += '\0';
        credential += password_;
        Command(SmtpStep::AuthPlain, "AUTH PLAIN " + Base64Encode(credential) + "\r\n");
    } else if (ReplyHasKeyword(lastReply_, "CRAM-MD5")) {
        AuthCramMd5();
    } else if (ReplyHasKeyword(lastReply_, "DIGEST-MD5")) {
        AuthDigestMd5();
    } else {
        throw ECSmtp(ECSmtp::kNoAuthMechanism);
    }
}

void CSmtp::AuthCramMd5() {
    Command(SmtpStep::AuthCramMd5, "AUTH CRAM-MD5\r\n");
    auto challenge = Base64Decode(ChallengeText(lastReply_));
    if (!challenge) {
        throw ECSmtp(ECSmtp::kAuthCramMd5Rejected, "challenge is not Base64");
    }
    Command(SmtpStep::Password,
            Base64Encode(CramMd5Response(login_, password_, *challenge)) + "\r\n");
}

void CSmtp::AuthDigestMd5() {
    Command(SmtpStep::AuthDigestMd5, "AUTH DIGEST-MD5\r\n");
    auto decoded = Base64Decode(ChallengeText(lastReply_));
    if (!decoded) {
        throw ECSmtp(ECSmtp::kBadDigestChallenge, "challenge is not Base64");
    }
    auto challenge = ParseDigestChallenge(*decoded);
    if (!challenge) {
        throw ECSmtp(ECSmtp::kBadDigestChallenge, OneLine(*decoded));
    }
    const std::string peer = transport_.PeerAddress();
    if (peer.empty()) {
        throw ECSmtp(ECSmtp::kNoDigestServerName);
    }
    const std::string cnonce = StrPrintf("%lx", static_cast<unsigned long>(std::time(nullptr)));
    const std::string response =
        DigestMd5Response(login_, password_, *challenge, cnonce, "smtp/" + peer);
    Command(SmtpStep::DigestResponse, Base64Encode(response) + "\r\n");
    Command(SmtpStep::Password, "\r\n");
}

std::string CSmtp::BuildHeader(long long unixTime) const {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (unixTime <= 0) {
        throw ECSmtp(ECSmtp::kTimeError);
    }
    std::time_t clock = static_cast<std::time_t>(unixTime);
    std::tm local{};
    if (localtime_r(&clock, &local) == nullptr) {
        throw ECSmtp(ECSmtp::kTimeError);
    }
    std::string header =
        StrPrintf("Date: %d %s %d %d:%d:%d\r\n", local.tm_mday, kMonths[local.tm_mon],
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    header += "From: ";
    if (!senderName_.empty()) {
        header += OneLine(senderName_);
    }
    header += " <" + OneLine(senderMail_) + ">\r\n";
    if (!mailer_.empty()) {
        header += "X-Mailer: " + OneLine(mailer_) + "\r\n";
    }
    if (!replyTo_.empty()) {
        header += "Reply-To: " + OneLine(replyTo_) + "\r\n";
    }
    switch (priority_) {
        case 2:
            header += "X-Priority: 2 (High)\r\n";
            break;
        case 4:
            header += "X-Priority: 4 (Low)\r\n";
            break;
        default:
            header += "X-Priority: 3 (Normal)\r\n";
            break;
    }
    header += "To: ";
    for (size_t i = 0; i < recipients_.size(); ++i) {
        if (i > 0) {
            header += ",";
        }
        header += OneLine(recipients_[i].first) + "<" + OneLine(recipients_[i].second) + ">";
    }
    header += "\r\n";
    header += "Subject: " + OneLine(subject_);
    if (subject_.empty()) {
        header += " ";
    }
    header += "\r\n";
    if (!messageId_.empty()) {
        header += "Message-ID: <" + OneLine(messageId_) + ">\r\n";
    }
    if (!inReplyTo_.empty()) {
        header += "In-Reply-To: <" + OneLine(inReplyTo_) + ">\r\n";
    }
    if (!references_.empty()) {
        header += "References:";
        for (const std::string& id : references_) {
            header += " <" + OneLine(id) + ">";
        }
        header += "\r\n";
    }
    header += "MIME-Version: 1.0\r\n";
    header += "Content-type: text/plain; charset=\"" + OneLine(charset_) + "\"\r\n";
    header += "Content-Transfer-Encoding: 7bit\r\n";
    header += "\r\n";
    return header;
}

void CSmtp::SendBody() {
    if (body_.empty()) {
        Command(SmtpStep::DataBlock, " \r\n");
        return;
    }
    for (const std::string& line : body_) {
        std::string block;
        AppendBodyLine(block, line);
        Command(SmtpStep::DataBlock, block);
    }
}

void CSmtp::SendMail() {
    if (!transport_.IsOpen()) {
        OpenConnection(server_, port_, security_, authenticate_);
    }
    try {
        if (senderMail_.empty()) {
            throw ECSmtp(ECSmtp::kNoSender);
        }
        Command(SmtpStep::MailFrom, StrPrintf("MAIL FROM:<%s>\r\n", OneLine(senderMail_).c_str()));
        if (recipients_.empty()) {
            throw ECSmtp(ECSmtp::kNoRecipient);
        }
        SendRecipients();
        if (messageId_.empty()) {
            messageId_ = NewMessageId(senderMail_);
        }
        Command(SmtpStep::Data, "DATA\r\n");
        Command(SmtpStep::DataBlock, BuildHeader(static_cast<long long>(std::time(nullptr))));
        SendBody();
        Command(SmtpStep::DataEnd, "\r\n.\r\n");
    } catch (const ECSmtp& error) {
        AfterFailure(error);
        throw;
    }
}

void CSmtp::SendRecipients() {
    rcptResults_.clear();
    bool anyAccepted = false;
    const RcptResult* refusal = nullptr;
    for (const auto& recipient : recipients_) {
        RcptResult result;
        result.mail = recipient.second;
        result.replyCode =
            Exchange(SmtpStep::RcptTo, StrPrintf("RCPT TO:<%s>\r\n", OneLine(result.mail).c_str()));
        result.reply = FirstLine(lastReply_);
        if (result.replyCode == 250 || result.replyCode == 251) {
            result.outcome = RcptOutcome::Accepted;
            anyAccepted = true;
        } else if (result.replyCode >= 500 && result.replyCode <= 599) {
            result.outcome = RcptOutcome::Permanent;
        }
        rcptResults_.push_back(std::move(result));
    }
    if (anyAccepted) {
        return;
    }
    // Nobody takes the message: a refusal for now makes the whole attempt worth repeating.
    for (const RcptResult& result : rcptResults_) {
        if (refusal == nullptr || (result.outcome == RcptOutcome::Transient &&
                                   refusal->outcome != RcptOutcome::Transient)) {
            refusal = &result;
        }
    }
    throw ECSmtp(ECSmtp::kRcptToRejected, refusal->reply, refusal->replyCode);
}

std::string CSmtp::NewMessageId(const std::string& senderMail) {
    static std::atomic<unsigned> sequence{0};
    unsigned char random[12] = {};
    std::string unique;
    if (RAND_bytes(random, sizeof random) == 1) {
        for (unsigned char byte : random) {
            unique += StrPrintf("%02x", byte);
        }
    } else {
        // No randomness to be had: process, time and a counter still keep ids apart.
        unique = StrPrintf("%x.%u", static_cast<unsigned>(platform::CurrentProcessId()),
                           sequence.fetch_add(1));
    }
    std::string domain;
    const size_t at = senderMail.rfind('@');
    if (at != std::string::npos && at + 1 < senderMail.size()) {
        domain = senderMail.substr(at + 1);
    } else {
        domain = platform::HostName();
        if (domain.empty()) {
            domain = "localhost";
        }
    }
    // Only characters a message id may hold: nothing from a setting breaks the header.
    for (char& c : domain) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') {
            c = '-';
        }
    }
    return StrPrintf("%s.%lld@%s", unique.c_str(), static_cast<long long>(std::time(nullptr)),
                     domain.c_str());
}

void CSmtp::AfterFailure(const ECSmtp& error) noexcept {
    switch (error.GetErrorNum()) {
        case ECSmtp::kServerClosed:
        case ECSmtp::kSendFailed:
        case ECSmtp::kRecvFailed:
        case ECSmtp::kSslProblem:
        case ECSmtp::kDataBlockFailed:
            // The stream is gone or broken: a QUIT could not arrive.
            dialogue_ = false;
            break;
        default:
            break;
    }
    if (lastReply_.compare(0, 3, "530") == 0) {
        dialogue_ = false;  // the server refuses the session; it expects no QUIT
    }
    CloseConnection();
}

void CSmtp::CloseConnection() noexcept {
    if (transport_.IsOpen() && dialogue_) {
        dialogue_ = false;
        try {
            Command(SmtpStep::Quit, "QUIT\r\n");
        } catch (...) {
            // The message is out or already failed; a refused QUIT changes nothing.
        }
    }
    dialogue_ = false;
    transport_.Close();
}

}  // namespace zm
