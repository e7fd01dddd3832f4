#include "web/TlsContext.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdio>

namespace zm {

namespace {

class TlsStream final : public CConnectionStream {
  public:
    TlsStream(SSL* ssl) : ssl_(ssl) {}
    ~TlsStream() override {
        // A close_notify when the socket takes it at once; a client that went away is
        // not waited for.
        if (open_) {
            ERR_clear_error();
            SSL_shutdown(ssl_);
        }
        SSL_free(ssl_);
        ERR_clear_error();
    }
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    Result Open() override {
        ERR_clear_error();
        int rc = SSL_accept(ssl_);
        if (rc == 1) {
            open_ = true;
            return Result::kOk;
        }
        return Failure(rc);
    }
    Result Receive(char* buffer, size_t size, size_t& got) override {
        ERR_clear_error();
        int rc = SSL_read_ex(ssl_, buffer, size, &got);
        return rc == 1 ? Result::kOk : Failure(rc);
    }
    Result Send(const char* data, size_t size, size_t& put) override {
        ERR_clear_error();
        int rc = SSL_write_ex(ssl_, data, size, &put);
        return rc == 1 ? Result::kOk : Failure(rc);
    }
    bool HasBuffered() const override { return SSL_pending(ssl_) > 0; }
    bool IsSecure() const override { return true; }

  private:
    Result Failure(int rc) {
        switch (SSL_get_error(ssl_, rc)) {
            case SSL_ERROR_WANT_READ:
                return Result::kWantRead;
            case SSL_ERROR_WANT_WRITE:
                return Result::kWantWrite;
            case SSL_ERROR_ZERO_RETURN:
                return Result::kClosed;
            default:
                // The session is unusable now; a close_notify would be refused as well.
                open_ = false;
                ERR_clear_error();
                return Result::kError;
        }
    }

    SSL* ssl_;
    bool open_ = false;
};

}  // namespace

std::string Sha256Fingerprint(X509* cert) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (cert == nullptr || X509_digest(cert, EVP_sha256(), digest, &length) != 1)
        return {};
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", digest[i]);
        text += hex;
    }
    return text;
}

std::string TakeOpenSslError(const std::string& fallback) {
    unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return fallback;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::shared_ptr<CTlsContext> CTlsContext::Load(const std::string& certFile,
                                               const std::string& keyFile, std::string& error) {
    ERR_clear_error();
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (ctx == nullptr) {
        error = TakeOpenSslError("no TLS context");
        return nullptr;
    }
    std::shared_ptr<CTlsContext> tls(new CTlsContext(ctx));
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx, TLS1_3_VERSION);
    SSL_CTX_set_options(
        ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION);
    // The sender retries a write with a later part of the same buffer.
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1) {
        error = "certificate " + certFile + ": " + TakeOpenSslError("cannot be read");
        return nullptr;
    }
    const bool keyRead = SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) == 1;
    if (!keyRead && ERR_GET_REASON(ERR_peek_last_error()) != X509_R_KEY_VALUES_MISMATCH) {
        error = "key " + keyFile + ": " + TakeOpenSslError("cannot be read");
        return nullptr;
    }
    if (!keyRead || SSL_CTX_check_private_key(ctx) != 1) {
        error = "key " + keyFile + " does not belong to certificate " + certFile;
        ERR_clear_error();
        return nullptr;
    }
    tls->fingerprint_ = Sha256Fingerprint(SSL_CTX_get0_certificate(ctx));
    return tls;
}

CTlsContext::~CTlsContext() {
    SSL_CTX_free(ctx_);
}

std::unique_ptr<CConnectionStream> CTlsContext::Wrap(int fd) const {
    SSL* ssl = SSL_new(ctx_);
    if (ssl == nullptr)
        return nullptr;
    if (SSL_set_fd(ssl, fd) != 1) {
        SSL_free(ssl);
        return nullptr;
    }
    SSL_set_accept_state(ssl);
    return std::make_unique<TlsStream>(ssl);
}

}  // namespace zm
