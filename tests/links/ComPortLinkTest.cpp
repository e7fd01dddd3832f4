#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "links/ComPortLink.h"

using namespace zm;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The far end of a pseudo-terminal pair stands in for the sensor: the link opens the
// slave by name, the test writes and reads the master.
class PtyPeer {
  public:
    PtyPeer() {
        char name[128] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed: " << std::strerror(errno);
            return;
        }
        m_name = name;
        // Keeping no slave descriptor of our own: the link's open is the only one.
        ::close(slave);
        termios tio{};
        ::tcgetattr(m_master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    ~PtyPeer() { CloseMaster(); }

    const std::string& Name() const { return m_name; }

    void Send(const std::string& bytes) const {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Whatever arrives within the wait, up to max bytes.
    std::string Receive(size_t max, int waitMs) const {
        std::string got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        while (got.size() < max) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) {
                break;
            }
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            char buf[256];
            const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, max - got.size()));
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

    void CloseMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

  private:
    int m_master = -1;
    std::string m_name;
};

ComPortSettings SettingsFor(const std::string& sPort, int nBaud = 57600) {
    ComPortSettings s;
    s.sPortName = sPort;
    s.nBaudRate = nBaud;
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

class ComPortLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(peer.Name().empty());
        ASSERT_TRUE(link.Open(SettingsFor(peer.Name())));
    }

    PtyPeer peer;
    CComPortLink link;
};

}  // namespace

TEST(ComPortLinkNames, NameIsThePortAsConfigured) {
    CComPortLink link;
    link.SetSettings(SettingsFor("ttyUSB3"));
    EXPECT_EQ(link.GetName(true), "ComPort-Link::ttyUSB3");
    EXPECT_EQ(link.GetName(false), "ttyUSB3");
    EXPECT_EQ(CComPort::DevicePath("ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(CComPort::DevicePath("/dev/ttyS1"), "/dev/ttyS1");
    EXPECT_FALSE(link.IsAborted());
}

TEST(ComPortLinkErrors, EveryCodeHasItsText) {
    const struct {
        std::int32_t nCode;
        const char* pszText;
    } cases[] = {
        {0, "No Error"},
        {1, "Port settings error"},
        {2, "Port opening error"},
        {3, "Read error"},
        {4, "Read timeout error"},
        {5, "Write error"},
        {6, "Write timeout error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CComPort::GetErrorText(c.nCode), c.pszText) << c.nCode;
    }
    // Codes from a failed close are the system's own texts.
    EXPECT_EQ(CComPort::GetErrorText(-EIO), std::strerror(EIO));
}

TEST(ComPortLinkOpen, MissingOrEmptyPortFailsWithOpeningError) {
    for (const char* pszName : {"", "/dev/zm-no-such-port", "zm-no-such-port"}) {
        CComPortLink link;
        EXPECT_FALSE(link.Open(SettingsFor(pszName))) << pszName;
        std::string sText;
        EXPECT_EQ(ErrorCode(link, &sText), 2) << pszName;
        EXPECT_EQ(sText, "Port opening error");
        EXPECT_FALSE(link.IsOpen());
    }
}

TEST(ComPortLinkOpen, SecondOpenOfTheSamePortFailsUntilTheFirstCloses) {
    PtyPeer peer;
    CComPortLink first;
    CComPortLink second;
    ASSERT_TRUE(first.Open(SettingsFor(peer.Name())));
    EXPECT_FALSE(second.Open(SettingsFor(peer.Name())));
    EXPECT_EQ(ErrorCode(second), 2);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(first.IsOpen());

    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(second.Open(SettingsFor(peer.Name())));
    EXPECT_EQ(ErrorCode(second), 0);
}

TEST(ComPortLinkOpen, BareNameMeansTheDeviceFolder) {
    PtyPeer peer;
    ASSERT_EQ(peer.Name().rfind("/dev/", 0), 0u);
    CComPortLink link;
    EXPECT_TRUE(link.Open(SettingsFor(peer.Name().substr(5))));
    EXPECT_EQ(link.GetName(true), "ComPort-Link::" + peer.Name().substr(5));
}

TEST(ComPortLinkOpen, RefusedSettingsLeaveThePortOpenWithSettingsError) {
    struct Case {
        const char* pszWhat;
        int nBaud, nByteSize, nStopBits, nParity;
    };
    const Case cases[] = {
        {"baud 0", 0, 8, 0, 0},          {"negative baud", -9600, 8, 0, 0},
        {"byte size 9", 57600, 9, 0, 0}, {"byte size 3", 57600, 3, 0, 0},
        {"stop bits 3", 57600, 8, 3, 0}, {"parity 5", 57600, 8, 0, 5},
    };
    PtyPeer peer;
    for (const Case& c : cases) {
        CComPortLink link;
        ComPortSettings s = SettingsFor(peer.Name(), c.nBaud);
        s.nByteSize = c.nByteSize;
        s.nStopBits = c.nStopBits;
        s.nParity = c.nParity;
        EXPECT_FALSE(link.Open(s)) << c.pszWhat;
        std::string sText;
        EXPECT_EQ(ErrorCode(link, &sText), 1) << c.pszWhat;
        EXPECT_EQ(sText, "Port settings error");
        EXPECT_TRUE(link.IsOpen()) << c.pszWhat;
    }
}

TEST(ComPortLinkOpen, AcceptedBaudRatesAndStopBits) {
    PtyPeer peer;
    // Rates from the settings list, with and without a termios constant.
    for (int nBaud : {110, 9600, 14400, 56000, 57600, 115200, 128000, 256000}) {
        for (int nStop : {0, 2}) {
            CComPortLink link;
            ComPortSettings s = SettingsFor(peer.Name(), nBaud);
            s.nStopBits = nStop;
            EXPECT_TRUE(link.Open(s)) << nBaud << " " << nStop;
            EXPECT_EQ(ErrorCode(link), 0);
        }
    }
}

TEST(ComPortLinkOpen, OpenWithoutSettingsKeepsTheCurrentOnes) {
    PtyPeer peer;
    CComPortLink link;
    ComPortSettings s = SettingsFor(peer.Name(), 19200);
    s.nDefBaudRate = 57600;
    link.SetSettings(s);
    EXPECT_TRUE(link.Open(LinkSettings{}));
    EXPECT_EQ(link.GetSettings(), s);
    // A TCP record is not for this link and changes nothing either.
    EXPECT_TRUE(link.Open(XSocketSettings{}));
    EXPECT_EQ(link.GetSettings(), s);
}

TEST_F(ComPortLinkTest, WriteReportsMinusOneAndTheBytesArrive) {
    std::int32_t nSent = 0;
    ASSERT_TRUE(link.Write(Bytes("\x01\x02\x00\x0D\x0Arequest"), 12, nSent, 0));
    EXPECT_EQ(nSent, -1);
    EXPECT_EQ(ErrorCode(link), 0);
    // Binary traffic: CR, LF and NUL pass untranslated.
    EXPECT_EQ(peer.Receive(12, 2000), std::string("\x01\x02\x00\x0D\x0Arequest", 12));
}

TEST_F(ComPortLinkTest, WriteDiscardsInputLeftFromEarlierTraffic) {
    peer.Send("stale answer");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::int32_t nSent = 0;
    ASSERT_TRUE(link.Write(Bytes("Q"), 1, nSent, 0));
    ASSERT_EQ(peer.Receive(1, 2000), "Q");
    peer.Send("fresh");
    std::uint8_t buf[16];
    std::int32_t nGot = 0;
    ASSERT_TRUE(link.Read(buf, 5, nGot, 500));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), static_cast<size_t>(nGot)), "fresh");
}

