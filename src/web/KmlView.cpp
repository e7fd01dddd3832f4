#include "web/KmlView.h"

#include <cstdio>

#include "base/Printf.h"
#include "web/KmlReport.h"

namespace zm {

const char* CKmlView::IconForStatus(int status) {
    switch (status) {
        case 0:
            return "Error";
        case 1:
            return "Good";
        case 3:
            return "Wait";
        case 5:
            return "Alarm";
        default:  // 2, 4 and unknown codes
            return "Off";
    }
}

std::string CKmlView::DescriptionHtml(unsigned char red, unsigned char green, unsigned char blue,
                                      const std::string& iconFile, double lat, double lon) {
    std::string position = StrPrintf("%.6lf, %.6lf", lat, lon);
    return StrPrintf(
        "<p><font size=\"3\"><div><font color=\"#%02X%02X%02X;\"><b>%s</b></font></div><center>"
        "<img align=\"middle\" width=\"128\" height=\"128\" src=\"../images/%s\"/></center><hr/>"
        "<div><nobr><b>Gps data:</b></nobr></div><div><nobr>%s</nobr></div><hr/></font></p>",
        red, green, blue, "<nobr>!!! ======================== !!!</nobr>", iconFile.c_str(),
        position.c_str());
}

bool CKmlView::Update(const std::optional<std::string>& device, bool all,
                      std::chrono::steady_clock::time_point now) {
    if (device) {
        WebDevice d;
        if (!m_source.SnapshotDevice(*device, d))
            return false;
        UpdateOne(d, all);
    } else {
        if (!all) {
            if (m_lastIdle && now - *m_lastIdle < kIdleInterval)
                return false;
            m_lastIdle = now;
        }
        for (const WebDevice& d : m_source.SnapshotDevices())
            UpdateOne(d, all);
    }
    m_report.Flush();
    return true;
}

void CKmlView::UpdateOne(const WebDevice& device, bool all) {
    // Numbers the text does not give stay 0 rather than undefined.
    double lat = 0.0, lon = 0.0, val = 0.0;
    std::sscanf(device.latLonVal.c_str(), "%lf,%lf,%lf", &lat, &lon, &val);
    const std::string icon = StrPrintf("%s.png", IconForStatus(all ? 2 : device.status));
    const std::string description =
        DescriptionHtml(device.red, device.green, device.blue, icon, lat, lon);
    m_present.insert(device.name);
    m_report.UpdatePlacemark(device.name, lat, lon, val, icon, device.statusText, std::string(),
                             description);
}

}  // namespace zm
