// zor-sim: a bus of simulated sensors behind a TCP server and/or a pseudo-terminal.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimBus.h"
#include "base/Printf.h"

namespace {

using Clock = std::chrono::steady_clock;
using zm::StrPrintf;
using zm::sim::SimBus;

constexpr const char* kHelp = R"(zor-sim: simulated ZOR sensors (and a range finder) on one bus.

Usage: zor-sim [OPTIONS]

Transports (any combination; at least one):
  --tcp-port N       TCP server port (default 11221; 0 picks a free port). Several
                     clients may connect at once; each gets the whole bus.
  --bind ADDR        address the TCP server listens on (default 127.0.0.1)
  --no-tcp           no TCP server
  --pty              create a pseudo-terminal serial port; its slave path is the
                     first line of standard output

Bus:
  --sensor SPEC      add a sensor (repeatable; without any, one sensor at address 99).
                     SPEC is key=value pairs separated by commas:
                       addr=N            bus address 1..255 (required)
                       type=A.B.C.D      controller type bytes (default 5.2.0.1)
                       params=182|180    parameter block layout answered (default 182)
                       state=20|10       state record length answered (default 20)
                       records=N         data records per data answer (default 5)
                       source=KIND       constant:V | ramp:START:STEP |
                                         sine:MEAN:AMPLITUDE:PERIOD_IN_RECORDS |
                                         list:V1;V2;... (one value per data answer;
                                         the last value repeats)
                       value=V           shorthand for source=constant:V
                       bkg=V|auto        record background (default auto: signal/4)
                       alarm=0|1         alarm bit of the state record
                       invalid=0|1       "values not valid" bit of the state record
                       pressure=KPA temperature=DEGC sealevel=CM fluobkg=V
                       statebyte.N=V     any byte 0..19 of the state record
                       devnum=TEXT       device number in the parameter block
                       param.FIELD=V     any numeric field of the parameter block, e.g.
                                         param.MinSigThr=500 param.MaxSigThr=10000
                                         param.Latitude=59.9 param.MeasFlags=0x0201
  --rangefinder N    a range finder at address 101 answering count N
  --latency MS       delay before every reply (default 0)
  --baud N           add the time request and reply take on a serial line of N baud
                     (10 bits per byte; default 0 = none)

Control and logging:
  --control-port N   line protocol on 127.0.0.1:N as well as on standard input
                     (0 picks a free port)
  --log FILE         transaction log, one line per request and per reply with times
                     ("-" = standard error)
  --config FILE      read options from FILE: one per line, "option value" without the
                     leading dashes, '#' starts a comment
  --help             this text

Standard output: the pty path (with --pty), then "tcp ADDR:PORT", "control
127.0.0.1:PORT", and "ready" once everything listens; answers to control lines read
from standard input follow.

Control lines (answer "OK ..." or "ERR ..."):
  set ADDR key=value[,key=value...]   change a sensor (keys as for --sensor)
  set ADDR key value                  the same for one key
  add ADDR key=value...               add a sensor
  remove ADDR                         remove a sensor
  rf COUNT | rf off                   range finder count, or none
  fault KIND [N [ARG]]                the next N replies (default 1) get a fault:
                                      drop | crc | truncate [bytes kept] |
                                      delay [ms, default 1500] | garbage [bytes before
                                      the reply, default 3] | len600 | close
  clear                               forget pending faults
  latency MS                          delay before every reply
  baud N                              line time of N baud (0 = none)
  stats                               counts of requests and replies
  show                                the sensors
  quit                                stop the simulator

Example:
  zor-sim --control-port 11222 --sensor addr=5,type=5.1.0.0,source=sine:600:300:40 &
  printf '\x05\x00\x02\x00\x00\xc0\x49' | nc -q1 127.0.0.1 11221 | xxd
  echo "set 5 alarm=1" | nc -q1 127.0.0.1 11222
)";

struct Options {
    std::string bind = "127.0.0.1";
    int tcpPort = 11221;
    bool tcp = true;
    bool pty = false;
    std::optional<int> controlPort;
    std::vector<std::string> sensors;
    std::optional<int> rangeFinder;
    int latencyMs = 0;
    int baud = 0;
    std::string logPath;
};

