#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/UiPort.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "notify/UdpFun.h"
#include "support/TempDir.h"

namespace zm::test {

// Everything that happens, in the order it became visible. Datagrams already delivered to
// the loopback socket are taken in before each new event, so a datagram sent before a
// request is listed before it.
class EventTrail {
  public:
    EventTrail() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~EventTrail() { close(fd_); }
    EventTrail(const EventTrail&) = delete;
    EventTrail& operator=(const EventTrail&) = delete;

    int port() const { return port_; }

    void Add(const std::string& event) {
        std::lock_guard lock(mutex_);
        TakeDatagramsLocked();
        events_.push_back(event);
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        TakeDatagramsLocked();
        return events_;
    }
    // The events without the mail sender's log entries, which come when they come.
    std::vector<std::string> ActionEvents() {
        std::vector<std::string> events;
        for (auto& e : Events()) {
            if (e != "maillog") {
                events.push_back(std::move(e));
            }
        }
        return events;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        TakeDatagramsLocked();
        events_.clear();
    }

  private:
    void TakeDatagramsLocked() {
        char buffer[2048];
        for (int i = 0; i < 100; ++i) {
            ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got < 0) {
                return;
            }
            events_.push_back("udp:" + std::string(buffer, static_cast<size_t>(got)));
        }
    }

    std::mutex mutex_;
    std::vector<std::string> events_;
    int fd_ = -1;
    int port_ = 0;
};

// The operator's side as seen by the engine: every request lands in the trail.
class RecordingUi : public UiPort {
  public:
    explicit RecordingUi(EventTrail& trail) : trail_(trail) {}

    MsgResult Ask(const std::string&, MessageBoxType, MsgResult safeAnswer,
                  const std::string&) override {
        trail_.Add("Ask");
        return safeAnswer;
    }
    void ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) override {
        alarms.push_back(entry);
        trail_.Add(std::string("ShowAlarm:") + entry.deviceName +
                   (bringToFront ? ":front" : ":hidden"));
    }
    void ShowConnectionLost(const AlarmPopupEntry& entry) override {
        lost.push_back(entry);
        trail_.Add("ConnectionLost:" + entry.deviceName);
    }
    void ShowConnectionRestored(const std::string& deviceName) override {
        trail_.Add("ConnectionRestored:" + deviceName);
    }
    void CloseAlarmPopup() override { trail_.Add("CloseAlarmPopup"); }
    void PlayAlarmSound() override { trail_.Add("PlaySound"); }
    void StopAlarmSound() override { trail_.Add("StopSound"); }
    void OpenReport(const std::string& path) override { trail_.Add("OpenReport:" + path); }

    std::vector<AlarmPopupEntry> alarms;
    std::vector<AlarmPopupEntry> lost;

  private:
    EventTrail& trail_;
};

// A home of its own with the device log and the run log open in it; device-log entries
// are noted in the trail.
class LogsFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        SetHomeRoot(home_.folder());
        DeviceLog().SetFolder(home_.folder() + "logs");
        DeviceLog().Open("DeviceLog", true);
        RunLog().SetFolder(home_.folder() + "logs");
        RunLog().Open("RunLog", true);
        // Entries the mail sender writes come from its own thread.
        DeviceLog().AttachView(this, [this, test = std::this_thread::get_id()] {
            trail_.Add(std::this_thread::get_id() == test ? "devlog" : "maillog");
        });
    }
    void TearDown() override {
        DeviceLog().DetachView(this);
        DeviceLog().Close();
        RunLog().Close();
        SetHomeRoot("");
    }

    static std::string ReadAll(const std::string& path) {
        std::string text;
        FILE* f = fopen(path.c_str(), "rb");
        if (f != nullptr) {
            char buffer[4096];
            size_t got = 0;
            while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) {
                text.append(buffer, got);
            }
            fclose(f);
        }
        return text;
    }
    std::string DeviceLogText() const { return ReadAll(DeviceLog().GetPath()); }
    std::string RunLogText() const { return ReadAll(RunLog().GetPath()); }

    // The colour ("#RRGGBB") of the log entry holding `text`, empty when there is none.
    static std::string EntryColor(const std::string& log, const std::string& text) {
        size_t at = log.find(text);
        if (at == std::string::npos) {
            return {};
        }
        size_t lineStart = log.rfind("\r\n", at);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 2;
        size_t font = log.find("<font color=#", lineStart);
        if (font == std::string::npos || font > at) {
            return {};
        }
        return log.substr(font + 12, 7);
    }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + part.size())) {
            ++n;
        }
        return n;
    }

    TempDir home_;
    EventTrail trail_;
};

}  // namespace zm::test
