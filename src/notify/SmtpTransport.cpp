#include "notify/SmtpTransport.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/Printf.h"
#include "notify/SmtpCodec.h"
#include "notify/SmtpError.h"
#include "platform/Sockets.h"

namespace zm {

namespace {

std::string ErrnoText(const char* what, int error) {
    return StrPrintf("%s: %s", what, std::strerror(error));
}

// The TLS library's queued reasons, oldest first; the queue is emptied.
std::string TlsErrorText() {
    std::string text;
    unsigned long error = 0;
    while ((error = ERR_get_error()) != 0) {
        char line[256];
        ERR_error_string_n(error, line, sizeof line);
        if (!text.empty()) {
            text += "; ";
        }
        text += line;
    }
    return text;
}

bool IsConnectionGone(int error) {
    return error == ECONNRESET || error == EPIPE || error == ENOTCONN;
}

// What the socket BIO below learned from the last system call.
struct SocketState {
    int fd = -1;
    bool eof = false;
    int lastErrno = 0;
};

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the server has
// gone away; this one sends without raising SIGPIPE so a closing peer never ends the process.
int BioWrite(BIO* bio, const char* data, int size) {
    auto* state = static_cast<SocketState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t sent = ::send(state->fd, data, static_cast<size_t>(size), platform::kSendNoSignal);
    if (sent < 0) {
        state->lastErrno = platform::LastSocketError();
        if (platform::IsSocketRetry(platform::LastSocketError())) {
            BIO_set_retry_write(bio);
        }
        return -1;
    }
    return static_cast<int>(sent);
}

int BioRead(BIO* bio, char* data, int size) {
    auto* state = static_cast<SocketState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t got = ::recv(state->fd, data, static_cast<size_t>(size), 0);
    if (got < 0) {
        state->lastErrno = platform::LastSocketError();
        if (platform::IsSocketRetry(platform::LastSocketError())) {
            BIO_set_retry_read(bio);
        } else if (IsConnectionGone(platform::LastSocketError())) {
            state->eof = true;
        }
        return -1;
    }
    if (got == 0) {
        state->eof = true;
    }
    return static_cast<int>(got);
}

long BioCtrl(BIO* bio, int cmd, long, void*) {
    switch (cmd) {
        case BIO_CTRL_FLUSH:
            return 1;
        case BIO_CTRL_EOF:
            return static_cast<SocketState*>(BIO_get_data(bio))->eof ? 1 : 0;
        default:
            return 0;
    }
}

int BioCreate(BIO*) {
    return 1;
}

int BioDestroy(BIO*) {
    return 1;
}

BIO_METHOD* SocketBioMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zm smtp socket");
        if (m != nullptr) {
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioCtrl);
            BIO_meth_set_create(m, BioCreate);
            BIO_meth_set_destroy(m, BioDestroy);
        }
        return m;
    }();
    return method;
}

