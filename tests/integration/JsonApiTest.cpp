// The JSON API on the real web server, driven with curl, against alarm operations kept in
// memory and real accounts (Argon2id hashes in an accounts file).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include <nlohmann/json.hpp>

#include "auth/OperatorDirectory.h"
#include "auth/PasswordHash.h"
#include "integration/JsonApi.h"
#include "support/InMemoryAlarms.h"
#include "support/RequiredTool.h"
#include "support/TempDir.h"
#include "web/ApiAccess.h"
#include "web/SelfSignedCertificate.h"
#include "web/TlsContext.h"

namespace zm {
namespace {

struct Answer {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
};

// curl as a child process, always bounded by --max-time.
Answer Curl(const std::string& args) {
    const std::string cmd = "curl -s -i --max-time 5 " + args + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
            out.append(buf, n);
        }
        pclose(p);
    }
    Answer a;
    const size_t end = out.find("\r\n\r\n");
    if (out.rfind("HTTP/", 0) != 0 || end == std::string::npos) {
        return a;
    }
    a.status = std::atoi(out.c_str() + out.find(' ') + 1);
    a.body = out.substr(end + 4);
    size_t pos = out.find("\r\n");
    while (pos < end) {
        const size_t next = out.find("\r\n", pos + 2);
        const std::string line = out.substr(pos + 2, next - pos - 2);
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) {
            a.headers[line.substr(0, colon)] = line.substr(colon + 2);
        }
        pos = next;
    }
    return a;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

class Source final : public IDeviceStateSource {
  public:
    explicit Source(alarms::AlarmOperations& ops) : ops_(ops) {}
    std::string Station() override { return "S1"; }
    std::vector<DeviceStateRecord> DeviceStates() override {
        std::vector<DeviceStateRecord> list;
        for (const char* name : {"Pier-1", "Pier/North#1"}) {
            DeviceStateRecord s;
            s.name = name;
            const alarms::DeviceSuppression sup = ops_.SuppressionOf(name);
            s.shelvedUntil = sup.kind == alarms::DeviceSuppression::Kind::Shelved ? sup.until : 0;
            s.outOfService = sup.kind == alarms::DeviceSuppression::Kind::OutOfService;
            s.outOfServiceReason = sup.reason;
            s.unackedAlarms = ops_.UnackedAlarmsOf(name);
            list.push_back(s);
        }
        return list;
    }
    std::vector<AlarmEventRecord> OpenAlarms() override { return {}; }

  private:
    alarms::AlarmOperations& ops_;
};

const std::string& Hash() {
    static const std::string hash = auth::HashPassword("pw");
    return hash;
}

class JsonApiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZM_REQUIRE_TOOL(test::HasProgram("curl"), "curl");
        std::string error;
        ASSERT_TRUE(auth::COperatorFile::Modify(
            accountsFile_,
            [](auth::COperatorFile& f, std::string*) {
                f.Set({"view", auth::Role::Viewer, Hash()});
                f.Set({"op", auth::Role::Operator, Hash()});
                f.Set({"boss", auth::Role::Admin, Hash()});
                return true;
            },
            &error))
            << error;
        ops_.Open("Pier-1", 812.0, 1700000000);
        ops_.Open("Pier/North#1", 640.5, 1700000060);
        server_.SetBindAddress(bind_);
        RegisterJsonApi(
            server_, source_, [this] { return &ops_; }, access_);
        ASSERT_TRUE(server_.Start(dir_.folder(), "/none", 0, 2000));
    }
    void TearDown() override { server_.Shutdown(); }

    std::string Url(const std::string& path) const {
        return Quoted("http://" + bind_ + ":" + std::to_string(server_.GetPort()) + path);
    }
    Answer Call(const std::string& method, const std::string& path, const std::string& body = "",
                const std::string& user = "op", const std::string& password = "pw") {
        std::string args = "-X " + method + " ";
        if (!user.empty()) {
            args += "-u " + Quoted(user + ":" + password) + " ";
        }
        if (!body.empty()) {
            args += "-H 'Content-Type: application/json' --data-binary " + Quoted(body) + " ";
        }
        return Curl(args + Url(path));
    }

    std::string bind_ = "127.0.0.1";
    test::TempDir dir_;
    std::string accountsFile_ = dir_.file("Config/Operators.txt");
    test::InMemoryAlarms ops_{{"Pier-1", "Pier/North#1"}};
    Source source_{ops_};
    auth::COperatorDirectory directory_{accountsFile_};
    CApiAccess access_{directory_};
    CHttpServer server_;
};

