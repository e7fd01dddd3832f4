// HTTPS on the embedded server: a certificate of our own making, the protocol versions
// a client may use (openssl s_client), answers over TLS (curl), and the rule that sends
// clients from elsewhere from plain HTTP to HTTPS.
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/FileBytes.h"
#include "support/RequiredTool.h"
#include "support/TempDir.h"
#include "web/HttpServer.h"
#include "web/SecureTransport.h"
#include "web/SelfSignedCertificate.h"
#include "web/TlsContext.h"

namespace zm {
namespace {

struct ShellRun {
    int code = -1;
    std::string output;  // stdout and stderr
};

ShellRun Shell(const std::string& command) {
    ShellRun run;
    FILE* p = popen(("timeout 10 " + command + " 2>&1").c_str(), "r");
    if (p == nullptr)
        return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        run.output.append(buf, n);
    int status = pclose(p);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class HttpsServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZM_REQUIRE_TOOL(test::HasProgram("openssl"), "openssl");
        ZM_REQUIRE_TOOL(test::HasProgram("curl"), "curl");
        files.certFile = dir.file("cert.pem");
        files.keyFile = dir.file("key.pem");
        std::string error;
        ASSERT_TRUE(MakeSelfSignedCertificate("127.0.0.1", files, error)) << error;
        tls = CTlsContext::Load(files.certFile, files.keyFile, error);
        ASSERT_NE(tls, nullptr) << error;
    }
    void TearDown() override {
        https.Shutdown();
        http.Shutdown();
    }
    // The same routes on both servers, as the application registers them.
    void AddRoutes(CHttpServer& server) {
        server.AddRoute("/console", [] { return std::string("console page"); });
        server.AddReplyRoute("/api/devices", [this](const std::string&) {
            CHttpServer::RouteReply reply;
            reply.contentType = "application/json";
            reply.body = big;
            return reply;
        });
    }
    void StartBoth(bool redirect) {
        AddRoutes(https);
        https.SetTls(tls);
        https.SetBindAddress("127.0.0.1");
        ASSERT_TRUE(https.Start(dir.folder(), "/console", 0, 5000));
        AddRoutes(http);
        if (redirect) {
            CSecureTransportRule rule(https.GetPort());
            // 127.0.0.2 stands for a client on another machine.
            rule.SetLocalClientTest([](const std::string& a) { return a == "127.0.0.1"; });
            http.SetSecureTransport(rule);
        }
        http.SetBindAddress("127.0.0.1");
        ASSERT_TRUE(http.Start(dir.folder(), "/console", 0, 5000));
    }
    std::string Https(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(https.GetPort()) + path;
    }
    std::string Http(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(http.GetPort()) + path;
    }

