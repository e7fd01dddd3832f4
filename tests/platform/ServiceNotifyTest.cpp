#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "platform/ServiceNotify.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace zp = zm::platform;

namespace {

// The service manager's end: a datagram socket bound where NOTIFY_SOCKET points.
class NotifyListener {
  public:
    // A path in the file system, or an abstract name after "@".
    explicit NotifyListener(const std::string& name) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
        }
        const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                                 (name[0] == '@' ? 0 : 1));
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), size) == 0;
    }
    ~NotifyListener() { ::close(fd_); }
    NotifyListener(const NotifyListener&) = delete;
    NotifyListener& operator=(const NotifyListener&) = delete;

    bool bound() const { return bound_; }

    // The next datagram, or "(none)" after a second without one.
    std::string Next() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1) {
            return "(none)";
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n < 0 ? "(error)" : std::string(buffer, static_cast<size_t>(n));
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

std::string AbstractName() {
    std::random_device rd;
    return "@zm-notify-test-" + std::to_string(rd());
}

}  // namespace

TEST(ServiceNotifyTest, WithoutServiceManagerEveryCallIsNoOp) {
    zm::test::ScopedEnv env;
    env.Unset("NOTIFY_SOCKET");
    EXPECT_FALSE(zp::NotifyServiceReady("Running"));
    EXPECT_FALSE(zp::NotifyServiceStopping());
    // A relative name is no socket the protocol knows.
    env.Set("NOTIFY_SOCKET", "notify");
    EXPECT_FALSE(zp::NotifyServiceStatus("Running"));
}

TEST(ServiceNotifyTest, MessagesReachSocketInFileSystemAndAbstractNamespace) {
    zm::test::TempDir dir;
    for (const std::string& name : {dir.file("notify"), AbstractName()}) {
        SCOPED_TRACE(name);
        NotifyListener listener(name);
        ASSERT_TRUE(listener.bound());
        zm::test::ScopedEnv env;
        env.Set("NOTIFY_SOCKET", name);

        struct Case {
            std::function<bool()> send;
            std::string expected;
        };
        const Case cases[] = {
            {[] { return zp::NotifyServiceReady("2 device(s); web map on port 8889"); },
             "READY=1\nSTATUS=2 device(s); web map on port 8889"},
            {[] { return zp::NotifyServiceReloading(); }, "RELOADING=1"},
            {[] { return zp::NotifyServiceStatus("Reloaded"); }, "STATUS=Reloaded"},
            {[] { return zp::NotifyServiceStopping(); }, "STOPPING=1\nSTATUS=Stopping"},
        };
        for (const Case& c : cases) {
            EXPECT_TRUE(c.send());
            EXPECT_EQ(listener.Next(), c.expected);
        }
    }
}

// A device name in a status text must not be able to declare the service ready or
// stopping: each line of the datagram is a field of its own.
TEST(ServiceNotifyTest, LineBreaksInStatusCannotAddFields) {
    const std::string name = AbstractName();
    NotifyListener listener(name);
    ASSERT_TRUE(listener.bound());
    zm::test::ScopedEnv env;
    env.Set("NOTIFY_SOCKET", name);
    EXPECT_TRUE(zp::NotifyServiceStatus("Buoy\nSTOPPING=1\r\nREADY=1"));
    EXPECT_EQ(listener.Next(), "STATUS=Buoy STOPPING=1  READY=1");
}

TEST(ServiceNotifyTest, MissingSocketReportsFailure) {
    zm::test::TempDir dir;
    zm::test::ScopedEnv env;
    env.Set("NOTIFY_SOCKET", dir.file("nobody-listens"));
    EXPECT_FALSE(zp::NotifyServiceReady("Running"));
    env.Set("NOTIFY_SOCKET", "/" + std::string(200, 'x'));  // longer than a socket path
    EXPECT_FALSE(zp::NotifyServiceReady("Running"));
}
