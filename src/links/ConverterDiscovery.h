#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zm {

// Finds serial-to-Ethernet converters on the local segment: one UDP request to a
// broadcast address, port 8000, and every reply that looks like a converter's. Sends and
// reads never wait, so the owner may call them on its user-interface thread.
class CConverterDiscovery {
  public:
    static constexpr int kPort = 8000;
    static constexpr std::size_t kMinReplyBytes = 51;  // "longer than 50 bytes"
    static constexpr std::size_t kMaxReplyBytes = 4096;
    static constexpr std::array<std::uint8_t, 12> kRequest = {0x01, 0x00, 0x00, 0x0C, 0x00, 0x00,
                                                              0x00, 0x00, 0x00, 0x01, 0xFF, 0xFF};

    // Where the request goes and where the replies arrive. An empty target means the
    // broadcast address of every interface that is up and has an IPv4 address.
    struct Options {
        std::string sTarget;
        int nTargetPort = kPort;
        int nListenPort = kPort;  // 0: any free port
        std::string sListenAddress = "0.0.0.0";
    };

    CConverterDiscovery() = default;
    ~CConverterDiscovery();
    CConverterDiscovery(const CConverterDiscovery&) = delete;
    CConverterDiscovery& operator=(const CConverterDiscovery&) = delete;

    // Opens the socket and sends the request; false (socket closed) when the socket cannot
    // be made or there is nowhere to send it, which skips discovery quietly.
    bool Start(const Options& options);
    // The socket to watch for replies; -1 when closed.
    int Handle() const { return m_fd; }
    // Reads every datagram waiting; returns how many new converters were found. A receive
    // error other than "nothing waiting" closes the socket.
    int ReadReplies();
    void Close();

    const std::vector<std::string>& Found() const { return m_found; }
    // Where the request went (tests and the run log).
    const std::vector<std::string>& Targets() const { return m_targets; }

    // The reply rule: longer than 50 bytes, from port 8000, and not from this machine.
    static bool IsConverterReply(std::size_t nBytes, const std::string& sSender, int nSenderPort,
                                 const std::vector<std::string>& ownAddresses);
    // Broadcast addresses of the interfaces that are up, have IPv4 and can broadcast
    // (loopback excluded), and this machine's own IPv4 addresses.
    static std::vector<std::string> BroadcastAddresses();
    static std::vector<std::string> OwnAddresses();

  private:
    int m_fd = -1;
    std::vector<std::string> m_own;
    std::vector<std::string> m_found;
    std::vector<std::string> m_targets;
};

// The address list of the TCP panel: converters found and addresses entered before,
// shared by every panel of the process.
class CAddressHistory {
  public:
    static CAddressHistory& Shared();

    std::vector<std::string> Entries() const;
    // Appends the address unless it is already listed.
    void Add(const std::string& sAddress);
    // An address the operator confirmed while entry `nCurrent` was selected: the index of
    // an equal entry, else the current entry is replaced (appended when the list is empty
    // or nothing is selected). Returns the index the address now has.
    int Confirm(const std::string& sAddress, int nCurrent);
    void Clear();

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

}  // namespace zm
