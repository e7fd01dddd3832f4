#include "web/GenericServer.h"

#include <cerrno>
#include <future>
#include <system_error>

#include "base/Log.h"
#include "base/Printf.h"
#include "platform/ProcessInfo.h"
#include "platform/Sockets.h"
#include "platform/WakeEvent.h"
#include "web/ServerLog.h"
#include "web/TlsContext.h"

namespace zm {

// The shutdown signal every thread polls beside its own socket; one signal wakes all of
// them. Shared with the threads, so that a thread left running after a shutdown still
// polls a valid handle.
struct CGenericServer::Wake {
    platform::WakeEvent event;
    const platform::SocketHandle fd = event.Handle();
    void Signal() const { event.Signal(); }
};

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kBusyLogInterval = std::chrono::minutes(1);

// Marks the service state done when the thread function returns by any road.
template <typename State>
struct DoneOnExit {
    State& state;
    ~DoneOnExit() {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.done = true;
        state.cv.notify_all();
    }
};

template <typename State>
bool WaitDone(State& state, int maxMs) {
    std::unique_lock<std::mutex> lock(state.mutex);
    return state.cv.wait_for(lock, std::chrono::milliseconds(maxMs), [&] { return state.done; });
}

class PlainStream final : public CConnectionStream {
  public:
    explicit PlainStream(int fd) : fd_(fd) {}
    Result Receive(char* buffer, size_t size, size_t& got) override {
        const auto n = recv(fd_, buffer, size, 0);
        if (n > 0) {
            got = static_cast<size_t>(n);
            return Result::kOk;
        }
        if (n == 0)
            return Result::kClosed;
        return platform::IsSocketRetry(platform::LastSocketError()) ? Result::kWantRead
                                                                    : Result::kError;
    }
    Result Send(const char* data, size_t size, size_t& put) override {
        for (;;) {
            const auto n = send(fd_, data, size, platform::kSendNoSignal);
            if (n >= 0) {
                put = static_cast<size_t>(n);
                return Result::kOk;
            }
            const int error = platform::LastSocketError();
            if (error == EINTR)
                continue;
            return platform::IsSocketRetry(error) ? Result::kWantWrite : Result::kError;
        }
    }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<CConnectionStream> MakePlainStream(int fd) {
    return std::make_unique<PlainStream>(fd);
}

CGenericServer::CGenericServer(CLog* log) : m_pLog(log) {}

CGenericServer::~CGenericServer() {
    // A derived class stops the server in its own destructor (the handlers are its
    // members); this is the last line of defence for the threads that only use ours.
    if (m_running)
        StopServer();
    WaitForAbandoned(kThreadStopMs);
}

std::vector<std::string> CGenericServer::GetVisitors() const {
    std::lock_guard<std::mutex> lock(m_visitorLock);
    return m_visitors;
}

void CGenericServer::OnClientConnect(const std::string& /*address*/, int /*port*/) {}

void CGenericServer::OnDataSent(size_t /*bytes*/) {}

void CGenericServer::LogMessage(const char* message, const char* step, long code) {
    ServerLogError(m_pLog, StrPrintf("<li><dt> HttpServer message: [\"%s\"], [\"%s\"], [%ld]",
                                     message, step, code));
}

void CGenericServer::LogWarningMessage(const char* message, const char* step, long code) {
    ServerLogWarning(m_pLog, StrPrintf("<li><dt> HttpServer message: [\"%s\"], [\"%s\"], [%ld]",
                                       message, step, code));
}

bool CGenericServer::RateLimitAllows(Clock::time_point& last) {
    std::lock_guard<std::mutex> lock(m_rateLock);
    auto now = Clock::now();
    if (last != Clock::time_point{} && now - last < kBusyLogInterval)
        return false;
    last = now;
    return true;
}

bool CGenericServer::StartServer(uint16_t port, uint32_t clientTimeoutMs) {
    if (m_running)
        return false;
    m_port = port;
    m_clientTimeoutMs = clientTimeoutMs;
    m_connections = 0;
    m_kbReceived = 0.0;
    m_kbSent = 0.0;
    m_abandoned = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_helperStop = false;
    }
    auto wake = std::make_shared<Wake>();
    if (!wake->event.IsValid()) {
        LogMessage("eventfd(...) failure", "Start", platform::LastSocketError());
        return false;
    }

