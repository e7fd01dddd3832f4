// Fault soak: the real server with 50 ZOR devices on 10 simulated TCP buses (zor-sim, 5
// sensors each, every one drifting into its alarm corridor now and then) for N minutes,
// while the simulators inject every fault kind at random, the mail server refuses or
// stalls now and then (bench/soak/flaky_smtp.py) and clients hammer the web server.
//
// Every few seconds it prints the server's open descriptors, threads and resident memory
// (/proc/<pid>), and at the end checks: the server ran to the end and stopped cleanly on
// SIGTERM, its output holds no sanitizer report, descriptors and threads stayed flat after
// the warm-up, every alarm got its mail sent or logged as not sent (and every mail the
// server took is one the device log calls sent), every data-log line is whole.
//
// Run it against the sanitizer build of the server (the default when it is built):
//   cmake --build --preset asan -j2 --target zormanagerd
//   cmake --build --preset default -j2 --target bench_fault_soak zor-sim
//   build/default/bench/bench_fault_soak                 # 30 minutes
//   build/default/bench/bench_fault_soak --minutes 10
// Options: --minutes N, --buses N, --per-bus N, --clients N, --sample S, --warmup S,
// --server PATH, --keep DIR, --seed N.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/DaemonPeers.h"
#include "daemon/DaemonBench.h"
#include "support/Loopback.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

extern char** environ;

namespace zm::bench {
namespace {

struct Options {
    int minutes = 30;
    int buses = 10;
    int perBus = 5;
    int clients = 3;
    int sampleSeconds = 5;
    int warmupSeconds = -1;  // default: a fifth of the run, at most 120 s
    std::string server;
    std::string keep;
    unsigned seed = static_cast<unsigned>(::getpid());
};

// The server as a child whose exit status is kept even when it ends early.
class ServerProcess {
  public:
    ServerProcess(const std::vector<std::string>& args, const std::string& out) {
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ServerProcess() {
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0 || ended_) {
            return false;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            ended_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return !ended_;
    }
    // The exit status (128 + signal), or -1 while it runs after `limit`.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (Running() && Clock::now() < end) {
            std::this_thread::sleep_for(10ms);
        }
        return ended_ ? status_ : -1;
    }

  private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = -1;
};

struct Sample {
    int seconds;
    long fds;
    long threads;
    long rssKb;
};

long OpenDescriptors(pid_t pid) {
    long n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        ++n;
    }
    return ec ? -1 : n;
}

// Faults the simulators inject, chosen at random for a random bus.
class FaultInjector {
  public:
    static constexpr const char* kKinds[] = {"drop",    "crc",    "truncate", "delay",
                                             "garbage", "len600", "close"};

    FaultInjector(std::vector<std::unique_ptr<test::SimProcess>>& sims, unsigned seed)
        : sims_(sims), random_(seed) {}

    void Start() {
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        for (auto& sim : sims_) {
            sim->Control("clear");
        }
    }
    std::map<std::string, int> Counts() {
        std::lock_guard lock(mutex_);
        return counts_;
    }
    int Refused() const { return refused_; }

  private:
    void Run() {
        std::uniform_int_distribution<size_t> bus(0, sims_.size() - 1);
        std::uniform_int_distribution<size_t> kind(0, std::size(kKinds) - 1);
        std::uniform_int_distribution<int> count(1, 4);
        std::uniform_int_distribution<int> pauseMs(300, 2000);
        while (!stop_) {
            const std::string k = kKinds[kind(random_)];
            std::string line = "fault " + k + " " + std::to_string(count(random_));
            if (k == "truncate") {
                line += " " + std::to_string(std::uniform_int_distribution<int>(0, 12)(random_));
            } else if (k == "delay") {
                line +=
                    " " + std::to_string(std::uniform_int_distribution<int>(300, 3000)(random_));
            } else if (k == "garbage") {
                line += " " + std::to_string(std::uniform_int_distribution<int>(1, 9)(random_));
            }
            const std::string answer = sims_[bus(random_)]->Control(line);
            {
                std::lock_guard lock(mutex_);
                if (answer.rfind("OK", 0) == 0) {
                    ++counts_[k];
                } else {
                    ++refused_;
                }
            }
            for (int waited = pauseMs(random_); waited > 0 && !stop_; waited -= 50) {
                std::this_thread::sleep_for(50ms);
            }
        }
    }

