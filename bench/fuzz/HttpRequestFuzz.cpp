// A request as a browser or anything else on the network sends it to the embedded web
// server: completeness, routing, path decoding and the confinement of files to the web
// folder. A file beside the web folder and a link out of it must never be served.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "web/HttpServer.h"

namespace {

constexpr const char* kSecret = "ZM-FUZZ-OUTSIDE-THE-WEB-FOLDER";

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The server with a web folder of a few files; started once, on loopback, for its set-up
// only: requests are handed to it directly.
class FuzzServer : public zm::CHttpServer {
  public:
    FuzzServer() {
        std::string base = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        std::string templ = base + "/zm-fuzz-web-XXXXXX";
        if (mkdtemp(templ.data()) == nullptr)
            std::abort();
        base_ = templ;
        const std::filesystem::path root = base_ / "www";
        std::filesystem::create_directories(root / "Pier 2");
        WriteFile(base_ / "secret.txt", kSecret);
        WriteFile(root / "index.html", "<html>index</html>");
        WriteFile(root / "Pier 2" / "Pier 2.kml", "<kml/>");
        WriteFile(root / "a%b.txt", "percent");
        std::filesystem::create_symlink(base_ / "secret.txt", root / "out.txt");
        std::filesystem::create_directory_symlink(base_, root / "up");
        AddRoute("/device-list", [] { return std::string("[]"); });
        SetBindAddress("127.0.0.1");
        if (!Start(root.string(), "index.html", 0, 1000))
            std::abort();
    }
    ~FuzzServer() override {
        Shutdown();
        std::error_code ec;
        std::filesystem::remove_all(base_, ec);
    }
    bool Complete(const std::string& request) { return IsRequestComplete(request); }
    bool Handle(const std::string& request, std::string& response, bool& keepAlive) {
        return HandleRequest(zm::ClientInfo{"127.0.0.1", false}, request, response, keepAlive);
    }

  private:
    std::filesystem::path base_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzServer server;
    const std::string request(zm::fuzz::AsText(data, size));
    server.Complete(request);
    std::string response;
    bool keepAlive = false;
    if (server.Handle(request, response, keepAlive)) {
        ZM_FUZZ_REQUIRE(response.starts_with("HTTP/1.0 "));
        ZM_FUZZ_REQUIRE(response.find(kSecret) == std::string::npos);
    }
    return 0;
}