    // The listening socket is made here rather than in the accept thread so that a port
    // in use fails the start at once instead of after the start time-out.
    platform::StartSockets();
    int listenFd = platform::OpenSocket(AF_INET, SOCK_STREAM, 0, true);
    if (listenFd < 0) {
        LogMessage("WSASocket(...) failure", "AcceptThread", platform::LastSocketError());
        return false;
    }
    int yes = 1;
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!m_bindAddress.empty() && inet_pton(AF_INET, m_bindAddress.c_str(), &addr.sin_addr) != 1) {
        LogMessage("bind(...) failure", "AcceptThread", EINVAL);
        platform::CloseSocket(listenFd);
        return false;
    }
    if (bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        LogMessage("bind(...) failure", "AcceptThread", platform::LastSocketError());
        platform::CloseSocket(listenFd);
        return false;
    }
    if (listen(listenFd, SOMAXCONN) != 0) {
        LogMessage("listen(...) failure", "AcceptThread", platform::LastSocketError());
        platform::CloseSocket(listenFd);
        return false;
    }
    socklen_t len = sizeof addr;
    if (getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        m_port = ntohs(addr.sin_port);

    m_wake = wake;
    m_acceptState = std::make_shared<ServiceState>();
    m_helperState = std::make_shared<ServiceState>();
    auto acceptStarted = std::make_shared<std::promise<void>>();
    std::future<void> acceptReady = acceptStarted->get_future();
    try {
        m_acceptThread = std::thread([this, listenFd, acceptStarted, state = m_acceptState] {
            acceptStarted->set_value();
            AcceptThread(listenFd, state);
        });
    } catch (const std::system_error& e) {
        LogMessage("_beginthreadex(...) failure, for Launch Thread", "Start", e.code().value());
        platform::CloseSocket(listenFd);
        return false;
    }
    if (acceptReady.wait_for(std::chrono::milliseconds(kStartTimeoutMs)) !=
        std::future_status::ready) {
        LogMessage("Unable to get response from Accept Thread withing specified Timeout ->",
                   "Start", kStartTimeoutMs);
        m_wake->Signal();
        JoinBounded(m_acceptThread, *m_acceptState, kThreadStopMs, "Start");
        return false;
    }
    try {
        m_helperThread = std::thread([this, state = m_helperState] { HelperThread(state); });
    } catch (const std::system_error& e) {
        LogMessage("_beginthreadex(...) failure, for Helper Thread", "Start", e.code().value());
        m_wake->Signal();
        JoinBounded(m_acceptThread, *m_acceptState, kThreadStopMs, "Start");
        return false;
    }
    m_running = true;
    return true;
}

bool CGenericServer::JoinBounded(std::thread& thread, ServiceState& state, int maxMs,
                                 const char* step) {
    if (!thread.joinable())
        return true;
    if (WaitDone(state, maxMs)) {
        thread.join();
        return true;
    }
    // Never forced: the thread keeps its shared state and ends on its own.
    LogMessage("WaitForSingleObject(...) timed out", step, maxMs);
    thread.detach();
    return false;
}

bool CGenericServer::StopServer() {
    if (!m_running)
        return true;
    m_wake->Signal();
    // The accept thread first, so that no client is added behind the helper's last pass.
    bool ok = JoinBounded(m_acceptThread, *m_acceptState, kThreadStopMs, "Shutdown");
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_helperStop = true;
    }
    m_helperCv.notify_all();
    // The helper gives the connection threads their own second before it ends.
    ok = JoinBounded(m_helperThread, *m_helperState, 2 * kThreadStopMs, "Shutdown") && ok;
    ReapClients(true);  // whatever a late accept or an abandoned helper left behind
    ok = ok && !m_abandoned;
    m_running = false;
    return ok;
}

