#include "platform/ServiceNotify.h"

// The service control manager learns of start, stop and reload through the service's own
// status reports, which the service program makes; a console run has nobody to tell.
namespace zm::platform {

bool NotifyServiceReady(const std::string&) {
    return false;
}

bool NotifyServiceReloading() {
    return false;
}

bool NotifyServiceStatus(const std::string&) {
    return false;
}

bool NotifyServiceStopping() {
    return false;
}

}  // namespace zm::platform
