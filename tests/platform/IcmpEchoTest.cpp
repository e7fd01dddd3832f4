#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

TEST(ResolveIpv4, AddressesNamesAndFailures) {
    const struct {
        const char* pszHost;
        ResolveStatus status;
        std::uint32_t nHostOrder;  // checked when not 0
    } cases[] = {
        {"127.0.0.1", ResolveStatus::Ok, 0x7F000001},
        {"10.20.30.40", ResolveStatus::Ok, 0x0A141E28},
        {"localhost", ResolveStatus::Ok, 0},
        {"no-such-host.invalid", ResolveStatus::NotFound, 0},
        {"", ResolveStatus::NotFound, 0},
    };
    for (const auto& c : cases) {
        const auto start = Clock::now();
        const ResolveResult r = ResolveIpv4(c.pszHost, 3000);
        EXPECT_LT(MsSince(start), 2000) << c.pszHost;
        EXPECT_EQ(r.status, c.status) << c.pszHost;
        if (c.nHostOrder != 0) {
            EXPECT_EQ(ntohl(r.nAddress), c.nHostOrder) << c.pszHost;
        }
    }
    // A dotted address needs no lookup, so not even a zero time-out stops it.
    EXPECT_EQ(ResolveIpv4("192.168.7.9", 0).status, ResolveStatus::Ok);
}

// A name service that hangs: each name's lookup waits until the test lets it go.
class HangingNameService {
  public:
    HangingNameService() {
        SetNameLookup([this](const std::string& host) {
            std::unique_lock lock(mutex_);
            ++calls_[host];
            released_.wait(lock, [this] { return open_; });
            ResolveResult r;
            r.status = ResolveStatus::Ok;
            r.nAddress = htonl(0x7F000002);
            return r;
        });
    }
    ~HangingNameService() {
        Release();
        // The lookups end and leave the list before the system's lookup comes back.
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (NameLookupsRunning() > 0 && Clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SetNameLookup({});
    }
    void Release() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        released_.notify_all();
    }
    int Calls(const std::string& host) {
        const std::lock_guard lock(mutex_);
        return calls_[host];
    }

  private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool open_ = false;
    std::map<std::string, int> calls_;
};

TEST(ResolveIpv4, OneLookupPerNameWhileTheNameServiceHangs) {
    HangingNameService dns;
    // A device asks again and again, as its poll cycle does: one lookup runs, no pile.
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(ResolveIpv4("converter-1.harbour", 10).status, ResolveStatus::TryAgain);
    }
    EXPECT_EQ(dns.Calls("converter-1.harbour"), 1);
    EXPECT_EQ(NameLookupsRunning(), 1);

    // Waiting for a name that hangs keeps no one else waiting: callers on other threads
    // with other names, and dotted addresses, answer within their own time-outs.
    std::vector<std::thread> others;
    std::atomic<int> prompt{0};
    for (int i = 0; i < 4; ++i) {
        others.emplace_back([] { ResolveIpv4("converter-1.harbour", 1500); });
    }
    for (int i = 0; i < 4; ++i) {
        others.emplace_back([&, i] {
            const auto start = Clock::now();
            const ResolveResult r = ResolveIpv4("device-" + std::to_string(i) + ".harbour", 20);
            const ResolveResult dotted = ResolveIpv4("127.0.0.1", 20);
            if (r.status == ResolveStatus::TryAgain && dotted.status == ResolveStatus::Ok &&
                MsSince(start) < 1000) {
                ++prompt;
            }
        });
    }
    for (auto& t : others) {
        t.join();
    }
    EXPECT_EQ(prompt, 4);
    EXPECT_EQ(dns.Calls("converter-1.harbour"), 1);
    EXPECT_EQ(NameLookupsRunning(), 5);

    // The number of names looked up at once has a bound; beyond it the answer comes at once.
    for (size_t i = 0; i < kMaxNameLookups + 5; ++i) {
        ResolveIpv4("many-" + std::to_string(i) + ".harbour", 1);
    }
    EXPECT_EQ(NameLookupsRunning(), static_cast<int>(kMaxNameLookups));
    EXPECT_EQ(dns.Calls("many-" + std::to_string(kMaxNameLookups + 4) + ".harbour"), 0);

    // Once the service answers, the waiting callers have their address, and a later
    // question starts a fresh lookup.
    std::thread waiter([] {
        const ResolveResult r = ResolveIpv4("converter-1.harbour", 5000);
        EXPECT_EQ(r.status, ResolveStatus::Ok);
        EXPECT_EQ(ntohl(r.nAddress), 0x7F000002u);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    dns.Release();
    waiter.join();
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (NameLookupsRunning() > 0 && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(NameLookupsRunning(), 0);
    EXPECT_EQ(ResolveIpv4("converter-1.harbour", 1000).status, ResolveStatus::Ok);
    EXPECT_EQ(dns.Calls("converter-1.harbour"), 2);
}