TEST_F(ComPortLinkTest, ReadOfThreeOfSevenBytesSucceedsAfterTheTimeOut) {
    peer.Send("abc");
    std::uint8_t buf[8];
    std::memset(buf, 0xEE, sizeof buf);
    std::int32_t nGot = -1;
    const auto start = Clock::now();
    ASSERT_TRUE(link.Read(buf, 7, nGot, 300));
    const long long ms = MsSince(start);
    EXPECT_EQ(nGot, 3);
    EXPECT_EQ(std::memcmp(buf, "abc\0\0\0\0", 7), 0);  // the rest of the n bytes cleared
    EXPECT_EQ(buf[7], 0xEE);                           // beyond n untouched
    EXPECT_GE(ms, 290);
    EXPECT_LT(ms, 1200);  // ended by the total time-out, not the 1 s byte gap
    EXPECT_EQ(ErrorCode(link), 0);
}

TEST_F(ComPortLinkTest, ReadEndsAfterAGapOfMoreThanOneSecond) {
    std::thread sensor([this] {
        peer.Send("ab");
        std::this_thread::sleep_for(std::chrono::milliseconds(1600));
        peer.Send("cd");
    });
    std::uint8_t buf[4];
    std::int32_t nGot = 0;
    const auto start = Clock::now();
    const bool bOk = link.Read(buf, 4, nGot, 5000);
    const long long ms = MsSince(start);
    sensor.join();
    ASSERT_TRUE(bOk);
    EXPECT_EQ(nGot, 2);
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 1550);
    // The late bytes are there for the next read.
    ASSERT_TRUE(link.Read(buf, 4, nGot, 200));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), static_cast<size_t>(nGot)), "cd");
}

