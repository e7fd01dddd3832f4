// HTTPS of the real server: the first certificate made by the server itself, the same
// routes on both ports, and a certificate that does not load leaving plain HTTP running.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/RequiredTool.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

struct Output {
    int code = -1;
    std::string text;
};

Output Command(const std::string& command) {
    Output out;
    if (FILE* p = popen(("timeout 10 " + command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
            out.text.append(buf, n);
        }
        const int status = pclose(p);
        out.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return out;
}

class DaemonHttps : public ::testing::Test {
  protected:
    void SetUp() override {
        ZM_REQUIRE_TOOL(test::HasProgram("curl"), "curl");
        ZM_REQUIRE_TOOL(test::HasProgram("openssl"), "openssl");
    }
    Output MakeCertificate(const std::string& host) const {
        return Command(test::kServer + " --home " + home.home.folder() + " --make-certificate " +
                       host);
    }
    void WriteHttpsSettings(int port) const {
        ManagerSettings settings;
        settings.https_port = port;
        test::HomeDevice device;
        device.name = "Pier-2";
        device.tcpPort = test::FreeTcpPort();  // no sensor needed
        home.WriteSettings(settings, {device});
    }
    test::DaemonHome home;
    int httpsPort = test::FreeTcpPort();
};

TEST_F(DaemonHttps, FirstCertificateServesTheApiOverTls) {
    const Output made = MakeCertificate("127.0.0.1");
    ASSERT_EQ(made.code, 0) << made.text;
    const std::string cert = home.ConfigFolder() + "https-cert.pem";
    const std::string key = home.ConfigFolder() + "https-key.pem";
    EXPECT_NE(made.text.find(cert), std::string::npos) << made.text;
    EXPECT_NE(made.text.find(key), std::string::npos) << made.text;
    struct stat st {};
    ASSERT_EQ(stat(key.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The fingerprint printed is the one every client computes.
    const Output x509 = Command("openssl x509 -noout -fingerprint -sha256 -in " + cert);
    const std::string fingerprint = x509.text.substr(x509.text.find('=') + 1, 95);
    EXPECT_NE(made.text.find("SHA-256 fingerprint: " + fingerprint), std::string::npos)
        << made.text << x509.text;
    EXPECT_EQ(MakeCertificate("127.0.0.1").code, 1) << "an existing key is never replaced";
    EXPECT_EQ(MakeCertificate("bad/name").code, 2);

    WriteHttpsSettings(httpsPort);
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    const std::string https = "https://127.0.0.1:" + std::to_string(httpsPort);
    std::string devices;
    test::WaitUntil(
        [&] {
            devices =
                Command("curl -s --max-time 2 --cacert " + cert + " " + https + "/api/devices")
                    .text;
            return !devices.empty();
        },
        10s);
    EXPECT_NE(devices.find("\"name\":\"Pier-2\""), std::string::npos) << devices;
    EXPECT_EQ(test::CurlGet("http://127.0.0.1:" + std::to_string(httpsPort) + "/device-list"), "")
        << "plain HTTP is not spoken on the TLS port";
    EXPECT_EQ(test::CurlGet(home.BaseUrl() + "/device-list"), "Pier-2;");
    EXPECT_NE(home.RunLog().find("SHA-256 fingerprint " + fingerprint), std::string::npos);
    kill(daemon.Pid(), SIGTERM);
    EXPECT_EQ(daemon.Wait(8s), 0);
}

TEST_F(DaemonHttps, CertificateThatDoesNotLoadLeavesHttpRunning) {
    WriteHttpsSettings(httpsPort);  // and no certificate made
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    std::string list;
    test::WaitUntil(
        [&] {
            list = test::CurlGet(home.BaseUrl() + "/device-list", 2);
            return !list.empty();
        },
        10s);
    EXPECT_EQ(list, "Pier-2;");
    const std::string log = home.RunLog();
    const std::string what = "HTTPS not started, the certificate does not load";
    EXPECT_EQ(test::LogLineWith(log, what).rfind("<font color=#C80000>", 0), 0u) << log;
    const size_t at = log.find(what);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string line = log.substr(at, log.find("</li>", at) - at);
    EXPECT_NE(line.find("https-cert.pem"), std::string::npos) << line;
    // Nothing listens on the HTTPS port, so nobody gets sent there either.
    EXPECT_EQ(Command("curl -s --max-time 2 -k https://127.0.0.1:" + std::to_string(httpsPort) +
                      "/device-list")
                  .text,
              "");
    kill(daemon.Pid(), SIGTERM);
    EXPECT_EQ(daemon.Wait(8s), 0);
}

}  // namespace
}  // namespace zm