enum class Kind { kTcpListen, kControlListen, kBusTcp, kBusPty, kControl, kStdin, kSignal };

struct Pending {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
    bool close = false;
    std::string note;
};

struct Connection {
    int fd = -1;
    Kind kind = Kind::kBusTcp;
    int id = 0;
    std::vector<uint8_t> in;
    std::string out;
    Clock::time_point lastRx;
    std::deque<Pending> pending;
    bool dead = false;
};

int g_signalPipe[2] = {-1, -1};
FILE* g_log = nullptr;

void OnSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = write(g_signalPipe[1], &c, 1);
}

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

void Log(const Connection& c, const char* what, const std::vector<uint8_t>& bytes,
         const std::string& note) {
    if (!g_log) {
        return;
    }
    std::fprintf(g_log, "%s #%d %s %d {%s} %s\n", Now().c_str(), c.id, what,
                 static_cast<int>(bytes.size()), Hex(bytes).c_str(), note.c_str());
    std::fflush(g_log);
}

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

bool ParseInt(const std::string& text, int lo, int hi, int& value) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool ParseOptions(std::vector<std::string> args, Options& o, int depth, std::string& error);

bool ReadConfig(const std::string& path, Options& o, int depth, std::string& error) {
    if (depth > 4) {
        error = "config files nest too deep";
        return false;
    }
    std::ifstream in(path);
    if (!in) {
        error = "cannot read config file " + path;
        return false;
    }
    std::vector<std::string> args;
    std::string line;
    while (std::getline(in, line)) {
        size_t hash = line.find('#');
        line = line.substr(0, hash);
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) {
            continue;
        }
        line = line.substr(first);
        size_t space = line.find_first_of(" \t");
        args.push_back("--" + line.substr(0, space));
        if (space != std::string::npos) {
            std::string value = line.substr(space);
            size_t a = value.find_first_not_of(" \t");
            size_t b = value.find_last_not_of(" \t\r");
            if (a != std::string::npos) {
                args.push_back(value.substr(a, b - a + 1));
            }
        }
    }
    return ParseOptions(args, o, depth + 1, error);
}

bool ParseOptions(std::vector<std::string> args, Options& o, int depth, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        int n = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else if (arg == "--tcp-port") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                error = error.empty() ? "--tcp-port needs 0 to 65535" : error;
                return false;
            }
            o.tcpPort = n;
            o.tcp = true;
        } else if (arg == "--bind") {
            if (!value(o.bind)) {
                return false;
            }
        } else if (arg == "--no-tcp") {
            o.tcp = false;
        } else if (arg == "--pty") {
            o.pty = true;
        } else if (arg == "--control-port") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                error = error.empty() ? "--control-port needs 0 to 65535" : error;
                return false;
            }
            o.controlPort = n;
        } else if (arg == "--sensor") {
            if (!value(v)) {
                return false;
            }
            o.sensors.push_back(v);
        } else if (arg == "--rangefinder") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                error = error.empty() ? "--rangefinder needs 0 to 65535" : error;
                return false;
            }
            o.rangeFinder = n;
        } else if (arg == "--latency") {
            if (!value(v) || !ParseInt(v, 0, 600000, n)) {
                error = error.empty() ? "--latency needs milliseconds" : error;
                return false;
            }
            o.latencyMs = n;
        } else if (arg == "--baud") {
            if (!value(v) || !ParseInt(v, 0, 4000000, n)) {
                error = error.empty() ? "--baud needs 0 to 4000000" : error;
                return false;
            }
            o.baud = n;
        } else if (arg == "--log") {
            if (!value(o.logPath)) {
                return false;
            }
        } else if (arg == "--config") {
            if (!value(v) || !ReadConfig(v, o, depth, error)) {
                return false;
            }
        } else {
            error = "unknown option " + arg + " (see --help)";
            return false;
        }
    }
    return true;
}

class Simulator {
  public:
    Simulator(SimBus& bus) : m_bus(bus) {}

    void Add(int fd, Kind kind) {
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->kind = kind;
        c->id = ++m_nextId;
        c->lastRx = Clock::now();
        m_conns.push_back(std::move(c));
    }