    std::vector<std::unique_ptr<test::SimProcess>>& sims_;
    std::mt19937 random_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::map<std::string, int> counts_;
    std::atomic<int> refused_{0};
};

// Clients of the web server: the routes, files, refused paths, garbage, requests sent in
// pieces, requests abandoned half-way and keep-alive, each exchange bounded by 5 s.
class WebHammer {
  public:
    WebHammer(int port, int clients, unsigned seed) : port_(port), clients_(clients), seed_(seed) {}
    void Start() {
        for (int c = 0; c < clients_; ++c) {
            threads_.emplace_back([this, c] { Run(seed_ + static_cast<unsigned>(c)); });
        }
    }
    void Stop() {
        stop_ = true;
        for (std::thread& t : threads_) {
            t.join();
        }
    }
    // Connections refused before the server first answered do not count: it was starting.
    long answered = 0, refusedConnections = 0, noAnswer = 0, abandoned = 0;
    std::map<std::string, long> statuses;

  private:
    // One exchange; the status line of the answer, or empty when none came.
    std::string Exchange(const std::string& request, bool inPieces) {
        const int fd = test::ConnectLoopback(port_);
        if (fd < 0) {
            std::lock_guard lock(mutex_);
            refusedConnections += answered > 0;
            std::this_thread::sleep_for(100ms);
            return {};
        }
        timeval tv{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        bool sent = true;
        if (inPieces) {
            for (size_t at = 0; sent && at < request.size(); at += 7) {
                const std::string piece = request.substr(at, 7);
                sent = send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) ==
                       static_cast<ssize_t>(piece.size());
                std::this_thread::sleep_for(30ms);
            }
        } else {
            sent = send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                   static_cast<ssize_t>(request.size());
        }
        std::string answer;
        char buffer[16384];
        for (;;) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            answer.append(buffer, static_cast<size_t>(got));
            if (answer.size() > (4u << 20)) {
                break;
            }
        }
        close(fd);
        return sent ? answer.substr(0, answer.find("\r\n")) : std::string();
    }

    void Abandon(const std::string& request) {
        const int fd = test::ConnectLoopback(port_);
        if (fd >= 0) {
            send(fd, request.data(), request.size() / 2, MSG_NOSIGNAL);
            close(fd);
        }
        std::lock_guard lock(mutex_);
        ++abandoned;
    }

    void Run(unsigned seed) {
        std::mt19937 random(seed);
        static const std::vector<std::string> paths = {"/preview",
                                                       "/preview-embedded",
                                                       "/device-list",
                                                       "/sync",
                                                       "/",
                                                       "/no-such-file.kml",
                                                       "/../../etc/passwd",
                                                       "/%2e%2e/%2e%2e/etc/passwd",
                                                       "/Bus01-S01.kml"};
        std::uniform_int_distribution<size_t> path(0, paths.size() - 1);
        std::uniform_int_distribution<int> kind(0, 19);
        while (!stop_) {
            const int k = kind(random);
            const std::string request = "GET " + paths[path(random)] +
                                        " HTTP/1.0\r\nUser-Agent: soak\r\n" +
                                        (k == 1 ? "Connection: Keep-Alive\r\n" : "") + "\r\n";
            std::string status;
            if (k == 0) {
                Abandon(request);
                continue;
            } else if (k == 2) {
                std::string garbage(static_cast<size_t>(random() % 3000), '\0');
                for (char& c : garbage) {
                    c = static_cast<char>(random());
                }
                status = Exchange(garbage + "\r\n\r\n", false);
            } else if (k == 3) {
                status = Exchange(request, true);
            } else if (k == 4) {
                status = Exchange("POST /sync HTTP/1.0\r\nContent-Length: 5\r\n\r\nhello", false);
            } else {
                status = Exchange(request, false);
            }
            std::lock_guard lock(mutex_);
            if (status.empty()) {
                ++noAnswer;
            } else {
                ++answered;
                ++statuses[status];
            }
            std::this_thread::sleep_for(5ms);
        }
    }

    int port_;
    int clients_;
    unsigned seed_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
    std::mutex mutex_;
};

