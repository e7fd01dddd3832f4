#include "links/DeviceLink.h"

namespace zm {

void ComPortSettings::ResetToDefaults() {
    sPortName = kDefaultComPortName;
    nBaudRate = nDefBaudRate;
    nByteSize = nDefByteSize;
    nStopBits = nDefStopBits;
    nParity = nDefParity;
}

void XSocketSettings::ResetToDefaults() {
    sAddress = sDefAddress;
    nPort = nDefPort;
    nTimeOut = nDefTimeOut;
}

LinkKind LinkKindFromName(const std::string& sLinkType) {
    if (sLinkType == kLinkTypeCom) {
        return LinkKind::Com;
    }
    if (sLinkType == kLinkTypeTcpIp) {
        return LinkKind::TcpIp;
    }
    if (sLinkType == kLinkTypeEmul) {
        return LinkKind::Emul;
    }
    if (sLinkType == kLinkTypeExt) {
        return LinkKind::Ext;
    }
    return LinkKind::None;
}

LinkSettings SettingsForLinkType(const std::string& sLinkType, const ComPortSettings& com,
                                 const XSocketSettings& sock) {
    // A prefix test, unlike the exact match that selects the link itself.
    if (sLinkType.starts_with(kLinkTypeCom)) {
        return com;
    }
    if (sLinkType.starts_with(kLinkTypeTcpIp)) {
        return sock;
    }
    return std::monostate{};
}

}  // namespace zm