void CGenericServer::WaitForAbandoned(int maxMs) {
    auto until = Clock::now() + std::chrono::milliseconds(maxMs);
    while (m_liveClients > 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void CGenericServer::AcceptThread(int listenFd, std::shared_ptr<ServiceState> state) {
    platform::NameCurrentThread("web-accept");
    DoneOnExit<ServiceState> done{*state};
    std::shared_ptr<Wake> wake = m_wake;
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wake->fd, POLLIN, 0}};
        int n = platform::PollSockets(fds, 2, -1);
        if (n < 0) {
            if (platform::LastSocketError() == EINTR)
                continue;
            LogMessage("WaitForMultipleObjects(...) failure", "AcceptThread",
                       platform::LastSocketError());
            break;
        }
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int fd = platform::AcceptSocket(listenFd, reinterpret_cast<sockaddr*>(&peer), &len);
        if (fd < 0) {
            const int error = platform::LastSocketError();
            if (platform::IsSocketRetry(error) || error == ECONNABORTED)
                continue;
            // Out of descriptors: the pending connection keeps the socket readable, so
            // pause instead of spinning, and say so once a minute rather than ten times
            // a second.
            if (RateLimitAllows(m_lastAcceptLog))
                LogMessage("WSAAccept(...) failure", "AcceptThread", platform::LastSocketError());
            pollfd w = {wake->fd, POLLIN, 0};
            if (platform::PollSockets(&w, 1, 100) > 0)
                break;
            continue;
        }
        const auto* ip = reinterpret_cast<const unsigned char*>(&peer.sin_addr.s_addr);
        std::string address = StrPrintf("%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
        AddClient(fd, address, ntohs(peer.sin_port));
    }
    platform::CloseSocket(listenFd);
}

void CGenericServer::AddClient(int fd, const std::string& address, int port) {
    if (m_liveClients >= kMaxConnections) {
        // Refused at once so that the clients already served keep their answers coming.
        if (RateLimitAllows(m_lastBusyLog))
            LogWarningMessage("Too many connections, connection closed", "AddClient",
                              static_cast<long>(kMaxConnections));
        platform::CloseSocket(fd);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        size_t& fromThere = m_perAddress[address];
        if (fromThere >= kMaxPerAddress) {
            if (RateLimitAllows(m_lastAddressLog))
                LogWarningMessage("Too many connections from one address, connection closed",
                                  "AddClient", static_cast<long>(kMaxPerAddress));
            platform::CloseSocket(fd);
            return;
        }
        ++fromThere;
    }
    OnClientConnect(address, port);
    {
        std::lock_guard<std::mutex> lock(m_visitorLock);
        if (m_visitors.size() < kMaxVisitors && m_visitorSet.insert(address).second)
            m_visitors.push_back(address);
    }
    ++m_connections;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    std::lock_guard<std::mutex> lock(m_lock);
    auto state = std::make_shared<ClientState>();
    ++m_liveClients;
    try {
        // Held until the thread's last use of the server: an owner that let go meanwhile
        // (the web server switched off while a handler waited) leaves the server to it.
        std::thread t([this, keep = weak_from_this().lock(), fd, address, state, wake = m_wake] {
            ClientThread(fd, address, state, wake);
        });
        m_clients.push_back(Client{std::move(t), state});
    } catch (const std::system_error& e) {
        --m_liveClients;
        ForgetAddress(address);
        platform::CloseSocket(fd);
        LogMessage("_beginthreadex(...) failure", "AddClient", e.code().value());
    }
}

void CGenericServer::ForgetAddress(const std::string& address) {
    auto it = m_perAddress.find(address);
    if (it != m_perAddress.end() && --it->second == 0)
        m_perAddress.erase(it);
}

void CGenericServer::ClientThread(int fd, std::string address, std::shared_ptr<ClientState> state,
                                  std::shared_ptr<Wake> wake) {
    platform::NameCurrentThread("web-client");
    try {
        ServeConnection(fd, address, *wake);
    } catch (const std::exception& e) {
        // Out of memory or the like outside a handler: the connection ends, the process
        // does not.
        LogMessage(StrPrintf("Exception in web-client: %s", HtmlEscaped(e.what()).c_str()).c_str(),
                   "ClientThread", 0);
    } catch (...) {
        LogMessage("Exception in web-client", "ClientThread", 0);
    }
    platform::CloseSocket(fd);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ForgetAddress(address);
    }
    --m_liveClients;  // the last use of the server object
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->cv.notify_all();
}

