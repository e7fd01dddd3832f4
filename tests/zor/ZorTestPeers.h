#pragma once

// Real peers for the protocol tests: a link over a file descriptor (a pseudo-terminal or a
// loopback TCP socket), a device stand-in that owns one, and the simulator as a child
// process. Every wait is bounded.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/zor/ZorTransactor.h"
#include "platform/NamedLock.h"

namespace zm::test {

// A link on a pseudo-terminal slave path or on 127.0.0.1:port.
class FdLink : public IZorLink {
  public:
    static FdLink Serial(std::string path) {
        FdLink link;
        link.m_path = std::move(path);
        return link;
    }
    static FdLink Tcp(int port) {
        FdLink link;
        link.m_port = port;
        return link;
    }
    // A link on a descriptor the test owns (the master side of a pseudo-terminal).
    static FdLink Adopt(int fd, std::string name) {
        FdLink link;
        link.m_adopted = fd;
        link.m_path = std::move(name);
        return link;
    }
    FdLink() = default;
    FdLink(FdLink&& other) noexcept { *this = std::move(other); }
    FdLink& operator=(FdLink&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        m_path = other.m_path;
        m_port = other.m_port;
        m_adopted = other.m_adopted;
        return *this;
    }
    ~FdLink() override { Close(); }

    bool Open() {
        Close();
        if (m_adopted >= 0) {
            m_fd = m_adopted;
            tcflush(m_fd, TCIOFLUSH);
        } else if (m_port > 0) {
            m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(static_cast<uint16_t>(m_port));
            sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
                return Fail(errno);
            }
            int one = 1;
            setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        } else {
            m_fd = open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (m_fd < 0) {
                return Fail(errno);
            }
            termios tio{};
            tcgetattr(m_fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
            tcflush(m_fd, TCIOFLUSH);
        }
        m_error = 0;
        return true;
    }
    void Close() {
        if (m_fd >= 0 && m_fd != m_adopted) {
            close(m_fd);
            m_fd = -1;
        }
    }

    std::string GetName(bool withKind) override {
        if (m_port > 0) {
            std::string channel = "127.0.0.1:" + std::to_string(m_port);
            return withKind ? "TcpIp-Link::" + channel : channel;
        }
        return withKind ? "ComPort-Link::" + m_path : m_path;
    }
    bool IsOpen() override { return m_fd >= 0; }
    bool Read(uint8_t* buffer, int wanted, int* received, int timeoutMs) override {
        *received = 0;
        timeouts.push_back(timeoutMs);
        if (m_fd < 0) {
            return Fail(EBADF);
        }
        pollfd p{m_fd, POLLIN, 0};
        int wait = timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs;
        int rc = poll(&p, 1, waitCapMs > 0 ? std::min(wait, waitCapMs) : wait);
        if (rc <= 0) {
            return Fail(rc == 0 ? ETIMEDOUT : errno);
        }
        ssize_t n = read(m_fd, buffer, static_cast<size_t>(wanted));
        if (n <= 0) {
            if (m_port > 0) {
                Close();  // the peer closed the connection
            }
            return Fail(n == 0 ? ECONNRESET : errno);
        }
        *received = static_cast<int>(n);
        m_error = 0;
        return true;
    }
    bool Write(const uint8_t* data, int count, int* sent, int) override {
        *sent = 0;
        if (m_fd < 0) {
            return Fail(EBADF);
        }
        ssize_t n = m_port > 0 ? send(m_fd, data, static_cast<size_t>(count), MSG_NOSIGNAL)
                               : write(m_fd, data, static_cast<size_t>(count));
        if (n != count) {
            return Fail(n < 0 ? errno : EIO);
        }
        *sent = count;
        return true;
    }
    void Purge() override {
        ++purges;
        if (m_fd < 0) {
            return;
        }
        if (m_port == 0) {
            tcflush(m_fd, TCIOFLUSH);
            return;
        }
        uint8_t scratch[512];
        while (recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
        }
    }
    bool GetError(std::string* text, int* code) override {
        if (text) {
            *text = m_error ? std::strerror(m_error) : "ok";
        }
        if (code) {
            *code = m_error;
        }
        return m_error == 0;
    }

