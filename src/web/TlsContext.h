#pragma once

#include <memory>
#include <string>

#include "web/ConnectionStream.h"

struct ssl_ctx_st;
struct x509_st;

namespace zm {

// The server's TLS side: one certificate with its key, TLS 1.2 and 1.3 only. Shared by
// every connection thread; read-only once loaded.
class CTlsContext {
  public:
    // Loads a PEM certificate (with its chain, if the file has one) and its PEM key. Null
    // when either does not load or they do not belong together; `error` says why.
    static std::shared_ptr<CTlsContext> Load(const std::string& certFile,
                                             const std::string& keyFile, std::string& error);
    ~CTlsContext();
    CTlsContext(const CTlsContext&) = delete;
    CTlsContext& operator=(const CTlsContext&) = delete;

    // TLS over the socket; the descriptor stays the caller's. Null when OpenSSL cannot
    // make a session (out of memory).
    std::unique_ptr<CConnectionStream> Wrap(int fd) const;
    // The certificate's SHA-256 fingerprint, "AB:CD:..." as browsers show it.
    const std::string& Fingerprint() const { return fingerprint_; }

  private:
    explicit CTlsContext(ssl_ctx_st* ctx) : ctx_(ctx) {}
    ssl_ctx_st* ctx_;
    std::string fingerprint_;
};

// "AB:CD:..." as browsers show a certificate's SHA-256 fingerprint; empty without one.
std::string Sha256Fingerprint(x509_st* cert);

// The newest OpenSSL error text of this thread (and the queue cleared), or `fallback`.
std::string TakeOpenSslError(const std::string& fallback);

}  // namespace zm
