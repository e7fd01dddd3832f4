#include "links/SysError.h"

#include "platform/SystemInfo.h"

namespace zm {

std::string SysErrorText(int nErrno) {
    return platform::SystemErrorText(nErrno);
}

}  // namespace zm
