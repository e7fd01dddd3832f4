// How long one alarm takes to reach the operator through the real server.
//
// Runs zormanagerd in a temporary home with one ZOR device on zor-sim over loopback TCP,
// UDP datagrams to a socket of this program and alarm mails to an aiosmtpd server that
// this program starts (/usr/bin/python3 with python3-aiosmtpd). Each repetition switches
// the simulated sensor into its alarm corridor with its alarm bit through zor-sim's
// control port (t0 is taken just before the control line is sent) and times:
//   (a) the UDP state datagram "Status = 'Alarm reported'" (the datagram the alarm
//       actions send; the data datagram with the corridor values is shown beside it),
//   (b) the device-log entry "<device>: Alarm reported" appearing in the device-log file
//       (the file is read every 2 ms at most),
//   (c) the mail accepted by the SMTP server (its end of DATA, stamped by the server).
// Then the sensor leaves the corridor, and the next repetition waits until the alarm is
// closed (the "Online and Ok" entry and state datagram, the alarm log's closing line),
// plus a random delay so that t0 falls anywhere in the poll period.
//
// Build and run (default preset, from the repository root):
//   cmake --build --preset default -j2 --target zormanagerd zor-sim bench_alarm_latency
//   build/default/bench/bench_alarm_latency               # 20 repetitions, pause 0 and 2
//   build/default/bench/bench_alarm_latency --quick       # smoke run: 3 repetitions each
//   build/default/bench/bench_alarm_latency --reps 40 --pause 2 --verbose
// Percentiles are nearest-rank. The load average is printed beside the figures: on a busy
// machine the tails grow.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/DaemonPeers.h"
#include "daemon/DaemonBench.h"
#include "notify/TestPeers.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace zm::bench {
namespace {

using test::kServer;
constexpr const char* kDevice = "Pier-1";
constexpr const char* kSerial = "ZOR-0042";
constexpr int kAddress = 5;
constexpr auto kStepLimit = 20s;  // one alarm or one return may take at most this long

const double kNaN = std::nan("");

struct Options {
    int reps = 20;
    std::vector<int> pauses = {0, 2};
    bool verbose = false;
    std::string keep;  // copy each run's home folder below this folder
};

// One repetition, in milliseconds from t0; NaN where the step was not seen.
struct Rep {
    double udpState = kNaN;
    double udpData = kNaN;
    double devLog = kNaN;
    double mail = kNaN;
    double simReply = kNaN;  // the simulator's first reply after t0 (from its log)
    double smtpHello = kNaN;
    std::chrono::system_clock::time_point wallT0;
};

// A line-protocol connection to zor-sim's control port.
class SimControl {
  public:
    explicit SimControl(int port) : fd_(test::ConnectLoopback(port)) {}
    ~SimControl() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    SimControl(const SimControl&) = delete;
    SimControl& operator=(const SimControl&) = delete;
    bool ok() const { return fd_ >= 0; }

