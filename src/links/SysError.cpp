#include "links/SysError.h"

#include <cstring>

namespace zm {

std::string SysErrorText(int nErrno) {
    char buf[256];
    // The GNU form returns either buf or a static text.
    return ::strerror_r(nErrno, buf, sizeof buf);
}

}  // namespace zm
