#include "links/LinkLog.h"

#include "base/AppLogs.h"

namespace zm {

void LinkLogWarning(const std::string& sText) {
    RunLog().AddWarning("<li><dt> %s</li>", sText.c_str());
}

}  // namespace zm
