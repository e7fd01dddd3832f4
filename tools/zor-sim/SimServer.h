#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "SimBus.h"

namespace zm::sim {

enum class Kind { kTcpListen, kControlListen, kBusTcp, kBusPty, kControl, kStdin, kSignal };

int Listen(const std::string& address, int& port, std::string& error);
// A pseudo-terminal in raw mode; `keepSlave` is the simulator's own hold on the slave side.
int OpenPty(std::string& slavePath, int& keepSlave, std::string& error);
bool SetNonBlocking(int fd);

// The event loop: every descriptor of the simulator, one thread, bounded waits.
class Simulator {
  public:
    using Clock = std::chrono::steady_clock;
    Simulator(SimBus& bus, FILE* log) : m_bus(bus), m_log(log) {}
    ~Simulator();

    // Takes ownership of the descriptor.
    void Add(int fd, Kind kind);
    int Run();

  private:
    struct Pending {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
        bool close = false;
        bool quiet = false;           // a later piece of a trickled reply
        std::vector<uint8_t> logged;  // a trickled reply's first piece: the whole reply
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

    timespec NextTimeout() const;
    void Handle(Connection& c, short revents);
    void ControlLines(Connection& c);
    void BusInput(Connection& c, bool stale);
    void Timers();
    void Flush(Connection& c);
    void Log(const Connection& c, const char* what, const std::vector<uint8_t>& bytes,
             const std::string& note);

    static constexpr auto kStaleAfter = std::chrono::milliseconds(300);
    SimBus& m_bus;
    FILE* m_log;
    std::vector<std::unique_ptr<Connection>> m_conns;
    int m_nextId = 0;
    bool m_quit = false;
};

}  // namespace zm::sim
