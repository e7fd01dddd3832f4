// The alert outbox against a real SMTP server (aiosmtpd, started by this program with
// /usr/bin/python3), three figures:
//   (1) latency from handing over a notice to the server's MAIL FROM, through the outbox
//       (its file on disk, full sync) and, in the same run and interleaved, through one
//       direct session without it;
//   (2) delivery under a flaky server: N notices over 10 devices' worth of distinct
//       notices, the server refusing (421) or stalling (no greeting) at random in a share
//       of its sessions; counts delivered, lost and duplicated messages (by Message-ID)
//       and the p50/p95 delay from hand-over to acceptance. The retry schedule is
//       shortened (200 ms) and each session limited to 1 s, through the outbox's options;
//   (3) time to drain M pending messages once the server is back (the real schedule: the
//       outbox finds the server with its 30-second look).
//
// Build and run (default preset, from the repository root):
//   cmake --build --preset default -j2 --target bench_outbox
//   build/default/bench/bench_outbox                 # 30 latency pairs, 1000 flaky, 500 drain
//   build/default/bench/bench_outbox --quick         # 10, 100, 50
// Percentiles are nearest-rank.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/MailSender.h"
#include "notify/Outbox.h"
#include "notify/TestPeers.h"
#include "support/TempDir.h"

namespace zm::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::SmtpTestServer;

double MonoNow() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return std::nan("");
    }
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

MailAccount AccountAt(uint16_t port) {
    MailAccount account;
    account.sServer = "127.0.0.1";
    account.nPort = port;
    account.nSecurity = CSmtp::kSecurityNone;
    account.sSenderMail = "alarm@zm.bench";
    return account;
}

AlertMail Notice(uint16_t port, const std::string& device, int n) {
    AlertMail mail;
    mail.sKind = "Alarm mail";
    mail.sSubject = device + ": Alarm reported #" + std::to_string(n);
    mail.sBody = "Device status:\r\n >>> " + mail.sSubject;
    mail.recipients = {"duty@zm.bench"};
    mail.account = AccountAt(port);
    mail.kind = NoticeKind::AlarmOpened;
    return mail;
}

// Monotonic stamps of the server's transcript lines that begin with `prefix`.
std::vector<double> Stamps(const SmtpTestServer& server, const std::string& prefix) {
    std::vector<double> stamps;
    const std::string text = server.Transcript();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const size_t at = line.rfind(" @mono=");
        if (line.rfind(prefix, 0) == 0 && at != std::string::npos) {
            stamps.push_back(std::stod(line.substr(at + 7)));
        }
        start = end + 1;
    }
    return stamps;
}