TEST_F(JsonApiTest, AuthorisationByRoleForEveryRoute) {
    struct Route {
        const char* method;
        const char* path;
        const char* body;
        int none, wrong, viewer, operator_, admin;
    } routes[] = {
        {"GET", "/api/alarms", "", 200, 200, 200, 200, 200},
        {"GET", "/api/devices", "", 200, 200, 200, 200, 200},
        {"POST", "/api/alarms/1/ack", R"({"comment":"seen"})", 401, 401, 403, 200, 200},
        {"POST", "/api/alarms/ack-all", "", 401, 401, 403, 200, 200},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes":60,"reason":"cleaning"})", 401, 401,
         403, 200, 200},
        {"DELETE", "/api/devices/Pier-1/shelve", "", 401, 401, 403, 200, 200},
        {"PUT", "/api/devices/Pier-1/out-of-service", R"({"reason":"calibration"})", 401, 401, 403,
         403, 200},
        {"DELETE", "/api/devices/Pier-1/out-of-service", "", 401, 401, 403, 403, 200},
    };
    struct Who {
        const char* user;
        const char* password;
    } const people[] = {{"", ""}, {"op", "not-it"}, {"view", "pw"}, {"op", "pw"}, {"boss", "pw"}};
    for (const Route& r : routes) {
        const int expected[] = {r.none, r.wrong, r.viewer, r.operator_, r.admin};
        for (int i = 0; i < 5; ++i) {
            const size_t writes = ops_.Writes().size();
            Answer a = Call(r.method, r.path, r.body, people[i].user, people[i].password);
            const std::string what = std::string(r.method) + " " + r.path + " as [" +
                                     people[i].user + ":" + people[i].password + "]";
            EXPECT_EQ(a.status, expected[i]) << what << "\n" << a.body;
            if (a.status == 401) {
                EXPECT_EQ(a.headers["WWW-Authenticate"], "Basic realm=\"ZorManager\"") << what;
            }
            if (a.status != 200) {
                EXPECT_EQ(ops_.Writes().size(), writes) << what;
                EXPECT_TRUE(nlohmann::json::parse(a.body, nullptr, false).contains("error"))
                    << what << ": " << a.body;
            }
        }
    }
    // Every write carries the account and the client's address.
    const auto writes = ops_.Writes();
    ASSERT_FALSE(writes.empty());
    for (const auto& w : writes) {
        EXPECT_TRUE(w.actor.user == "op" || w.actor.user == "boss") << w.what;
        EXPECT_EQ(w.actor.address, "127.0.0.1") << w.what;
    }

    // With http_auth_reads=1 reads need an account too; any role reads.
    access_.SetReadsNeedAccount(true);
    EXPECT_EQ(Call("GET", "/api/alarms", "", "", "").status, 401);
    EXPECT_EQ(Call("GET", "/api/devices/Pier-1", "", "op", "wrong").status, 401);
    EXPECT_EQ(Call("GET", "/api/alarms/history", "", "view", "pw").status, 200);
}