void CGenericServer::LogSlowRequest(std::chrono::milliseconds deadline) {
    if (RateLimitAllows(m_lastSlowLog))
        LogWarningMessage("Request not complete in time, connection closed", "ClientThread",
                          static_cast<long>(deadline.count()));
}

void CGenericServer::ServeConnection(int fd, const std::string& address, const Wake& wake) {
    using Result = CConnectionStream::Result;
    const uint32_t timeoutMs = m_clientTimeoutMs;
    const auto headerDeadline =
        std::chrono::milliseconds(timeoutMs == 0 ? kHeaderDeadlineMs : timeoutMs);
    std::unique_ptr<CConnectionStream> stream = m_tls ? m_tls->Wrap(fd) : MakePlainStream(fd);
    if (!stream) {
        LogMessage("SSL_new(...) failure", "ClientThread", 0);
        return;
    }
    const ClientInfo client{address, stream->IsSecure()};
    std::unique_ptr<char[]> buffer(new char[kMaxReceive]);  // not zeroed: every connection pays
    std::string request, response;
    size_t sent = 0;
    bool sending = false;
    bool keepAlive = false;
    bool open = false;
    Result waitsFor = Result::kOk;  // what the stream's last call waits for, if anything
    // Every byte restarts the idle time-out; the header's deadline runs from its first byte
    // and is not restarted, so a client that trickles cannot hold its slot for long. A TLS
    // handshake counts as part of the first header.
    Clock::time_point requestDue = Clock::now() + headerDeadline;

    for (;;) {
        if (!open) {
            const Result r = stream->Open();
            if (r == Result::kOk) {
                open = true;
                waitsFor = Result::kOk;
                continue;
            }
            if (r != Result::kWantRead && r != Result::kWantWrite) {
                if (RateLimitAllows(m_lastHandshakeLog))
                    LogWarningMessage(
                        StrPrintf("TLS handshake with %s failed", address.c_str()).c_str(),
                        "ClientThread", 0);
                return;
            }
            waitsFor = r;
        }
        // Bytes the TLS layer holds already are read without waiting for the socket.
        if (!(open && !sending && stream->HasBuffered())) {
            int pollTimeout = timeoutMs == 0 ? -1 : static_cast<int>(timeoutMs);
            bool deadlineBounds = false;
            if (!open || (!sending && !request.empty())) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(requestDue - Clock::now());
                if (left.count() <= 0) {
                    LogSlowRequest(headerDeadline);
                    return;
                }
                if (pollTimeout < 0 || left.count() <= pollTimeout) {
                    pollTimeout = static_cast<int>(left.count());
                    deadlineBounds = true;
                }
            }
            short events = sending ? POLLOUT : POLLIN;
            if (waitsFor == Result::kWantRead)
                events = POLLIN;
            else if (waitsFor == Result::kWantWrite)
                events = POLLOUT;
            pollfd fds[2] = {{fd, events, 0}, {wake.fd, POLLIN, 0}};
            int n = platform::PollSockets(fds, 2, pollTimeout);
            if (n < 0) {
                if (platform::LastSocketError() == EINTR)
                    continue;
                LogMessage("WaitForMultipleObjects(...) failure", "ClientThread",
                           platform::LastSocketError());
                return;
            }
            if (fds[1].revents)
                return;  // the server stops
            if (n == 0) {
                if (deadlineBounds)
                    LogSlowRequest(headerDeadline);
                return;  // idle past the client time-out, or the header's deadline passed
            }
            if (fds[0].revents & (POLLERR | POLLNVAL))
                return;
        }
        if (!open)
            continue;

        if (!sending) {
            // Never more than the request cap in all, so the cap holds to the byte.
            const size_t room = std::min(kMaxReceive, kMaxRequest - request.size());
            size_t got = 0;
            const Result r = stream->Receive(buffer.get(), room, got);
            if (r == Result::kWantRead || r == Result::kWantWrite) {
                waitsFor = r;
                continue;
            }
            if (r != Result::kOk || got == 0)
                return;  // the client closed, or the connection broke
            waitsFor = Result::kOk;
            m_kbReceived.fetch_add(static_cast<double>(got) / 1024.0);
            if (request.empty())
                requestDue = Clock::now() + headerDeadline;
            request.append(buffer.get(), got);
            if (!IsRequestComplete(request)) {
                if (request.size() >= kMaxRequest) {
                    if (RateLimitAllows(m_lastOversizeLog))
                        LogWarningMessage("Request too long, connection closed", "ClientThread",
                                          static_cast<long>(request.size()));
                    return;
                }
                continue;
            }
            keepAlive = false;
            response.clear();
            if (!HandleRequestSafely(client, request, response, keepAlive))
                return;
            sending = true;
            sent = 0;
        }

        // Send what the socket takes now; the rest waits for the next write event.
        waitsFor = Result::kOk;
        while (sent < response.size()) {
            size_t chunk = std::min(kMaxSend, response.size() - sent);
            size_t put = 0;
            const Result r = stream->Send(response.data() + sent, chunk, put);
            if (r == Result::kWantRead || r == Result::kWantWrite) {
                waitsFor = r;
                break;
            }
            if (r != Result::kOk) {
                LogMessage("WSASend(...) failure", "ClientThread, Primary Send",
                           platform::LastSocketError());
                return;
            }
            sent += put;
        }
        if (sent < response.size())
            continue;
        m_kbSent.fetch_add(static_cast<double>(response.size()) / 1024.0);
        OnDataSent(response.size());
        if (!keepAlive)
            return;
        request.clear();
        response.clear();
        sending = false;
    }
}

