#include "web/HttpServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// ---- a small raw HTTP client ----------------------------------------------------------

// From `source`, any loopback address: the server tells its clients apart by address.
int Connect(uint16_t port, const char* source = "127.0.0.1") {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

struct Socket {
    int fd;
    explicit Socket(uint16_t port, const char* source = "127.0.0.1") : fd(Connect(port, source)) {}
    ~Socket() {
        if (fd >= 0)
            close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Send(const std::string& text) {
        size_t off = 0;
        while (off < text.size()) {
            ssize_t n = send(fd, text.data() + off, text.size() - off, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            off += static_cast<size_t>(n);
        }
        return true;
    }

    // Receives into `buffered` until `done` says enough, the peer closes, or time runs out.
    // Returns false on time-out.
    template <typename Done>
    bool ReceiveUntil(Done done, int timeoutMs) {
        auto until = Clock::now() + milliseconds(timeoutMs);
        while (!done()) {
            auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buf[65536];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                closed = true;
                return true;
            }
            buffered.append(buf, static_cast<size_t>(n));
        }
        return true;
    }

    // One response: the header and as many body bytes as Content-Length says.
    std::string ReadResponse(int timeoutMs = 5000) {
        auto complete = [&] {
            size_t end = buffered.find("\r\n\r\n");
            if (end == std::string::npos)
                return false;
            std::smatch m;
            std::string head = buffered.substr(0, end);
            size_t length = 0;
            if (std::regex_search(head, m, std::regex("Content-Length: (\\d+)")))
                length = std::stoul(m[1]);
            return buffered.size() >= end + 4 + length;
        };
        ReceiveUntil(complete, timeoutMs);
        if (!complete()) {
            std::string all = buffered;
            buffered.clear();
            return all;
        }
        size_t end = buffered.find("\r\n\r\n");
        std::smatch m;
        std::string head = buffered.substr(0, end);
        size_t length = 0;
        if (std::regex_search(head, m, std::regex("Content-Length: (\\d+)")))
            length = std::stoul(m[1]);
        std::string one = buffered.substr(0, end + 4 + length);
        buffered.erase(0, one.size());
        return one;
    }

    // True when the peer closes within the time (anything still arriving is kept).
    bool WaitClosed(int timeoutMs) {
        ReceiveUntil([&] { return closed; }, timeoutMs);
        return closed;
    }

    std::string buffered;
    bool closed = false;
};

struct Response {
    std::string status;
    std::map<std::string, std::string> headers;
    std::string body;
};

Response Parse(const std::string& text) {
    Response r;
    size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos)
        return r;
    std::string head = text.substr(0, end);
    r.body = text.substr(end + 4);
    size_t pos = head.find("\r\n");
    r.status = head.substr(0, pos);
    while (pos != std::string::npos) {
        size_t next = head.find("\r\n", pos + 2);
        std::string line = head.substr(pos + 2, next == std::string::npos ? next : next - pos - 2);
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            r.headers[line.substr(0, colon)] = line.substr(colon + 2);
        pos = next;
    }
    return r;
}

// curl as a child process, always bounded by --max-time.
std::string Curl(const std::string& args) {
    std::string cmd = "curl -s --max-time 5 " + args + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return {};
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

void WriteFile(const fs::path& p, const std::string& content) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

template <typename Pred>
bool Eventually(Pred pred, int timeoutMs = 5000) {
    auto until = Clock::now() + milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

// ---- fixture ------------------------------------------------------------------------------

const std::string kKml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml/>";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n\0\0binary", 16);

class HttpServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = dir.path() / "web";
        WriteFile(root / "files" / "dev.kml", kKml);
        WriteFile(root / "images" / "Good.PNG", kPng);
        WriteFile(root / "index.txt", "index");
        WriteFile(root / "with blank.txt", "blank");
        WriteFile(root / "Причал #1.txt", "pier");
        WriteFile(root / "mna.html", "<html>method not allowed</html>");
        WriteFile(dir.path() / "secret.txt", "SECRET");
        fs::create_symlink(dir.path() / "secret.txt", root / "out.txt");
        fs::create_symlink(root / "index.txt", root / "in.txt");
        // Relative links, in and out, and a folder link out.
        fs::create_symlink("../index.txt", root / "files" / "rel-in.txt");
        fs::create_symlink("../secret.txt", root / "rel-out.txt");
        fs::create_symlink("..", root / "up");
        server.SetBindAddress("127.0.0.1");
        server.AddRoute("/preview", [] { return std::string("<html>preview</html>"); });
        server.AddRoute("/device-list", [] { return std::string("A;B;"); });
    }
    void TearDown() override { server.Shutdown(); }

    void Start(uint32_t timeoutMs = 2000) {
        ASSERT_TRUE(server.Start(root.string(), "/preview", 0, timeoutMs));
        port = server.GetPort();
        ASSERT_NE(port, 0);
    }

    std::string Url(const std::string& path) const {
        return "'http://127.0.0.1:" + std::to_string(port) + path + "'";
    }

    // One request on a fresh connection; the answer, then whether the server closed.
    std::string Exchange(const std::string& request, bool* closed = nullptr) {
        Socket s(port);
        EXPECT_TRUE(s.Send(request));
        std::string r = s.ReadResponse();
        bool c = s.WaitClosed(3000);
        if (closed)
            *closed = c;
        return r;
    }

    test::TempDir dir;
    fs::path root;
    CLog runLog;  // outlives the server
    CHttpServer server;
    uint16_t port = 0;
};

