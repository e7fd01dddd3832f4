#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/zor/ZorTexts.h"

namespace zm {

// The part of a device link that one exchange uses. Same contracts as the link interface:
// Read is true when at least one byte arrived within the time-out (0 = the link's default),
// Write when the bytes were handed to the medium, GetError true when there is no error.
class IZorLink {
  public:
    virtual ~IZorLink() = default;
    virtual std::string GetName(bool withKind) = 0;
    virtual bool IsOpen() = 0;
    virtual bool Read(uint8_t* buffer, int wanted, int* received, int timeoutMs) = 0;
    virtual bool Write(const uint8_t* data, int count, int* sent, int timeoutMs) = 0;
    virtual void Purge() = 0;
    virtual bool GetError(std::string* text, int* code) = 0;
    // How long a Read with this time-out waits at most for its first byte (0 = the
    // link's default).
    virtual int ReadTimeoutMs(int timeoutMs) = 0;
    // The line's speed in bits per second; 0 when the link does not know it (the serial
    // side of a network converter).
    virtual int LineBitsPerSecond() = 0;
};

// What the owning device supplies to its transactions.
class IZorChannelHost {
  public:
    virtual ~IZorChannelHost() = default;
    // The device's link lock: entered at the start of AcquireChannel, left at the end of
    // ReleaseChannel, so one device's link objects see one exchange at a time.
    virtual void EnterLinkLock() = 0;
    virtual void LeaveLinkLock() = 0;
    // The selected link, or null; asked with the link lock held.
    virtual IZorLink* CurrentLink() = 0;
    virtual bool OpenLink() = 0;
    virtual void CloseLink() = 0;
    // The keep-link switch, read under the settings lock.
    virtual bool KeepLink() = 0;
    // The machine-wide channel lock named by the link's name with kind: devices of this and
    // of other processes that share a port or an endpoint take turns. Waits at most
    // timeoutMs; false when busy or when it cannot be created.
    virtual bool AcquireNamedLock(const std::string& name, int timeoutMs) = 0;
    virtual void ReleaseNamedLock() = 0;
    // The sensor's bus address, taken from the parameter block when a request is built.
    virtual uint8_t BusAddress() = 0;
    // The global switch for hexadecimal byte lists in transcripts.
    virtual bool HexByteLists() = 0;
    // A checked response arrived: the time of the last successful transaction is now.
    virtual void NoteTransactionSucceeded() = 0;
    // Translated texts; the built-in English text when empty.
    virtual ZorTranslate Translator() { return {}; }
};

// One request/response exchange on a device's link, and the transcript of its steps.
class CZorTransactor {
  public:
    static constexpr int kChannelWaitMs = 1200;
    static constexpr int kPauseBeforeExchangeMs = 100;

    explicit CZorTransactor(IZorChannelHost& host) : m_host(host) {}

    // One complete exchange. The title is the command's translated title, used only in the
    // transcript. True when a checked response arrived; its payload is in `payload`.
    bool Transact(std::string* transcript, std::string_view title, uint8_t code,
                  std::span<const uint8_t> request, std::vector<uint8_t>& payload);

    bool SendRequest(uint8_t code, std::span<const uint8_t> request, std::string* transcript);
    bool ReadResponse(std::vector<uint8_t>& bytes, std::string* transcript);
    bool CheckResponse(std::span<const uint8_t> bytes, uint8_t code, std::vector<uint8_t>& payload,
                       std::string* transcript);
    bool AcquireChannel(std::string* transcript);
    void ReleaseChannel(std::string* transcript, bool forceClose);

    // Counters for the statistics text.
    int LinksOpened() const { return m_linksOpened; }
    int OpenFailures() const { return m_openFailures; }
    int ChannelBusy() const { return m_channelBusy; }
    int FailedReads() const { return m_failedReads; }
    // The read time-out the next response read will use (0 = the link's default).
    int NextReadTimeoutMs() const;

    // Pause before every exchange; tests and benchmarks may shorten it.
    void SetPauseBeforeExchangeMs(int ms) { m_pauseMs = ms; }

    // A line of unknown speed is taken to be this slow when a reply's wire time is counted.
    static constexpr int kSlowestLineBitsPerSecond = 9600;
    // Bits on the line per byte, with room for parity and a second stop bit.
    static constexpr int kLineBitsPerByte = 11;
    // The overall time a reply of `bytes` bytes may take: the read time-out, plus its
    // wire time at the line's speed.
    static int ReplyDeadlineMs(int readTimeoutMs, int bytes, int bitsPerSecond);

  private:
    enum class ReadEnd { kComplete, kSilent, kDeadline };
    // Reads until `want` bytes are in, a read brings nothing, or the reply's deadline
    // passes: replies split by the medium still arrive whole, and a line that trickles
    // cannot hold the channel for longer than one reply may take.
    ReadEnd ReadUpTo(IZorLink& link, uint8_t* buffer, int want, int& have, int timeoutMs,
                     std::chrono::steady_clock::time_point deadline);
    std::string LinkErrorText(IZorLink* link, int& code);

    IZorChannelHost& m_host;
    std::atomic<int> m_linksOpened{0};
    std::atomic<int> m_openFailures{0};
    std::atomic<int> m_channelBusy{0};
    std::atomic<int> m_failedReads{0};
    bool m_namedLockHeld = false;
    int m_pauseMs = kPauseBeforeExchangeMs;
};

}  // namespace zm