bool IsIpLiteral(const std::string& host) {
    in_addr v4{};
    in6_addr v6{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

}  // namespace

struct CSmtpTransport::Tls {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    SocketState socket;
    bool verify = true;
    bool healthy = false;  // handshake done and no fatal error since

    ~Tls() {
        if (ssl != nullptr) {
            SSL_free(ssl);  // also frees the BIO
        }
        if (ctx != nullptr) {
            SSL_CTX_free(ctx);
        }
    }
};

CSmtpTransport::CSmtpTransport() = default;

CSmtpTransport::~CSmtpTransport() {
    Close();
}

bool CSmtpTransport::IsTls() const {
    return tls_ != nullptr && tls_->ssl != nullptr;
}

void CSmtpTransport::Connect(const std::string& host, uint16_t port, int timeoutSec) {
    Close();
    sockaddr_storage address{};
    socklen_t addressSize = 0;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        auto* sin = reinterpret_cast<sockaddr_in*>(&address);
        sin->sin_family = AF_INET;
        sin->sin_addr = v4;
        sin->sin_port = htons(port);
        addressSize = sizeof(sockaddr_in);
    } else {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        int rc = host.empty() ? EAI_NONAME : getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (rc != 0 || found == nullptr) {
            throw ECSmtp(ECSmtp::kUnknownServer,
                         StrPrintf("%s: %s", host.c_str(), gai_strerror(rc)));
        }
        // IPv4 first: the digest mechanism names the server by its IPv4 address.
        const addrinfo* chosen = found;
        for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
            if (a->ai_family == AF_INET) {
                chosen = a;
                break;
            }
        }
        std::memcpy(&address, chosen->ai_addr, chosen->ai_addrlen);
        addressSize = chosen->ai_addrlen;
        freeaddrinfo(found);
        if (address.ss_family == AF_INET) {
            reinterpret_cast<sockaddr_in*>(&address)->sin_port = htons(port);
        } else {
            reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = htons(port);
        }
    }

    platform::StartSockets();
    fd_ = platform::OpenSocket(address.ss_family, SOCK_STREAM, 0, false);
    if (fd_ < 0) {
        throw ECSmtp(ECSmtp::kInvalidSocket, ErrnoText("socket", platform::LastSocketError()));
    }
    if (!platform::SetSocketNonBlocking(fd_)) {
        int error = platform::LastSocketError();
        Close();
        throw ECSmtp(ECSmtp::kNonBlockingFailed, ErrnoText("fcntl", error));
    }
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), addressSize) < 0 &&
        platform::LastSocketError() != EINPROGRESS) {
        int error = platform::LastSocketError();
        Close();
        throw ECSmtp(ECSmtp::kConnectFailed, ErrnoText("connect", error));
    }
    try {
        Wait(Want::Write, timeoutSec, ECSmtp::kConnectTimeout);
    } catch (...) {
        Close();
        throw;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) < 0) {
        error = platform::LastSocketError();
    }
    if (error != 0) {
        // The connection was refused or unreachable: a failed connect, however it was
        // waited for (the wait itself went well).
        Close();
        throw ECSmtp(ECSmtp::kConnectFailed, ErrnoText("connect", error));
    }
}

void CSmtpTransport::Wait(Want want, int timeoutSec, int timeoutCode) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSec);
    const bool sessionBound = deadline_ && *deadline_ < deadline;
    if (sessionBound) {
        deadline = *deadline_;
    }
    pollfd entry{};
    entry.fd = fd_;
    entry.events = want == Want::Read ? POLLIN : POLLOUT;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        int ms = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        int rc = platform::PollSockets(&entry, 1, ms);
        if (rc > 0) {
            return;  // ready, or in error: the next call reports which
        }
        if (rc == 0) {
            throw ECSmtp(timeoutCode, sessionBound
                                          ? std::string("session time limit reached")
                                          : StrPrintf("no answer within %d s", timeoutSec));
        }
        if (platform::LastSocketError() != EINTR) {
            throw ECSmtp(ECSmtp::kWaitFailed, ErrnoText("poll", platform::LastSocketError()));
        }
    }
}

void CSmtpTransport::PrepareTls(bool verify) {
    tls_ = std::make_unique<Tls>();
    tls_->verify = verify;
    tls_->ctx = SSL_CTX_new(TLS_client_method());
    if (tls_->ctx == nullptr) {
        throw ECSmtp(ECSmtp::kSslProblem, TlsErrorText());
    }
    SSL_CTX_set_mode(tls_->ctx, SSL_MODE_AUTO_RETRY);
    if (verify) {
        if (SSL_CTX_set_default_verify_paths(tls_->ctx) != 1) {
            throw ECSmtp(ECSmtp::kSslProblem, TlsErrorText());
        }
        SSL_CTX_set_verify(tls_->ctx, SSL_VERIFY_PEER, nullptr);
    } else {
        SSL_CTX_set_verify(tls_->ctx, SSL_VERIFY_NONE, nullptr);
    }
}

