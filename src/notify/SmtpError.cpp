#include "notify/SmtpError.h"

namespace zm {

ECSmtp::ECSmtp(int code, std::string detail, int replyCode)
    : code_(code), replyCode_(replyCode), detail_(std::move(detail)), what_(ErrorText(code)) {
    if (!detail_.empty()) {
        what_ += " (" + detail_ + ")";
    }
}

std::string ECSmtp::ErrorText(int code) {
    switch (code) {
        case kNoError:
            return "";
        case kWinsockStartup:
            return "Unable to initialise winsock2";
        case kWinsockVersion:
            return "Wrong version of the winsock2";
        case kSendFailed:
            return "Function send() failed";
        case kRecvFailed:
            return "Function recv() failed";
        case kConnectFailed:
            return "Function connect failed";
        case kUnknownServer:
            return "Unable to determine remote server";
        case kInvalidSocket:
            return "Invalid winsock2 socket";
        case kHostNameFailed:
            return "Function hostname() failed";
        case kNonBlockingFailed:
            return "Function ioctlsocket() failed";
        case kBadIpv4Address:
            return "Improper IPv4 address";
        case kNoMessageHeader:
            return "Undefined message header";
        case kNoSender:
            return "Undefined mail sender";
        case kNoSubject:
            return "Undefined message subject";
        case kNoRecipient:
            return "Undefined at least one reciepent";
        case kNoLogin:
            return "Undefined user login";
        case kNoPassword:
            return "Undefined user password";
        case kBadLoginOrPassword:
            return "Invalid user login or password";
        case kBadDigestChallenge:
            return "Server returned a bad digest MD5 response";
        case kNoDigestServerName:
            return "Unable to determine server name for digest MD5 response";
        case kNoRecipientMail:
            return "Undefined recipent mail";
        case kMailFromRejected:
            return "Server returned error after sending MAIL FROM";
        case kEhloRejected:
            return "Server returned error after sending EHLO";
        case kAuthPlainRejected:
            return "Server returned error after sending AUTH PLAIN";
        case kAuthLoginRejected:
            return "Server returned error after sending AUTH LOGIN";
        case kAuthCramMd5Rejected:
            return "Server returned error after sending AUTH CRAM-MD5";
        case kAuthDigestMd5Rejected:
            return "Server returned error after sending AUTH DIGEST-MD5";
        case kDigestResponseRejected:
            return "Server returned error after sending MD5 DIGEST";
        case kDataRejected:
            return "Server returned error after sending DATA";
        case kQuitRejected:
            return "Server returned error after sending QUIT";
        case kRcptToRejected:
            return "Server returned error after sending RCPT TO";
        case kMessageBodyRejected:
            return "Error in message body";
        case kServerClosed:
            return "Server has closed the connection";
        case kServerNotReady:
            return "Server is not ready";
        case kServerNotResponding:
            return "Server not responding";
        case kFileNotExist:
            return "File not exist";
        case kMessageTooBig:
            return "Message is too big";
        case kAuthRejected:
            return "Bad login or password";
        case kUsernameRejected:
            return "Undefined xyz SMTP response";
        case kLackOfMemory:
            return "Lack of memory";
        case kTimeError:
            return "time() error";
        case kRecvBufEmpty:
            return "RecvBuf is empty";
        case kSendBufEmpty:
            return "SendBuf is empty";
        case kLineOutOfRange:
            return "Specified line number is out of message size";
        case kStartTlsRejected:
            return "Server returned error after sending STARTTLS";
        case kSslProblem:
            return "SSL problem";
        case kDataBlockFailed:
            return "Failed to send data block";
        case kStartTlsUnsupported:
            return "The STARTTLS command is not supported by the server";
        case kNoAuthMechanism:
            return "AUTH LOGIN is not supported by the server";
        default:
            return "Undefined error id";
    }
}

bool IsPermanentFailure(const ECSmtp& error) noexcept {
    return error.GetReplyCode() >= 500 && error.GetReplyCode() <= 599;
}

}  // namespace zm
