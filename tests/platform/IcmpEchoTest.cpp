#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "platform/IcmpEcho.h"

using namespace zm::platform;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

// Loopback answers whenever this process may send echo at all, so the only acceptable
// outcomes are a valid reply or "unavailable" -- never a false failure, never a hang.
TEST(IcmpEcho, LoopbackAnswersOrEchoIsUnavailable) {
    const struct {
        const char* pszHost;
        int nDataSize;
    } cases[] = {
        {"127.0.0.1", 32},   {"127.0.0.1", 0},  {"127.0.0.1", 1400},
        {"127.0.0.1", 5000}, {"localhost", 32}, {"127.1.2.3", 32},
    };
    const bool bAvailable = IcmpEchoAvailable();
    for (const auto& c : cases) {
        const auto start = Clock::now();
        const IcmpEchoResult r = IcmpEcho(c.pszHost, 54, 2000, c.nDataSize);
        EXPECT_LT(MsSince(start), 2500) << c.pszHost;
        if (bAvailable) {
            EXPECT_EQ(r.status, IcmpEchoStatus::Success)
                << c.pszHost << " " << c.nDataSize << " errno " << r.nErrno;
            EXPECT_FALSE(r.sAddress.empty());
            EXPECT_LT(r.nTimeMs, 2000u);
        } else {
            EXPECT_EQ(r.status, IcmpEchoStatus::Unavailable) << c.pszHost;
        }
    }
}

TEST(IcmpEcho, ReplyAddressIsTheAddressAsked) {
    if (!IcmpEchoAvailable()) {
        GTEST_SKIP() << "ICMP echo is not permitted for this process";
    }
    const IcmpEchoResult r = IcmpEcho("127.0.0.1", 54, 2000, 32);
    ASSERT_EQ(r.status, IcmpEchoStatus::Success);
    EXPECT_EQ(r.sAddress, "127.0.0.1");
}

TEST(IcmpEcho, UnresolvableNameFailsAtOnce) {
    for (const char* pszHost : {"no-such-host.invalid", "", "bad..name"}) {
        const auto start = Clock::now();
        const IcmpEchoResult r = IcmpEcho(pszHost, 54, 5000, 32);
        EXPECT_LT(MsSince(start), 2000) << pszHost;
        EXPECT_EQ(r.status,
                  IcmpEchoAvailable() ? IcmpEchoStatus::ResolveFailed : IcmpEchoStatus::Unavailable)
            << pszHost;
    }
}

TEST(IcmpEcho, OutOfRangeRequestsAreRefused) {
    const struct { int nTtl, nDataSize; } cases[] = {{0, 32}, {256, 32}, {54, -1}, {54, 65501}};
    for (const auto& c : cases) {
        const IcmpEchoResult r = IcmpEcho("127.0.0.1", c.nTtl, 500, c.nDataSize);
        EXPECT_EQ(r.status, IcmpEchoStatus::Error) << c.nTtl << " " << c.nDataSize;
        EXPECT_EQ(r.nErrno, EINVAL);
    }
}

TEST(IcmpEcho, SwitchedOffReportsUnavailable) {
    SetIcmpEchoAllowed(false);
    EXPECT_FALSE(IcmpEchoAvailable());
    const auto start = Clock::now();
    const IcmpEchoResult r = IcmpEcho("127.0.0.1", 54, 2000, 32);
    EXPECT_LT(MsSince(start), 100);
    SetIcmpEchoAllowed(true);
    EXPECT_EQ(r.status, IcmpEchoStatus::Unavailable);
}
