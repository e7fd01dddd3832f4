#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "web/HttpServer.h"
#include "web/KmlReport.h"
#include "web/KmlView.h"
#include "web/PreviewDevices.h"
#include "web/PreviewPage.h"

namespace zm {

class CDeviceRegistry;
class CTavDevice;

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
// server's own threads runs on the dispatcher thread.
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

    // "UM_UPDATE_KML_VIEW": one device, or (null) every device at most once every 5 s.
    void UpdateKmlView(CTavDevice* device, int param);
    // A removed or renamed device's file goes.
    void ForgetDevice(const std::string& name);

    CKmlReport& Report() { return report_; }
    std::uint16_t Port() const { return port_; }

  private:
    RegistryWebSource source_;
    CKmlReport report_;
    CKmlView view_;
    std::unique_ptr<CHttpServer> server_;
    std::uint16_t port_ = PreviewRecord::kPort;
    std::string bindAddress_;
    std::function<void(CHttpServer& server)> routeInstaller_;
    bool running_ = false;
};

}  // namespace zm