// The mail server, started with its output file; the port it printed.
int StartMailServer(test::ChildProcess*& process, const std::string& outcomes,
                    const std::string& out, unsigned seed) {
    const std::string script = std::string(ZM_SOAK_DIR) + "/flaky_smtp.py";
    process = new test::ChildProcess(
        {"/usr/bin/python3", script, "--out", outcomes, "--seed", std::to_string(seed)}, out);
    int port = 0;
    test::WaitUntil(
        [&] {
            std::ifstream in(out);
            std::string word;
            in >> word >> port;
            return word == "PORT" && port > 0;
        },
        15s);
    return port;
}

size_t CountIn(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size())) {
        ++n;
    }
    return n;
}

struct DataLogCheck {
    int files = 0;
    long lines = 0;
    long broken = 0;
    std::string firstBroken;
};

// Measurement lines begin "dd.mm.yyyy<TAB>hh:mm:ss" and have 18 fields; the file ends
// with a line end.
DataLogCheck CheckDataLogs(const std::filesystem::path& documents) {
    DataLogCheck check;
    static const std::regex start(R"(^\d\d\.\d\d\.\d{4}\t\d\d:\d\d:\d\d)");
    for (const auto& file : FilesNamed(documents, "DataLog_")) {
        ++check.files;
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        auto broken = [&](const std::string& what) {
            ++check.broken;
            if (check.firstBroken.empty()) {
                check.firstBroken = file.filename().string() + ": " + what;
            }
        };
        if (!text.empty() && !text.ends_with("\r\n")) {
            broken("no line end at the end of the file");
        }
        size_t begin = 0;
        while (begin < text.size()) {
            size_t end = text.find('\n', begin);
            end = end == std::string::npos ? text.size() : end;
            const std::string line = text.substr(begin, end - begin);
            begin = end + 1;
            const bool measurement = std::regex_search(line, start);
            const bool digitTab = !line.empty() &&
                                  std::isdigit(static_cast<unsigned char>(line[0])) &&
                                  line.find('\t') != std::string::npos;
            if (!measurement && !digitTab) {
                continue;  // header and column lines
            }
            ++check.lines;
            if (!measurement || std::count(line.begin(), line.end(), '\t') != 17 ||
                !line.ends_with("\r")) {
                broken("\"" + line.substr(0, 120) + "\"");
            }
        }
    }
    return check;
}

double Mean(const std::vector<Sample>& s, size_t from, size_t to, long Sample::*field) {
    if (to <= from) {
        return std::nan("");
    }
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(s[i].*field);
    }
    return sum / static_cast<double>(to - from);
}

