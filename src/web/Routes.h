#pragma once

#include <string>
#include <vector>

#include "web/PreviewDevices.h"
#include "web/PreviewPage.h"

namespace zm {

class CHttpServer;
class CLog;

// The bodies of the plain-text routes: every device name followed by ";" in registry
// order, and the first device's name (empty without devices).
std::string DeviceListText(IWebDeviceSource& source);
std::string FirstDeviceName(IWebDeviceSource& source);

// Registers "/preview", "/preview-embedded", "/device-list" and "/sync", and the page's
// script and style sheet. A tile URL the content security policy cannot name is left out.
// The source must outlive the server's connection threads.
void RegisterWebRoutes(CHttpServer& server, IWebDeviceSource& source, PreviewMap map = {});

// Copies Leaflet (script, style sheet, its images) from the system's copy into
// webFolder + "leaflet/", so that the page needs no outside server. Failures are run-log
// entries; false when the script or the style sheet is missing afterwards.
inline constexpr const char* kSystemLeafletFolder = "/usr/share/javascript/leaflet/";
bool InstallLeaflet(const std::string& webFolder, CLog* log,
                    const std::string& sourceFolder = kSystemLeafletFolder);

// The offline base map (land polygons as GeoJSON, made at build time from Natural Earth)
// into webFolder + "basemap/land.geojson". The first candidate file that exists is taken:
// beside the program, then the installed data folder. false, with an orange run-log line,
// when there is none: the maps then draw no land.
inline constexpr const char* kBaseMapFile = "basemap/land.geojson";
std::vector<std::string> BaseMapCandidates();
bool InstallBaseMap(const std::string& webFolder, CLog* log,
                    const std::vector<std::string>& candidates = BaseMapCandidates());

}  // namespace zm
