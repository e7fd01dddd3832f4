#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/RequiredTool.h"
#include "support/TempDir.h"
#include "web/HttpServer.h"
#include "web/KmlReport.h"
#include "web/PreviewPage.h"
#include "web/PreviewScript.h"
#include "web/Routes.h"

namespace zm {
namespace {

namespace fs = std::filesystem;

class FakeDevices : public IWebDeviceSource {
  public:
    std::vector<WebDevice> SnapshotDevices() override {
        std::lock_guard<std::mutex> lock(mutex);
        // A device that joins while a page is open.
        if (++calls == joinAfterCalls)
            devices.push_back(joining);
        return devices;
    }
    bool SnapshotDevice(const std::string& name, WebDevice& device) override {
        std::lock_guard<std::mutex> lock(mutex);
        for (const WebDevice& d : devices)
            if (d.name == name) {
                device = d;
                return true;
            }
        return false;
    }
    std::mutex mutex;
    std::vector<WebDevice> devices;
    int calls = 0;
    int joinAfterCalls = -1;
    WebDevice joining;
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The standard output of a shell command.
std::string CommandOutput(const std::string& cmd) {
    FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
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

// curl as a child process, always bounded by --max-time.
std::string Curl(const std::string& args) {
    return CommandOutput("curl -s --max-time 5 " + args);
}

TEST(PreviewPage, CentreAndVariants) {
    EXPECT_EQ(PreviewEmbeddedAddress(), "http://localhost:8889/preview-embedded");
    double lat = 0, lon = 0;
    PreviewCenter({}, lat, lon);
    EXPECT_EQ(lat, 48.523386);
    EXPECT_EQ(lon, 44.664271);
    std::vector<WebDevice> devices(2);
    devices[0].latitude = 0;
    devices[0].longitude = 10;
    devices[1].latitude = 59.4;
    devices[1].longitude = 24.7;
    PreviewCenter(devices, lat, lon);
    EXPECT_EQ(lat, 59.4);
    EXPECT_EQ(lon, 24.7);

    const std::string page = BuildPreviewPage(false, 59.4, 24.7);
    const std::string embedded = BuildPreviewPage(true, 59.4, 24.7);
    EXPECT_EQ(page.substr(0, 6), "<html>");
    EXPECT_EQ(embedded.substr(0, 17), "<!DOCTYPE html>\r\n");
    EXPECT_TRUE(embedded.substr(17) == [&] {
        std::string p = page;
        p.replace(p.find("data-selector=\"1\""), 17, "data-selector=\"0\"");
        return p;
    }()) << "the two variants differ only in the document type and the selector";
    EXPECT_NE(page.find("<body data-lat=\"59.400000\" data-lng=\"24.700000\""), std::string::npos);
    const std::string script = PreviewScript();
    for (const char* fn : {"function flyToAllDevices()", "function flyToSelectedDevices()",
                           "function flyTo(lat, lon, zoom)", "data-lat", "data-selector",
                           "addComboBox('deviceComboBox', onFlyTo, resetDevicesComboBoxSelection)",
                           "setTimeout(requestDeviceInformation, 1000)"})
        EXPECT_NE(script.find(fn), std::string::npos) << fn;
    for (const char* file : {"/leaflet/leaflet.js", "/preview.js", "/preview.css"})
        EXPECT_NE(page.find(file), std::string::npos) << file;
}

// The content security policy forbids inline script and style: the page must not need
// any, or the map would stay empty.
TEST(PreviewPage, HoldsNothingInline) {
    const PreviewMap tiles{"https://{s}.tile.example.org/{z}/{x}/{y}.png?a=1&b=\"2\"",
                           "&copy; <Example>"};
    for (const std::string& page :
         {BuildPreviewPage(false, 1, 2), BuildPreviewPage(true, 1, 2, tiles)}) {
        const std::regex inlineScript("<script(?![^>]*\\ssrc=)[^>]*>"),
            handler("\\son[a-z]+\\s*=", std::regex::icase), style("<style|\\sstyle\\s*=");
        EXPECT_FALSE(std::regex_search(page, inlineScript)) << page;
        EXPECT_FALSE(std::regex_search(page, handler)) << page;
        EXPECT_FALSE(std::regex_search(page, style)) << page;
        EXPECT_EQ(Count(page, "<script src="), 2u);
    }
    // The tile address and its credit are attribute values and stay that.
    const std::string page = BuildPreviewPage(true, 1, 2, tiles);
    EXPECT_NE(page.find("data-tiles=\"https://{s}.tile.example.org/{z}/{x}/{y}.png?a=1&amp;b="
                        "&quot;2&quot;\""),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("data-tiles-attribution=\"&amp;copy; &lt;Example&gt;\""),
              std::string::npos);
    EXPECT_EQ(BuildPreviewPage(true, 1, 2).find("data-tiles"), std::string::npos);
}

TEST(PreviewPage, TileOriginIsWhatThePolicyCanName) {
    struct Case {
        const char* url;
        const char* origin;
    } cases[] = {
        {"https://{s}.tile.openstreetmap.org/{z}/{x}/{y}.png", "https://*.tile.openstreetmap.org"},
        {"http://tiles.local:8080/{z}/{x}/{y}.png", "http://tiles.local:8080"},
        {"https://tiles.example.org", "https://tiles.example.org"},
        {"", ""},
        {"ftp://tiles.example.org/{z}", ""},
        {"https://{z}.example.org/", ""},
        {"https://a.example.org;script-src *", ""},
        {"https:///{z}", ""},
        {"javascript:alert(1)//", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TileOrigin(c.url), c.origin) << c.url;
}

class WebRoutesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        report.SetShareAllowed(false);
        ASSERT_TRUE(report.Init(dir.folder() + "KmlRoot/", "ZorDevs", "Navigation"));
        ASSERT_TRUE(report.CreateReportResourceFiles());
        server.SetFileLock(&report.GetLock());
        server.SetBindAddress("127.0.0.1");
        RegisterWebRoutes(server, devices);
    }
    void TearDown() override { server.Shutdown(); }
    void Start() {
        ASSERT_TRUE(server.Start(report.GetReportFolder(), "/preview", 0, 2000));
        port = server.GetPort();
    }
    std::string Url(const std::string& path) const {
        return "'http://127.0.0.1:" + std::to_string(port) + path + "'";
    }

    test::TempDir dir;
    CKmlReport report;
    FakeDevices devices;
    CHttpServer server;
    int port = 0;
};

TEST_F(WebRoutesTest, PlainTextRoutes) {
    Start();
    EXPECT_EQ(Curl(Url("/device-list")), "");
    EXPECT_EQ(Curl(Url("/sync")), "");
    EXPECT_NE(Curl(Url("/preview")).find("data-lat=\"48.523386\" data-lng=\"44.664271\""),
              std::string::npos);
    {
        std::lock_guard<std::mutex> lock(devices.mutex);
        devices.devices = {{"Pier 2", 0, 0, 0, 0, 0, "", 1, ""},
                           {"A;B", 0, 0, 0, 59.4, 24.7, "", 1, ""}};
    }
    EXPECT_EQ(Curl(Url("/device-list")), "Pier 2;A;B;");
    EXPECT_EQ(Curl(Url("/sync")), "Pier 2");
    const std::string head = Curl("-i " + Url("/device-list"));
    EXPECT_NE(head.find("Content-Type: text/html\r\n"), std::string::npos);
    EXPECT_NE(head.find("Server: ZorManagerWebServer/1.0\r\n"), std::string::npos);
}

TEST_F(WebRoutesTest, PagesAndFilesAreServed) {
    ASSERT_TRUE(InstallLeaflet(report.GetReportFolder(), nullptr));
    report.UpdatePlacemark("Pier 2", 59.4, 24.7, 0, "Good.png", "", "", "");
    report.Flush();
    Start();
    const std::string root = Curl(Url("/"));
    EXPECT_EQ(root.substr(0, 6), "<html>");
    EXPECT_NE(root.find("data-selector=\"1\""), std::string::npos);
    const std::string embedded = Curl(Url("/preview-embedded"));
    EXPECT_EQ(embedded.substr(0, 15), "<!DOCTYPE html>");
    EXPECT_NE(embedded.find("data-selector=\"0\""), std::string::npos);

    struct Case {
        const char* path;
        const char* type;
        std::string bytes;
    } cases[] = {
        {"/leaflet/leaflet.js", "application/x-javascript",
         test::ReadBytes(std::string(kSystemLeafletFolder) + "leaflet.js")},
        {"/leaflet/leaflet.css", "text/css",
         test::ReadBytes(std::string(kSystemLeafletFolder) + "leaflet.css")},
        {"/images/Good.png", "image/png",
         test::ReadBytes(report.GetReportFolder() + "images/Good.png")},
        {"/files/Pier%202.kml", "text/html",
         test::ReadBytes(report.GetReportFolder() + "files/Pier 2.kml")},
        {"/preview.js", "application/x-javascript", PreviewScript()},
        {"/preview.css", "text/css", PreviewStyle()},
    };
    const char* const securityHeaders[] = {
        "\r\nContent-Security-Policy: default-src 'self'; img-src 'self' data:; "
        "frame-ancestors 'self';",
        "\r\nX-Content-Type-Options: nosniff\r\n",
        "\r\nReferrer-Policy: no-referrer\r\n",
    };
    for (const char* path : {"/preview", "/device-list", "/images/Good.png", "/no-such-file"}) {
        const std::string head = Curl("-i " + Url(path));
        for (const char* header : securityHeaders)
            EXPECT_NE(head.find(header), std::string::npos) << path << ": " << head.substr(0, 600);
        EXPECT_EQ(Count(head, "Content-Security-Policy"), 1u) << path;
    }
    for (const Case& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.path;
        std::string answer = Curl("-i " + Url(c.path));
        EXPECT_NE(answer.find(std::string("Content-Type: ") + c.type + "\r\n"), std::string::npos)
            << c.path;
        size_t body = answer.find("\r\n\r\n");
        ASSERT_NE(body, std::string::npos) << c.path;
        EXPECT_EQ(answer.substr(body + 4), c.bytes) << c.path;
    }
}

TEST(InstallLeaflet, MissingSourceIsReported) {
    test::TempDir dir;
    EXPECT_FALSE(InstallLeaflet(dir.folder() + "web/", nullptr, dir.folder() + "none/"));
}

// The page in a real browser: it reads the device list, loads the device files and puts
// one marker per device with the state icon, with the map tiles out of reach.
TEST_F(WebRoutesTest, HeadlessBrowserPlacesMarkers) {
    const char* browser = nullptr;
    for (const char* candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (fs::exists(candidate))
            browser = candidate;
    ZM_REQUIRE_TOOL(browser != nullptr, "chromium");
    ASSERT_TRUE(InstallLeaflet(report.GetReportFolder(), nullptr));
    {
        std::lock_guard<std::mutex> lock(devices.mutex);
        devices.devices = {{"North", 0, 0, 0, 59.4, 24.7, "", 1, ""},
                           {"South", 0, 0, 0, 59.3, 24.6, "", 5, ""}};
        // the page itself, then two polls with two devices
        devices.joinAfterCalls = 4;
        devices.joining = {"East/1", 0, 0, 0, 59.35, 24.9, "", 3, ""};
    }
    report.UpdatePlacemark("North", 59.4, 24.7, 0, "Good.png", "", "", "");
    report.UpdatePlacemark("South", 59.3, 24.6, 0, "Alarm.png", "", "", "");
    report.UpdatePlacemark("East/1", 59.35, 24.9, 0, "Wait.png", "", "", "");
    report.Flush();
    // A page of the same origin holds the map page in a frame, calls the functions the
    // desktop map calls, and writes what it found into its own document.
    // Its script is a file of its own: the server allows no inline script.
    test::WriteBytes(report.GetReportFolder() + "probe.html", R"(<html><body>
<iframe id="f" src="/preview-embedded" width="800" height="600"></iframe>
<pre id="out"></pre>
<script src="/probe.js"></script></body></html>)");
    test::WriteBytes(report.GetReportFolder() + "probe.js", R"(
setTimeout(function () {
    var out = [];
    var w = document.getElementById('f').contentWindow;
    try {
        w.flyTo('59.5', '24.8', '14');
        w.flyToAllDevices();
        w.flyToSelectedDevices('North', 'South');
        out.push('calls:ok');
    } catch (e) {
        out.push('calls:' + e);
    }
    var icons = w.document.querySelectorAll('.leaflet-marker-icon');
    for (var i = 0; i < icons.length; i++)
        out.push('marker:' + icons[i].getAttribute('src'));
    document.getElementById('out').textContent = out.join('\n');
}, 3500);
)");
    Start();
    const std::string cmd =
        std::string("timeout 60 ") + browser +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--user-data-dir=" +
        dir.folder() + "chromium --virtual-time-budget=4500 --dump-dom " + Url("/probe.html");
    const std::string dom = CommandOutput(cmd);
    EXPECT_NE(dom.find("calls:ok\n"), std::string::npos) << dom.substr(0, 2000);
    // One marker per device with its state icon; the third came without a reload.
    EXPECT_EQ(Count(dom, "marker:../images/"), 3u) << dom.substr(0, 2000);
    EXPECT_EQ(Count(dom, "marker:../images/Good.png"), 1u);
    EXPECT_EQ(Count(dom, "marker:../images/Alarm.png"), 1u);
    EXPECT_EQ(Count(dom, "marker:../images/Wait.png"), 1u);
}

}  // namespace
}  // namespace zm
