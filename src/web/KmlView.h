#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>

#include "web/PreviewDevices.h"

namespace zm {

class CKmlReport;

// The KML placemark update of the device list: runs on the engine's user-interface
// thread when the update message arrives for one device, for all devices (the "all" flag:
// every device shown as off), or without either (then at most once every 5 s).
class CKmlView {
  public:
    static constexpr std::chrono::seconds kIdleInterval{5};

    CKmlView(CKmlReport& report, IWebDeviceSource& source) : m_report(report), m_source(source) {}

    // device: the one device concerned, or none for every device. Returns false when the
    // call was throttled or the device is unknown.
    bool Update(const std::optional<std::string>& device, bool all,
                std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

    // Names handed to the report so far.
    const std::set<std::string>& PresentNames() const { return m_present; }

    // Icon name of a device status (the status-level table).
    static const char* IconForStatus(int status);
    static std::string DescriptionHtml(unsigned char red, unsigned char green, unsigned char blue,
                                       const std::string& iconFile, double lat, double lon);

  private:
    void UpdateOne(const WebDevice& device, bool all);

    CKmlReport& m_report;
    IWebDeviceSource& m_source;
    std::optional<std::chrono::steady_clock::time_point> m_lastIdle;
    std::set<std::string> m_present;
};

}  // namespace zm
