#include "SimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/Printf.h"

namespace zm::sim {

namespace {

std::string Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return StrPrintf("%04d-%02d-%02d %02d:%02d:%02d.%06ld", local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ts.tv_nsec / 1000);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        text += StrPrintf("%s%02X", text.empty() ? "" : " ", b);
    }
    return text;
}

}  // namespace

bool SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int Listen(const std::string& address, int& port, std::string& error) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        close(fd);
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 16) != 0) {
        error = StrPrintf("%s:%d: %s", address.c_str(), port, std::strerror(errno));
        close(fd);
        return -1;
    }
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    SetNonBlocking(fd);
    return fd;
}

// A pseudo-terminal in raw mode. The simulator keeps the slave side open itself, so the
// master does not report a hang-up while no client has the port open.
int OpenPty(std::string& slavePath, int& keepSlave, std::string& error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = std::strerror(errno);
        return -1;
    }
    const char* name = ptsname(master);
    if (!name) {
        error = std::strerror(errno);
        close(master);
        return -1;
    }
    slavePath = name;
    keepSlave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (keepSlave >= 0 && tcgetattr(keepSlave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(keepSlave, TCSANOW, &tio);
    }
    SetNonBlocking(master);
    return master;
}

Simulator::~Simulator() {
    for (auto& c : m_conns) {
        if (c->kind != Kind::kStdin) {
            close(c->fd);
        }
    }
}

void Simulator::Log(const Connection& c, const char* what, const std::vector<uint8_t>& bytes,
                    const std::string& note) {
    if (!m_log) {
        return;
    }
    std::fprintf(m_log, "%s #%d %s %d {%s} %s\n", Now().c_str(), c.id, what,
                 static_cast<int>(bytes.size()), Hex(bytes).c_str(), note.c_str());
    std::fflush(m_log);
}

void Simulator::Add(int fd, Kind kind) {
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    c->kind = kind;
    c->id = ++m_nextId;
    c->lastRx = Clock::now();
    m_conns.push_back(std::move(c));
}

int Simulator::Run() {
    while (!m_quit) {
        std::vector<pollfd> fds;
        for (auto& c : m_conns) {
            short events = POLLIN;
            if (!c->out.empty()) {
                events |= POLLOUT;
            }
            fds.push_back({c->fd, events, 0});
        }
        timespec timeout = NextTimeout();
        int rc = ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (rc < 0 && errno != EINTR) {
            std::perror("poll");
            return 1;
        }
        const size_t count = fds.size();
        for (size_t i = 0; i < count && rc > 0; ++i) {
            if (fds[i].revents) {
                Handle(*m_conns[i], fds[i].revents);
            }
        }
        Timers();
        for (auto& c : m_conns) {
            Flush(*c);
        }
        std::erase_if(m_conns, [](const std::unique_ptr<Connection>& c) {
            if (c->dead) {
                close(c->fd);
            }
            return c->dead;
        });
    }
    for (auto& c : m_conns) {
        Flush(*c);
    }
    return 0;
}

// How long poll may sleep: until the next reply is due or a stalled request goes stale.
timespec Simulator::NextTimeout() const {
    auto now = Clock::now();
    auto next = now + std::chrono::milliseconds(1000);
    for (const auto& c : m_conns) {
        if (!c->pending.empty()) {
            next = std::min(next, c->pending.front().due);
        }
        if (!c->in.empty() && (c->kind == Kind::kBusTcp || c->kind == Kind::kBusPty)) {
            next = std::min(next, c->lastRx + kStaleAfter);
        }
    }
    auto ns = std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::nanoseconds>(next - now).count());
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

void Simulator::Handle(Connection& c, short revents) {
    switch (c.kind) {
        case Kind::kSignal:
            m_quit = true;
            return;
        case Kind::kTcpListen:
        case Kind::kControlListen: {
            int fd = accept4(c.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                Add(fd, c.kind == Kind::kTcpListen ? Kind::kBusTcp : Kind::kControl);
                if (c.kind == Kind::kTcpListen) {
                    Log(*m_conns.back(), "CONNECT", {}, "");
                }
            }
            return;
        }
        default:
            break;
    }
    if (revents & POLLOUT) {
        Flush(c);
    }
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) {
        return;
    }
    uint8_t buffer[4096];
    ssize_t n = read(c.fd, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        if (c.kind == Kind::kBusPty) {
            return;  // no client on the port right now; we hold the slave open
        }
        if (c.kind == Kind::kStdin) {
            c.dead = true;  // stdin closed: keep running, controlled by signals/port
            return;
        }
        if (c.kind == Kind::kBusTcp) {
            Log(c, "DISCONNECT", {}, "");
        }
        c.dead = true;
        return;
    }
    c.in.insert(c.in.end(), buffer, buffer + n);
    c.lastRx = Clock::now();
    if (c.kind == Kind::kControl || c.kind == Kind::kStdin) {
        ControlLines(c);
    } else {
        BusInput(c, false);
    }
}

