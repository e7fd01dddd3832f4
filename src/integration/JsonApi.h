#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "integration/IntegrationRecords.h"
#include "web/HttpServer.h"

namespace zm {

class CApiAccess;
class CDeviceTrendReader;
namespace alarms {
class AlarmOperations;
}

// What the JSON view shows; implemented by the application over its device registry.
// Called on the web server's connection threads.
class IDeviceStateSource {
  public:
    virtual ~IDeviceStateSource() = default;
    virtual std::string Station() = 0;
    // Every device in list order.
    virtual std::vector<DeviceStateRecord> DeviceStates() = 0;
    // The alarms open now, in the order they opened (without the alarm lifecycle).
    virtual std::vector<AlarmEventRecord> OpenAlarms() = 0;
    // The folder of the monthly log folders, where the devices' data logs are; empty
    // when there are none to read.
    virtual std::string DataLogsFolder() { return {}; }
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

// The trend of "/api/devices/<name>/data?from=&to=&max_points=" (seconds since 1970; to
// defaults to now, from to an hour before to, max_points to 2000). false with the status
// and an error body for a query that cannot be answered.
bool DeviceDataJsonText(IDeviceStateSource& source, CDeviceTrendReader& reader,
                        const std::string& name, const std::string& query, std::int64_t now,
                        std::string& body, std::string& status);

// The routes under "/api/": device states and trends, the alarms, their history and statistics, and
// the operator's writes (acknowledge, shelve, out of service). Every write is checked by
// `access` and then made by one call of `alarms`; nothing here touches a device. Without
// the alarm lifecycle (`alarms` null) the alarm list is the source's and the other alarm
// routes answer 503.
class CJsonApi {
  public:
    // `trends` keeps its summaries from one request to the next; null: none are kept.
    CJsonApi(IDeviceStateSource& source, alarms::AlarmOperations* alarms, CApiAccess& access,
             CDeviceTrendReader* trends = nullptr)
        : source_(source), alarms_(alarms), access_(access), trends_(trends) {}

    CHttpServer::RequestReply Handle(const HttpRequest& request);

  private:
    using Reply = CHttpServer::RequestReply;

    Reply Devices(const HttpRequest& request, const std::vector<std::string>& segments);
    Reply DeviceData(const HttpRequest& request, const std::string& device);
    Reply Suppression(const HttpRequest& request, const std::string& device, bool shelve);
    Reply Alarms(const HttpRequest& request, const std::vector<std::string>& segments);
    Reply AlarmList();
    Reply History(const HttpRequest& request);
    Reply Statistics(const HttpRequest& request);
    Reply Acknowledge(const HttpRequest& request, const std::string& id);
    Reply AcknowledgeAll(const HttpRequest& request);
    // The device's state with its suppression, or 404.
    Reply DeviceReply(const std::string& name);

    IDeviceStateSource& source_;
    alarms::AlarmOperations* alarms_;
    CApiAccess& access_;
    CDeviceTrendReader* trends_;
};

// Registers "/api/" on the server; `alarms` is asked at every request (null: no lifecycle
// yet). Source, alarms and access must outlive the server's connection threads.
void RegisterJsonApi(CHttpServer& server, IDeviceStateSource& source,
                     std::function<alarms::AlarmOperations*()> alarms, CApiAccess& access);

}  // namespace zm
