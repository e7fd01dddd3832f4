#pragma once

#include <string>
#include <vector>

#include "web/PreviewDevices.h"

namespace zm {

// The live map page served at "/preview" (with a device selector) and at
// "/preview-embedded" (for the application's own map view). The page polls
// "/device-list" and the device files every second and draws the devices on a Leaflet
// map with OpenStreetMap tiles; Leaflet itself comes from our own server ("leaflet/").
struct PreviewRecord {
    static constexpr int kPort = 8889;
    static constexpr const char* kEmbeddedPath = "/preview-embedded";
    static constexpr const char* kPagePath = "/preview";
};

inline constexpr double kDefaultCenterLat = 48.523386;
inline constexpr double kDefaultCenterLon = 44.664271;

// The address of the embedded page on this machine, which the web log is opened on after
// every start attempt of the server: "http://localhost:8889/preview-embedded".
std::string PreviewEmbeddedAddress(int port = PreviewRecord::kPort);

// The position of the first device whose latitude and longitude are both non-zero, else
// the default centre.
void PreviewCenter(const std::vector<WebDevice>& devices, double& lat, double& lon);

// The page text for a map centred on lat, lon.
std::string BuildPreviewPage(bool embedded, double lat, double lon);

}  // namespace zm