    bool Send(const std::string& line) {
        const std::string text = line + "\n";
        return fd_ >= 0 && ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) ==
                               static_cast<ssize_t>(text.size());
    }
    // The answer line (empty after 3 s without one).
    std::string Answer() {
        const auto end = Clock::now() + 3s;
        for (;;) {
            if (size_t nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char chunk[512];
            const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                return {};
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

  private:
    int fd_ = -1;
    std::string buffer_;
};

// The monotonic stamp the SMTP server put on the transcript line at `at`.
std::optional<Clock::time_point> StampOfLine(const std::string& text, size_t at) {
    const size_t eol = text.find('\n', at);
    const size_t mark = text.find("@mono=", at);
    if (mark == std::string::npos || (eol != std::string::npos && mark > eol)) {
        return std::nullopt;
    }
    return FromMonotonicSeconds(std::strtod(text.c_str() + mark + 6, nullptr));
}

class Session {
  public:
    Session(int pause, const Options& options) : pause_(pause), options_(options) {}

    bool Start() {
        sim_ = std::make_unique<test::SimProcess>(std::vector<std::string>{
            "--tcp-port", "0", "--control-port", "0", "--log", home_.home.file("sim.log"),
            "--sensor",
            StrPrintf("addr=%d,devnum=%s,value=100,param.MinSigThr=500,param.MaxSigThr=10000",
                      kAddress, kSerial)});
        if (!sim_->Ready()) {
            std::fprintf(stderr, "zor-sim did not start\n");
            return false;
        }
        smtp_ = std::make_unique<test::SmtpTestServer>(
            std::vector<std::string>{"--stamp", "--lifetime", "7200"});
        transcript_.SetPath(smtp_->TranscriptPath());
        BenchSettings settings;
        settings.nUdpPort = udp_.port();
        settings.nSmtpPort = smtp_->port();
        settings.devices.push_back(BenchDevice(kDevice, sim_->tcpPort, kAddress, pause_));
        WriteSettings(home_, settings);
        daemon_ = std::make_unique<test::ChildProcess>(home_.Args(test::FreeTcpPort()),
                                                       home_.home.file("daemon.out"));
        if (daemon_->Pid() <= 0) {
            std::fprintf(stderr, "cannot start %s\n", kServer.c_str());
            return false;
        }
        control_ = std::make_unique<SimControl>(sim_->controlPort);
        if (!control_->ok()) {
            std::fprintf(stderr, "cannot reach the simulator's control port\n");
            return false;
        }
        // Polling and the first state change before anything is timed.
        const bool up = WaitFor(
            [&] {
                return devLog_.Count(std::string(kDevice) + ": Online and Ok") > 0 &&
                       FirstDatagram(
                           0, "| " + std::string(kSerial) + " | " + kDevice + " | Data[") >= 0;
            },
            kStepLimit);
        if (!up) {
            std::fprintf(stderr, "the server did not start polling; see %s\n",
                         home_.home.file("daemon.out").c_str());
            return false;
        }
        Pump(1500ms);
        return true;
    }

    // One alarm and its return; false when a step did not come within the limit.
    bool RunOne(Rep& rep, std::mt19937& random) {
        // Anywhere in the poll period, so that the figures cover its whole phase.
        const double spread = std::max(pause_, 0) * 1000.0 + 1000.0;
        Pump(std::chrono::milliseconds(
            static_cast<int>(std::uniform_real_distribution<double>(0, spread)(random))));

        const size_t udpMark = udp_.datagrams.size();
        const size_t logMark = devLog_.text().size();
        const size_t smtpMark = transcript_.text().size();
        const std::string alarmEntry = std::string(kDevice) + ": Alarm reported";
        const std::string stateAlarm = std::string("| ") + kDevice + " | Status = 'Alarm reported'";
        const std::string dataPrefix = std::string("| ") + kSerial + " | " + kDevice + " | Data[";
        const std::string mailLogged = "Alarm mail was successfully sent";

        rep.wallT0 = std::chrono::system_clock::now();
        const Clock::time_point t0 = Clock::now();
        if (!control_->Send(StrPrintf("set %d value=800,alarm=1", kAddress)) ||
            control_->Answer().rfind("OK", 0) != 0) {
            std::fprintf(stderr, "the simulator refused the control line\n");
            return false;
        }
        const bool all = WaitFor(
            [&] {
                bool done = true;
                if (std::isnan(rep.udpState)) {
                    const long i = FirstDatagram(udpMark, stateAlarm);
                    if (i >= 0) {
                        rep.udpState = Ms(udp_.datagrams[static_cast<size_t>(i)].t - t0);
                    }
                    done = done && i >= 0;
                }
                if (std::isnan(rep.udpData)) {
                    const long i = FirstDatagram(udpMark, dataPrefix, " 800.0");
                    if (i >= 0) {
                        rep.udpData = Ms(udp_.datagrams[static_cast<size_t>(i)].t - t0);
                    }
                    done = done && i >= 0;
                }
                if (std::isnan(rep.devLog)) {
                    if (auto seen = devLog_.Find(alarmEntry, logMark)) {
                        rep.devLog = Ms(seen->second - t0);
                    } else {
                        done = false;
                    }
                }
                if (std::isnan(rep.mail)) {
                    const size_t at = transcript_.text().find("MESSAGE ", smtpMark);
                    if (auto stamp = at == std::string::npos
                                         ? std::nullopt
                                         : StampOfLine(transcript_.text(), at)) {
                        rep.mail = Ms(*stamp - t0);
                        const size_t hello = transcript_.text().find("EHLO", smtpMark);
                        if (auto h = hello == std::string::npos
                                         ? std::nullopt
                                         : StampOfLine(transcript_.text(), hello)) {
                            rep.smtpHello = Ms(*h - t0);
                        }
                    } else {
                        done = false;
                    }
                }
                // The sender has logged its outcome: the next mail will not queue behind it.
                return done && devLog_.Find(mailLogged, logMark).has_value();
            },
            kStepLimit);

        // Out of the corridor; the next alarm waits until this one is closed.
        const size_t udpBack = udp_.datagrams.size();
        const size_t logBack = devLog_.text().size();
        const auto alarmLogSize = TotalSize(FilesNamed(Documents(), "AlarmLog_"));
        if (!control_->Send(StrPrintf("set %d value=100,alarm=0", kAddress)) ||
            control_->Answer().rfind("OK", 0) != 0) {
            std::fprintf(stderr, "the simulator refused the control line\n");
            return false;
        }
        Clock::time_point lastScan{};
        std::uintmax_t alarmLogNow = alarmLogSize;
        const bool back = WaitFor(
            [&] {
                if (Clock::now() - lastScan > 100ms) {
                    lastScan = Clock::now();
                    alarmLogNow = TotalSize(FilesNamed(Documents(), "AlarmLog_"));
                }
                return alarmLogNow > alarmLogSize &&
                       devLog_.Find(std::string(kDevice) + ": Online and Ok", logBack) &&
                       FirstDatagram(udpBack, std::string("| ") + kDevice +
                                                  " | Status = 'Online and Ok'") >= 0;
            },
            kStepLimit);
        if (!back) {
            std::fprintf(stderr, "the alarm was not closed within %lld s\n",
                         static_cast<long long>(kStepLimit.count()));
        }
        return all && back;
    }

    // The simulator's first reply after each t0, from its transaction log.
    void AddSimReplies(std::vector<Rep>& reps) {
        std::vector<std::chrono::system_clock::time_point> replies;
        std::ifstream in(home_.home.file("sim.log"));
        for (std::string line; std::getline(in, line);) {
            if (line.find(" REP ") != std::string::npos) {
                if (auto t = SimLogTime(line)) {
                    replies.push_back(*t);
                }
            }
        }
        for (Rep& rep : reps) {
            auto it = std::upper_bound(replies.begin(), replies.end(), rep.wallT0);
            if (it != replies.end()) {
                rep.simReply = std::chrono::duration<double, std::milli>(*it - rep.wallT0).count();
            }
        }
    }

    // Ends the server as the operator would; its exit status (-1 when it did not end).
    int Stop() {
        if (!daemon_ || daemon_->Pid() <= 0) {
            return -1;
        }
        kill(daemon_->Pid(), SIGTERM);
        return daemon_->Wait(10s);
    }

    void KeepHome() {
        if (options_.keep.empty()) {
            return;
        }
        const auto target = std::filesystem::path(options_.keep) / StrPrintf("pause-%d", pause_);
        std::error_code ec;
        std::filesystem::remove_all(target, ec);
        std::filesystem::create_directories(target, ec);
        std::filesystem::copy(home_.home.path(), target, std::filesystem::copy_options::recursive,
                              ec);
        std::filesystem::copy_file(transcript_.path(), target / "smtp-transcript.txt", ec);
        std::printf("  home folder kept in %s\n", target.c_str());
    }

  private:
    std::filesystem::path Documents() const { return home_.Documents(); }

    // Reads every source for `span`, waking at least every 2 ms.
    void Pump(std::chrono::milliseconds span) {
        const auto end = Clock::now() + span;
        do {
            PumpOnce();
        } while (Clock::now() < end);
    }

    void PumpOnce() {
        pollfd p{udp_.fd(), POLLIN, 0};
        poll(&p, 1, 2);
        udp_.Drain();
        if (Clock::now() - lastLocate_ > 250ms) {
            lastLocate_ = Clock::now();
            // The newest device log: a new one starts at midnight.
            const auto logs = FilesNamed(Documents(), "DevLog_");
            if (!logs.empty()) {
                devLog_.SetPath(logs.back().string());
            }
        }
        devLog_.Update();
        transcript_.Update();
    }

    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            PumpOnce();
            if (done()) {
                return true;
            }
            if (Clock::now() >= end) {
                return false;
            }
        }
    }

    long FirstDatagram(size_t from, const std::string& begins, const std::string& holds = {}) {
        for (size_t i = from; i < udp_.datagrams.size(); ++i) {
            const std::string& d = udp_.datagrams[i].text;
            if (d.find(begins) != std::string::npos &&
                (holds.empty() || d.find(holds) != std::string::npos)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    int pause_;
    const Options& options_;
    test::DaemonHome home_;
    StampedUdp udp_;
    GrowingFile devLog_;
    GrowingFile transcript_;
    Clock::time_point lastLocate_{};
    std::unique_ptr<test::SimProcess> sim_;
    std::unique_ptr<test::SmtpTestServer> smtp_;
    std::unique_ptr<test::ChildProcess> daemon_;
    std::unique_ptr<SimControl> control_;
};

std::vector<double> Column(const std::vector<Rep>& reps,
                           const std::function<double(const Rep&)>& f) {
    std::vector<double> values;
    for (const Rep& r : reps) {
        const double v = f(r);
        if (!std::isnan(v)) {
            values.push_back(v);
        }
    }
    return values;
}

void PrintRow(const char* name, const std::vector<double>& v, double goalMs) {
    const double p95 = Percentile(v, 95);
    std::printf("  %-52s %3zu %9.1f %9.1f %9.1f", name, v.size(), Percentile(v, 50), p95,
                v.empty() ? kNaN : *std::max_element(v.begin(), v.end()));
    if (!std::isnan(goalMs)) {
        std::printf(" %9.0f  %s", goalMs, !v.empty() && p95 <= goalMs ? "met" : "MISSED");
    }
    std::printf("\n");
}

int RunPause(int pause, const Options& options, std::mt19937& random) {
    std::printf("\nAlarm latency, device pause %d s, %d repetitions (load average before: %s)\n",
                pause, options.reps, LoadAverage().c_str());
    std::fflush(stdout);
    Session session(pause, options);
    if (!session.Start()) {
        return 1;
    }
    std::vector<Rep> reps;
    int failed = 0;
    for (int i = 0; i < options.reps; ++i) {
        Rep rep;
        if (!session.RunOne(rep, random)) {
            ++failed;
        }
        reps.push_back(rep);
        if (options.verbose) {
            std::printf(
                "  rep %2d: state dgram %7.0f  data dgram %7.0f  dev log %7.0f  mail %7.0f ms\n",
                i + 1, rep.udpState, rep.udpData, rep.devLog, rep.mail);
            std::fflush(stdout);
        }
    }
    const int exitStatus = session.Stop();
    session.AddSimReplies(reps);
    session.KeepHome();

    const double p = pause * 1000.0;
    std::printf("  %-52s %3s %9s %9s %9s %9s\n", "from t0 (control line sent), ms", "n", "p50",
                "p95", "max", "goal p95");
    PrintRow("(a) UDP state datagram 'Alarm reported'",
             Column(reps, [](const Rep& r) { return r.udpState; }), p + 500);
    PrintRow("    UDP data datagram with the corridor values",
             Column(reps, [](const Rep& r) { return r.udpData; }), kNaN);
    PrintRow("(b) device-log entry in the file",
             Column(reps, [](const Rep& r) { return r.devLog; }), p + 500);
    PrintRow("(c) mail accepted by the SMTP server (end of DATA)",
             Column(reps, [](const Rep& r) { return r.mail; }), p + 1500);
    std::printf("  where the time goes (each step from the one before), ms\n");
    PrintRow("t0 -> simulator's reply to the next poll",
             Column(reps, [](const Rep& r) { return r.simReply; }), kNaN);
    PrintRow("reply -> data datagram (decode, event thread)",
             Column(reps, [](const Rep& r) { return r.udpData - r.simReply; }), kNaN);
    PrintRow("data datagram -> state datagram (dispatcher)",
             Column(reps, [](const Rep& r) { return r.udpState - r.udpData; }), kNaN);
    PrintRow("state datagram -> SMTP EHLO (mail sender, connect)",
             Column(reps, [](const Rep& r) { return r.smtpHello - r.udpState; }), kNaN);
    PrintRow("SMTP EHLO -> end of DATA (mail dialogue)",
             Column(reps, [](const Rep& r) { return r.mail - r.smtpHello; }), kNaN);
    // The feed update writes the entry just before it sends the state datagram; the file
    // is only read every 2 ms, so the entry is seen up to that much later.
    std::printf(
        "  device-log entry seen %.1f ms (p50) after the state datagram; the file is "
        "read every 2 ms at most\n",
        Percentile(Column(reps, [](const Rep& r) { return r.devLog - r.udpState; }), 50));
    std::printf(
        "  repetitions with a missing step: %d; server exit status %d; load average after: %s\n",
        failed, exitStatus, LoadAverage().c_str());
    std::fflush(stdout);
    return failed == 0 && exitStatus == 0 ? 0 : 1;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            o.reps = 3;
        } else if (arg == "--reps" && i + 1 < argc) {
            o.reps = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--pause" && i + 1 < argc) {
            o.pauses.clear();
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');) {
                o.pauses.push_back(std::max(0, std::atoi(item.c_str())));
            }
        } else if (arg == "--keep" && i + 1 < argc) {
            o.keep = argv[++i];
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--quick] [--reps N] [--pause S[,S...]] [--verbose] [--keep DIR]\n"
                "  --quick    3 repetitions per pause (smoke run)\n"
                "  --reps N   repetitions per pause (default 20)\n"
                "  --pause    device pauses to run, in seconds (default 0,2)\n"
                "  --verbose  one line per repetition\n"
                "  --keep DIR copy each run's home folder (logs, sim.log) below DIR\n",
                argv[0]);
            return false;
        }
    }
    return !o.pauses.empty();
}

}  // namespace
}  // namespace zm::bench

int main(int argc, char** argv) {
    using namespace zm::bench;
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::mt19937 random(std::random_device{}());
    int rc = 0;
    for (int pause : options.pauses) {
        rc |= RunPause(pause, options, random);
    }
    return rc;
}
