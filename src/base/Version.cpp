#include "base/Version.h"

namespace zm {

std::string GetVersionText(bool withName, bool withVersion) {
    if (!withName && !withVersion) {
        return "<nothing>";
    }
    std::string text;
    if (withName) {
        text += kProductId;
    }
    if (withName && withVersion) {
        text += " version ";
    }
    if (withVersion) {
        text += kProductVersion;
    }
    return text;
}

}  // namespace zm
