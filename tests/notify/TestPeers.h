#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace zm::test {

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a program to its end; returns its exit status (-1 when it could not run).
inline int RunProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A real SMTP server (aiosmtpd, started from the script beside this file) on 127.0.0.1.
// The destructor ends it, whatever happened in the test.
class SmtpTestServer {
  public:
    explicit SmtpTestServer(const std::vector<std::string>& flags) {
        std::vector<std::string> argv = {"/usr/bin/python3",
                                         std::string(ZM_TEST_SOURCE_DIR) + "/notify/smtp_server.py",
                                         "--out", dir_.path().string()};
        argv.insert(argv.end(), flags.begin(), flags.end());
        std::vector<char*> args;
        for (auto& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        out_ = pipeFds[0];
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start the SMTP test server");
        }
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (line.find('\n') == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                Stop();
                throw std::runtime_error("SMTP test server did not report its port");
            }
            char buffer[128];
            ssize_t got = read(out_, buffer, sizeof buffer);
            if (got <= 0) {
                Stop();
                throw std::runtime_error("SMTP test server ended before listening");
            }
            line.append(buffer, static_cast<size_t>(got));
        }
        if (line.rfind("PORT ", 0) != 0) {
            Stop();
            throw std::runtime_error("unexpected output of the SMTP test server: " + line);
        }
        port_ = static_cast<uint16_t>(std::stoi(line.substr(5)));
    }
    ~SmtpTestServer() { Stop(); }
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    uint16_t port() const { return port_; }
    std::string Transcript() const { return ReadFileText(TranscriptPath()); }
    std::string TranscriptPath() const { return dir_.file("transcript.txt"); }
    std::string Message(int n = 1) const {
        return ReadFileText(dir_.file("message-" + std::to_string(n) + ".eml"));
    }
    // Waits (bounded) until the transcript holds `text`; true when it does.
    bool WaitFor(const std::string& text, int timeoutMs = 5000) const {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Transcript().find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

  private:
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            bool ended = false;
            for (int i = 0; i < 100 && !ended; ++i) {
                ended = waitpid(pid_, &status, WNOHANG) == pid_;
                if (!ended) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            }
            if (!ended) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
            pid_ = -1;
        }
        if (out_ >= 0) {
            close(out_);
            out_ = -1;
        }
    }

    TempDir dir_;
    pid_t pid_ = -1;
    int out_ = -1;
    uint16_t port_ = 0;
};

// A listening socket on 127.0.0.1 whose one connection is driven by a script function on
// its own thread: for replies no real server would give (split, overlong, malformed).
class ScriptedPeer {
  public:
    using Script = std::function<void(int fd, ScriptedPeer& peer)>;

    explicit ScriptedPeer(Script script) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listen_, 1) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
        if (pipe2(stop_, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        thread_ = std::thread([this, script] {
            pollfd entries[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(entries, 2, 10000) <= 0 || entries[1].revents != 0) {
                return;
            }
            conn_ = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn_ >= 0) {
                script(conn_, *this);
            }
        });
    }
    ~ScriptedPeer() {
        // A peer nobody connected to stops waiting now.
        (void)!write(stop_[1], "x", 1);
        if (thread_.joinable()) {
            thread_.join();
        }
        if (conn_ >= 0) {
            close(conn_);
        }
        close(listen_);
        close(stop_[0]);
        close(stop_[1]);
    }
    uint16_t port() const { return port_; }

    static void Send(int fd, const std::string& text) {
        (void)::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    }
    // Reads one line (bounded by time); empty when none came.
    std::string ReadLine(int fd, int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t eol = pending_.find('\n');
            if (eol != std::string::npos) {
                std::string line = pending_.substr(0, eol + 1);
                pending_.erase(0, eol + 1);
                received_ += line;
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char buffer[1024];
            ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return {};
            }
            pending_.append(buffer, static_cast<size_t>(got));
        }
    }
    // Everything the client sent, as far as the script read it. Read after the peer ended.
    const std::string& Received() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return received_;
    }

  private:
    int listen_ = -1;
    int conn_ = -1;
    int stop_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::thread thread_;
    std::string pending_;
    std::string received_;
};

// A loopback port nobody listens on (bound, then released).
inline uint16_t UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace zm::test
