// Converter discovery against a responder on loopback, and the address history.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>

#include "links/ConverterDiscovery.h"
#include "support/ConverterResponder.h"

namespace zm {
namespace {

TEST(ConverterDiscoveryTest, ReplyRule) {
    const std::vector<std::string> own = {"192.0.2.10"};
    const struct {
        std::size_t bytes;
        const char* sender;
        int port;
        bool counts;
    } cases[] = {
        {51, "192.0.2.77", 8000, true},   {4096, "192.0.2.77", 8000, true},
        {50, "192.0.2.77", 8000, false},  {0, "192.0.2.77", 8000, false},
        {100, "192.0.2.77", 8001, false}, {100, "127.0.0.1", 8000, false},
        {100, "192.0.2.10", 8000, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CConverterDiscovery::IsConverterReply(c.bytes, c.sender, c.port, own), c.counts)
            << c.bytes << " " << c.sender << ":" << c.port;
    }
}

TEST(ConverterDiscoveryTest, ListsEachConverterOnceAndIgnoresShortRepliesAndOtherPorts) {
    test::ConverterResponder responder({{"127.0.0.2", 8000, 51},
                                        {"127.0.0.2", 8000, 300},
                                        {"127.0.0.3", 8000, 50},
                                        {"127.0.0.4", 8001, 120},
                                        {"127.0.0.5", 8000, 80}});
    ASSERT_TRUE(responder.SendersReady());
    CConverterDiscovery discovery;
    CConverterDiscovery::Options options;
    options.sTarget = "127.0.0.1";
    options.nTargetPort = responder.port();
    options.nListenPort = 0;
    options.sListenAddress = "127.0.0.1";
    ASSERT_TRUE(discovery.Start(options));
    EXPECT_EQ(discovery.Targets(), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(responder.Request(), std::vector<std::uint8_t>(CConverterDiscovery::kRequest.begin(),
                                                             CConverterDiscovery::kRequest.end()));
    // All five replies are sent before Request() returns; read until they are in.
    for (int i = 0; i < 50 && discovery.Found().size() < 2; ++i) {
        pollfd p{discovery.Handle(), POLLIN, 0};
        poll(&p, 1, 20);
        discovery.ReadReplies();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    discovery.ReadReplies();
    EXPECT_EQ(discovery.Found(), (std::vector<std::string>{"127.0.0.2", "127.0.0.5"}));
    EXPECT_GE(discovery.Handle(), 0);
}

TEST(ConverterDiscoveryTest, BroadcastTargetsAreNeverLoopbackAndNothingToAskSkipsQuietly) {
    for (const std::string& address : CConverterDiscovery::BroadcastAddresses()) {
        EXPECT_NE(address.rfind("127.", 0), 0u) << address;
    }
    CConverterDiscovery discovery;
    CConverterDiscovery::Options options;
    options.sTarget = "not-an-address";
    options.nListenPort = 0;
    EXPECT_FALSE(discovery.Start(options));
    EXPECT_EQ(discovery.Handle(), -1);
}

TEST(AddressHistoryTest, ConfirmSelectsAnEqualEntryReplacesTheCurrentOrAppends) {
    CAddressHistory history;
    EXPECT_EQ(history.Confirm("10.0.0.1", -1), 0);  // empty: appended
    history.Add("10.0.0.2");
    history.Add("10.0.0.2");
    EXPECT_EQ(history.Entries(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(history.Confirm("10.0.0.2", 0), 1);  // equal entry selected
    EXPECT_EQ(history.Confirm("10.0.0.9", 0), 0);  // replaces the current entry
    EXPECT_EQ(history.Entries(), (std::vector<std::string>{"10.0.0.9", "10.0.0.2"}));
    EXPECT_EQ(history.Confirm("10.0.0.7", -1), 2);  // nothing selected: appended
}

}  // namespace
}  // namespace zm
