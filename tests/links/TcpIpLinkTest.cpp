#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "links/TcpIpLink.h"
#include "platform/IcmpEcho.h"

using namespace zm;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A listening socket on 127.0.0.1 with a port chosen by the system.
class Listener {
  public:
    explicit Listener(int nBacklog = 4) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(m_fd, nBacklog) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            ADD_FAILURE() << "listener: " << std::strerror(errno);
            return;
        }
        m_nPort = ntohs(a.sin_port);
    }
    ~Listener() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Port() const { return m_nPort; }

    // The next connection within the wait, or -1.
    int Accept(int waitMs) const {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, waitMs) <= 0) {
            return -1;
        }
        return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

  private:
    int m_fd = -1;
    int m_nPort = 0;
};

// Reads until count bytes or the wait ends.
std::string ReadSome(int fd, size_t count, int waitMs) {
    std::string got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            break;
        }
        char buf[512];
        const ssize_t n = ::recv(fd, buf, std::min(sizeof buf, count - got.size()), 0);
        if (n <= 0) {
            break;
        }
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

// A port on 127.0.0.1 where nobody listens.
int UnusedPort() {
    Listener l;
    return l.Port();
}

XSocketSettings Loopback(int nPort, int nTimeOut = 1000, const char* pszAddress = "127.0.0.1") {
    XSocketSettings s;
    s.sAddress = pszAddress;
    s.nPort = nPort;
    s.nTimeOut = nTimeOut;
    return s;
}

std::int32_t ErrorCode(const CDeviceLink& link, std::string* pText = nullptr) {
    std::int32_t nCode = -12345;
    link.GetError(pText, &nCode);
    return nCode;
}

const std::uint8_t* Bytes(const char* psz) {
    return reinterpret_cast<const std::uint8_t*>(psz);
}

// Runs every test with the reachability check as the host allows it, and once more with
// echo switched off, where the link must rely on its bounded connect alone.
class TcpIpLinkTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { platform::SetIcmpEchoAllowed(GetParam()); }
    void TearDown() override { platform::SetIcmpEchoAllowed(true); }
};

}  // namespace

TEST(TcpIpLinkNames, NameIsAddressAsConfiguredAndPort) {
    CTcpIpLink link;
    link.SetSettings(Loopback(11221, 2000, "sensor-gw.example"));
    EXPECT_EQ(link.GetName(true), "TcpIp-Link::sensor-gw.example:11221");
    EXPECT_EQ(link.GetName(false), "sensor-gw.example:11221");
    const XSocketSettings fresh;
    EXPECT_EQ(fresh.sAddress, "localhost");
    EXPECT_EQ(fresh.nPort, 23);
    EXPECT_EQ(fresh.nTimeOut, 1000);
    EXPECT_FALSE(fresh.bDatagram);
}

