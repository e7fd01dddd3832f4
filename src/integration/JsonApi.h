#pragma once

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
    // The alert outbox; a station without one has nothing pending.
    virtual OutboxSummaryRecord Outbox() { return {}; }
};

inline constexpr const char* kJsonContentType = "application/json; charset=utf-8";

// The bodies: {"station": S, "devices": [...], "outbox": {"pending": N,
// "oldestFailingSince": time or null}}, one device object (false when there is no
// device of that name), {"station": S, "alarms": [...]}.
std::string DevicesJsonText(IDeviceStateSource& source);
bool DeviceJsonText(IDeviceStateSource& source, const std::string& name, std::string& body);
std::string AlarmsJsonText(IDeviceStateSource& source);

// Registers "/api/devices", "/api/devices/<name>" and "/api/alarms". The source must
// outlive the server's connection threads.
void RegisterJsonApi(CHttpServer& server, IDeviceStateSource& source);

}  // namespace zm
