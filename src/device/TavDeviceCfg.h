#pragma once

#include <cstdint>
#include <string>

#include "links/DeviceLink.h"

namespace zm {

// The generic device's configuration record, copied by value. The ZOR device extends it
// with its own fields.
struct TavDeviceCfg {
    std::int32_t nKind = 1000;  // always 1000; not stored
    bool bScanning = false;
    bool bTxtLogOn = false;  // the device's text log switch: kept, shown and edited only
    std::string sName;
    std::string sLinkType = kLinkTypeNone;
    std::string sTxtLog;        // path of the device's text log: kept, shown and edited only
    std::uint32_t crColor = 0;  // RGB, red in the low byte
    ComPortSettings comPort;
    XSocketSettings xSocket;
    std::string sUpdFreq = "60";  // seconds between forced state reports; "0" or empty: none

    bool operator==(const TavDeviceCfg&) const = default;
};

// The update frequency as seconds; text that does not start with a number counts as 0.
double UpdFreqSeconds(const std::string& sUpdFreq);

}  // namespace zm
