#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "integration/IntegrationRecords.h"

namespace zm {

class CHttpServer;

// What the JSON view shows; implemented by the application over its device registry.
// Called on the web server's connection threads.
class IDeviceStateSource {
  public:
    virtual ~IDeviceStateSource() = default;
    virtual std::string Station() = 0;
    // Every device in list order.
    virtual std::vector<DeviceStateRecord> DeviceStates() = 0;
    // The alarms open now, in the order they opened.
    virtual std::vector<AlarmEventRecord> OpenAlarms() = 0;
    // The folder of the monthly log folders, where the devices' data logs are; empty
    // when there are none to read.
    virtual std::string DataLogsFolder() { return {}; }
};

inline constexpr const char* kJsonContentType = "application/json; charset=utf-8";

// The bodies: {"station": S, "devices": [...]}, one device object (false when there is no
// device of that name), {"station": S, "alarms": [...]}.
std::string DevicesJsonText(IDeviceStateSource& source);
bool DeviceJsonText(IDeviceStateSource& source, const std::string& name, std::string& body);
std::string AlarmsJsonText(IDeviceStateSource& source);

// The trend of "/api/devices/<name>/data?from=&to=&max_points=" (seconds since 1970; to
// defaults to now, from to an hour before to, max_points to 2000). false with the status
// and an error body for a query that cannot be answered.
class CDeviceTrendReader;
bool DeviceDataJsonText(IDeviceStateSource& source, CDeviceTrendReader& reader,
                        const std::string& name, const std::string& query, std::int64_t now,
                        std::string& body, std::string& status);

// Registers "/api/devices", "/api/devices/<name>", "/api/devices/<name>/data" and
// "/api/alarms". The source must
// outlive the server's connection threads.
void RegisterJsonApi(CHttpServer& server, IDeviceStateSource& source);

}  // namespace zm