TEST_F(JsonApiTest, BadRequestsAreRefusedAndChangeNothing) {
    const std::string over200(201, 'x');
    struct Case {
        const char* method;
        std::string path;
        std::string body;
        int status;
    } const cases[] = {
        {"POST", "/api/alarms/1/ack", "not json", 400},
        {"POST", "/api/alarms/1/ack", "[1, 2]", 400},
        {"POST", "/api/alarms/1/ack", R"({"comment": 5})", 400},
        {"POST", "/api/alarms/1/ack", R"({"comment": "x", "extra": 1})", 400},
        {"POST", "/api/alarms/1/ack", "{\"comment\": \"" + over200 + "\"}", 400},
        {"POST", "/api/alarms/1/ack",
         "{\"comment\": \"" + std::string(HttpRequest::kMaxBody, 'y') + "\"}", 400},
        {"POST", "/api/alarms/999/ack", "", 404},
        {"POST", "/api/alarms/abc/ack", "", 404},
        {"GET", "/api/alarms/1/ack", "", 405},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes": 0, "reason": "r"})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes": 1441, "reason": "r"})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes": "60", "reason": "r"})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes": 60.5, "reason": "r"})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"reason": "r"})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes": 60})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", R"({"minutes": 60, "reason": "  "})", 400},
        {"PUT", "/api/devices/Pier-1/shelve", "{\"minutes\": 60, \"reason\": \"" + over200 + "\"}",
         400},
        {"PUT", "/api/devices/Nowhere/shelve", R"({"minutes": 60, "reason": "r"})", 404},
        // A name that is not UTF-8 comes back in the error as JSON all the same.
        {"PUT", "/api/devices/%FF%C0/shelve", R"({"minutes": 60, "reason": "r"})", 404},
        {"GET", "/api/alarms/history?from=2026-13-01", "", 400},
        {"GET", "/api/alarms/history?to=yesterday", "", 400},
        {"GET", "/api/alarms/history?format=xml", "", 400},
        {"GET", "/api/alarms/stats?days=0", "", 400},
        {"GET", "/api/devices/Nowhere", "", 404},
    };
    for (const Case& c : cases) {
        Answer a = Call(c.method, c.path, c.body);
        EXPECT_EQ(a.status, c.status)
            << c.method << " " << c.path << " " << c.body.substr(0, 80) << "\n"
            << a.body;
        const auto json = nlohmann::json::parse(a.body, nullptr, false);
        EXPECT_TRUE(json.is_object() && json["error"].is_string()) << c.path << ": " << a.body;
    }
    EXPECT_TRUE(ops_.Writes().empty());

    // The limits count characters, not bytes: 200 of "ö" is a comment that fits.
    std::string umlauts;
    for (int i = 0; i < 200; ++i) {
        umlauts += "ö";
    }
    EXPECT_EQ(Call("POST", "/api/alarms/1/ack", "{\"comment\": \"" + umlauts + "\"}").status, 200);
}

