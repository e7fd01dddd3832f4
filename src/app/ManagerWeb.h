#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "web/HttpServer.h"
#include "web/KmlReport.h"
#include "web/KmlView.h"
#include "web/PreviewDevices.h"
#include "web/PreviewPage.h"

namespace zm {

class CDeviceRegistry;
class CTavDevice;
struct ManagerSettings;

// The HTTPS side of the web server, from the settings: port 0 is off.
struct HttpsOptions {
    static constexpr const char* kDefaultCertFile = "https-cert.pem";
    static constexpr const char* kDefaultKeyFile = "https-key.pem";
    int port = 0;
    std::string certFile;
    std::string keyFile;
    bool operator==(const HttpsOptions&) const = default;

    // "https_port", "https_cert", "https_key": empty paths are the default files of the
    // configuration folder, relative ones lie under it.
    static HttpsOptions From(const ManagerSettings& settings);
};

// The web routes' and the KML update's view of the device registry: every walk copies
// the list under the registry lock and reads each device through its own locks.
class RegistryWebSource final : public IWebDeviceSource {
  public:
    explicit RegistryWebSource(CDeviceRegistry& registry) : registry_(registry) {}
    std::vector<WebDevice> SnapshotDevices() override;
    bool SnapshotDevice(const std::string& name, WebDevice& device) override;

    static WebDevice Describe(CTavDevice& device);

  private:
    CDeviceRegistry& registry_;
};

// The application's web publishing: the KML report with its preview files, the embedded
// HTTP server over the report folder, and the placemark updates. Everything but the
// server's own threads and the KML writer runs on the dispatcher thread.
//
// Placemark updates and removals are written by a thread of their own ("kml-writer"), in
// the order they were asked for: writing a file per device can take a tenth of a second
// and more on a busy disk, which the dispatcher thread (the desktop program's window)
// must not wait for. Requests already waiting for the same device are not repeated.
class CManagerWeb {
  public:
    static constexpr const char* kReportName = "ZorDevs";
    static constexpr const char* kReportTitle = "Navigation";
    static constexpr const char* kDefaultPage = "/preview";
    static constexpr std::uint32_t kClientTimeoutMs = 10000;

    explicit CManagerWeb(CDeviceRegistry& registry);
    ~CManagerWeb();  // the server stops before the report and the source it reads
    CManagerWeb(const CManagerWeb&) = delete;
    CManagerWeb& operator=(const CManagerWeb&) = delete;

    // Before the first start.
    void SetPort(std::uint16_t port) { port_ = port; }
    void SetBindAddress(const std::string& address) { bindAddress_ = address; }
    // Applied at the next start.
    void SetHttps(HttpsOptions options) { https_ = std::move(options); }
    void SetPreviewMap(PreviewMap map) { map_ = std::move(map); }
    // More routes, registered at every start beside the preview's own.
    void SetRouteInstaller(std::function<void(CHttpServer& server)> installer) {
        routeInstaller_ = std::move(installer);
    }
    // The network share of the KML root (on by default).
    void SetShareAllowed(bool allowed) { report_.SetShareAllowed(allowed); }

    // Start-up: the report under the KML root, its resource and preview files, and
    // Leaflet in the web folder. Failures are run-log entries; nothing stops.
    void PrepareKmlReport();
    // True when the server runs afterwards (a running server is left running).
    bool StartWebServer();
    void StopWebServer();
    std::string PreviewAddress() const { return PreviewEmbeddedAddress(port_); }
    // What "Preview in Default Browser" (1123) opens: the preview page on this machine.
    std::string BrowserAddress() const;
    bool IsRunning() const { return running_; }
    // The HTTPS port while HTTPS runs beside the plain server, else 0.
    std::uint16_t HttpsPort() const { return httpsServer_ ? httpsServer_->GetPort() : 0; }

    // "UM_UPDATE_KML_VIEW": one device, or (null) every device at most once every 5 s.
    // Returns at once; the writer does the work.
    void UpdateKmlView(CTavDevice* device, int param);
    // A removed or renamed device's file goes (also through the writer, after the updates
    // asked for before). Never waits, so it may be called with the registry locked.
    void ForgetDevice(const std::string& name);
    // Waits until the writer has done everything asked for so far (tests, shutdown).
    // Not with the registry locked: the writer reads the registry.
    void WaitForKml();
    // Writes what is still asked for and ends the writer (shutdown, after the devices are
    // gone); later requests are dropped.
    void StopKmlWriter();

    CKmlReport& Report() { return report_; }
    std::uint16_t Port() const { return port_; }

  private:
    struct KmlRequest {
        enum class Kind { kUpdate, kForget } kind = Kind::kUpdate;
        std::optional<std::string> device;  // none: every device
        bool all = false;                   // the "param" of the update
        bool operator==(const KmlRequest&) const = default;
    };
    void Ask(KmlRequest request);
    std::shared_ptr<CHttpServer> MakeServer();
    // The HTTPS server started on its port, or none (each failure a red run-log line).
    std::shared_ptr<CHttpServer> StartHttps();
    void WriteKml();

    RegistryWebSource source_;
    CKmlReport report_;
    CKmlView view_;
    // Shared with their connection threads: one still in a handler when a server is
    // switched off keeps it until it is done.
    std::shared_ptr<CHttpServer> server_;
    std::shared_ptr<CHttpServer> httpsServer_;
    HttpsOptions https_;
    PreviewMap map_;
    bool baseMap_ = false;  // the land layer is in the web folder
    std::uint16_t port_ = PreviewRecord::kPort;
    std::string bindAddress_;
    std::function<void(CHttpServer& server)> routeInstaller_;
    bool running_ = false;

    std::mutex kmlMutex_;
    std::condition_variable kmlWake_;
    std::condition_variable kmlIdle_;
    std::deque<KmlRequest> kmlQueue_;
    bool kmlBusy_ = false;
    bool kmlQuit_ = false;
    std::thread kmlWriter_;
};

}  // namespace zm
