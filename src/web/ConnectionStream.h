#pragma once

#include <cstddef>
#include <memory>

namespace zm {

// The byte road of one connection: plain TCP, or TLS over it. Non-blocking throughout:
// a call that cannot go on says which socket event it waits for.
class CConnectionStream {
  public:
    enum class Result { kOk, kWantRead, kWantWrite, kClosed, kError };

    virtual ~CConnectionStream() = default;
    // Called until kOk before anything is received: the TLS handshake.
    virtual Result Open() { return Result::kOk; }
    virtual Result Receive(char* buffer, size_t size, size_t& got) = 0;
    virtual Result Send(const char* data, size_t size, size_t& put) = 0;
    // Bytes already taken off the socket and waiting here, which no poll announces.
    virtual bool HasBuffered() const { return false; }
    virtual bool IsSecure() const { return false; }
};

// recv and send on the socket; the descriptor stays the caller's.
std::unique_ptr<CConnectionStream> MakePlainStream(int fd);

}  // namespace zm
