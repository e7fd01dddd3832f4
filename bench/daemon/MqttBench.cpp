// What publishing to an MQTT broker costs and how fast it is, measured on the real server
// with a real broker (mosquitto on loopback, started here) and a subscriber of this
// program (libmosquitto, stamping each message as it arrives).
//
// --latency: one ZOR device on zor-sim with pause 0. Each repetition waits a random
//   0..1 s, takes t0, switches the sensor into its alarm corridor with its alarm bit
//   (zor-sim's control line) and times the "opened" event at the subscriber; then the
//   sensor leaves the corridor and the "closed" event is awaited. Prints p50, p95, max.
// --cpu: 200 devices on 20 simulated buses (10 sensors each, pause 2 s, sine signals),
//   the server run twice for the given time, MQTT off and then on, its CPU time
//   (utime + stime from /proc) over the steady part (after the first 10 s) and the
//   difference as a share of one core; the messages the subscriber received show that
//   everything was published.
//
// Build and run (default preset, from the repository root):
//   cmake --build --preset default -j2 --target zormanagerd zor-sim bench_mqtt
//   build/default/bench/bench_mqtt                 # both: 20 alarms, then 2 x 60 s
//   build/default/bench/bench_mqtt --latency --reps 20
//   build/default/bench/bench_mqtt --cpu --seconds 60
//   build/default/bench/bench_mqtt --quick         # smoke run: 3 alarms, 2 x 15 s, 2 x 3 sensors
// Percentiles are nearest-rank. The load average is printed beside the figures.
#include <mosquitto.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/DaemonPeers.h"
#include "daemon/DaemonBench.h"
#include "support/ChildProcess.h"
#include "support/MqttPeers.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace zm::bench {
namespace {

struct Options {
    bool latency = true;
    bool cpu = true;
    int reps = 20;
    int seconds = 60;
    int buses = 20;
    int perBus = 10;
};

// Messages of one topic filter, stamped on arrival.
class Subscriber {
  public:
    Subscriber(int port, const std::string& filter) : filter_(filter) {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, static_cast<Subscriber*>(self)->filter_.c_str(), 1);
            }
        });
        mosquitto_message_callback_set(mosq_,
                                       [](mosquitto*, void* self, const mosquitto_message* msg) {
                                           static_cast<Subscriber*>(self)->OnMessage(msg);
                                       });
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }

    // Waits until a message whose payload contains `needle` arrives after message number
    // `from`; its arrival time, or nullopt after `limit`.
    std::optional<Clock::time_point> WaitFor(const std::string& needle, size_t from,
                                             std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        std::optional<Clock::time_point> found;
        wake_.wait_for(lock, limit, [&] {
            for (size_t i = from; i < payloads_.size(); ++i) {
                if (payloads_[i].text.find(needle) != std::string::npos) {
                    found = payloads_[i].t;
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return payloads_.size() + dropped_;
    }
    void KeepPayloads(bool keep) { keep_ = keep; }

  private:
    void OnMessage(const mosquitto_message* msg) {
        const auto t = Clock::now();
        std::lock_guard lock(mutex_);
        if (!keep_) {
            ++dropped_;
            return;
        }
        payloads_.push_back({t, std::string(static_cast<const char*>(msg->payload),
                                            static_cast<size_t>(msg->payloadlen))});
        wake_.notify_all();
    }

    std::string filter_;
    mosquitto* mosq_ = nullptr;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Stamped> payloads_;
    std::atomic<bool> keep_{true};
    size_t dropped_ = 0;
};

ManagerSettings MqttOn(int port, bool on) {
    ManagerSettings s;
    s.mqtt_enabled = on ? 1 : 0;
    s.mqtt_port = port;
    s.mqtt_station = "bench";
    return s;
}

int Latency(const Options& o) {
    std::printf("Alarm to MQTT \"opened\" at the subscriber, %d alarms, pause 0\n", o.reps);
    std::printf("  load average before: %s\n", LoadAverage().c_str());
    std::fflush(stdout);
    test::MqttBroker broker;
    test::DaemonHome home;
    test::SimProcess sim({"--tcp-port", "0", "--log", "/dev/null", "--sensor",
                          "addr=5,devnum=ZOR-0042,value=100,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    if (!sim.Ready()) {
        std::fprintf(stderr, "zor-sim did not start\n");
        return 1;
    }
    home.WriteSettings(MqttOn(broker.Port(), true), {BenchDevice("Pier-1", sim.tcpPort, 5, 0)});
    Subscriber sub(broker.Port(), "zormanager/bench/alarm");
    test::ChildProcess daemon(home.Args(test::FreeTcpPort()), home.home.file("daemon.out"));
    if (!test::WaitUntil(
            [&] { return home.RunLog().find("MQTT: connected to") != std::string::npos; }, 20s)) {
        std::fprintf(stderr, "the server did not connect to the broker\n");
        return 1;
    }
    std::this_thread::sleep_for(2s);  // the device online and polling
    std::mt19937 random(12345);
    std::vector<double> latencies;
    for (int r = 0; r < o.reps; ++r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1000));
        size_t from = sub.Count();
        const auto t0 = Clock::now();
        sim.Control("set 5 value=800,alarm=1");
        const auto opened = sub.WaitFor("\"event\":\"opened\"", from, 20s);
        if (!opened) {
            std::fprintf(stderr, "  repetition %d: no \"opened\" within 20 s\n", r + 1);
            return 1;
        }
        latencies.push_back(Ms(*opened - t0));
        from = sub.Count();
        sim.Control("set 5 value=100,alarm=0");
        if (!sub.WaitFor("\"event\":\"closed\"", from, 20s)) {
            std::fprintf(stderr, "  repetition %d: no \"closed\" within 20 s\n", r + 1);
            return 1;
        }
    }
    std::printf(
        "  alarm -> \"opened\" at the subscriber: p50 %.0f ms, p95 %.0f ms, max %.0f ms "
        "(goal: p95 within 500 ms)\n",
        Percentile(latencies, 50), Percentile(latencies, 95), Percentile(latencies, 100));
    std::printf("  load average after: %s\n", LoadAverage().c_str());
    kill(daemon.Pid(), SIGTERM);
    daemon.Wait(30s);
    return 0;
}

// CPU seconds of the server's thread named `name` (the publisher's is "mqtt"); 0 when
// there is none.
double ThreadCpuSeconds(pid_t pid, const std::string& name) {
    const std::string task = "/proc/" + std::to_string(pid) + "/task/";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(task, ec)) {
        std::ifstream comm(entry.path() / "comm");
        std::string threadName;
        std::getline(comm, threadName);
        if (threadName != name) {
            continue;
        }
        std::ifstream in(entry.path() / "stat");
        std::string line;
        std::getline(in, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int n = 3; n <= 15 && fields >> field; ++n) {
            if (n == 14) {
                utime = std::stoull(field);
            } else if (n == 15) {
                stime = std::stoull(field);
            }
        }
        return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return 0;
}

struct CpuFigures {
    double process = 0;  // CPU seconds over the steady part
    double mqttThread = 0;
    double span = 0;  // seconds
};

// One run of the server over the buses; its CPU seconds over the steady part and the
// length of that part.
CpuFigures CpuRun(const Options& o, test::DaemonHome& home,
                  const std::vector<test::HomeDevice>& devices, int port, bool on) {
    home.WriteSettings(MqttOn(port, on), devices);
    test::ChildProcess daemon(home.Args(test::FreeTcpPort()), home.home.file("daemon.out"));
    const auto start = Clock::now();
    const auto warm = start + 10s;
    std::this_thread::sleep_until(warm);
    const double cpuWarm = ProcessCpuSeconds(daemon.Pid());
    const double threadWarm = ThreadCpuSeconds(daemon.Pid(), "mqtt");
    std::this_thread::sleep_until(warm + std::chrono::seconds(o.seconds - 10));
    const double cpuEnd = ProcessCpuSeconds(daemon.Pid());
    const double threadEnd = ThreadCpuSeconds(daemon.Pid(), "mqtt");
    const double span = std::chrono::duration<double>(Clock::now() - warm).count();
    kill(daemon.Pid(), SIGTERM);
    daemon.Wait(30s);
    return {cpuEnd - cpuWarm, threadEnd - threadWarm, span};
}

int Cpu(const Options& o) {
    std::printf("%d devices on %d buses, pause 2 s: server CPU with MQTT off and on, %d s each\n",
                o.buses * o.perBus, o.buses, o.seconds);
    std::printf("  load average before: %s\n", LoadAverage().c_str());
    std::fflush(stdout);
    test::MqttBroker broker;
    test::TempDir logs;
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    std::vector<test::HomeDevice> devices;
    for (int b = 1; b <= o.buses; ++b) {
        std::vector<std::string> args = {"--tcp-port", "0", "--log", "/dev/null"};
        for (int s = 1; s <= o.perBus; ++s) {
            args.push_back("--sensor");
            args.push_back(
                StrPrintf("addr=%d,devnum=B%02dS%02d,source=sine:200:50:40,"
                          "param.MinSigThr=500,param.MaxSigThr=10000",
                          s, b, s));
        }
        sims.push_back(std::make_unique<test::SimProcess>(args));
        if (!sims.back()->Ready()) {
            std::fprintf(stderr, "zor-sim %d did not start\n", b);
            return 1;
        }
        for (int s = 1; s <= o.perBus; ++s) {
            test::HomeDevice d =
                BenchDevice(StrPrintf("Bus%02d-S%02d", b, s), sims.back()->tcpPort, s, 2);
            d.latitude = 59.9 + 0.001 * static_cast<double>(devices.size());
            devices.push_back(d);
        }
    }
    Subscriber sub(broker.Port(), "zormanager/#");
    sub.KeepPayloads(false);
    test::DaemonHome offHome, onHome;
    const CpuFigures offRun = CpuRun(o, offHome, devices, broker.Port(), false);
    const size_t before = sub.Count();
    const CpuFigures onRun = CpuRun(o, onHome, devices, broker.Port(), true);
    const size_t messages = sub.Count() - before;
    const double off = 100.0 * offRun.process / offRun.span;
    const double on = 100.0 * onRun.process / onRun.span;
    std::printf("  MQTT off: %6.2f %% of one core (%.2f s CPU over %.1f s)\n", off, offRun.process,
                offRun.span);
    std::printf("  MQTT on:  %6.2f %% of one core (%.2f s CPU over %.1f s)\n", on, onRun.process,
                onRun.span);
    std::printf("  extra with MQTT: %+.2f %% of one core (goal: under 1 %%)\n", on - off);
    std::printf("  of which the publisher's network thread: %.2f %% of one core (%.2f s)\n",
                100.0 * onRun.mqttThread / onRun.span, onRun.mqttThread);
    std::printf("  messages the subscriber received while on: %zu (%.0f per second)\n", messages,
                static_cast<double>(messages) / static_cast<double>(o.seconds));
    std::printf("  load average after: %s\n", LoadAverage().c_str());
    return 0;
}

}  // namespace
}  // namespace zm::bench

int main(int argc, char** argv) {
    zm::bench::Options o;
    bool onlyLatency = false, onlyCpu = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--latency") {
            onlyLatency = true;
        } else if (arg == "--cpu") {
            onlyCpu = true;
        } else if (arg == "--reps" && i + 1 < argc) {
            o.reps = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            o.seconds = std::max(15, std::atoi(argv[++i]));
        } else if (arg == "--quick") {
            o.reps = 3;
            o.seconds = 15;
            o.buses = 2;
            o.perBus = 3;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--latency] [--cpu] [--reps N] [--seconds S] [--quick]\n",
                         argv[0]);
            return 2;
        }
    }
    if (onlyLatency || onlyCpu) {
        o.latency = onlyLatency;
        o.cpu = onlyCpu;
    }
    if (::access(zm::test::kMosquitto, X_OK) != 0) {
        std::fprintf(stderr, "%s is needed (scripts/setup.sh)\n", zm::test::kMosquitto);
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    int rc = 0;
    if (o.latency) {
        rc |= zm::bench::Latency(o);
    }
    if (o.cpu) {
        rc |= zm::bench::Cpu(o);
    }
    return rc;
}
