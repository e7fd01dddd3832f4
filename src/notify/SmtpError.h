#pragma once

#include <exception>
#include <string>

namespace zm {

// The one exception of the engine: every failure of the mail client is raised as ECSmtp
// and caught by the caller of CSmtp, who logs GetErrorText() and, when present, the
// detail (the operating system's or the TLS library's own reason).
class ECSmtp : public std::exception {
  public:
    enum Code : int {
        kNoError = 0,
        kWinsockStartup = 100,
        kWinsockVersion = 101,
        kSendFailed = 102,
        kRecvFailed = 103,
        kConnectFailed = 104,
        kUnknownServer = 105,
        kInvalidSocket = 106,
        kHostNameFailed = 107,
        kNonBlockingFailed = 108,
        kWaitFailed = 109,
        kBadIpv4Address = 110,
        kNoMessageHeader = 200,
        kNoSender = 201,
        kNoSubject = 202,
        kNoRecipient = 203,
        kNoLogin = 204,
        kNoPassword = 205,
        kBadLoginOrPassword = 206,
        kBadDigestChallenge = 207,
        kNoDigestServerName = 208,
        kNoRecipientMail = 209,
        kMailFromRejected = 300,
        kEhloRejected = 301,
        kAuthPlainRejected = 302,
        kAuthLoginRejected = 303,
        kAuthCramMd5Rejected = 304,
        kAuthDigestMd5Rejected = 305,
        kDigestResponseRejected = 306,
        kDataRejected = 307,
        kQuitRejected = 308,
        kRcptToRejected = 309,
        kMessageBodyRejected = 310,
        kServerClosed = 400,
        kServerNotReady = 401,
        kServerNotResponding = 402,
        kConnectTimeout = 403,
        kFileNotExist = 404,
        kMessageTooBig = 405,
        kAuthRejected = 406,
        kUsernameRejected = 407,
        kLackOfMemory = 408,
        kTimeError = 409,
        kRecvBufEmpty = 410,
        kSendBufEmpty = 411,
        kLineOutOfRange = 412,
        kStartTlsRejected = 413,
        kSslProblem = 414,
        kDataBlockFailed = 415,
        kStartTlsUnsupported = 416,
        kNoAuthMechanism = 417,
    };

    // `replyCode`: the server's reply code when a reply caused the failure, else 0.
    explicit ECSmtp(int code, std::string detail = {}, int replyCode = 0);

    int GetErrorNum() const noexcept { return code_; }
    // The fixed English text of the code.
    std::string GetErrorText() const { return ErrorText(code_); }
    // The underlying reason (socket error, TLS library reason, server reply); may be empty.
    const std::string& GetDetail() const noexcept { return detail_; }
    int GetReplyCode() const noexcept { return replyCode_; }
    const char* what() const noexcept override { return what_.c_str(); }

    static std::string ErrorText(int code);

  private:
    int code_;
    int replyCode_;
    std::string detail_;
    std::string what_;
};

// A failure that a later attempt cannot cure: the server refused for good (a 5xx reply:
// the account, the sender, the message). Everything else (no connection, time-outs, 4xx
// replies, TLS trouble, settings still to be completed) is worth another attempt.
bool IsPermanentFailure(const ECSmtp& error) noexcept;

}  // namespace zm