void CSmtpTransport::Handshake(const std::string& serverName, int timeoutSec) {
    if (!tls_ || tls_->ctx == nullptr) {
        PrepareTls(true);
    }
    ERR_clear_error();
    tls_->ssl = SSL_new(tls_->ctx);
    BIO* bio = SocketBioMethod() != nullptr ? BIO_new(SocketBioMethod()) : nullptr;
    if (tls_->ssl == nullptr || bio == nullptr) {
        if (bio != nullptr) {
            BIO_free(bio);
        }
        throw ECSmtp(ECSmtp::kSslProblem, TlsErrorText());
    }
    tls_->socket.fd = fd_;
    BIO_set_data(bio, &tls_->socket);
    BIO_set_init(bio, 1);
    SSL_set_bio(tls_->ssl, bio, bio);
    SSL_set_mode(tls_->ssl, SSL_MODE_AUTO_RETRY);

    const bool literal = IsIpLiteral(serverName);
    // SNI carries host names only, never address literals.
    if (!literal && !serverName.empty() &&
        SSL_set_tlsext_host_name(tls_->ssl, serverName.c_str()) != 1) {
        throw ECSmtp(ECSmtp::kSslProblem, TlsErrorText());
    }
    if (tls_->verify) {
        int ok = literal
                     ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(tls_->ssl), serverName.c_str())
                     : SSL_set1_host(tls_->ssl, serverName.c_str());
        if (ok != 1) {
            throw ECSmtp(ECSmtp::kSslProblem, TlsErrorText());
        }
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSec);
    for (;;) {
        ERR_clear_error();
        int rc = SSL_connect(tls_->ssl);
        if (rc == 1) {
            break;
        }
        int error = SSL_get_error(tls_->ssl, rc);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            auto left = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                throw ECSmtp(ECSmtp::kServerNotResponding, "TLS handshake timed out");
            }
            Wait(error == SSL_ERROR_WANT_READ ? Want::Read : Want::Write,
                 static_cast<int>(left.count()), ECSmtp::kServerNotResponding);
            continue;
        }
        std::string detail;
        long verifyResult = SSL_get_verify_result(tls_->ssl);
        if (tls_->verify && verifyResult != X509_V_OK) {
            detail = StrPrintf("certificate verification failed: %s",
                               X509_verify_cert_error_string(verifyResult));
        }
        std::string reasons = TlsErrorText();
        if (reasons.empty() && tls_->socket.eof) {
            reasons = "connection closed during the TLS handshake";
        } else if (reasons.empty() && tls_->socket.lastErrno != 0) {
            reasons = ErrnoText("socket", tls_->socket.lastErrno);
        }
        if (!reasons.empty()) {
            detail += detail.empty() ? reasons : "; " + reasons;
        }
        throw ECSmtp(ECSmtp::kSslProblem, detail);
    }
    tls_->healthy = true;
}