int Run(const Options& o) {
    const int seconds = o.minutes * 60;
    const int warmup = o.warmupSeconds >= 0 ? o.warmupSeconds : std::min(120, seconds / 5);
    std::printf(
        "fault soak: %d ZOR devices on %d simulated buses, %d min (warm-up %d s), "
        "%d web clients, seed %u\n",
        o.buses * o.perBus, o.buses, o.minutes, warmup, o.clients, o.seed);
    std::printf("server: %s\nload average before: %s\n", o.server.c_str(), LoadAverage().c_str());
    std::fflush(stdout);

    test::DaemonHome home;
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    std::vector<test::HomeDevice> devices;
    for (int b = 1; b <= o.buses; ++b) {
        std::vector<std::string> args = {"--tcp-port", "0"};
        for (int s = 1; s <= o.perBus; ++s) {
            // Each sensor rises into its corridor (500 .. 10000) for 20 s in a period of its
            // own, so alarms open and close all through the run.
            const int period = 50 + 13 * s + 7 * b;
            args.push_back("--sensor");
            args.push_back(
                StrPrintf("addr=%d,devnum=B%02dS%02d,source=drift:200:3000:%d:20,"
                          "alarm=auto,param.MinSigThr=500,param.MaxSigThr=10000",
                          s, b, s, period));
        }
        sims.push_back(std::make_unique<test::SimProcess>(args));
        if (!sims.back()->Ready()) {
            std::fprintf(stderr, "zor-sim %d did not start\n", b);
            return 1;
        }
        for (int s = 1; s <= o.perBus; ++s) {
            devices.push_back(
                BenchDevice(StrPrintf("Bus%02d-S%02d", b, s), sims.back()->tcpPort, s, 2));
        }
    }

    test::ChildProcess* mailServer = nullptr;
    const std::string outcomesPath = home.home.file("smtp-outcomes.txt");
    const int smtpPort =
        StartMailServer(mailServer, outcomesPath, home.home.file("smtp.out"), o.seed);
    std::unique_ptr<test::ChildProcess> mailOwner(mailServer);
    if (smtpPort <= 0) {
        std::fprintf(stderr, "the mail server did not start; see %s\n",
                     home.home.file("smtp.out").c_str());
        return 1;
    }
    StampedUdp udp;
    udp.keep = false;
    BenchSettings settings;
    settings.nSmtpPort = smtpPort;
    settings.nUdpPort = udp.port();
    settings.devices = devices;
    WriteSettings(home, settings);

    // The sanitizers of the server's build report into its output and end it.
    setenv("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1", 0);
    setenv("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1", 0);
    std::vector<std::string> args = home.Args();
    args[0] = o.server;
    const std::string outPath = home.home.file("daemon.out");
    ServerProcess daemon(args, outPath);
    const pid_t pid = daemon.Pid();
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start %s\n", o.server.c_str());
        return 1;
    }

    FaultInjector faults(sims, o.seed);
    WebHammer web(home.httpPort, o.clients, o.seed + 100);
    faults.Start();
    web.Start();

    std::vector<Sample> samples;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    auto nextSample = start;
    bool ranToEnd = true;
    std::printf("%7s %6s %8s %9s   %s\n", "time/s", "fds", "threads", "rss/MiB",
                "alarms / mails sent / not sent so far");
    while (Clock::now() < end) {
        pollfd p{udp.fd(), POLLIN, 0};
        poll(&p, 1, 100);
        udp.Drain();
        if (!daemon.Running()) {
            ranToEnd = false;
            break;
        }
        if (Clock::now() >= nextSample) {
            nextSample += std::chrono::seconds(o.sampleSeconds);
            Sample s{
                static_cast<int>(
                    std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()),
                OpenDescriptors(pid), ProcessStatusValue(pid, "Threads"),
                ProcessStatusValue(pid, "VmRSS")};
            samples.push_back(s);
            const std::string devLog = home.DeviceLog();
            std::printf("%7d %6ld %8ld %9.1f   %zu / %zu / %zu\n", s.seconds, s.fds, s.threads,
                        static_cast<double>(s.rssKb) / 1024.0, CountIn(devLog, ": Alarm reported"),
                        CountIn(devLog, "Alarm mail was successfully sent"),
                        CountIn(devLog, "Alarm mail was not sent"));
            std::fflush(stdout);
        }
    }

    // Faults and clients end; the mails of the last alarms get the time to go out.
    faults.Stop();
    web.Stop();
    std::string devLog;
    size_t alarms = 0, sent = 0, notSent = 0;
    auto countMails = [&] {
        devLog = home.DeviceLog();
        alarms = CountIn(devLog, ": Alarm reported");
        sent = CountIn(devLog, "Alarm mail was successfully sent");
        notSent = CountIn(devLog, "Alarm mail was not sent");
        return sent + notSent >= alarms;
    };
    const bool mailsSettled = ranToEnd && test::WaitUntil(countMails, 120s);
    const auto stopAt = Clock::now();
    int exitStatus = -1;
    if (ranToEnd) {
        kill(pid, SIGTERM);
        exitStatus = daemon.Wait(60s);
    } else {
        exitStatus = daemon.Wait(1s);
    }
    const double stopSeconds = std::chrono::duration<double>(Clock::now() - stopAt).count();
    countMails();
    mailOwner.reset();  // SIGKILL: its outcome lines are written as they happen

    // Checks.
    std::ifstream outIn(outPath);
    const std::string out((std::istreambuf_iterator<char>(outIn)),
                          std::istreambuf_iterator<char>());
    const bool sanitizerReport = out.find("AddressSanitizer") != std::string::npos ||
                                 out.find("LeakSanitizer") != std::string::npos ||
                                 out.find("runtime error") != std::string::npos ||
                                 out.find("UndefinedBehaviorSanitizer") != std::string::npos;
    std::ifstream outcomesIn(outcomesPath);
    std::map<std::string, int> smtp;
    for (std::string line; std::getline(outcomesIn, line);) {
        ++smtp[line.rfind("REFUSED", 0) == 0 ? line : line.substr(0, line.find(' '))];
    }
    const DataLogCheck dataLogs = CheckDataLogs(home.Documents());

    size_t first = 0;
    while (first < samples.size() && samples[first].seconds < warmup) {
        ++first;
    }
    const size_t steady = samples.size() - first;
    const size_t quarter = std::max<size_t>(1, steady / 4);
    const size_t lateFrom = samples.size() - quarter;
    // Device links and web clients open and close all the time, so single samples jump by
    // dozens. What a leak moves is the floor: the fewest seen in the first and in the last
    // quarter after the warm-up.
    auto floorOf = [&](size_t from, size_t to, long Sample::*field) {
        long least = LONG_MAX;
        for (size_t i = from; i < to; ++i) {
            least = std::min(least, samples[i].*field);
        }
        return least;
    };
    auto ceilingOf = [&](long Sample::*field) {
        long most = 0;
        for (size_t i = first; i < samples.size(); ++i) {
            most = std::max(most, samples[i].*field);
        }
        return most;
    };
    const long fdsEarly = floorOf(first, first + quarter, &Sample::fds);
    const long fdsLate = floorOf(lateFrom, samples.size(), &Sample::fds);
    const long thrEarly = floorOf(first, first + quarter, &Sample::threads);
    const long thrLate = floorOf(lateFrom, samples.size(), &Sample::threads);
    const double fdsMean = Mean(samples, first, samples.size(), &Sample::fds);
    const double thrMean = Mean(samples, first, samples.size(), &Sample::threads);
    const bool fdsFlat = steady >= 4 && fdsLate - fdsEarly <= 3;
    const bool thrFlat = steady >= 4 && thrLate - thrEarly <= 3;

    std::printf("\nafter %.0f s; load average after: %s\n",
                std::chrono::duration<double>(stopAt - start).count(), LoadAverage().c_str());
    std::printf("faults injected:");
    int faultTotal = 0;
    for (const auto& [kind, n] : faults.Counts()) {
        std::printf(" %s %d,", kind.c_str(), n);
        faultTotal += n;
    }
    std::printf(" total %d (refused by the simulator: %d)\n", faultTotal, faults.Refused());
    std::printf(
        "web: %ld answered, %ld without answer, %ld connections refused, %ld abandoned "
        "on purpose\n",
        web.answered, web.noAnswer, web.refusedConnections, web.abandoned);
    for (const auto& [status, n] : web.statuses) {
        std::printf("  %-40s %ld\n", status.substr(0, 40).c_str(), n);
    }
    std::printf("mail server:");
    for (const auto& [what, n] : smtp) {
        std::printf(" %s %d,", what.c_str(), n);
    }
    std::printf("\nUDP datagrams received: %zu\n", udp.count);
    std::printf(
        "after warm-up (%zu samples from %d s): descriptors %ld..%ld (mean %.1f), floor "
        "%ld in the first quarter, %ld in the last (%s); threads %ld..%ld (mean %.1f), "
        "floor %ld -> %ld (%s)\n",
        steady, warmup, floorOf(first, samples.size(), &Sample::fds), ceilingOf(&Sample::fds),
        fdsMean, fdsEarly, fdsLate, fdsFlat ? "flat" : "GROWING",
        floorOf(first, samples.size(), &Sample::threads), ceilingOf(&Sample::threads), thrMean,
        thrEarly, thrLate, thrFlat ? "flat" : "GROWING");
    const bool alarmsAccounted = alarms == sent + notSent;
    const bool deliveredMatch = static_cast<int>(sent) == smtp["ACCEPTED"];
    std::printf(
        "alarms: %zu \"Alarm reported\" entries; alarm mails sent %zu, logged as not sent "
        "%zu (%s); the mail server took %d (%s)\n",
        alarms, sent, notSent, alarmsAccounted ? "every alarm accounted for" : "MISMATCH",
        smtp["ACCEPTED"], deliveredMatch ? "same as sent" : "MISMATCH");
    std::printf("data logs: %d files, %ld measurement lines, %ld broken%s%s\n", dataLogs.files,
                dataLogs.lines, dataLogs.broken,
                dataLogs.firstBroken.empty() ? "" : ", first: ", dataLogs.firstBroken.c_str());
    std::printf("server: %s, stop on SIGTERM %.1f s, exit status %d, sanitizer report: %s%s\n",
                ranToEnd ? "ran to the end" : "ENDED EARLY", stopSeconds, exitStatus,
                sanitizerReport ? "YES, see " : "none", sanitizerReport ? outPath.c_str() : "");
    if (!mailsSettled) {
        std::printf("(the mails of the last alarms had not all gone out 120 s after the end)\n");
    }
    if (!o.keep.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(o.keep, ec);
        std::filesystem::create_directories(o.keep, ec);
        std::filesystem::copy(home.home.path(), o.keep, std::filesystem::copy_options::recursive,
                              ec);
        std::printf("home folder kept in %s\n", o.keep.c_str());
    }
    const bool ok = ranToEnd && exitStatus == 0 && !sanitizerReport && fdsFlat && thrFlat &&
                    alarmsAccounted && deliveredMatch && dataLogs.broken == 0 &&
                    dataLogs.lines > 0 && alarms > 0;
    std::printf("verdict: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

std::string DefaultServer() {
    const std::string asan = std::filesystem::path(ZM_TEST_BINARY_DIR).parent_path().string() +
                             "/asan/apps/zormanagerd/zormanagerd";
    return std::filesystem::exists(asan) ? asan : test::kServer;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](int& field, int least) {
            if (i + 1 >= argc) {
                return false;
            }
            field = std::max(least, std::atoi(argv[++i]));
            return true;
        };
        bool ok = true;
        if (arg == "--minutes") {
            ok = number(o.minutes, 1);
        } else if (arg == "--buses") {
            ok = number(o.buses, 1);
        } else if (arg == "--per-bus") {
            ok = number(o.perBus, 1);
        } else if (arg == "--clients") {
            ok = number(o.clients, 0);
        } else if (arg == "--sample") {
            ok = number(o.sampleSeconds, 1);
        } else if (arg == "--warmup") {
            ok = number(o.warmupSeconds, 0);
        } else if (arg == "--server" && i + 1 < argc) {
            o.server = argv[++i];
        } else if (arg == "--keep" && i + 1 < argc) {
            o.keep = argv[++i];
        } else if (arg == "--seed" && i + 1 < argc) {
            o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr,
                         "usage: %s [--minutes N] [--buses N] [--per-bus N] [--clients N] "
                         "[--sample S] [--warmup S] [--server PATH] [--keep DIR] [--seed N]\n",
                         argv[0]);
            return false;
        }
    }
    if (o.server.empty()) {
        o.server = DefaultServer();
    }
    return true;
}

}  // namespace
}  // namespace zm::bench

int main(int argc, char** argv) {
    zm::bench::Options options;
    if (!zm::bench::ParseOptions(argc, argv, options)) {
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return zm::bench::Run(options);
}
