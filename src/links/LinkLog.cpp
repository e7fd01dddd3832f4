#include "links/LinkLog.h"

#include <cstdio>

namespace zm {

// HOOK(run-log): until the process-wide run log accessor is merged, the line goes to
// standard error. Replace with the run log's AddWarning before this branch is done.
void LinkLogWarning(const std::string& sLine) {
    std::fprintf(stderr, "%s\n", sLine.c_str());
}

}  // namespace zm