    int ReadTimeoutMs(int timeoutMs) override {
        return timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs;
    }
    int LineBitsPerSecond() override { return bitsPerSecond; }

    static constexpr int kDefaultTimeoutMs = 400;
    int bitsPerSecond = 0;      // unknown, as behind a converter
    std::vector<int> timeouts;  // the time-out of every Read, as asked
    int purges = 0;
    int waitCapMs = 0;  // when set, no Read waits longer (the asked time-out is still recorded)

  private:
    bool Fail(int error) {
        m_error = error;
        return false;
    }
    int m_fd = -1;
    std::string m_path;
    int m_port = 0;
    int m_error = 0;
    int m_adopted = -1;
};

// The device side of a transaction: one link, the keep-link switch, and the machine-wide
// channel lock of the platform layer.
class TestHost : public IZorChannelHost {
  public:
    // Channel lock names get the prefix, so that tests running at the same time never meet.
    TestHost(FdLink link, std::string lockPrefix)
        : m_link(std::move(link)), m_lockPrefix(std::move(lockPrefix)) {}
    ~TestHost() override { ReleaseNamedLock(); }

    void EnterLinkLock() override { m_linkLock.lock(); }
    void LeaveLinkLock() override { m_linkLock.unlock(); }
    IZorLink* CurrentLink() override { return &m_link; }
    bool OpenLink() override { return m_link.Open(); }
    void CloseLink() override { m_link.Close(); }
    bool KeepLink() override { return keepLink; }
    bool AcquireNamedLock(const std::string& name, int timeoutMs) override {
        m_channelLock = std::make_unique<platform::NamedLock>(m_lockPrefix + name);
        if (m_channelLock->Acquire(timeoutMs) != platform::NamedLock::Result::kAcquired) {
            m_channelLock.reset();
            return false;
        }
        return true;
    }
    void ReleaseNamedLock() override {
        if (m_channelLock) {
            m_channelLock->Unlock();
            m_channelLock.reset();
        }
    }
    uint8_t BusAddress() override { return address; }
    bool HexByteLists() override { return hex; }
    void NoteTransactionSucceeded() override { ++successes; }

    FdLink& Link() { return m_link; }

    bool keepLink = false;
    bool hex = false;
    uint8_t address = 99;
    std::atomic<int> successes{0};

  private:
    FdLink m_link;
    std::string m_lockPrefix;
    std::recursive_mutex m_linkLock;
    std::unique_ptr<platform::NamedLock> m_channelLock;
};

// The simulator as a child process. Its standard output is read line by line; its standard
// input takes control lines. Killed and reaped at the end, whatever the test did.
class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv;
            static std::string program = ZM_ZOR_SIM;
            argv.push_back(program.data());
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
        while (true) {
            std::string line = ReadLine(5000);
            if (line.empty() || line == "ready") {
                m_ready = line == "ready";
                break;
            }
            if (line.rfind("tcp ", 0) == 0) {
                tcpPort = std::stoi(line.substr(line.rfind(':') + 1));
            } else if (line.rfind("control ", 0) == 0) {
                controlPort = std::stoi(line.substr(line.rfind(':') + 1));
            } else if (line.rfind("/dev/", 0) == 0) {
                ptyPath = line;
            }
        }
    }
    // Asks the simulator to stop (SIGTERM) and returns its exit status; -1 when it had to be
    // killed after 3 s.
    int Stop() {
        if (m_pid <= 0) {
            return -1;
        }
        kill(m_pid, SIGTERM);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                m_pid = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    ~SimProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_in >= 0) {
            close(m_in);
        }
        if (m_out >= 0) {
            close(m_out);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ready() const { return m_ready; }

    // Sends one control line and returns the answer line (empty on time-out).
    std::string Control(const std::string& line) {
        std::string text = line + "\n";
        if (write(m_in, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            return {};
        }
        return ReadLine(3000);
    }

    std::string ReadLine(int timeoutMs) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
            pollfd p{m_out, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
                return {};
            }
            char chunk[256];
            ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0) {
                return {};
            }
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

    int tcpPort = 0;
    int controlPort = 0;
    std::string ptyPath;

  private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    bool m_ready = false;
    std::string m_buffer;
};

// Lines of a transaction log file.
inline std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zm::test
