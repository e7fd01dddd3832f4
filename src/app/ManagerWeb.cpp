#include "app/ManagerWeb.h"

#include <algorithm>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "app/ZorDeviceKind.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/Printf.h"
#include "device/TavDevice.h"
#include "device/zor/ZorDevice.h"
#include "platform/ProcessInfo.h"
#include "web/Routes.h"
#include "web/TlsContext.h"

namespace zm {

WebDevice RegistryWebSource::Describe(CTavDevice& device) {
    WebDevice d;
    d.name = device.GetName();
    const std::uint32_t color = device.GetColor();  // red in the low byte
    d.red = static_cast<unsigned char>(color & 0xFF);
    d.green = static_cast<unsigned char>((color >> 8) & 0xFF);
    d.blue = static_cast<unsigned char>((color >> 16) & 0xFF);
    if (CZorDevice* zor = AsZorDevice(device)) {
        zor->GetPosition(d.latitude, d.longitude);
    }
    d.latLonVal = StrPrintf("%lf,%lf,%lf", d.latitude, d.longitude, device.GetValue());
    d.status = device.GetStatusWithText(d.statusText);
    return d;
}

std::vector<WebDevice> RegistryWebSource::SnapshotDevices() {
    std::vector<WebDevice> list;
    for (const auto& device : registry_.GetDevices()) {
        list.push_back(Describe(*device));
    }
    return list;
}

bool RegistryWebSource::SnapshotDevice(const std::string& name, WebDevice& device) {
    for (const auto& d : registry_.GetDevices()) {
        if (d->GetName() == name) {
            device = Describe(*d);
            return true;
        }
    }
    return false;
}

HttpsOptions HttpsOptions::From(const ManagerSettings& settings) {
    auto place = [](const std::string& path, const char* fallback) {
        if (path.empty()) {
            return GetConfigFolder() + fallback;
        }
        return path.front() == '/' ? path : GetConfigFolder() + path;
    };
    HttpsOptions o;
    o.port = settings.https_port;
    o.certFile = place(settings.https_cert, kDefaultCertFile);
    o.keyFile = place(settings.https_key, kDefaultKeyFile);
    return o;
}

CManagerWeb::CManagerWeb(CDeviceRegistry& registry) : source_(registry), view_(report_, source_) {
    kmlWriter_ = std::thread([this] { WriteKml(); });
}

CManagerWeb::~CManagerWeb() {
    StopWebServer();
    StopKmlWriter();
}

void CManagerWeb::PrepareKmlReport() {
    report_.SetLog(&RunLog(), false);
    if (!report_.Init(GetKmlRootFolder(), kReportName, kReportTitle)) {
        return;  // the report logged why
    }
    // The legend image covers the map in Google Earth; the logo overlay stays.
    report_.SetLegend(false);
    report_.CreateReportResourceFiles();
    report_.CreatePreviewKML();
    InstallLeaflet(report_.GetReportFolder(), &RunLog());
    baseMap_ = InstallBaseMap(report_.GetReportFolder(), &RunLog());
}

std::shared_ptr<CHttpServer> CManagerWeb::MakeServer() {
    // A fresh server per start: the routes and the lock are bound once, before any
    // connection thread exists.
    auto server = std::make_shared<CHttpServer>(&RunLog());
    server->SetFileLock(&report_.GetLock());
    if (!bindAddress_.empty()) {
        server->SetBindAddress(bindAddress_);
    }
    PreviewMap map = map_;
    map.baseMap = baseMap_;
    RegisterWebRoutes(*server, source_, map);
    if (routeInstaller_) {
        routeInstaller_(*server);
    }
    return server;
}

std::shared_ptr<CHttpServer> CManagerWeb::StartHttps() {
    if (https_.port == 0) {
        return nullptr;
    }
    // Without HTTPS the plain port goes on: the station stays reachable to fix it.
    if (https_.port < 0 || https_.port > 65535 || https_.port == port_) {
        RunLog().AddError("<li><dt> HTTPS not started: https_port %d is no free port number</li>",
                          https_.port);
        return nullptr;
    }
    std::string error;
    std::shared_ptr<CTlsContext> tls = CTlsContext::Load(https_.certFile, https_.keyFile, error);
    if (!tls) {
        RunLog().AddError(
            "<li><dt> HTTPS not started, the certificate does not load: %s (make one with "
            "zormanagerd --make-certificate HOSTNAME)</li>",
            HtmlEscaped(error).c_str());
        return nullptr;
    }
    std::shared_ptr<CHttpServer> server = MakeServer();
    server->SetTls(tls);
    if (!server->Start(report_.GetReportFolder(), kDefaultPage,
                       static_cast<std::uint16_t>(https_.port), kClientTimeoutMs)) {
        server->Shutdown();
        RunLog().AddError("<li><dt> HTTPS not started on port %d</li>", https_.port);
        return nullptr;
    }
    RunLog().AddSuccess("<li><dt> HTTPS on port %d, certificate %s, SHA-256 fingerprint %s</li>",
                        https_.port, HtmlEscaped(https_.certFile).c_str(),
                        tls->Fingerprint().c_str());
    return server;
}

bool CManagerWeb::StartWebServer() {
    if (running_) {
        return true;
    }
    httpsServer_ = StartHttps();
    server_ = MakeServer();
    if (httpsServer_) {
        server_->SetSecureTransport(CSecureTransportRule(httpsServer_->GetPort()));
    }
    running_ = server_->Start(report_.GetReportFolder(), kDefaultPage, port_, kClientTimeoutMs);
    if (!running_) {
        StopWebServer();
    }
    return running_;
}

void CManagerWeb::StopWebServer() {
    for (auto* server : {&server_, &httpsServer_}) {
        if (*server) {
            (*server)->Shutdown();
            server->reset();
        }
    }
    running_ = false;
}

void CManagerWeb::UpdateKmlView(CTavDevice* device, int param) {
    KmlRequest request;
    if (device != nullptr) {
        request.device = device->GetName();
    }
    request.all = param != 0;
    Ask(std::move(request));
}

void CManagerWeb::ForgetDevice(const std::string& name) {
    Ask({KmlRequest::Kind::kForget, name, false});
}

void CManagerWeb::Ask(KmlRequest request) {
    {
        std::lock_guard lock(kmlMutex_);
        if (kmlQuit_) {
            return;
        }
        // An update already waiting writes the newest state anyway. A removal is kept in
        // its place, so that nothing asked for after it brings the file back.
        if (request.kind == KmlRequest::Kind::kUpdate &&
            std::find(kmlQueue_.begin(), kmlQueue_.end(), request) != kmlQueue_.end()) {
            return;
        }
        kmlQueue_.push_back(std::move(request));
    }
    kmlWake_.notify_one();
}

void CManagerWeb::WaitForKml() {
    std::unique_lock lock(kmlMutex_);
    kmlIdle_.wait(lock, [this] { return (kmlQueue_.empty() && !kmlBusy_) || kmlQuit_; });
}

void CManagerWeb::WriteKml() {
    platform::NameCurrentThread("kml-writer");
    std::unique_lock lock(kmlMutex_);
    for (;;) {
        kmlWake_.wait(lock, [this] { return !kmlQueue_.empty() || kmlQuit_; });
        // What was asked for before the stop is still written: the files end in the
        // state the devices last had.
        if (kmlQueue_.empty()) {
            kmlIdle_.notify_all();
            return;
        }
        const KmlRequest request = std::move(kmlQueue_.front());
        kmlQueue_.pop_front();
        kmlBusy_ = true;
        lock.unlock();
        if (request.kind == KmlRequest::Kind::kForget) {
            report_.DeleteDeviceFile(*request.device);
        } else {
            view_.Update(request.device, request.all);
        }
        lock.lock();
        kmlBusy_ = false;
        if (kmlQueue_.empty()) {
            kmlIdle_.notify_all();
        }
    }
}

void CManagerWeb::StopKmlWriter() {
    {
        std::lock_guard lock(kmlMutex_);
        kmlQuit_ = true;
    }
    kmlWake_.notify_all();
    if (kmlWriter_.joinable()) {
        kmlWriter_.join();
    }
}

std::string CManagerWeb::BrowserAddress() const {
    return StrPrintf("http://localhost:%d%s", static_cast<int>(port_), PreviewRecord::kPagePath);
}

}  // namespace zm