    int Run() {
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

  private:
    // How long poll may sleep: until the next reply is due or a stalled request goes stale.
    timespec NextTimeout() const {
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

    void Handle(Connection& c, short revents) {
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

    void ControlLines(Connection& c) {
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
    void BusInput(Connection& c, bool stale) {
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
            zm::sim::Reply reply = m_bus.Answer(request);
            Log(c, "REQ", request, reply.answered ? "" : ("no reply: " + reply.note));
            if (!reply.answered && !reply.closeConnection) {
                continue;
            }
            Pending p;
            p.due = Clock::now() + std::chrono::milliseconds(reply.delayMs) +
                    std::chrono::microseconds(reply.lineTimeUs);
            p.bytes = std::move(reply.bytes);
            p.close = reply.closeConnection;
            p.note = reply.note;
            c.pending.push_back(std::move(p));
        }
    }

    void Timers() {
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
                Log(*c, "REP", p.bytes, p.note);
                c->out.append(p.bytes.begin(), p.bytes.end());
            }
            if (!c->in.empty() && (c->kind == Kind::kBusTcp || c->kind == Kind::kBusPty) &&
                now - c->lastRx >= kStaleAfter) {
                c->lastRx = now;
                BusInput(*c, true);
            }
        }
    }

    void Flush(Connection& c) {
        while (!c.out.empty() && !c.dead) {
            ssize_t n = c.kind == Kind::kBusPty
                            ? write(c.fd, c.out.data(), c.out.size())
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

    static constexpr auto kStaleAfter = std::chrono::milliseconds(300);
    SimBus& m_bus;
    std::vector<std::unique_ptr<Connection>> m_conns;
    int m_nextId = 0;
    bool m_quit = false;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions({argv + 1, argv + argc}, options, 0, error)) {
        std::fprintf(stderr, "zor-sim: %s\n", error.c_str());
        return 2;
    }
    if (!options.tcp && !options.pty) {
        std::fprintf(stderr, "zor-sim: no transport (give --tcp-port or --pty)\n");
        return 2;
    }
    SimBus bus;
    if (options.sensors.empty()) {
        options.sensors.push_back("addr=99");
    }
    for (const std::string& spec : options.sensors) {
        if (!bus.ApplySensorSpec(spec, error, true)) {
            std::fprintf(stderr, "zor-sim: --sensor %s: %s\n", spec.c_str(), error.c_str());
            return 2;
        }
    }
    bus.SetRangeFinder(options.rangeFinder);
    bus.SetLatencyMs(options.latencyMs);
    bus.SetBaud(options.baud);

    if (!options.logPath.empty()) {
        g_log = options.logPath == "-" ? stderr : std::fopen(options.logPath.c_str(), "a");
        if (!g_log) {
            std::fprintf(stderr, "zor-sim: cannot write %s\n", options.logPath.c_str());
            return 2;
        }
    }
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("zor-sim: pipe");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    Simulator sim(bus);
    sim.Add(g_signalPipe[0], Kind::kSignal);
    int keepSlave = -1;
    if (options.pty) {
        std::string path;
        int master = OpenPty(path, keepSlave, error);
        if (master < 0) {
            std::fprintf(stderr, "zor-sim: pseudo-terminal: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
        sim.Add(master, Kind::kBusPty);
    }
    if (options.tcp) {
        int port = options.tcpPort;
        int fd = Listen(options.bind, port, error);
        if (fd < 0) {
            std::fprintf(stderr, "zor-sim: TCP server: %s\n", error.c_str());
            return 1;
        }
        std::printf("tcp %s:%d\n", options.bind.c_str(), port);
        sim.Add(fd, Kind::kTcpListen);
    }
    if (options.controlPort) {
        int port = *options.controlPort;
        int fd = Listen("127.0.0.1", port, error);
        if (fd < 0) {
            std::fprintf(stderr, "zor-sim: control port: %s\n", error.c_str());
            return 1;
        }
        std::printf("control 127.0.0.1:%d\n", port);
        sim.Add(fd, Kind::kControlListen);
    }
    SetNonBlocking(STDIN_FILENO);
    sim.Add(STDIN_FILENO, Kind::kStdin);
    std::printf("ready\n");
    std::fflush(stdout);
    int rc = sim.Run();
    if (keepSlave >= 0) {
        close(keepSlave);
    }
    if (g_log && g_log != stderr) {
        std::fclose(g_log);
    }
    return rc;
}