void Simulator::ControlLines(Connection& c) {
    for (;;) {
        auto nl = std::find(c.in.begin(), c.in.end(), '\n');
        if (nl == c.in.end()) {
            if (c.in.size() > 4096) {
                c.in.clear();  // a line that long is not a command
            }
            return;
        }
        std::string line(c.in.begin(), nl);
        c.in.erase(c.in.begin(), nl + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string answer = m_bus.Control(line, m_quit) + "\n";
        if (c.kind == Kind::kStdin) {
            std::fputs(answer.c_str(), stdout);
            std::fflush(stdout);
        } else {
            c.out += answer;
        }
    }
}

// Takes whole requests off the front of the input; bytes that cannot start a request
// are skipped. With `stale`, a request that stopped arriving loses its first byte.
void Simulator::BusInput(Connection& c, bool stale) {
    for (;;) {
        size_t length = 0;
        SimBus::Scan scan = m_bus.ScanRequest(c.in, length);
        if (scan == SimBus::Scan::kNeedMore && stale && !c.in.empty()) {
            scan = SimBus::Scan::kGarbage;
            stale = false;
        }
        if (scan == SimBus::Scan::kNeedMore) {
            return;
        }
        if (scan == SimBus::Scan::kGarbage) {
            size_t skip = 1;
            while (skip < c.in.size()) {
                size_t dummy;
                if (m_bus.ScanRequest(std::span(c.in).subspan(skip), dummy) !=
                    SimBus::Scan::kGarbage) {
                    break;
                }
                ++skip;
            }
            Log(c, "SKIP", {c.in.begin(), c.in.begin() + static_cast<long>(skip)}, "");
            c.in.erase(c.in.begin(), c.in.begin() + static_cast<long>(skip));
            continue;
        }
        std::vector<uint8_t> request(c.in.begin(), c.in.begin() + static_cast<long>(length));
        c.in.erase(c.in.begin(), c.in.begin() + static_cast<long>(length));
        Reply reply = m_bus.Answer(request);
        Log(c, "REQ", request, reply.answered ? "" : ("no reply: " + reply.note));
        if (!reply.answered && !reply.closeConnection) {
            continue;
        }
        Pending p;
        p.due = Clock::now() + std::chrono::milliseconds(reply.delayMs) +
                std::chrono::microseconds(reply.lineTimeUs);
        p.close = reply.closeConnection;
        p.note = reply.note;
        if (reply.trickleMs > 0 && reply.bytes.size() > 1) {
            // One byte at a time, each a pause after the one before; the log shows the
            // whole reply with its first byte.
            std::vector<uint8_t> rest(reply.bytes.begin() + 1, reply.bytes.end());
            reply.bytes.resize(1);
            p.logged = std::vector<uint8_t>(reply.bytes.begin(), reply.bytes.end());
            p.logged.insert(p.logged.end(), rest.begin(), rest.end());
            p.bytes = std::move(reply.bytes);
            const Clock::time_point first = p.due;
            c.pending.push_back(std::move(p));
            for (size_t i = 0; i < rest.size(); ++i) {
                Pending piece;
                piece.due =
                    first + std::chrono::milliseconds(reply.trickleMs) * static_cast<long>(i + 1);
                piece.bytes = {rest[i]};
                piece.quiet = true;
                c.pending.push_back(std::move(piece));
            }
            continue;
        }
        p.bytes = std::move(reply.bytes);
        c.pending.push_back(std::move(p));
    }
}

void Simulator::Timers() {
    auto now = Clock::now();
    for (auto& c : m_conns) {
        while (!c->pending.empty() && c->pending.front().due <= now) {
            Pending p = std::move(c->pending.front());
            c->pending.pop_front();
            if (p.close) {
                if (c->kind == Kind::kBusTcp) {
                    Log(*c, "CLOSE", {}, p.note);
                    c->dead = true;
                    c->pending.clear();
                    break;
                }
                Log(*c, "NOREP", {}, p.note + " (a pty cannot be closed; dropped)");
                continue;
            }
            if (!p.quiet) {
                Log(*c, "REP", p.logged.empty() ? p.bytes : p.logged, p.note);
            }
            c->out.append(p.bytes.begin(), p.bytes.end());
        }
        if (!c->in.empty() && (c->kind == Kind::kBusTcp || c->kind == Kind::kBusPty) &&
            now - c->lastRx >= kStaleAfter) {
            c->lastRx = now;
            BusInput(*c, true);
        }
    }
}

void Simulator::Flush(Connection& c) {
    while (!c.out.empty() && !c.dead) {
        ssize_t n = c.kind == Kind::kBusPty ? write(c.fd, c.out.data(), c.out.size())
                                            : send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                return;
            }
            if (c.kind != Kind::kBusPty) {
                c.dead = true;
            }
            c.out.clear();
            return;
        }
        c.out.erase(0, static_cast<size_t>(n));
    }
}

}  // namespace zm::sim