void CSmtpTransport::SendAll(std::string_view data, int timeoutSec) {
    if (fd_ < 0) {
        throw ECSmtp(ECSmtp::kSendFailed, "not connected");
    }
    if (IsTls()) {
        Want want = Want::Write;
        while (!data.empty()) {
            Wait(want, timeoutSec, ECSmtp::kServerNotResponding);
            ERR_clear_error();
            int sent = SSL_write(tls_->ssl, data.data(), static_cast<int>(data.size()));
            if (sent > 0) {
                data.remove_prefix(static_cast<size_t>(sent));
                want = Want::Write;
                continue;
            }
            int error = SSL_get_error(tls_->ssl, sent);
            if (error == SSL_ERROR_WANT_READ) {
                want = Want::Read;
            } else if (error == SSL_ERROR_WANT_WRITE) {
                want = Want::Write;
            } else {
                tls_->healthy = false;
                std::string detail = TlsErrorText();
                if (detail.empty() && tls_->socket.lastErrno != 0) {
                    detail = ErrnoText("send", tls_->socket.lastErrno);
                }
                throw ECSmtp(ECSmtp::kSslProblem, detail);
            }
        }
        return;
    }
    while (!data.empty()) {
        Wait(Want::Write, timeoutSec, ECSmtp::kServerNotResponding);
        ssize_t sent = ::send(fd_, data.data(), data.size(), platform::kSendNoSignal);
        if (sent < 0 && platform::IsSocketRetry(platform::LastSocketError())) {
            continue;
        }
        if (sent <= 0) {
            throw ECSmtp(ECSmtp::kSendFailed, sent < 0
                                                  ? ErrnoText("send", platform::LastSocketError())
                                                  : std::string("nothing sent"));
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
}

std::string CSmtpTransport::ReceiveReply(int timeoutSec, int& code) {
    if (fd_ < 0) {
        throw ECSmtp(ECSmtp::kRecvFailed, "not connected");
    }
    return IsTls() ? ReceiveTls(timeoutSec, code) : ReceivePlain(timeoutSec, code);
}

std::string CSmtpTransport::ReceivePlain(int timeoutSec, int& code) {
    std::string reply;
    char buffer[kMaxReply];
    for (;;) {
        if (auto final = FinalReplyCode(reply)) {
            code = *final;
            return reply;
        }
        if (reply.size() >= kMaxReply) {
            throw ECSmtp(ECSmtp::kLackOfMemory, "reply longer than the receive buffer");
        }
        Wait(Want::Read, timeoutSec, ECSmtp::kServerNotResponding);
        ssize_t got = ::recv(fd_, buffer, kMaxReply - reply.size(), 0);
        if (got < 0) {
            if (platform::IsSocketRetry(platform::LastSocketError())) {
                continue;
            }
            if (IsConnectionGone(platform::LastSocketError())) {
                throw ECSmtp(ECSmtp::kServerClosed, ErrnoText("recv", platform::LastSocketError()));
            }
            throw ECSmtp(ECSmtp::kRecvFailed, ErrnoText("recv", platform::LastSocketError()));
        }
        if (got == 0) {
            throw ECSmtp(ECSmtp::kServerClosed);
        }
        reply.append(buffer, static_cast<size_t>(got));
    }
}

std::string CSmtpTransport::ReceiveTls(int timeoutSec, int& code) {
    std::string reply;
    char buffer[1024];
    for (;;) {
        if (auto final = FinalReplyCode(reply)) {
            code = *final;
            return reply;
        }
        if (reply.size() >= kMaxReply) {
            throw ECSmtp(ECSmtp::kLackOfMemory, "reply longer than the receive buffer");
        }
        // Read first: the library may already hold decrypted data the socket no longer shows.
        ERR_clear_error();
        size_t room = std::min(sizeof buffer, kMaxReply - reply.size());
        int got = SSL_read(tls_->ssl, buffer, static_cast<int>(room));
        if (got > 0) {
            reply.append(buffer, static_cast<size_t>(got));
            continue;
        }
        int error = SSL_get_error(tls_->ssl, got);
        if (error == SSL_ERROR_WANT_READ) {
            Wait(Want::Read, timeoutSec, ECSmtp::kServerNotResponding);
        } else if (error == SSL_ERROR_WANT_WRITE) {
            Wait(Want::Write, timeoutSec, ECSmtp::kServerNotResponding);
        } else if (error == SSL_ERROR_ZERO_RETURN) {
            throw ECSmtp(ECSmtp::kServerClosed, "TLS session closed by the server");
        } else {
            tls_->healthy = false;
            std::string reasons = TlsErrorText();
            if (tls_->socket.eof) {
                throw ECSmtp(ECSmtp::kServerClosed, reasons);
            }
            if (error == SSL_ERROR_SYSCALL) {
                throw ECSmtp(ECSmtp::kRecvFailed, ErrnoText("recv", tls_->socket.lastErrno));
            }
            throw ECSmtp(ECSmtp::kSslProblem, reasons);
        }
    }
}

std::string CSmtpTransport::PeerAddress() const {
    if (fd_ < 0) {
        return {};
    }
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &size) < 0) {
        return {};
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
    } else if (address.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr, text,
                  sizeof text);
    }
    return text;
}

void CSmtpTransport::Close() noexcept {
    if (tls_) {
        if (tls_->ssl != nullptr && tls_->healthy) {
            // One non-blocking attempt at the close notice; the server does not need it.
            ERR_clear_error();
            SSL_shutdown(tls_->ssl);
        }
        ERR_clear_error();
        tls_.reset();
    }
    if (fd_ >= 0) {
        platform::CloseSocket(fd_);
        fd_ = -1;
    }
}

}  // namespace zm