bool WaitCount(const SmtpTestServer& server, const std::string& prefix, size_t n,
               std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (Stamps(server, prefix).size() >= n) {
            return true;
        }
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

void Latency(int pairs) {
    SmtpTestServer server({"--auth", "", "--stamp", "--lifetime", "600"});
    test::TempDir dir;
    CMailSender outbox;
    outbox.Open(dir.file("Outbox.sqlite"));
    std::vector<double> with, without;
    size_t seen = 0;
    for (int i = 0; i < pairs; ++i) {
        for (bool viaOutbox : {true, false}) {
            AlertMail mail = Notice(server.port(), "Pier-" + std::to_string(i), i);
            const double t0 = MonoNow();
            if (viaOutbox) {
                outbox.Queue(mail);
            } else {
                DeliverAlertMail(mail);
            }
            ++seen;
            if (!WaitCount(server, "MAIL ", seen, 10s)) {
                std::printf("no MAIL FROM within 10 s\n");
                return;
            }
            (viaOutbox ? with : without).push_back((Stamps(server, "MAIL ")[seen - 1] - t0) * 1e3);
            outbox.WaitIdle(10s);
        }
    }
    std::printf("(1) hand-over to MAIL FROM, %d pairs interleaved:\n", pairs);
    std::printf("    with the outbox:    p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms\n",
                Percentile(with, 50), Percentile(with, 95), Percentile(with, 100));
    std::printf("    without (direct):   p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms\n",
                Percentile(without, 50), Percentile(without, 95), Percentile(without, 100));
    std::printf("    difference of p50:  %+6.2f ms\n",
                Percentile(with, 50) - Percentile(without, 50));
}

void Flaky(int notices, double refuse, double stall) {
    SmtpTestServer server({"--auth", "", "--stamp", "--lifetime", "1800", "--refuse-rate",
                           std::to_string(refuse), "--stall-rate", std::to_string(stall)});
    test::TempDir dir;
    COutbox::Options options;
    options.retryDelaysMs = {200};
    options.sessionLimit = 1s;
    COutbox outbox(options);
    outbox.Open(dir.file("Outbox.sqlite"));
    std::map<std::string, double> queuedAt;  // subject -> hand-over time
    const auto start = Clock::now();
    for (int i = 0; i < notices; ++i) {
        // Ten devices; each notice its own, so that none merges.
        AlertMail mail = Notice(server.port(), "Dev-" + std::to_string(i % 10), i);
        mail.sDevice = {};
        queuedAt[mail.sSubject] = MonoNow();
        outbox.Queue(mail);
        std::this_thread::sleep_for(2ms);
    }
    const auto limit = Clock::now() + 20min;
    while (outbox.Pending() > 0 && Clock::now() < limit) {
        std::this_thread::sleep_for(50ms);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(500ms);
    std::map<std::string, int> byId;
    std::vector<double> delays;
    const std::vector<double> accepted = Stamps(server, "MESSAGE ");
    const std::regex id("\r\nMessage-ID: <([^>]+)>\r\n");
    const std::regex subject("\r\nSubject: ([^\r]+)\r\n");
    for (size_t n = 1; n <= accepted.size(); ++n) {
        const std::string message = server.Message(static_cast<int>(n));
        std::smatch m;
        if (std::regex_search(message, m, id)) {
            ++byId[m[1].str()];
        }
        if (std::regex_search(message, m, subject) && byId.size() > 0) {
            auto q = queuedAt.find(m[1].str());
            if (q != queuedAt.end()) {
                delays.push_back((accepted[n - 1] - q->second) * 1e3);
            }
        }
    }
    int duplicates = 0;
    for (const auto& [key, count] : byId) {
        duplicates += count - 1;
    }
    const int delivered = static_cast<int>(byId.size());
    std::printf("(2) %d notices, server refusing %.0f%% and stalling %.0f%% of its sessions:\n",
                notices, refuse * 100, stall * 100);
    std::printf("    delivered %d distinct, lost %d, duplicates %d, in %.1f s\n", delivered,
                notices - delivered, duplicates, seconds);
    std::printf("    hand-over to acceptance: p50 %.0f ms  p95 %.0f ms  max %.0f ms\n",
                Percentile(delays, 50), Percentile(delays, 95), Percentile(delays, 100));
}

void Drain(int pending) {
    const uint16_t port = test::UnusedPort();
    test::TempDir dir;
    CMailSender outbox;
    outbox.Open(dir.file("Outbox.sqlite"));
    outbox.SetSettings({AccountAt(port), {}, 24});
    for (int i = 0; i < pending; ++i) {
        outbox.Queue(Notice(port, "Dev-" + std::to_string(i), i));
    }
    if (!outbox.WaitIdle(120s)) {
        std::printf("the first attempts did not end\n");
        return;
    }
    SmtpTestServer server({"--auth", "", "--lifetime", "600", "--port", std::to_string(port)});
    const auto back = Clock::now();
    const auto limit = back + 10min;
    while (outbox.Pending() > 0 && Clock::now() < limit) {
        std::this_thread::sleep_for(20ms);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - back).count();
    std::printf("(3) %d pending, server back: drained in %.1f s (%zu left)\n", pending, seconds,
                outbox.Pending());
}

}  // namespace
}  // namespace zm::bench

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    zm::bench::Latency(quick ? 10 : 30);
    zm::bench::Flaky(quick ? 100 : 1000, 0.18, 0.15);  // 30 % of sessions in all
    zm::bench::Drain(quick ? 50 : 500);
    return 0;
}