bool CGenericServer::HandleRequestSafely(const ClientInfo& client, const std::string& request,
                                         std::string& response, bool& keepAlive) {
    std::string what;
    try {
        return HandleRequest(client, request, response, keepAlive);
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown exception";
    }
    // One faulty route must not end the program: the client learns of the fault, the run
    // log of its cause.
    LogMessage(StrPrintf("Exception in web-client: %s", HtmlEscaped(what).c_str()).c_str(),
               "ClientThread", 500);
    keepAlive = false;
    static const std::string kBody = "<html><body>500 Internal Server Error</body></html>";
    response = StrPrintf(
        "HTTP/1.0 500 Internal Server Error\r\nContent-Length: %zu\r\nContent-Type: "
        "text/html\r\nConnection: close\r\n\r\n",
        kBody.size());
    response += kBody;
    return true;
}

void CGenericServer::HelperThread(std::shared_ptr<ServiceState> state) {
    platform::NameCurrentThread("web-helper");
    DoneOnExit<ServiceState> done{*state};
    for (;;) {
        bool stopping;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_helperCv.wait_for(lock, std::chrono::milliseconds(250),
                                [this] { return m_helperStop; });
            stopping = m_helperStop;
        }
        ReapClients(stopping);
        if (stopping)
            return;
    }
}

void CGenericServer::ReapClients(bool stopping) {
    std::list<Client> finished;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            bool ended;
            {
                std::lock_guard<std::mutex> stateLock(it->state->mutex);
                ended = it->state->done;
            }
            if (ended || stopping) {
                auto next = std::next(it);
                finished.splice(finished.end(), m_clients, it);
                it = next;
            } else {
                ++it;
            }
        }
    }
    // The waits happen outside the lock: a connection being accepted must not wait for them.
    auto deadline = Clock::now() + std::chrono::milliseconds(kThreadStopMs);
    for (Client& c : finished) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        bool ended;
        {
            std::unique_lock<std::mutex> stateLock(c.state->mutex);
            ended = c.state->cv.wait_for(stateLock, std::max(left, std::chrono::milliseconds(0)),
                                         [&] { return c.state->done; });
        }
        if (c.thread.get_id() == std::this_thread::get_id()) {
            c.thread.detach();  // the server's last owner was this thread: it is ending
        } else if (ended) {
            c.thread.join();
        } else {
            LogMessage("WaitForSingleObject(...) timed out", "HelperThread", kThreadStopMs);
            c.thread.detach();
            m_abandoned = true;
        }
    }
}

}  // namespace zm
