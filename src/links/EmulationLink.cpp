#include "links/EmulationLink.h"

namespace zm {

std::string CNoMediumLink::GetName(bool bWithKind) const {
    return bWithKind ? std::string(m_pszKindName) : std::string();
}

bool CNoMediumLink::Open(const LinkSettings&) {
    return true;
}

bool CNoMediumLink::IsOpen() const {
    return true;
}

bool CNoMediumLink::IsAborted() const {
    return false;
}

bool CNoMediumLink::GetError(std::string* pText, std::int32_t*) const {
    // The code is deliberately left untouched: there is no error vocabulary here.
    if (pText) {
        *pText = m_pszOkText;
    }
    return true;
}

void CNoMediumLink::Close() {}

void CNoMediumLink::Purge() {}

bool CNoMediumLink::Read(std::uint8_t*, std::int32_t, std::int32_t&, std::int32_t) {
    return false;
}

bool CNoMediumLink::Write(const std::uint8_t*, std::int32_t, std::int32_t&, std::int32_t) {
    return false;
}

bool CNoMediumLink::LoadCfg(const std::string&, CIni*) {
    return true;
}

bool CNoMediumLink::SaveCfg(const std::string&, CIni*) {
    return true;
}

}  // namespace zm
