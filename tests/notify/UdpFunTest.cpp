#include "notify/UdpFun.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cstring>

#include "support/Loopback.h"

namespace zm {
namespace {

// A UDP socket on 127.0.0.1 that the sender under test aims at.
class Receiver {
  public:
    int port() const { return socket_.port(); }
    // The next datagram, or nothing within the wait.
    std::optional<std::string> Next(int waitMs = 2000) {
        pollfd entry{socket_.fd(), POLLIN, 0};
        if (poll(&entry, 1, waitMs) <= 0) {
            return std::nullopt;
        }
        char buffer[65536];
        ssize_t got = recv(socket_.fd(), buffer, sizeof buffer, 0);
        if (got < 0) {
            return std::nullopt;
        }
        return std::string(buffer, static_cast<size_t>(got));
    }

  private:
    test::LoopbackSocket socket_{SOCK_DGRAM};
};

UdpSettings Enabled(int port) {
    UdpSettings settings;
    settings.bEnabled = true;
    settings.sIpAddress = "127.0.0.1";
    settings.nPort = port;
    return settings;
}

// Data records as the sensor sends them: little-endian float signal, float background.
std::vector<std::uint8_t> Records(std::initializer_list<std::pair<float, float>> values) {
    std::vector<std::uint8_t> bytes;
    for (auto [signal, background] : values) {
        for (float f : {signal, background}) {
            auto bits = std::bit_cast<std::uint32_t>(f);
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
            }
        }
    }
    return bytes;
}

TEST(UdpFun, StateDatagram) {
    Receiver receiver;
    CUdpFun udp;
    udp.SetSettings(Enabled(receiver.port()));
    ASSERT_TRUE(udp.SendDeviceState({"ZOR-0042", "Pier 7", "Online and Ok"}));
    EXPECT_EQ(receiver.Next().value_or("<none>"),
              "| ZOR-0042 | Pier 7 | Status = 'Online and Ok'\r\n");
    // A serial number longer than 16 characters is sent with its first 16.
    ASSERT_TRUE(udp.SendDeviceState({"0123456789ABCDEFGHIJ", "Pier 7", "Alarm reported"}));
    EXPECT_EQ(receiver.Next().value_or("<none>"),
              "| 0123456789ABCDEF | Pier 7 | Status = 'Alarm reported'\r\n");
}

TEST(UdpFun, DataDatagram) {
    Receiver receiver;
    CUdpFun udp;
    udp.SetSettings(Enabled(receiver.port()));
    struct Case {
        std::vector<std::uint8_t> portion;
        std::int32_t status;
        const char* datagram;  // nullptr: nothing is sent
    };
    auto seven = Records({{1.0f, 2.0f}});
    seven.pop_back();
    auto nine = Records({{1.0f, 2.0f}});
    nine.push_back(0);
    const Case cases[] = {
        {Records({{12.34f, 99.0f}}), 0, "| SN1 | Pier 7 | Data[1] = { 12.3 }\r\n"},
        {Records({{-0.06f, 1.0f}, {1234.56f, 0.0f}}), 10,
         "| SN1 | Pier 7 | Data[2] = { -0.1 1234.6 }\r\n"},
        {nine, 9, "| SN1 | Pier 7 | Data[1] = { 1.0 }\r\n"},
        {seven, 0, nullptr},
        {{}, 0, nullptr},
        {Records({{1.0f, 2.0f}}), 3, nullptr},
        {Records({{1.0f, 2.0f}}), 1, nullptr},
        // Codes outside 0 to 10 count as the nearest end: data present.
        {Records({{5.0f, 2.0f}}), 11, "| SN1 | Pier 7 | Data[1] = { 5.0 }\r\n"},
        {Records({{6.0f, 2.0f}}), -1, "| SN1 | Pier 7 | Data[1] = { 6.0 }\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.datagram != nullptr ? c.datagram : "none");
        bool sent = udp.SendDeviceData({"SN1", "Pier 7", c.portion, c.status});
        EXPECT_EQ(sent, c.datagram != nullptr);
        auto got = receiver.Next(c.datagram != nullptr ? 2000 : 100);
        if (c.datagram != nullptr) {
            EXPECT_EQ(got.value_or("<none>"), c.datagram);
        } else {
            EXPECT_FALSE(got.has_value()) << *got;
        }
    }
}

TEST(UdpFun, SwitchesDecideWhatIsSent) {
    Receiver receiver;
    CUdpFun udp;
    struct Case {
        bool enabled, state, data;
    };
    const Case cases[] = {
        {false, true, true}, {true, false, true}, {true, true, false}, {true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabled << c.state << c.data);
        UdpSettings settings = Enabled(receiver.port());
        settings.bEnabled = c.enabled;
        settings.bSendState = c.state;
        settings.bSendData = c.data;
        udp.SetSettings(settings);
        EXPECT_EQ(udp.SendDeviceState({"S", "N", "T"}), c.enabled && c.state);
        EXPECT_EQ(udp.SendDeviceData({"S", "N", Records({{1.0f, 1.0f}}), 0}), c.enabled && c.data);
        int received = 0;
        while (receiver.Next(100)) {
            ++received;
        }
        EXPECT_EQ(received, (c.enabled && c.state ? 1 : 0) + (c.enabled && c.data ? 1 : 0));
    }
}

TEST(UdpFun, NewAddressTakesEffectForTheNextDatagram) {
    Receiver first;
    Receiver second;
    CUdpFun udp;
    udp.SetSettings(Enabled(first.port()));
    std::string report;
    ASSERT_TRUE(udp.SendText("one", &report));
    EXPECT_EQ(report, "Broadcasting is done");
    udp.SetSettings(Enabled(second.port()));
    ASSERT_TRUE(udp.SendText("two"));
    EXPECT_EQ(first.Next().value_or(""), "one\r\n");
    EXPECT_EQ(second.Next().value_or(""), "two\r\n");
    EXPECT_FALSE(first.Next(100).has_value());
}

TEST(UdpFun, UnreadableAddressMeansLimitedBroadcast) {
    struct Case {
        const char* address;
        const char* computed;
    };
    const Case cases[] = {
        {"192.168.1.20", "192.168.1.20"},
        {"255.255.255.255", "255.255.255.255"},
        {"not-an-address", "255.255.255.255"},
        {"300.1.2.3", "255.255.255.255"},
        {"", "255.255.255.255"},
    };
    for (const auto& c : cases) {
        sockaddr_in destination = CUdpFun::Destination(c.address, 8181);
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &destination.sin_addr, text, sizeof text);
        EXPECT_STREQ(text, c.computed) << c.address;
        EXPECT_EQ(ntohs(destination.sin_port), 8181);
    }
}

TEST(UdpFun, OversizedDatagramIsReportedNotSent) {
    Receiver receiver;
    CUdpFun udp;
    udp.SetSettings(Enabled(receiver.port()));
    std::string report;
    EXPECT_FALSE(udp.SendText(std::string(70000, 'x'), &report));
    EXPECT_EQ(report, "Error broadcasting to the clients");
}

}  // namespace
}  // namespace zm
