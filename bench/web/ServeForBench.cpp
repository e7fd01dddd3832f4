// The embedded web server as the daemon runs it, for outside load generators (wrk): the
// routes over three fixed devices and a report folder holding one device KML file of
// about 4 KB, written by the report writer itself.
//
//   bench_web_serve FOLDER [PORT]
//
// Prints "PORT <n>" and "FILE <path below the web folder>" once serving, then waits for
// SIGINT or SIGTERM and shuts down.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "web/HttpServer.h"
#include "web/KmlReport.h"
#include "web/Routes.h"

namespace {

class FixedDevices : public zm::IWebDeviceSource {
  public:
    FixedDevices() {
        const char* names[] = {"Zor-01", "Zor-02", "Pier-3"};
        for (int i = 0; i < 3; ++i) {
            zm::WebDevice d;
            d.name = names[i];
            d.latitude = 59.43 + i * 0.01;
            d.longitude = 24.75 + i * 0.01;
            d.latLonVal = std::to_string(d.latitude) + "," + std::to_string(d.longitude) + ",1.5";
            d.statusText = "Online";
            m_devices.push_back(d);
        }
    }
    std::vector<zm::WebDevice> SnapshotDevices() override {
        std::lock_guard<std::mutex> lock(m_mutex);  // the registry lock of the real source
        return m_devices;
    }
    bool SnapshotDevice(const std::string& name, zm::WebDevice& device) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const zm::WebDevice& d : m_devices)
            if (d.name == name) {
                device = d;
                return true;
            }
        return false;
    }

  private:
    std::mutex m_mutex;
    std::vector<zm::WebDevice> m_devices;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [PORT]\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/')
        folder += '/';
    const int port = argc > 2 ? std::atoi(argv[2]) : 0;

    // Blocked before any thread starts, so that only sigwait below receives them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    zm::CKmlReport report;
    report.SetShareAllowed(false);
    if (!report.Init(folder, "ZorDevs", "Navigation") || !report.CreateReportResourceFiles()) {
        std::fprintf(stderr, "cannot create the report in %s\n", folder.c_str());
        return 1;
    }
    // A description as long as a real one with its table rows brings the file to ~4 KB.
    std::string description = "<table>";
    while (description.size() < 3620)
        description += "<tr><td>Oil level</td><td>1.500000</td></tr>";
    description += "</table>";
    report.UpdatePlacemark("Zor-01", 59.43, 24.75, 1.5, "Good.png", "Online", "", description);
    report.Flush();
    const std::string kml = report.GetDeviceFilePath("Zor-01");
    const std::string relative = kml.substr(report.GetReportFolder().size());

    FixedDevices devices;
    zm::CHttpServer server;
    server.SetBindAddress("127.0.0.1");
    server.SetFileLock(&report.GetLock());
    zm::RegisterWebRoutes(server, devices);
    if (!server.Start(report.GetReportFolder(), "/preview", static_cast<uint16_t>(port), 10000)) {
        std::fprintf(stderr, "cannot start the server on port %d\n", port);
        return 1;
    }
    std::printf("PORT %u\nFILE %s\nROOT %s\nSIZE %ju\n", server.GetPort(), relative.c_str(),
                report.GetReportFolder().c_str(),
                static_cast<uintmax_t>(std::filesystem::file_size(kml)));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stop, &sig);
    server.Shutdown();
    return 0;
}
