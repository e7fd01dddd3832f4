#include "app/StatusLevel.h"

#include "base/Printf.h"

namespace zm {

std::string StatusLevel::IconFile() const {
    return StrPrintf("%s.png", icon);
}

StatusLevel GetStatusLevel(int statusCode) {
    switch (statusCode) {
        case 3:  // data is absent
            return {1, "Wait", 100, 100, 100};
        case 0:  // no connection
            return {2, "Error", 200, 100, 0};
        case 1:  // online and ok
            return {3, "Good", 0, 100, 0};
        case 5:  // alarm reported
            return {4, "Alarm", 200, 0, 0};
        default:  // monitoring off, emulation, unknown
            return {0, "Off", 200, 200, 200};
    }
}

}  // namespace zm
