#include <gtest/gtest.h>

#include <chrono>

#include "base/Ping.h"
#include "platform/IcmpEcho.h"

using namespace zm;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

TEST(Ping, LoopbackSucceedsWhenEchoIsAvailable) {
    PingReply reply;
    const bool bOk = PingOnce("127.0.0.1", &reply, kPingTtl, 2000, kPingDataSize);
    if (IsPingAvailable()) {
        EXPECT_TRUE(bOk);
        EXPECT_EQ(reply.status, PingStatus::Success);
        EXPECT_EQ(reply.sAddress, "127.0.0.1");
        EXPECT_TRUE(Ping("127.0.0.1", 2000, 3));
    } else {
        EXPECT_FALSE(bOk);
        EXPECT_EQ(reply.status, PingStatus::Unavailable);
    }
    // The reply record is optional.
    EXPECT_EQ(PingOnce("127.0.0.1", nullptr, kPingTtl, 2000, kPingDataSize), bOk);
}

TEST(Ping, UnresolvableNameReturnsAtOnceWithoutFurtherAttempts) {
    PingReply reply;
    EXPECT_FALSE(PingOnce("no-such-host.invalid", &reply, kPingTtl, 3000, kPingDataSize));
    EXPECT_EQ(reply.status,
              IsPingAvailable() ? PingStatus::ResolveFailed : PingStatus::Unavailable);
    const auto start = Clock::now();
    EXPECT_FALSE(Ping("no-such-host.invalid", 3000, 5));
    EXPECT_LT(MsSince(start), 2000);
}

TEST(Ping, UnavailableEchoFailsEveryCallAtOnce) {
    platform::SetIcmpEchoAllowed(false);
    const bool bAvailable = IsPingAvailable();
    PingReply reply;
    const bool bOnce = PingOnce("127.0.0.1", &reply, kPingTtl, 2000, kPingDataSize);
    const auto start = Clock::now();
    const bool bPing = Ping("127.0.0.1", 2000, 5);
    const long long ms = MsSince(start);
    platform::SetIcmpEchoAllowed(true);
    EXPECT_FALSE(bAvailable);
    EXPECT_FALSE(bOnce);
    EXPECT_EQ(reply.status, PingStatus::Unavailable);
    EXPECT_FALSE(bPing);
    EXPECT_LT(ms, 100);
}
