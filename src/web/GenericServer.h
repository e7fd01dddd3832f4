#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace zm {

class CLog;
class CTlsContext;

// Who sent a request, and over which road.
struct ClientInfo {
    std::string address;  // dotted IPv4
    bool secure = false;  // over TLS
};

// A multi-threaded TCP server: one accept thread, one helper thread that reaps finished
// connection threads, and one thread per connection. A derived class decides when a
// request is complete and what to answer.
//
// Stopping never hangs: one wake-up descriptor that every thread polls beside its socket
// is signalled, and every wait for a thread is bounded. A connection thread that does not
// end in time (a request handler that blocks) is logged and left to finish on its own.
// A server owned by a shared_ptr is shared by its connection threads, so that one left
// running can never reach a freed server; otherwise the destructor gives such threads a
// last bounded wait.
class CGenericServer : public std::enable_shared_from_this<CGenericServer> {
  public:
    static constexpr size_t kMaxReceive = 100000;     // bytes taken by one receive
    static constexpr size_t kMaxSend = 200000;        // bytes given to one send
    static constexpr size_t kMaxRequest = 64 * 1024;  // a request without its end is closed
    static constexpr size_t kMaxConnections = 256;    // served at once; more are closed
    // From one client address at once, so that one client cannot take every slot.
    static constexpr size_t kMaxPerAddress = 32;
    // A request's header must be complete within the client time-out from its first byte
    // (within this when there is no time-out), however slowly its bytes keep coming.
    static constexpr uint32_t kHeaderDeadlineMs = 10000;
    static constexpr size_t kMaxVisitors = 65536;  // distinct addresses remembered
    static constexpr int kStartTimeoutMs = 30000;
    static constexpr int kThreadStopMs = 1000;

    explicit CGenericServer(CLog* log = nullptr);
    virtual ~CGenericServer();
    CGenericServer(const CGenericServer&) = delete;
    CGenericServer& operator=(const CGenericServer&) = delete;

    void SetLog(CLog* log) { m_pLog = log; }
    CLog* GetLog() const { return m_pLog; }
    // Listening address, dotted IPv4; empty (the default) means all local addresses.
    // Takes effect at the next start.
    void SetBindAddress(const std::string& address) { m_bindAddress = address; }
    // Every connection speaks TLS with this context; none (plain TCP) by default. Takes
    // effect at the next start.
    void SetTls(std::shared_ptr<const CTlsContext> tls) { m_tls = std::move(tls); }
    bool IsSecure() const { return m_tls != nullptr; }

    bool IsRunning() const { return m_running; }
    // The listening port; when 0 was asked for, the one the system chose.
    uint16_t GetPort() const { return m_port; }
    uint32_t GetClientTimeout() const { return m_clientTimeoutMs; }

    long GetConnectionCount() const { return m_connections; }
    double GetKbReceived() const { return m_kbReceived; }
    double GetKbSent() const { return m_kbSent; }
    std::vector<std::string> GetVisitors() const;
    size_t GetActiveConnections() const { return m_liveClients; }

  protected:
    virtual void OnClientConnect(const std::string& address, int port);
    virtual void OnDataSent(size_t bytes);
    virtual bool IsRequestComplete(const std::string& request) = 0;
    // false: close the connection without an answer; true: send `response`. The client's
    // address is dotted IPv4, as the accept thread saw it.
    virtual bool HandleRequest(const ClientInfo& client, const std::string& request,
                               std::string& response, bool& keepAlive) = 0;

    bool StartServer(uint16_t port, uint32_t clientTimeoutMs);
    // false when a thread had to be abandoned.
    bool StopServer();
    // A derived destructor calls this after StopServer, while its own members still live.
    void WaitForAbandoned(int maxMs);

    // "<li><dt> HttpServer message: ..." into the run log.
    void LogMessage(const char* message, const char* step, long code);
    void LogWarningMessage(const char* message, const char* step, long code);

  private:
    struct Wake;
    struct ClientState {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    struct Client {
        std::thread thread;
        std::shared_ptr<ClientState> state;
    };
    struct ServiceState {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };

    void AcceptThread(int listenFd, std::shared_ptr<ServiceState> state);
    void HelperThread(std::shared_ptr<ServiceState> state);
    void ClientThread(int fd, std::string address, std::shared_ptr<ClientState> state,
                      std::shared_ptr<Wake> wake);
    // The request handler, with whatever it throws caught: false (no answer) or a 500.
    bool HandleRequestSafely(const ClientInfo& client, const std::string& request,
                             std::string& response, bool& keepAlive);
    void ServeConnection(int fd, const std::string& address, const Wake& wake);
    void AddClient(int fd, const std::string& address, int port);
    void ForgetAddress(const std::string& address);  // under m_lock
    void ReapClients(bool stopping);
    bool JoinBounded(std::thread& thread, ServiceState& state, int maxMs, const char* step);
    void LogSlowRequest(std::chrono::milliseconds deadline);
    bool RateLimitAllows(std::chrono::steady_clock::time_point& last);

    CLog* m_pLog;
    std::string m_bindAddress;
    std::shared_ptr<const CTlsContext> m_tls;
    std::atomic<bool> m_running{false};
    std::atomic<uint16_t> m_port{0};
    std::atomic<uint32_t> m_clientTimeoutMs{0};

    std::shared_ptr<Wake> m_wake;
    std::thread m_acceptThread, m_helperThread;
    std::shared_ptr<ServiceState> m_acceptState, m_helperState;

    std::mutex m_lock;  // the client list and the stop request of the helper
    std::condition_variable m_helperCv;
    bool m_helperStop = false;
    std::list<Client> m_clients;
    std::map<std::string, size_t> m_perAddress;  // live connections by client address
    std::atomic<bool> m_abandoned{false};

    std::atomic<long> m_connections{0};
    std::atomic<double> m_kbReceived{0.0};
    std::atomic<double> m_kbSent{0.0};
    std::atomic<size_t> m_liveClients{0};

    mutable std::mutex m_visitorLock;
    std::vector<std::string> m_visitors;
    std::unordered_set<std::string> m_visitorSet;

    std::mutex m_rateLock;
    std::chrono::steady_clock::time_point m_lastBusyLog{}, m_lastAddressLog{}, m_lastOversizeLog{},
        m_lastSlowLog{}, m_lastAcceptLog{}, m_lastHandshakeLog{};
};

}  // namespace zm