TEST_F(JsonApiTest, AlarmsAcknowledgementAndShelvingAsTheOperatorSeesThem) {
    const auto list = nlohmann::json::parse(Call("GET", "/api/alarms", "", "", "").body);
    EXPECT_EQ(list["station"], "S1");
    ASSERT_EQ(list["alarms"].size(), 2u);
    const auto& first = list["alarms"][0];
    for (const char* key : {"id", "device", "state", "opened", "returned", "value", "max",
                            "acked_by", "acked_at", "comment", "report", "comm_lost", "time"}) {
        EXPECT_TRUE(first.contains(key)) << key;
    }
    EXPECT_EQ(first["state"], "active_unacked");
    EXPECT_EQ(first["time"], first["opened"]);
    EXPECT_EQ(first["opened"], "2023-11-14T22:13:20Z");
    EXPECT_EQ(first["value"], 812.0);

    const Answer ack = Call("POST", "/api/alarms/1/ack", R"({"comment":"crew on the way"})");
    ASSERT_EQ(ack.status, 200) << ack.body;
    const auto acked = nlohmann::json::parse(ack.body);
    EXPECT_EQ(acked["state"], "active_acked");
    EXPECT_EQ(acked["acked_by"], "op");
    EXPECT_EQ(acked["comment"], "crew on the way");
    // Once more is no error and changes nothing.
    EXPECT_EQ(Call("POST", "/api/alarms/1/ack", "").status, 200);
    EXPECT_EQ(ops_.Writes().size(), 1u);

    // A name with "/" and "#" travels percent-encoded and arrives whole.
    const Answer shelved = Call("PUT", "/api/devices/Pier%2FNorth%231/shelve",
                                R"({"minutes": 90, "reason": "cleaning the window"})");
    ASSERT_EQ(shelved.status, 200) << shelved.body;
    const auto device = nlohmann::json::parse(shelved.body);
    EXPECT_EQ(device["name"], "Pier/North#1");
    EXPECT_EQ(device["shelvedUntil"], "2023-11-14T23:43:20Z");
    EXPECT_EQ(device["outOfService"], nullptr);
    EXPECT_EQ(device["unackedAlarms"], 1);
    EXPECT_EQ(ops_.Writes().back().what, "shelve Pier/North#1 90");
    // An unescaped "/" is part of the name, as on the device route.
    EXPECT_EQ(Call("DELETE", "/api/devices/Pier/North%231/shelve").status, 200);
    EXPECT_EQ(ops_.Writes().back().what, "unshelve Pier/North#1");

    const auto all = nlohmann::json::parse(Call("POST", "/api/alarms/ack-all", "").body);
    EXPECT_EQ(all["acknowledged"], 1);
}

TEST_F(JsonApiTest, HistoryAndStatisticsReadTheirParameters) {
    Answer a = Call(
        "GET",
        "/api/alarms/"
        "history?from=2026-12-01T10:00:00%2B02:00&to=2026-12-01T09:00Z&device=Pier%2FNorth%231");
    EXPECT_EQ(a.status, 200) << a.body;
    EXPECT_EQ(ops_.LastQuery().from, 1796112000);
    EXPECT_EQ(ops_.LastQuery().to, 1796115600);
    EXPECT_EQ(ops_.LastQuery().device, "Pier/North#1");

    // Plain dates are local days, "to" included whole.
    a = Call("GET", "/api/alarms/history?from=2023-11-14&to=2023-11-14");
    ASSERT_EQ(a.status, 200) << a.body;
    EXPECT_EQ(ops_.LastQuery().to - ops_.LastQuery().from, 24 * 3600);

    a = Call("GET", "/api/alarms/history?format=csv");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.headers["Content-Type"], "text/csv; charset=utf-8");
    EXPECT_EQ(a.body.rfind("id,device,", 0), 0u) << a.body;
    EXPECT_NE(a.body.find("\"Pier/North#1\"") == std::string::npos &&
                  a.body.find("Pier/North#1") == std::string::npos,
              true);

    const auto stats = nlohmann::json::parse(Call("GET", "/api/alarms/stats?days=7").body);
    EXPECT_EQ(stats["days"], 7);
    EXPECT_EQ(stats["total"], 7);  // what the operations were asked for
    EXPECT_EQ(stats["top_devices"][0]["device"], "Pier-1");
}

TEST(ApiAccessRules, LoopbackClassifier) {
    struct Case {
        const char* address;
        bool loopback;
    } const cases[] = {
        {"127.0.0.1", true},  {"127.255.0.9", true},
        {"::1", true},        {"::ffff:127.0.0.2", true},
        {"128.0.0.1", false}, {"10.0.0.1", false},
        {"192.0.2.1", false}, {"::ffff:10.1.2.3", false},
        {"fe80::1", false},   {"", false},
        {"localhost", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsLoopbackAddress(c.address), c.loopback) << c.address;
    }
}

