#pragma once

#include <string>
#include <vector>

namespace zm {

// What the web routes and the KML update need to know of one device, copied out of the
// registry in one walk so that nothing of the device is touched after the lock is left.
struct WebDevice {
    std::string name;
    unsigned char red = 0, green = 0, blue = 0;  // the device colour
    double latitude = 0.0;                       // the device position, degrees
    double longitude = 0.0;
    std::string latLonVal;  // the device's "Lat,Lon,Val" information text ("%lf,%lf,%lf")
    int status = 0;         // device status code
    std::string statusText;
};

// Implemented by the engine over its device registry. Both calls take the registry lock
// for the whole walk and may be called from the HTTP server's connection threads and from
// the user-interface thread.
class IWebDeviceSource {
  public:
    virtual ~IWebDeviceSource() = default;
    // Every device in registry order.
    virtual std::vector<WebDevice> SnapshotDevices() = 0;
    // One device by name; false when there is none of that name.
    virtual bool SnapshotDevice(const std::string& name, WebDevice& device) = 0;
};

}  // namespace zm
