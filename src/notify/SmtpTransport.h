#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zm {

// The byte stream under the mail dialogue: a non-blocking TCP socket, optionally wrapped in
// TLS. Every wait is bounded by the time-out the caller passes; every failure is raised as
// ECSmtp with the code the dialogue documents.
class CSmtpTransport {
  public:
    // Largest reply kept; the receive buffer is 10240 bytes with room for the terminator.
    static constexpr size_t kMaxReply = 10239;

    CSmtpTransport();
    ~CSmtpTransport();
    CSmtpTransport(const CSmtpTransport&) = delete;
    CSmtpTransport& operator=(const CSmtpTransport&) = delete;

    // Resolves `host` (dotted IPv4 used as it is) and connects within `timeoutSec`.
    void Connect(const std::string& host, uint16_t port, int timeoutSec);
    // Creates the TLS client context; with `verify` the server certificate is checked
    // against the system trust store and the server name at handshake.
    void PrepareTls(bool verify);
    // Runs the TLS client handshake on the connected socket; `serverName` goes into SNI and
    // the certificate name check.
    void Handshake(const std::string& serverName, int timeoutSec);

    // Sends every byte, each wait for writability bounded by `timeoutSec`.
    void SendAll(std::string_view data, int timeoutSec);
    // Reads one complete (possibly multi-line) reply, each wait bounded by `timeoutSec`.
    // Returns the whole reply text and its code.
    std::string ReceiveReply(int timeoutSec, int& code);

    // A bound over every later wait, whatever its own time-out: a server that answers
    // slowly piece by piece cannot stretch a session past it. None: no overall bound.
    void SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
        deadline_ = deadline;
    }

    // Numeric address of the connected server; empty when it cannot be obtained.
    std::string PeerAddress() const;
    bool IsOpen() const { return fd_ >= 0; }
    bool IsTls() const;
    // Closes the TLS session (sending its close notice when it is healthy) and the socket.
    void Close() noexcept;

    struct Tls;  // OpenSSL objects, kept out of this header

  private:
    enum class Want { Read, Write };
    void Wait(Want want, int timeoutSec, int timeoutCode);
    std::string ReceivePlain(int timeoutSec, int& code);
    std::string ReceiveTls(int timeoutSec, int& code);

    int fd_ = -1;
    std::unique_ptr<Tls> tls_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace zm
