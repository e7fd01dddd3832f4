#pragma once
// A real MQTT broker (mosquitto) on a loopback port with its own configuration file, and
// mosquitto_sub as the independent subscriber, both started by the test itself.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace zm::test {

inline const char* const kMosquitto = "/usr/sbin/mosquitto";
inline const char* const kMosquittoSub = "/usr/bin/mosquitto_sub";

// Outside CI a missing broker skips the test; under CI=true it fails it (GoogleTest's
// macros, for test files).
#define ZM_REQUIRE_MOSQUITTO()                                                         \
    do {                                                                               \
        if (::access(::zm::test::kMosquitto, X_OK) != 0 ||                             \
            ::access(::zm::test::kMosquittoSub, X_OK) != 0) {                          \
            const char* ci = std::getenv("CI");                                        \
            if (ci != nullptr && std::string(ci) == "true") {                          \
                FAIL() << "mosquitto and mosquitto_sub are needed (scripts/setup.sh)"; \
            }                                                                          \
            GTEST_SKIP() << "mosquitto or mosquitto_sub is not installed";             \
        }                                                                              \
    } while (0)

// Started as root, mosquitto would become the user "mosquitto", who cannot read the
// test's files.
inline std::string BrokerUserLine() {
    return ::geteuid() == 0 ? "user root\n" : "";
}

inline bool PortAccepts(int port) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

// mosquitto on 127.0.0.1 with anonymous access and no persistence; it can be stopped and
// started again on the same port (a broker outage).
class MqttBroker {
  public:
    // A persistent broker keeps sessions and retained messages across a restart, so that a
    // subscriber's queued messages survive an outage.
    explicit MqttBroker(bool persistent = false) : port_(FreeTcpPort()) {
        config_ = dir_.path() / "mosquitto.conf";
        std::ofstream(config_) << BrokerUserLine() << "listener " << port_ << " 127.0.0.1\n"
                               << "allow_anonymous true\n"
                               << "persistence " << (persistent ? "true" : "false") << "\n"
                               << "persistence_location " << dir_.folder() << "\n"
                               << "log_dest file " << (dir_.path() / "broker.log").string() << "\n";
        Start();
    }

    // True when the broker accepts connections within 5 s.
    bool Start() {
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{kMosquitto, "-c", config_.string()},
            (dir_.path() / "broker.out").string());
        for (int i = 0; i < 100; ++i) {
            if (PortAccepts(port_)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void Stop() {
        if (process_ && process_->Pid() > 0) {
            ::kill(process_->Pid(), SIGTERM);
            process_->Wait(std::chrono::seconds(5));
        }
        process_.reset();
    }

    int Port() const { return port_; }
    std::string Log() const { return ReadBytes((dir_.path() / "broker.log").string()); }

  private:
    TempDir dir_;
    int port_;
    std::filesystem::path config_;
    std::unique_ptr<ChildProcess> process_;
};

// One message as mosquitto_sub printed it.
struct MqttMessage {
    bool retained = false;
    std::string topic;
    std::string payload;
};

// mosquitto_sub on a topic filter, one line per message: retain flag, topic, payload.
class MqttSubscriber {
  public:
    MqttSubscriber(int port, const std::string& filter,
                   const std::vector<std::string>& extra = {}) {
        out_ = (dir_.path() / "sub.out").string();
        std::vector<std::string> args = {
            kMosquittoSub, "-h", "127.0.0.1", "-p", std::to_string(port), "-t",
            filter,        "-q", "1",         "-F", "%r\t%t\t%p"};
        args.insert(args.end(), extra.begin(), extra.end());
        process_ = std::make_unique<ChildProcess>(args, out_);
    }

    std::vector<MqttMessage> Messages() const {
        std::vector<MqttMessage> list;
        std::istringstream in(ReadBytes(out_));
        std::string line;
        while (std::getline(in, line)) {
            const size_t a = line.find('\t');
            const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
            if (b == std::string::npos) {
                continue;
            }
            list.push_back(
                {line.substr(0, a) == "1", line.substr(a + 1, b - a - 1), line.substr(b + 1)});
        }
        return list;
    }
    std::vector<MqttMessage> On(const std::string& topic) const {
        std::vector<MqttMessage> list;
        for (MqttMessage& m : Messages()) {
            if (m.topic == topic) {
                list.push_back(std::move(m));
            }
        }
        return list;
    }
    std::string Raw() const { return ReadBytes(out_); }
    bool Running() const { return process_->Running(); }

  private:
    TempDir dir_;
    std::string out_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace zm::test