TEST_F(ComPortLinkTest, ShorterGapsDoNotEndTheRead) {
    std::thread sensor([this] {
        for (const char* psz : {"a", "b", "c"}) {
            peer.Send(psz);
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
        }
    });
    std::uint8_t buf[3];
    std::int32_t nGot = 0;
    const bool bOk = link.Read(buf, 3, nGot, 3000);
    sensor.join();
    ASSERT_TRUE(bOk);
    EXPECT_EQ(nGot, 3);
    EXPECT_EQ(std::memcmp(buf, "abc", 3), 0);
}

TEST_F(ComPortLinkTest, ReadTimeOutsWithoutData) {
    const struct {
        std::int32_t nTimeOut;
        long long nMinMs, nMaxMs;
    } cases[] = {
        {0, 990, 1700},    // 0 means 1000 ms
        {-50, 990, 1700},  // so does a negative one
        {150, 145, 800},
    };
    for (const auto& c : cases) {
        std::uint8_t buf[5];
        std::int32_t nGot = 77;
        const auto start = Clock::now();
        EXPECT_FALSE(link.Read(buf, 5, nGot, c.nTimeOut)) << c.nTimeOut;
        const long long ms = MsSince(start);
        EXPECT_EQ(nGot, 0);
        std::string sText;
        EXPECT_EQ(ErrorCode(link, &sText), 4) << c.nTimeOut;
        EXPECT_EQ(sText, "Read timeout error");
        EXPECT_GE(ms, c.nMinMs) << c.nTimeOut;
        EXPECT_LT(ms, c.nMaxMs) << c.nTimeOut;
    }
}

TEST_F(ComPortLinkTest, FailedWriteWhenThePortIsGoneReopensAndReportsOpeningError) {
    peer.CloseMaster();
    std::int32_t nSent = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(link.Write(Bytes("req"), 3, nSent, 0));
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(nSent, -1);
    std::string sText;
    EXPECT_EQ(ErrorCode(link, &sText), 2);
    EXPECT_EQ(sText, "Port opening error");
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(ComPortLinkTest, ReadWhenThePeerHangsUpFailsAtOnce) {
    peer.CloseMaster();
    std::uint8_t buf[4];
    std::int32_t nGot = 5;
    const auto start = Clock::now();
    EXPECT_FALSE(link.Read(buf, 4, nGot, 3000));
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(nGot, 0);
    EXPECT_EQ(ErrorCode(link), 3);
}

TEST_F(ComPortLinkTest, WriteOnAClosedLinkReopensThePort) {
    link.Close();
    std::int32_t nSent = 0;
    EXPECT_TRUE(link.Write(Bytes("x"), 1, nSent, 0));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(peer.Receive(1, 2000), "x");
}

TEST_F(ComPortLinkTest, PurgeAndCloseOnAClosedLinkDoNothing) {
    link.Close();
    link.Close();
    link.Purge();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(ErrorCode(link), 0);
    std::uint8_t buf[2];
    std::int32_t nGot = 9;
    EXPECT_FALSE(link.Read(buf, 2, nGot, 10));
    EXPECT_EQ(nGot, 0);
    EXPECT_EQ(ErrorCode(link), 3);
}

TEST_F(ComPortLinkTest, PurgeDiscardsPendingInput) {
    peer.Send("junk");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    link.Purge();
    std::uint8_t buf[4];
    std::int32_t nGot = 0;
    EXPECT_FALSE(link.Read(buf, 4, nGot, 100));
    EXPECT_EQ(ErrorCode(link), 4);
}

TEST_F(ComPortLinkTest, GetErrorWithoutOutArgumentsGivesTheTruthOnly) {
    EXPECT_TRUE(link.GetError(nullptr, nullptr));
    std::uint8_t buf[1];
    std::int32_t nGot = 0;
    link.Read(buf, 1, nGot, 20);
    EXPECT_FALSE(link.GetError(nullptr, nullptr));
    std::int32_t nCode = 0;
    EXPECT_FALSE(link.GetError(nullptr, &nCode));
    EXPECT_EQ(nCode, 4);
}

TEST(ComPortEnum, EnumerationReplacesTheListContents) {
    std::vector<std::string> ports{"stale-1", "stale-2"};
    const int n = EnumSerialPorts(ports);
    EXPECT_EQ(n, static_cast<int>(ports.size()));
    for (const std::string& s : ports) {
        EXPECT_NE(s.rfind("stale-", 0), 0u) << s;
    }
}