    test::TempDir dir;
    SelfSignedCertificate files;
    std::shared_ptr<CTlsContext> tls;
    CHttpServer https, http;
    // Larger than one TLS record and one send, so that writes are partial.
    std::string big = "{\"devices\":\"" + std::string(300000, 'x') + "\"}";
};

TEST_F(HttpsServerTest, CertificateFilesAreMadeOnceWithAPrivateKey) {
    struct stat st {};
    ASSERT_EQ(stat(files.keyFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ShellRun x509 =
        Shell("openssl x509 -noout -fingerprint -sha256 -ext subjectAltName -in " + files.certFile);
    ASSERT_EQ(x509.code, 0) << x509.output;
    EXPECT_NE(x509.output.find("Fingerprint=" + files.fingerprint), std::string::npos)
        << x509.output;
    EXPECT_NE(x509.output.find("IP Address:127.0.0.1"), std::string::npos) << x509.output;
    EXPECT_EQ(tls->Fingerprint(), files.fingerprint);

    // A second run keeps the key the station uses.
    const std::string key = test::ReadBytes(files.keyFile);
    SelfSignedCertificate again = files;
    std::string error;
    EXPECT_FALSE(MakeSelfSignedCertificate("127.0.0.1", again, error));
    EXPECT_NE(error.find("exists"), std::string::npos) << error;
    EXPECT_EQ(test::ReadBytes(files.keyFile), key);
    EXPECT_FALSE(MakeSelfSignedCertificate("host name; rm", again, error));
}

TEST_F(HttpsServerTest, BrokenOrMismatchedFilesDoNotLoad) {
    test::TempDir other;
    SelfSignedCertificate second{other.file("c.pem"), other.file("k.pem"), {}};
    std::string error;
    ASSERT_TRUE(MakeSelfSignedCertificate("station.example", second, error)) << error;
    test::WriteBytes(dir.file("junk.pem"), "-----BEGIN CERTIFICATE-----\nnot base64\n");
    struct Case {
        std::string cert, key, errorNames;
    } cases[] = {
        {dir.file("missing.pem"), files.keyFile, "missing.pem"},
        {dir.file("junk.pem"), files.keyFile, "junk.pem"},
        {files.certFile, dir.file("junk.pem"), "junk.pem"},
        {files.certFile, second.keyFile, "does not belong"},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_EQ(CTlsContext::Load(c.cert, c.key, error), nullptr) << c.cert << " " << c.key;
        EXPECT_NE(error.find(c.errorNames), std::string::npos) << error;
    }
}

TEST_F(HttpsServerTest, OnlyTls12And13AreAccepted) {
    StartBoth(false);
    const std::string connect =
        "openssl s_client -connect 127.0.0.1:" + std::to_string(https.GetPort()) + " ";
    for (const char* version : {"-tls1_2", "-tls1_3"}) {
        ShellRun run = Shell("echo | " + connect + version);
        EXPECT_EQ(run.code, 0) << version << run.output;
        EXPECT_NE(run.output.find("CN = 127.0.0.1"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(std::string("New, TLSv1.") + version[6]), std::string::npos)
            << run.output;
    }
    // The client is let down to the oldest security level, so that the refusal is the
    // server's own.
    for (const char* version : {"-tls1_1", "-tls1"}) {
        ShellRun run = Shell("echo | " + connect + version + " -cipher DEFAULT@SECLEVEL=0");
        EXPECT_NE(run.code, 0) << version << run.output;
        EXPECT_NE(run.output.find("alert protocol version"), std::string::npos) << run.output;
    }
    // The plain port is not taken for TLS, nor the TLS port for plain HTTP.
    EXPECT_EQ(Shell("curl -s --max-time 5 " + Http("/console")).output, "console page");
    EXPECT_EQ(Shell("curl -s --max-time 5 http://127.0.0.1:" + std::to_string(https.GetPort()) +
                    "/console")
                  .output,
              "");
}

TEST_F(HttpsServerTest, AnswersArriveWholeOverTls) {
    StartBoth(false);
    ShellRun run =
        Shell("curl -s --max-time 8 --cacert " + files.certFile + " " + Https("/api/devices"));
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(run.output == big) << run.output.size() << " bytes of " << big.size();
    // Files of the web folder come the same way.
    std::filesystem::create_directories(dir.path() / "files");
    test::WriteBytes(dir.file("files/a.kml"), "<kml/>");
    EXPECT_EQ(Shell("curl -s --max-time 5 -k " + Https("/files/a.kml")).output, "<kml/>");
}

TEST(SecureTransportRule, DecidesByClientMethodAndPath) {
    using V = CSecureTransportRule::Verdict;
    const ClientInfo remote{"192.168.1.20", false}, local{"127.0.0.1", false},
        remoteTls{"192.168.1.20", true};
    struct Case {
        ClientInfo client;
        const char* method;
        const char* path;
        bool credentials;
        V verdict;
    } cases[] = {
        {remote, "GET", "/console", false, V::kRedirect},
        {remote, "GET", "/console/app.js", false, V::kRedirect},
        {remote, "GET", "/consoles", false, V::kServe},
        {remote, "GET", "/preview", false, V::kServe},
        {remote, "GET", "/api/devices", false, V::kServe},
        {remote, "GET", "/api/devices", true, V::kRefuse},
        {remote, "POST", "/api/alarms/3/ack", false, V::kRefuse},
        {remote, "DELETE", "/preview", false, V::kRefuse},
        {remote, "PUT", "/console/x", false, V::kRefuse},
        {remoteTls, "POST", "/api/alarms/3/ack", true, V::kServe},
        {remoteTls, "GET", "/console", false, V::kServe},
        {local, "POST", "/api/alarms/3/ack", true, V::kServe},
        {local, "GET", "/console", false, V::kServe},
    };
    const CSecureTransportRule on(8443), off;
    for (const Case& c : cases) {
        EXPECT_EQ(on.Check(c.client, c.method, c.path, c.credentials), c.verdict)
            << c.client.address << " " << c.method << " " << c.path;
        EXPECT_EQ(off.Check(c.client, c.method, c.path, c.credentials), V::kServe);
    }
}

TEST(SecureTransportRule, RedirectsOnlyToTheStationItself) {
    const CSecureTransportRule rule(8443);
    struct Case {
        const char* host;
        const char* target;
        const char* location;
    } cases[] = {
        {"station:8889", "/console?x=1", "https://station:8443/console?x=1"},
        {"10.0.0.5", "/console", "https://10.0.0.5:8443/console"},
        {"[fe80::1]:8889", "/console", "https://[fe80::1]:8443/console"},
        {"evil.example/x", "/console", ""},
        {"station", "//evil.example/", ""},
        {"station", "http://evil.example/", ""},
        {"", "/console", ""},
        {"a\r\nSet-Cookie: x", "/console", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rule.RedirectLocation(c.host, c.target), c.location) << c.host << c.target;
}

TEST_F(HttpsServerTest, PlainHttpFromElsewhereGoesToHttps) {
    StartBoth(true);
    const std::string fromElsewhere = "curl -s --max-time 5 --interface 127.0.0.2 ";
    ShellRun redirect = Shell(fromElsewhere + "-o /dev/null -w '%{http_code} %{redirect_url}' " +
                              Http("/console?view=map"));
    EXPECT_EQ(redirect.output, "307 " + Https("/console?view=map"));
    // A browser follows it to the same routes over TLS.
    EXPECT_EQ(
        Shell(fromElsewhere + "-L --cacert " + files.certFile + " " + Http("/console")).output,
        "console page");
    ShellRun write = Shell(fromElsewhere + "-o /dev/null -w '%{http_code}' -X POST -d ack=1 " +
                           Http("/api/devices"));
    EXPECT_EQ(write.output, "403");
    ShellRun basic = Shell(fromElsewhere + "-o /dev/null -w '%{http_code}' -u op:secret " +
                           Http("/api/devices"));
    EXPECT_EQ(basic.output, "403");
    // Reading the map and the API stays open; this machine itself is never sent away.
    EXPECT_EQ(
        Shell(fromElsewhere + "-o /dev/null -w '%{http_code}' " + Http("/api/devices")).output,
        "200");
    EXPECT_EQ(Shell("curl -s --max-time 5 " + Http("/console")).output, "console page");
}

}  // namespace
}  // namespace zm
