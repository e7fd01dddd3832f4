// Requests per second of the embedded HTTP server on loopback, one client at a time:
// a 4 KB KML file over a kept-alive connection, the same with a new connection per
// request, and a route.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "web/HttpServer.h"

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path root;
    zm::CHttpServer server;
    Fixture() {
        char tmpl[] = "/tmp/zm-bench-web-XXXXXX";
        root = mkdtemp(tmpl);
        fs::create_directories(root / "files");
        std::string kml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml>";
        while (kml.size() < 4096 - 8)
            kml += "<a>x</a>";
        kml += "</kml>";
        std::ofstream(root / "files" / "dev.kml", std::ios::binary) << kml.substr(0, 4096);
        server.SetBindAddress("127.0.0.1");
        server.AddRoute("/device-list", [] { return std::string("Zor-01;Zor-02;Zor-03;"); });
        server.Start(root.string(), "/preview", 0, 10000);
    }
    ~Fixture() {
        server.Shutdown();
        fs::remove_all(root);
    }
};

Fixture& Shared() {
    static Fixture f;
    return f;
}

int Connect(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends one request and reads its whole answer (header plus Content-Length bytes).
bool RoundTrip(int fd, const std::string& request, std::string& buf) {
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
        return false;
    buf.clear();
    size_t need = std::string::npos;
    char chunk[16384];
    while (need == std::string::npos || buf.size() < need) {
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return need != std::string::npos && buf.size() >= need;
        buf.append(chunk, size_t(n));
        size_t end = buf.find("\r\n\r\n");
        if (need == std::string::npos && end != std::string::npos) {
            size_t cl = buf.find("Content-Length: ");
            need = end + 4 + std::strtoul(buf.c_str() + cl + 16, nullptr, 10);
        }
    }
    return true;
}

void KeepAlive(benchmark::State& state, const char* path) {
    Fixture& f = Shared();
    int fd = Connect(f.server.GetPort());
    std::string request =
        std::string("GET ") + path + " HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n";
    std::string buf;
    for (auto _ : state)
        if (!RoundTrip(fd, request, buf)) {
            state.SkipWithError("request failed");
            break;
        }
    close(fd);
    state.SetItemsProcessed(state.iterations());
}

void BM_StaticKmlKeepAlive(benchmark::State& state) {
    KeepAlive(state, "/files/dev.kml");
}
void BM_DeviceListRouteKeepAlive(benchmark::State& state) {
    KeepAlive(state, "/device-list");
}

void BM_StaticKmlNewConnection(benchmark::State& state) {
    Fixture& f = Shared();
    std::string buf;
    for (auto _ : state) {
        int fd = Connect(f.server.GetPort());
        if (fd < 0 || !RoundTrip(fd, "GET /files/dev.kml HTTP/1.0\r\n\r\n", buf)) {
            state.SkipWithError("request failed");
            break;
        }
        close(fd);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_StaticKmlKeepAlive)->UseRealTime();
BENCHMARK(BM_DeviceListRouteKeepAlive)->UseRealTime();
BENCHMARK(BM_StaticKmlNewConnection)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
