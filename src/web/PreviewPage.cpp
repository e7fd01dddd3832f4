#include "web/PreviewPage.h"

#include <cctype>
#include <cmath>

#include "base/Printf.h"
#include "web/XmlDoc.h"

namespace zm {

namespace {

// Only markup: the script and the style sheet are files of their own, and what the
// script needs to know comes as attributes of the body.
const char* const kHead = R"PAGE(<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title></title>
<link rel="stylesheet" href="/leaflet/leaflet.css">
<link rel="stylesheet" href="/preview.css">
<script src="/leaflet/leaflet.js"></script>
<script src="/preview.js"></script>
</head>
)PAGE";

const char* const kTail = R"PAGE(<div id="ui-panel"></div>
<div id="map"></div>
<div id="map-notice">The base map cannot be loaded: neither the station's land layer nor a
map tile server is within reach. The devices are shown at their positions without it.</div>
</body>
</html>
)PAGE";

}  // namespace

std::string PreviewEmbeddedAddress(int port) {
    return StrPrintf("http://localhost:%d%s", port, PreviewRecord::kEmbeddedPath);
}

void PreviewCenter(const std::vector<WebDevice>& devices, double& lat, double& lon) {
    for (const WebDevice& d : devices) {
        if (d.latitude != 0.0 && d.longitude != 0.0 && std::isfinite(d.latitude) &&
            std::isfinite(d.longitude)) {
            lat = d.latitude;
            lon = d.longitude;
            return;
        }
    }
    lat = kDefaultCenterLat;
    lon = kDefaultCenterLon;
}

std::string TileOrigin(const std::string& tilesUrl) {
    size_t scheme = tilesUrl.find("://");
    if (scheme == std::string::npos ||
        (tilesUrl.compare(0, scheme, "https") != 0 && tilesUrl.compare(0, scheme, "http") != 0))
        return {};
    const size_t hostStart = scheme + 3;
    const size_t hostEnd = tilesUrl.find('/', hostStart);
    std::string host = tilesUrl.substr(
        hostStart, hostEnd == std::string::npos ? std::string::npos : hostEnd - hostStart);
    // Leaflet's subdomain placeholder becomes the policy's wildcard; any other
    // placeholder in the host name cannot be named.
    if (host.rfind("{s}.", 0) == 0)
        host.replace(0, 3, "*");
    if (host.empty() || host.front() == '.' || host.front() == ':')
        return {};
    for (size_t i = 0; i < host.size(); ++i) {
        const char c = host[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':' &&
            !(c == '*' && i == 0))
            return {};
    }
    return tilesUrl.substr(0, hostStart) + host;
}

std::string BuildPreviewPage(bool embedded, double lat, double lon, const PreviewMap& map) {
    std::string page;
    if (embedded)
        page += "<!DOCTYPE html>\r\n";
    page += kHead;
    page += StrPrintf("<body data-lat=\"%f\" data-lng=\"%f\" data-selector=\"%d\"", lat, lon,
                      embedded ? 0 : 1);
    if (!map.tilesUrl.empty()) {
        page += " data-tiles=\"" + CXmlDoc::EscapeText(map.tilesUrl, true) + "\"";
        page +=
            " data-tiles-attribution=\"" + CXmlDoc::EscapeText(map.tilesAttribution, true) + "\"";
    }
    if (map.baseMap)
        page += " data-basemap=\"1\"";
    page += ">\n";
    page += kTail;
    return page;
}

}  // namespace zm