TEST(TcpIpLinkErrors, TextsOfTheLinkAndOfTheSystem) {
    const struct {
        std::int32_t nCode;
        std::string sText;
    } cases[] = {
        {0, ""},
        {1, "Communication timed out"},
        {2, "Connection aborted"},
        {3, "No more data(?)"},
        {4, "Socket error"},
        {10061, std::strerror(ECONNREFUSED)},
        {10060, std::strerror(ETIMEDOUT)},
        {10054, std::strerror(ECONNRESET)},
        {-EPIPE, std::strerror(EPIPE)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CXSocket::GetErrorText(c.nCode), c.sText) << c.nCode;
    }
    EXPECT_EQ(CXSocket::CodeFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(CXSocket::CodeFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(CXSocket::CodeFromErrno(EPIPE), -EPIPE);
}

TEST_P(TcpIpLinkTest, ConnectAndExchange) {
    Listener server;
    std::atomic<bool> bServed{false};
    std::thread peer([&] {
        const int fd = server.Accept(3000);
        if (fd < 0) {
            return;
        }
        const std::string req = ReadSome(fd, 5, 3000);
        const std::string answer = "re:" + req;
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        bServed = req == "hello";
        ReadSome(fd, 1, 3000);  // until the link closes
        ::close(fd);
    });

    CTcpIpLink link;
    ASSERT_TRUE(link.Open(Loopback(server.Port())));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_TRUE(link.GetError(nullptr, nullptr));
    std::int32_t nSent = 0;
    ASSERT_TRUE(link.Write(Bytes("hello"), 5, nSent, 0));
    EXPECT_EQ(nSent, 5);
    std::uint8_t buf[64];
    std::int32_t nGot = 0;
    std::string sAnswer;
    // Bytes may arrive in pieces; each read returns what is there.
    for (int i = 0; i < 10 && sAnswer.size() < 8; ++i) {
        ASSERT_TRUE(link.Read(buf, sizeof buf, nGot, 2000));
        sAnswer.append(reinterpret_cast<char*>(buf), static_cast<size_t>(nGot));
    }
    EXPECT_EQ(sAnswer, "re:hello");
    link.Close();
    EXPECT_FALSE(link.IsOpen());
    link.Close();  // closing again does nothing
    peer.join();
    EXPECT_TRUE(bServed);
}

TEST_P(TcpIpLinkTest, NobodyListeningIsConnectionRefused) {
    CTcpIpLink link;
    const auto start = Clock::now();
    EXPECT_FALSE(link.Open(Loopback(UnusedPort())));
    EXPECT_LT(MsSince(start), 1500);
    std::string sText;
    EXPECT_EQ(ErrorCode(link, &sText), 10061);
    EXPECT_EQ(sText, std::strerror(ECONNREFUSED));
    EXPECT_FALSE(link.IsOpen());
}

TEST_P(TcpIpLinkTest, UnresolvableHostFailsAtOnce) {
    CTcpIpLink link;
    const auto start = Clock::now();
    EXPECT_FALSE(link.Open(Loopback(11221, 2000, "no-such-host.invalid")));
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_FALSE(link.IsOpen());
    // With the check the name fails it (refused); without, the lookup itself fails.
    EXPECT_EQ(ErrorCode(link), GetParam() && platform::IcmpEchoAvailable() ? 10061 : 11001);
}

TEST_P(TcpIpLinkTest, SilentServerReadTimesOutAndKeepsTheLastError) {
    Listener server;
    CTcpIpLink link;
    ASSERT_TRUE(link.Open(Loopback(server.Port(), 400)));
    const int fd = server.Accept(2000);
    ASSERT_GE(fd, 0);

    const struct {
        std::int32_t nTimeOut;
        long long nMinMs, nMaxMs;
    } cases[] = {
        {150, 145, 1000},
        {0, 390, 1500},   // the configured time-out
        {-1, 390, 1500},  // never "forever"
    };
    for (const auto& c : cases) {
        std::uint8_t buf[16];
        std::int32_t nGot = 7;
        const auto start = Clock::now();
        EXPECT_FALSE(link.Read(buf, sizeof buf, nGot, c.nTimeOut)) << c.nTimeOut;
        const long long ms = MsSince(start);
        EXPECT_EQ(nGot, 0);
        EXPECT_GE(ms, c.nMinMs) << c.nTimeOut;
        EXPECT_LT(ms, c.nMaxMs) << c.nTimeOut;
        EXPECT_EQ(ErrorCode(link), 0) << "a read time-out leaves the last error";
    }
    EXPECT_TRUE(link.IsOpen());
    link.Close();
    ::close(fd);
}

TEST_P(TcpIpLinkTest, FullBacklogConnectEndsWithinTheTimeOut) {
    Listener server(0);
    // Fill the accept queue: further connection requests are dropped unanswered.
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(server.Port()));
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    CTcpIpLink link;
    const auto start = Clock::now();
    const bool bOpened = link.Open(Loopback(server.Port(), 500));
    const long long ms = MsSince(start);
    for (int fd : fillers) {
        ::close(fd);
    }
    EXPECT_FALSE(bOpened);
    EXPECT_LT(ms, 2500);
    EXPECT_GE(ms, 400);
    std::string sText;
    EXPECT_EQ(ErrorCode(link, &sText), 10060);
    EXPECT_EQ(sText, std::strerror(ETIMEDOUT));
    EXPECT_FALSE(link.IsOpen());
}

TEST_P(TcpIpLinkTest, GracefulCloseDrainsSoThePeerSeesAnOrderlyEnd) {
    Listener server;
    CTcpIpLink link;
    ASSERT_TRUE(link.Open(Loopback(server.Port())));
    const int fd = server.Accept(2000);
    ASSERT_GE(fd, 0);
    const std::string sBurst(3000, 'x');
    ASSERT_EQ(::send(fd, sBurst.data(), sBurst.size(), 0), static_cast<ssize_t>(sBurst.size()));
    std::uint8_t buf[10];
    std::int32_t nGot = 0;
    ASSERT_TRUE(link.Read(buf, sizeof buf, nGot, 1000));  // the rest stays unread
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    link.Close();

    // Unread data at close would make the system reset the connection instead.
    pollfd pfd{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
    char c = 0;
    errno = 0;
    EXPECT_EQ(::recv(fd, &c, 1, 0), 0) << std::strerror(errno);
    // A reset would follow the end of stream and show as a pending error.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int nSoError = 0;
    socklen_t len = sizeof nSoError;
    ASSERT_EQ(::getsockopt(fd, SOL_SOCKET, SO_ERROR, &nSoError, &len), 0);
    EXPECT_EQ(nSoError, 0) << std::strerror(nSoError);
    EXPECT_EQ(::recv(fd, &c, 1, MSG_DONTWAIT), 0) << std::strerror(errno);
    ::close(fd);
}

TEST_P(TcpIpLinkTest, PeerThatClosesIsReportedAtOnceAsAborted) {
    Listener server;
    CTcpIpLink link;
    ASSERT_TRUE(link.Open(Loopback(server.Port(), 3000)));
    const int fd = server.Accept(2000);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::uint8_t buf[4];
    std::int32_t nGot = 3;
    const auto start = Clock::now();
    EXPECT_FALSE(link.Read(buf, sizeof buf, nGot, 0));
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_EQ(nGot, 0);
    EXPECT_TRUE(link.IsAborted());
    std::string sText;
    EXPECT_EQ(ErrorCode(link, &sText), 2);
    EXPECT_EQ(sText, "Connection aborted");
}

TEST_P(TcpIpLinkTest, SendToAPeerThatDoesNotReadEndsAfterTheTimeOut) {
    Listener server;
    CTcpIpLink link;
    ASSERT_TRUE(link.Open(Loopback(server.Port(), 1000)));
    const int fd = server.Accept(2000);
    ASSERT_GE(fd, 0);
    const std::vector<std::uint8_t> block(256 * 1024, 0x55);
    bool bFailed = false;
    long long msLast = 0;
    // The socket buffers fill within a few hundred blocks at most.
    for (int i = 0; i < 400 && !bFailed; ++i) {
        std::int32_t nSent = 0;
        const auto start = Clock::now();
        bFailed = !link.Write(block.data(), static_cast<std::int32_t>(block.size()), nSent, 150);
        msLast = MsSince(start);
        if (!bFailed) {
            EXPECT_GT(nSent, 0);
            EXPECT_LE(nSent, static_cast<std::int32_t>(block.size()));
        }
    }
    ASSERT_TRUE(bFailed);
    EXPECT_GE(msLast, 140);
    EXPECT_LT(msLast, 1500);
    EXPECT_EQ(ErrorCode(link), 10035);  // would block
    link.Close();
    ::close(fd);
}

TEST_P(TcpIpLinkTest, TransfersOnAClosedLinkFail) {
    CTcpIpLink link;
    std::uint8_t buf[4];
    std::int32_t nCount = 9;
    EXPECT_FALSE(link.Read(buf, 4, nCount, 10));
    EXPECT_EQ(nCount, 0);
    EXPECT_FALSE(link.Write(Bytes("ab"), 2, nCount, 10));
    EXPECT_FALSE(link.GetError(nullptr, nullptr));
    link.Purge();
    link.Close();
}

TEST_P(TcpIpLinkTest, ReopeningAnOpenLinkReplacesItsConnection) {
    Listener server;
    CTcpIpLink link;
    ASSERT_TRUE(link.Open(Loopback(server.Port())));
    const int first = server.Accept(2000);
    ASSERT_GE(first, 0);
    ASSERT_TRUE(link.Open(Loopback(server.Port())));
    const int second = server.Accept(2000);
    ASSERT_GE(second, 0);
    // The first connection was closed, not leaked.
    pollfd pfd{first, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
    char c = 0;
    EXPECT_EQ(::recv(first, &c, 1, 0), 0);
    ::close(first);
    ::close(second);
}

INSTANTIATE_TEST_SUITE_P(EchoCheck, TcpIpLinkTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "AsAllowed" : "EchoOff";
                         });
