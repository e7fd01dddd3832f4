#include "web/Routes.h"

#include <filesystem>
#include <system_error>

#include "base/Log.h"
#include "platform/ProcessInfo.h"
#include "web/HttpServer.h"
#include "web/PreviewPage.h"
#include "web/PreviewScript.h"
#include "web/XmlDoc.h"

namespace zm {

std::string DeviceListText(IWebDeviceSource& source) {
    std::string text;
    for (const WebDevice& d : source.SnapshotDevices())
        text += d.name + ";";
    return text;
}

std::string FirstDeviceName(IWebDeviceSource& source) {
    std::vector<WebDevice> devices = source.SnapshotDevices();
    return devices.empty() ? std::string() : devices.front().name;
}

void RegisterWebRoutes(CHttpServer& server, IWebDeviceSource& source, PreviewMap map) {
    IWebDeviceSource* s = &source;
    const std::string tiles = TileOrigin(map.tilesUrl);
    if (tiles.empty()) {
        map.tilesUrl.clear();
    } else {
        server.AllowImagesFrom(tiles);
    }
    auto page = [s, map](bool embedded) {
        double lat, lon;
        PreviewCenter(s->SnapshotDevices(), lat, lon);
        return BuildPreviewPage(embedded, lat, lon, map);
    };
    server.AddRoute(PreviewRecord::kScriptPath, [] { return std::string(PreviewScript()); });
    server.AddRoute(PreviewRecord::kStylePath, [] { return std::string(PreviewStyle()); });
    server.AddRoute(PreviewRecord::kPagePath, [page] { return page(false); });
    server.AddRoute(PreviewRecord::kEmbeddedPath, [page] { return page(true); });
    server.AddRoute("/device-list", [s] { return DeviceListText(*s); });
    server.AddRoute("/sync", [s] { return FirstDeviceName(*s); });
}

bool InstallLeaflet(const std::string& webFolder, CLog* log, const std::string& sourceFolder) {
    namespace fs = std::filesystem;
    const fs::path from(sourceFolder);
    const fs::path to = fs::path(webFolder) / "leaflet";
    auto copy = [&](const fs::path& rel) {
        std::error_code ec;
        fs::create_directories((to / rel).parent_path(), ec);
        fs::copy_file(from / rel, to / rel, fs::copy_options::overwrite_existing, ec);
        if (ec && log)
            log->AddError(
                "<li><dt> Leaflet for the preview page: %s",
                CXmlDoc::EscapeText((from / rel).string() + ": " + ec.message(), false).c_str());
        return !ec;
    };
    bool ok = copy("leaflet.js");
    ok = copy("leaflet.css") && ok;
    std::error_code ec;
    for (fs::directory_iterator it(from / "images", ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".png")
            copy(fs::path("images") / it->path().filename());
    return ok;
}

std::vector<std::string> BaseMapCandidates() {
    namespace fs = std::filesystem;
    const fs::path program = fs::path(platform::ExecutablePath()).parent_path();
    return {(program / kBaseMapFile).string(),
            std::string("/usr/share/zormanager/") + kBaseMapFile};
}

bool InstallBaseMap(const std::string& webFolder, CLog* log,
                    const std::vector<std::string>& candidates) {
    namespace fs = std::filesystem;
    const fs::path to = fs::path(webFolder) / kBaseMapFile;
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        if (!fs::is_regular_file(candidate, ec))
            continue;
        fs::create_directories(to.parent_path(), ec);
        // Beside its place and renamed: a page loading the old file never gets half of it.
        const fs::path temp = to.string() + ".new";
        fs::copy_file(candidate, temp, fs::copy_options::overwrite_existing, ec);
        if (!ec)
            fs::rename(temp, to, ec);
        if (!ec)
            return true;
        if (log)
            log->AddError("<li><dt> Offline base map for the web maps: %s</li>",
                          CXmlDoc::EscapeText(candidate + ": " + ec.message(), false).c_str());
        return false;
    }
    if (log)
        log->AddWarning(
            "<li><dt> No offline base map (%s): the web maps draw no land; see scripts/setup.sh, "
            "zm_setup_basemap</li>",
            CXmlDoc::EscapeText(candidates.empty() ? std::string() : candidates.front(), false)
                .c_str());
    return false;
}

}  // namespace zm
