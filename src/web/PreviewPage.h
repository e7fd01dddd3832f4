#pragma once

#include <string>
#include <vector>

#include "web/PreviewDevices.h"

namespace zm {

// The live map page served at "/preview" (with a device selector) and at
// "/preview-embedded" (for the application's own map view). The page polls
// "/device-list" and the device files every second and draws the devices on a Leaflet
// map; Leaflet itself comes from our own server ("leaflet/"), and so do the page's script
// and style sheet.
struct PreviewRecord {
    static constexpr int kPort = 8889;
    static constexpr const char* kEmbeddedPath = "/preview-embedded";
    static constexpr const char* kPagePath = "/preview";
    static constexpr const char* kScriptPath = "/preview.js";
    static constexpr const char* kStylePath = "/preview.css";
};

// What the map draws besides the devices. Outside tiles only where a URL template
// ("https://{s}.tile.example.org/{z}/{x}/{y}.png") is set; none by default.
struct PreviewMap {
    std::string tilesUrl;
    std::string tilesAttribution;
    bool baseMap = false;  // the web folder has the offline land layer
};

inline constexpr double kDefaultCenterLat = 48.523386;
inline constexpr double kDefaultCenterLon = 44.664271;

// The address of the embedded page on this machine, which the web log is opened on after
// every start attempt of the server: "http://localhost:8889/preview-embedded".
std::string PreviewEmbeddedAddress(int port = PreviewRecord::kPort);

// The position of the first device whose latitude and longitude are both non-zero, else
// the default centre.
void PreviewCenter(const std::vector<WebDevice>& devices, double& lat, double& lon);

// The origin a tile URL template loads from, as a content security policy names it
// ("https://{s}.tile.example.org/..." gives "https://*.tile.example.org"); empty for
// anything but a plain http or https address, which then loads nothing.
std::string TileOrigin(const std::string& tilesUrl);

// The page text for a map centred on lat, lon.
std::string BuildPreviewPage(bool embedded, double lat, double lon, const PreviewMap& map = {});

}  // namespace zm