// The rule for writes from a client that is not on loopback: refused over plain HTTP,
// taken over HTTPS. Run inside a private network namespace (unshare), where the address
// 192.0.2.1 on its own loopback interface is a real, non-loopback client address, and
// nothing leaves the machine.
class NonLoopbackTest : public JsonApiTest {
  protected:
    void SetUp() override {
        if (std::getenv("ZM_API_NETNS") == nullptr) {
            GTEST_SKIP() << "runs inside the namespace that RefusesWritesOverPlainHttp makes";
        }
        ASSERT_EQ(std::system("ip link set lo up && ip addr add 192.0.2.1/32 dev lo"), 0);
        bind_ = "0.0.0.0";
        JsonApiTest::SetUp();
        certificate_.certFile = dir_.file("cert.pem");
        certificate_.keyFile = dir_.file("key.pem");
        std::string error;
        ASSERT_TRUE(MakeSelfSignedCertificate("192.0.2.1", certificate_, error)) << error;
        std::shared_ptr<CTlsContext> tls =
            CTlsContext::Load(certificate_.certFile, certificate_.keyFile, error);
        ASSERT_NE(tls, nullptr) << error;
        https_.SetTls(tls);
        RegisterJsonApi(
            https_, source_, [this] { return &ops_; }, access_);
        ASSERT_TRUE(https_.Start(dir_.folder(), "/none", 0, 2000));
    }
    void TearDown() override {
        https_.Shutdown();
        JsonApiTest::TearDown();
    }
    std::string Host(const char* address) const {
        return Quoted(std::string("http://") + address + ":" + std::to_string(server_.GetPort()));
    }
    std::string SecureHost(const char* address) const {
        return "--cacert " + Quoted(certificate_.certFile) + " " +
               Quoted(std::string("https://") + address + ":" + std::to_string(https_.GetPort()));
    }

    SelfSignedCertificate certificate_;
    CHttpServer https_;
};

TEST_F(NonLoopbackTest, Inside) {
    const std::string body = R"({"minutes": 60, "reason": "cleaning"})";
    const std::string put = "-X PUT -u op:pw --data-binary " + Quoted(body) + " ";
    const Answer far = Curl(put + Host("192.0.2.1") + "/api/devices/Pier-1/shelve");
    EXPECT_EQ(far.status, 403) << far.body;
    EXPECT_NE(far.body.find("HTTPS"), std::string::npos) << far.body;
    EXPECT_TRUE(ops_.Writes().empty());
    EXPECT_EQ(Curl(Host("192.0.2.1") + "/api/alarms").status, 200);  // reads stay open
    const Answer near = Curl(put + Host("127.0.0.1") + "/api/devices/Pier-1/shelve");
    EXPECT_EQ(near.status, 200) << near.body;
    // Over HTTPS the password is safe on the way: the same client may write, with an
    // account of the right role only.
    const std::string ack = "-X POST -u op:pw " + SecureHost("192.0.2.1") + "/api/alarms/1/ack";
    const Answer secure = Curl(ack);
    EXPECT_EQ(secure.status, 200) << secure.body;
    const Answer viewer =
        Curl("-X POST -u view:pw " + SecureHost("192.0.2.1") + "/api/alarms/2/ack");
    EXPECT_EQ(viewer.status, 403) << viewer.body;
    const Answer wrong =
        Curl("-X POST -u op:wrong " + SecureHost("192.0.2.1") + "/api/alarms/2/ack");
    EXPECT_EQ(wrong.status, 401) << wrong.body;
}

TEST(NonLoopback, RefusesWritesOverPlainHttp) {
    if (std::getenv("ZM_API_NETNS") != nullptr) {
        GTEST_SKIP();
    }
    const bool namespaces = std::system("unshare -rn true >/dev/null 2>&1") == 0 &&
                            test::HasProgram("ip") && test::HasProgram("curl");
    ZM_REQUIRE_TOOL(namespaces, "unshare with user and network namespaces, ip and curl");
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    const std::string command = "ZM_API_NETNS=1 unshare -rn '" + std::string(self) +
                                "' --gtest_filter=NonLoopbackTest.Inside > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << "run " << command << " to see why";
}

}  // namespace
}  // namespace zm