// ---- tests --------------------------------------------------------------------------------

TEST(HttpServerParts, MimeMapByExtension) {
    CHttpServer s;
    const std::pair<const char*, const char*> cases[] = {
        {"/images/Good.PNG", "image/png"},
        {"/files/dev.kml", "text/html"},
        {"/a.b/noext", "text/html"},
        {"/x.arj", "application/x-compressed"},
        {"/x.rtf", "text/richtext"},
        {"/leaflet.js", "application/x-javascript"},
        {"/leaflet.css", "text/css"},
        {"/x.JPG", "image/jpeg"},
        {"/x.wcgi", "wwwserver/isapi"},
        {"/x.html", "text/html"},
        {"/x.txt", "text/plain"},
        {"/x.png?v=1", "text/html"},  // a query string stays part of the path
        {"/", "text/html"},
    };
    for (const auto& [path, type] : cases)
        EXPECT_EQ(s.ContentTypeFor(path), type) << path;
}

TEST(HttpServerParts, HttpDateIsEnglishGmt) {
    EXPECT_EQ(CHttpServer::HttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(CHttpServer::HttpDate(1700000000), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(CHttpServer::HttpDate(869893200), "Sat, 26 Jul 1997 05:00:00 GMT");
}

TEST_F(HttpServerTest, StaticFileWithExactHeader) {
    Start();
    bool closed = false;
    std::string text = Exchange("GET /files/dev.kml HTTP/1.0\r\n\r\n", &closed);
    Response r = Parse(text);
    const std::string date = r.headers["Date"];
    ASSERT_TRUE(std::regex_match(
        date, std::regex("[A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d{2}:\\d{2}:\\d{2} GMT")))
        << date;
    std::tm tm{};
    ASSERT_NE(strptime(date.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm), nullptr);
    EXPECT_LE(std::abs(static_cast<long>(timegm(&tm) - std::time(nullptr))), 5);
    EXPECT_EQ(text, "HTTP/1.0 200 OK\r\nDate: " + date +
                        "\r\nServer: ZorManagerWebServer/1.0\r\nAccept-Ranges: bytes\r\n"
                        "Pragma: no-cache\r\ncache-Control: no-cache, must-revalidate\r\n"
                        "Expires: Mon, 26 Jul 1997 05:00:00 GMT\r\nContent-Length: " +
                        std::to_string(kKml.size()) +
                        "\r\nConnection: close\r\nContent-Type: text/html\r\n" +
                        server.SecurityHeaders() + "\r\n" + kKml);
    EXPECT_TRUE(closed);
}

TEST_F(HttpServerTest, ReplyRoutesSetStatusAndTypeAndTheLongestPrefixWins) {
    auto reply = [](std::string status, std::string body) {
        return [status, body](const std::string& rest) {
            return CHttpServer::RouteReply{status, "application/json; charset=utf-8",
                                           body + "[" + rest + "]"};
        };
    };
    server.AddReplyRoute("/api/items", reply("200 OK", "all"));
    server.AddReplyRoute("/api/items/", reply("200 OK", "one"), true);
    server.AddReplyRoute("/api/items/special/", reply("404 Resource not found", "special"), true);
    Start();
    Response all = Parse(Curl("-i " + Url("/api/items?fields=name")));
    EXPECT_EQ(all.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(all.headers["Content-Type"], "application/json; charset=utf-8");
    EXPECT_EQ(all.body, "all[]");
    // The rest of the path arrives decoded: a name may hold "/" and "#".
    EXPECT_EQ(Curl(Url("/api/items/Pier%2FNorth%231")), "one[Pier/North#1]");
    Response special = Parse(Curl("-i -H 'Connection: Keep-Alive' " + Url("/api/items/special/x")));
    EXPECT_EQ(special.status, "HTTP/1.0 404 Resource not found");
    EXPECT_EQ(special.headers["Connection"], "close");
    EXPECT_EQ(special.body, "special[x]");
    // Plain routes and files are untouched; "/api/itemsX" is neither route.
    EXPECT_EQ(Curl(Url("/device-list")), "A;B;");
    EXPECT_EQ(Parse(Curl("-i " + Url("/api/itemsX"))).status, "HTTP/1.0 404 Resource not found");
}

TEST_F(HttpServerTest, CurlGetsFilesRoutesAndTypes) {
    Start();
    Response png = Parse(Curl("-i " + Url("/images/Good.PNG")));
    EXPECT_EQ(png.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(png.headers["Content-Type"], "image/png");
    EXPECT_EQ(png.body, kPng);

    Response page = Parse(Curl("-i -H 'Connection: Keep-Alive' " + Url("/")));
    EXPECT_EQ(page.body, "<html>preview</html>");
    EXPECT_EQ(page.headers["Connection"], "Keep-Alive");

    EXPECT_EQ(Curl(Url("/device-list")), "A;B;");
    EXPECT_EQ(Curl(Url("/with%20blank.txt")), "blank");
    // Browsers percent-encode every byte outside plain ASCII, and '#'.
    EXPECT_EQ(Curl(Url("/%D0%9F%D1%80%D0%B8%D1%87%D0%B0%D0%BB%20%231.txt")), "pier");
    EXPECT_EQ(Curl(Url("/in.txt")), "index");  // a link that stays inside is fine
    EXPECT_EQ(Curl(Url("/files/rel-in.txt")), "index");
}

TEST_F(HttpServerTest, MissingFileIs404WithZeroLengthAndClose) {
    Start();
    bool closed = false;
    std::string text =
        Exchange("GET /files/none.kml HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", &closed);
    Response r = Parse(text);
    EXPECT_EQ(text,
              "HTTP/1.0 404 Resource not found\r\nContent-Length: 0\r\n"
              "Content-Type: text/html\r\nDate: " +
                  r.headers["Date"] + "\r\nServer: ZorManagerWebServer/1.0\r\n" +
                  server.SecurityHeaders() + "\r\n");
    EXPECT_TRUE(closed);
    // A folder is not a file.
    EXPECT_EQ(Parse(Exchange("GET /files HTTP/1.0\r\n\r\n")).status,
              "HTTP/1.0 404 Resource not found");
}

TEST_F(HttpServerTest, RequestRoutesGetMethodBodyHeadersAndTheClient) {
    std::mutex seenLock;
    std::vector<HttpRequest> seen;
    server.AddRequestRoute("/api/things/", [&](const HttpRequest& r) {
        std::lock_guard lock(seenLock);
        seen.push_back(r);
        CHttpServer::RequestReply reply;
        reply.status = r.bodyRefused ? "400 Bad Request" : "200 OK";
        reply.contentType = "application/json";
        reply.body = r.method + "|" + r.body;
        reply.headers.push_back({"X-Seen", std::to_string(r.body.size())});
        return reply;
    });
    // A reply route of the same length loses the tie; a longer one wins.
    server.AddReplyRoute(
        "/api/things/",
        [](const std::string&) {
            return CHttpServer::RouteReply{"200 OK", "text/plain", "reply"};
        },
        true);
    server.AddReplyRoute("/api/things/old", [](const std::string&) {
        return CHttpServer::RouteReply{"200 OK", "text/plain", "old"};
    });
    Start();

    Response put =
        Parse(Curl("-i -X PUT -H 'Content-Type: application/json' --data-binary "
                   "'{\"minutes\": 5}' " +
                   Url("/api/things/A%2FB%20C/shelve?x=1&y=a+b")));
    EXPECT_EQ(put.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(put.body, "PUT|{\"minutes\": 5}");
    EXPECT_EQ(put.headers["X-Seen"], "14");
    EXPECT_EQ(Parse(Curl("-i " + Url("/api/things/old"))).body, "old");
    EXPECT_EQ(Parse(Curl("-i -X DELETE " + Url("/api/things/x"))).body, "DELETE|");

    // A body over the limit is refused, whether curl waits for "100 Continue" or not; the
    // answer arrives whole either way.
    const std::string big(HttpRequest::kMaxBody + 1, 'b');
    WriteFile(dir.path() / "big.json", big);
    for (const char* expect : {"", "-H 'Expect:' "}) {
        Response r = Parse(Curl("-i -X POST " + std::string(expect) + "--data-binary @" +
                                (dir.path() / "big.json").string() + " " + Url("/api/things/big")));
        EXPECT_EQ(r.status, "HTTP/1.0 400 Bad Request") << expect;
        EXPECT_EQ(r.body, "POST|") << expect;
    }
    // Exactly at the limit it is read whole, also when it comes in pieces.
    {
        Socket s(port);
        const std::string body(HttpRequest::kMaxBody, 'k');
        ASSERT_TRUE(s.Send("POST /api/things/k HTTP/1.0\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 100)));
        std::this_thread::sleep_for(milliseconds(50));
        ASSERT_TRUE(s.Send(body.substr(100)));
        EXPECT_EQ(Parse(s.ReadResponse()).body, "POST|" + body);
    }
    EXPECT_EQ(Parse(Exchange("POST /api/things/n HTTP/1.0\r\nContent-Length: 12x\r\n\r\n")).status,
              "HTTP/1.0 400 Bad Request");

    std::lock_guard lock(seenLock);
    ASSERT_FALSE(seen.empty());
    const HttpRequest& first = seen.front();
    EXPECT_EQ(first.clientAddress, "127.0.0.1");
    EXPECT_EQ(first.Header("content-type"), "application/json");
    EXPECT_EQ(first.Segments(), (std::vector<std::string>{"api", "things", "A/B C", "shelve"}));
    EXPECT_EQ(first.QueryParameters(),
              (std::map<std::string, std::string>{{"x", "1"}, {"y", "a b"}}));
}

TEST_F(HttpServerTest, OtherMethodsGet501WithTheNotAllowedPage) {
    Start();
    Response r = Parse(Exchange("POST /files/dev.kml HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(r.status, "HTTP/1.0 501 Not Implemented");
    EXPECT_EQ(r.body, "<html>method not allowed</html>");
    EXPECT_EQ(r.headers["Connection"], "close");

    // A body in the same packet does not keep the answer waiting.
    std::string out = Curl("-i -X POST --data 'a=1&b=2' " + Url("/x"));
    EXPECT_EQ(Parse(out).status, "HTTP/1.0 501 Not Implemented") << out;

    fs::remove(root / "mna.html");
    EXPECT_EQ(Parse(Exchange("HEAD / HTTP/1.0\r\n\r\n")).status, "HTTP/1.0 404 Resource not found");
}

TEST_F(HttpServerTest, KeepAliveNeedsTheExactHeader) {
    Start();
    {
        Socket s(port);
        ASSERT_TRUE(s.Send("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n"));
        Response first = Parse(s.ReadResponse());
        EXPECT_EQ(first.body, "<html>preview</html>");
        EXPECT_EQ(first.headers["Connection"], "Keep-Alive");
        ASSERT_TRUE(s.Send("GET /index.txt HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n"));
        Response second = Parse(s.ReadResponse());
        EXPECT_EQ(second.body, "index");
        EXPECT_FALSE(s.WaitClosed(200));  // still open
        // A request without the header ends the connection after its answer.
        ASSERT_TRUE(s.Send("GET /index.txt HTTP/1.0\r\n\r\n"));
        EXPECT_EQ(Parse(s.ReadResponse()).headers["Connection"], "close");
        EXPECT_TRUE(s.WaitClosed(3000));
    }
    const char* notExact[] = {"connection: keep-alive", "Connection: keep-alive",
                              "Connection:Keep-Alive"};
    for (const char* line : notExact) {
        bool closed = false;
        Response r =
            Parse(Exchange(std::string("GET / HTTP/1.0\r\n") + line + "\r\n\r\n", &closed));
        EXPECT_EQ(r.headers["Connection"], "close") << line;
        EXPECT_TRUE(closed) << line;
    }
    // curl reuses the connection for a second URL.
    std::string counts = Curl(
        "-o /dev/null -o /dev/null -w '%{num_connects} ' "
        "-H 'Connection: Keep-Alive' " +
        Url("/index.txt") + " " + Url("/files/dev.kml"));
    EXPECT_EQ(counts, "1 0 ");
}

TEST_F(HttpServerTest, BytesAfterTheRequestCloseTheConnection) {
    Start();
    Socket s(port);
    ASSERT_TRUE(s.Send(
        "GET /index.txt HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\nGET /secret HTTP/1.0\r\n\r\n"));
    Response r = Parse(s.ReadResponse());
    EXPECT_EQ(r.body, "index");
    EXPECT_EQ(r.headers["Connection"], "close");
    EXPECT_TRUE(s.WaitClosed(3000));
    EXPECT_EQ(s.buffered, "");
}

TEST_F(HttpServerTest, PathsLeavingTheWebFolderAreRefused) {
    Start();
    const char* paths[] = {
        "/../secret.txt",
        "/files/../../secret.txt",
        "/%2e%2e/secret.txt",
        "/%2E%2E%2Fsecret.txt",
        "/files/..%2f..%2fsecret.txt",
        "/out.txt",
        "/rel-out.txt",
        "/up/secret.txt",
        "/..",
        "/files/..\\..\\secret.txt",
        "/index.txt%00.png",
    };
    for (const char* path : paths) {
        bool closed = false;
        std::string text = Exchange(std::string("GET ") + path + " HTTP/1.0\r\n\r\n", &closed);
        EXPECT_EQ(Parse(text).status, "HTTP/1.0 404 Resource not found") << path;
        EXPECT_EQ(text.find("SECRET"), std::string::npos) << path;
        EXPECT_TRUE(closed) << path;
    }
    // curl keeps the dots with --path-as-is.
    EXPECT_EQ(Curl("--path-as-is -o /dev/null -w '%{http_code}' " + Url("/../secret.txt")), "404");
}

TEST_F(HttpServerTest, UnfinishedRequestClosedAfterClientTimeout) {
    Start(300);
    Socket s(port);
    ASSERT_TRUE(s.Send("GET /index.txt HTTP/1.0\r\n"));
    auto t0 = Clock::now();
    EXPECT_TRUE(s.WaitClosed(5000));
    EXPECT_GE(Clock::now() - t0, milliseconds(250));
    EXPECT_EQ(s.buffered, "");  // no answer
}

TEST_F(HttpServerTest, OversizedRequestIsClosedOthersServed) {
    Start();
    Socket big(port);
    std::string junk = "GET / HTTP/1.0\r\n";
    while (junk.size() < 70 * 1024)
        junk += "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    big.Send(junk);  // the server may close before all of it is taken
    EXPECT_TRUE(big.WaitClosed(3000));
    EXPECT_EQ(big.buffered.find("HTTP/1.0"), std::string::npos);
    EXPECT_EQ(Parse(Exchange("GET /index.txt HTTP/1.0\r\n\r\n")).body, "index");
}

TEST_F(HttpServerTest, RequestWithoutBlankIsClosedUnanswered) {
    Start();
    bool closed = false;
    EXPECT_EQ(Exchange("HELLO\r\n\r\n", &closed), "");
    EXPECT_TRUE(closed);
}

TEST_F(HttpServerTest, ShutdownWithConnectedClientsReturnsPromptly) {
    Start(0);  // no client time-out: only the shutdown can end these connections
    Socket idle(port), partial(port);
    ASSERT_TRUE(partial.Send("GET /index.txt HTTP/1.0\r\n"));
    ASSERT_TRUE(Eventually([&] { return server.GetActiveConnections() == 2; }));
    auto t0 = Clock::now();
    EXPECT_TRUE(server.Shutdown());
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(3));
    EXPECT_FALSE(server.IsRunning());
    EXPECT_TRUE(idle.WaitClosed(2000));
    EXPECT_TRUE(partial.WaitClosed(2000));
    EXPECT_EQ(server.GetActiveConnections(), 0u);
    EXPECT_LT(Connect(port), 0);  // nobody listens any more
}

TEST_F(HttpServerTest, StatisticsAndVisitors) {
    Start();
    const std::string a = "GET /index.txt HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n";
    const std::string b = "GET /files/dev.kml HTTP/1.0\r\n\r\n";
    size_t sentBytes = 0;
    {
        Socket s(port);
        ASSERT_TRUE(s.Send(a));
        sentBytes += s.ReadResponse().size();
        ASSERT_TRUE(s.Send(b));
        sentBytes += s.ReadResponse().size();
    }
    sentBytes += Exchange(b).size();
    const double received = (a.size() + b.size() + b.size()) / 1024.0;
    const double sent = sentBytes / 1024.0;
    EXPECT_TRUE(Eventually([&] { return std::abs(server.GetKbSent() - sent) < 1e-9; }))
        << server.GetKbSent() << " vs " << sent;
    EXPECT_NEAR(server.GetKbReceived(), received, 1e-9);
    EXPECT_EQ(server.GetConnectionCount(), 2);
    EXPECT_EQ(server.GetVisitors(), std::vector<std::string>{"127.0.0.1"});

    // A new start begins from zero.
    ASSERT_TRUE(server.Shutdown());
    Start();
    EXPECT_EQ(server.GetConnectionCount(), 0);
    EXPECT_EQ(server.GetKbSent(), 0.0);
}

TEST_F(HttpServerTest, StartStopAndRestart) {
    Start();
    EXPECT_FALSE(server.Start(root.string(), "/preview", port, 2000));  // already running
    EXPECT_EQ(Parse(Exchange("GET /index.txt HTTP/1.0\r\n\r\n")).body, "index");
    ASSERT_TRUE(server.Shutdown());
    EXPECT_TRUE(server.Shutdown());  // a second stop is harmless

    // The same port again at once, even with connections of the first run in TIME_WAIT.
    ASSERT_TRUE(server.Start(root.string(), "/preview", port, 2000));
    EXPECT_EQ(Parse(Exchange("GET /index.txt HTTP/1.0\r\n\r\n")).body, "index");

    // A port in use fails the start at once, not after the start time-out.
    CHttpServer other;
    other.SetBindAddress("127.0.0.1");
    auto t0 = Clock::now();
    EXPECT_FALSE(other.Start(root.string(), "/preview", port, 2000));
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(other.IsRunning());
}

TEST_F(HttpServerTest, FilesAreReadUnderTheWriterLock) {
    std::recursive_mutex lock;
    server.SetFileLock(&lock);
    Start();
    std::unique_lock<std::recursive_mutex> held(lock);
    Socket s(port);
    ASSERT_TRUE(s.Send("GET /files/dev.kml HTTP/1.0\r\n\r\n"));
    EXPECT_FALSE(s.ReceiveUntil([&] { return !s.buffered.empty(); }, 300));
    // Routes do not wait for the file lock.
    EXPECT_EQ(Parse(Exchange("GET /device-list HTTP/1.0\r\n\r\n")).body, "A;B;");
    held.unlock();
    EXPECT_EQ(Parse(s.ReadResponse()).body, kKml);
}

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

TEST_F(HttpServerTest, LargeFileArrivesWholeThroughPartialSends) {
    const std::string big = Pattern(6 * 1024 * 1024);
    WriteFile(root / "files" / "big.bin", big);
    Start();
    std::string got = Curl(Url("/files/big.bin"));
    EXPECT_EQ(got.size(), big.size());
    EXPECT_TRUE(got == big);
}

TEST_F(HttpServerTest, ClientThatStopsReadingIsDroppedAfterTimeout) {
    WriteFile(root / "files" / "big.bin", Pattern(16 * 1024 * 1024));
    Start(300);
    Socket s(port);
    int small = 4096;
    setsockopt(s.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(s.Send("GET /files/big.bin HTTP/1.0\r\n\r\n"));
    // Nothing is read: the server's send stalls, and its time-out ends the connection.
    ASSERT_TRUE(Eventually([&] { return server.GetActiveConnections() == 1; }));
    EXPECT_TRUE(Eventually([&] { return server.GetActiveConnections() == 0; }, 5000));
}

TEST_F(HttpServerTest, MessagesAndResultsGoToTheRunLog) {
    runLog.SetFolder(dir.folder() + "Logs");
    ASSERT_TRUE(runLog.Open("RunLog", false));
    server.SetLog(&runLog);
    Start();
    Exchange("HELLO\r\n\r\n");
    Exchange("GET /../secret.txt HTTP/1.0\r\n\r\n");
    Exchange("GET /out.txt HTTP/1.0\r\n\r\n");
    CHttpServer other(&runLog);
    other.SetBindAddress("127.0.0.1");
    EXPECT_FALSE(other.Start(root.string(), "/preview", port, 1000));
    ASSERT_TRUE(server.Shutdown());
    runLog.Close();
    // A result line is three appends, each with its own byte-order mark.
    auto result = [](const std::string& name, bool ok) {
        return " " + name + " ... </font>\r\n\xEF\xBB\xBF<font color=#" +
               (ok ? "006400>Ok." : "C80000>Error!");
    };

    const std::string text = test::ReadBytes(runLog.GetPath());
    const std::string expected[] = {
        "HttpServer message: [\"No 'space' found in Request String #2\"], [\"ParseRequest\"], [0]",
        "HttpServer message: [\"Request path outside the web folder refused: /../secret.txt\"], "
        "[\"ParseRequest\"], [404]",
        "HttpServer message: [\"Request path outside the web folder refused\"], [\"ReadFile\"], "
        "[404]",
        "HttpServer message: [\"bind(...) failure\"], [\"AcceptThread\"], [98]",
        result("CHttpServer::Start (0)", true),
        result("CHttpServer::Start (" + std::to_string(port) + ")", false),
        result("CHttpServer::Shutdown", true),
    };
    for (const std::string& e : expected)
        EXPECT_NE(text.find(e), std::string::npos) << e << "\n---\n" << text;
}

TEST_F(HttpServerTest, ConnectionsBeyondTheLimitAreClosedOthersServed) {
    Start(10000);
    // From as many addresses as it takes to fill every slot within the per-address limit.
    std::vector<std::string> sources;
    for (size_t i = 0; i * CGenericServer::kMaxPerAddress < CGenericServer::kMaxConnections; ++i)
        sources.push_back("127.0.1." + std::to_string(i + 1));
    std::vector<std::unique_ptr<Socket>> held;
    for (size_t i = 0; i < CGenericServer::kMaxConnections; ++i) {
        held.push_back(
            std::make_unique<Socket>(port, sources[i / CGenericServer::kMaxPerAddress].c_str()));
        ASSERT_GE(held.back()->fd, 0);
    }
    ASSERT_TRUE(Eventually([&] {
        return server.GetActiveConnections() == CGenericServer::kMaxConnections;
    })) << server.GetActiveConnections();
    Socket extra(port);
    EXPECT_TRUE(extra.WaitClosed(3000));
    EXPECT_EQ(extra.buffered, "");
    // The connections already there are still answered.
    ASSERT_TRUE(held.front()->Send("GET /index.txt HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(Parse(held.front()->ReadResponse()).body, "index");
    // Once there is room again, new clients are served.
    held.clear();
    ASSERT_TRUE(Eventually([&] { return server.GetActiveConnections() == 0; }));
    EXPECT_EQ(Parse(Exchange("GET /index.txt HTTP/1.0\r\n\r\n")).body, "index");
}

// Slow clients hold their slots only for a while, and never all of them: each from one
// address at a time, each request's header within the time-out from its first byte.
TEST_F(HttpServerTest, TricklingHeaderIsClosedAtItsDeadline) {
    Start(600);
    Socket slow(port);
    const std::string request = "GET /index.txt HTTP/1.0\r\nX-Slow: aaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
    // One byte every 150 ms keeps the idle time-out from running out; the deadline ends it.
    auto t0 = Clock::now();
    for (size_t i = 0; i < request.size() && !slow.closed; ++i) {
        if (!slow.Send(request.substr(i, 1)))
            break;
        slow.ReceiveUntil([&] { return slow.closed; }, 150);
    }
    EXPECT_TRUE(slow.WaitClosed(1000));
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(3));  // the trickle lasts 4.5 s
    EXPECT_EQ(slow.buffered, "");
    // The deadline is per request: a kept-alive connection gets a fresh one for the next.
    Socket kept(port);
    const std::string get = "GET /index.txt HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n";
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(milliseconds(400));
        ASSERT_TRUE(kept.Send(get));
        EXPECT_EQ(Parse(kept.ReadResponse()).body, "index") << i;
    }
}

TEST_F(HttpServerTest, SlowHoldersFromOneAddressDoNotLockOthersOut) {
    Start(10000);
    constexpr size_t kHolders = 300;
    std::vector<std::unique_ptr<Socket>> holders;
    for (size_t i = 0; i < kHolders; ++i) {
        holders.push_back(std::make_unique<Socket>(port, "127.0.0.3"));
        ASSERT_GE(holders.back()->fd, 0) << i;
        holders.back()->Send("G");  // a request begun and never finished
    }
    // Only the per-address share is kept; the rest are closed at once.
    auto refused = [&] {
        size_t n = 0;
        for (auto& h : holders)
            n += (h->closed || h->WaitClosed(5)) ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(Eventually([&] { return refused() == kHolders - CGenericServer::kMaxPerAddress; }));
    EXPECT_EQ(server.GetActiveConnections(), CGenericServer::kMaxPerAddress);
    // The holders keep trickling while another client asks; it is answered, not closed.
    for (auto& h : holders)
        if (!h->closed)
            h->Send("E");
    const std::string out =
        Curl("--interface 127.0.0.2 -w '\n%{http_code} %{time_total}' " + Url("/index.txt"));
    EXPECT_EQ(out.substr(0, out.find('\n')), "index") << out;
    EXPECT_EQ(out.substr(out.find('\n') + 1, 3), "200") << out;
    // The figure for the record: the answer time with the holders in place.
    RecordProperty("answer_seconds", out.substr(out.find(' ') + 1));
    std::printf("answer time with %zu slow holders: %s s\n", kHolders,
                out.substr(out.find(' ') + 1).c_str());
    // The raw client from the holders' own address still waits its turn.
    Socket more(port, "127.0.0.3");
    EXPECT_TRUE(more.WaitClosed(2000));
    EXPECT_EQ(more.buffered, "");
}

TEST_F(HttpServerTest, RequestCapIsCountedToTheByte) {
    Start();
    // A complete request of exactly the cap is answered.
    std::string request = "GET /index.txt HTTP/1.0\r\nX-Pad: ";
    request.append(CGenericServer::kMaxRequest - request.size() - 4, 'p');
    request += "\r\n\r\n";
    ASSERT_EQ(request.size(), CGenericServer::kMaxRequest);
    EXPECT_EQ(Parse(Exchange(request)).body, "index");

    // One byte more and the server takes no more than the cap before it closes.
    ASSERT_TRUE(server.Shutdown());
    Start();
    Socket big(port);
    std::string flood = "GET /index.txt HTTP/1.0\r\nX-Pad: ";
    flood.append(3 * CGenericServer::kMaxRequest, 'p');
    big.Send(flood);  // the server may close before all of it is taken
    EXPECT_TRUE(big.WaitClosed(3000));
    EXPECT_EQ(big.buffered, "");
    EXPECT_TRUE(Eventually([&] { return server.GetActiveConnections() == 0; }));
    EXPECT_EQ(server.GetKbReceived() * 1024.0, static_cast<double>(CGenericServer::kMaxRequest));
}

TEST_F(HttpServerTest, AcceptWithoutDescriptorsIsLoggedOnceNotOverAndOver) {
    Start();
    std::vector<std::unique_ptr<Socket>> waiting;
    std::vector<int> fds;
    for (int i = 0; i < 3; ++i)
        fds.push_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    testing::internal::CaptureStderr();
    const int lowestFree = dup(0);
    close(lowestFree);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);  // no descriptor left for accept
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int fd : fds)
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    std::this_thread::sleep_for(milliseconds(1000));
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &old), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    size_t lines = 0;
    for (size_t at = err.find("WSAAccept(...) failure"); at != std::string::npos;
         at = err.find("WSAAccept(...) failure", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << err;
    // With descriptors back the waiting clients are served.
    const std::string get = "GET /index.txt HTTP/1.0\r\n\r\n";
    for (int fd : fds) {
        ASSERT_EQ(send(fd, get.data(), get.size(), MSG_NOSIGNAL), static_cast<ssize_t>(get.size()));
        std::string got;
        char buf[4096];
        ssize_t n;
        while (got.find("index") == std::string::npos &&
               (poll(std::array<pollfd, 1>{pollfd{fd, POLLIN, 0}}.data(), 1, 3000) > 0) &&
               (n = recv(fd, buf, sizeof buf, 0)) > 0)
            got.append(buf, static_cast<size_t>(n));
        EXPECT_EQ(Parse(got).body, "index");
        close(fd);
    }
}

}  // namespace
}  // namespace zm

namespace zm {
namespace {

TEST_F(HttpServerTest, ARouteThatThrowsGets500AndARedLineAndTheServerServesOn) {
    runLog.SetFolder(dir.folder() + "Logs");
    ASSERT_TRUE(runLog.Open("RunLog", false));
    server.SetLog(&runLog);
    server.AddRoute("/broken", []() -> std::string { throw std::runtime_error("no <data>"); });
    server.AddReplyRoute("/api/broken", [](const std::string&) -> CHttpServer::RouteReply {
        throw 42;  // not even a std::exception
    });
    Start();
    for (const char* path : {"/broken", "/api/broken"}) {
        SCOPED_TRACE(path);
        bool closed = false;
        const Response r =
            Parse(Exchange(std::string("GET ") + path + " HTTP/1.0\r\n\r\n", &closed));
        EXPECT_EQ(r.status, "HTTP/1.0 500 Internal Server Error");
        EXPECT_EQ(r.headers.at("Content-Length"), std::to_string(r.body.size()));
        EXPECT_TRUE(closed);
    }
    EXPECT_EQ(Parse(Exchange("GET /device-list HTTP/1.0\r\n\r\n")).body, "A;B;");
    ASSERT_TRUE(server.Shutdown());
    runLog.Close();
    const std::string text = test::ReadBytes(runLog.GetPath());
    const std::string line =
        "HttpServer message: [\"Exception in web-client: no &lt;data&gt;\"], [\"ClientThread\"], "
        "[500]";
    const size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << text;
    const size_t entry = text.rfind("<font color=#", text.rfind("<font color=blue>", at) - 1);
    EXPECT_EQ(text.substr(entry, 20), "<font color=#C80000>") << "not red";
    EXPECT_NE(text.find("Exception in web-client: unknown exception"), std::string::npos);
}

// A server that its owner lets go while a connection thread is still in a handler (the
// handler waits for a lock the owner's thread holds): the thread keeps the server alive
// and still answers.
TEST_F(HttpServerTest, AnAbandonedConnectionKeepsItsServerUntilItEnds) {
    auto owned = std::make_shared<CHttpServer>();
    owned->SetBindAddress("127.0.0.1");
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    owned->AddRoute("/slow", [&entered, released] {
        entered.set_value();
        released.wait();
        return std::string("late");
    });
    ASSERT_TRUE(owned->Start(root.string(), "/preview", 0, 10000));
    Socket client(owned->GetPort());
    ASSERT_TRUE(client.Send("GET /slow HTTP/1.0\r\n\r\n"));
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);

    EXPECT_FALSE(owned->Shutdown()) << "the connection thread was not abandoned";
    std::weak_ptr<CHttpServer> weak = owned;
    owned.reset();
    EXPECT_FALSE(weak.expired()) << "the server was freed under its connection thread";
    release.set_value();
    EXPECT_EQ(Parse(client.ReadResponse()).body, "late");
    EXPECT_TRUE(Eventually([&] { return weak.expired(); }))
        << "the thread did not let go of the server";
}

}  // namespace
}  // namespace zm
