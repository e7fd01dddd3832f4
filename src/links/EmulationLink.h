#pragma once

#include "links/DeviceLink.h"

namespace zm {

// Links without a medium: every device always has a link to ask for a name, an error
// text and an open state. They are always open and fail every transfer at once.
class CNoMediumLink : public CDeviceLink {
  public:
    std::string GetName(bool bWithKind) const override;
    bool Open(const LinkSettings& settings) override;
    bool IsOpen() const override;
    bool IsAborted() const override;
    bool GetError(std::string* pText, std::int32_t* pCode) const override;
    void Close() override;
    void Purge() override;
    bool Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
              std::int32_t nTimeOutMs) override;
    bool Write(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
               std::int32_t nTimeOutMs) override;
    bool LoadCfg(const std::string& sSection, CIni* pIni) override;
    bool SaveCfg(const std::string& sSection, CIni* pIni) override;

  protected:
    CNoMediumLink(const char* pszKindName, const char* pszOkText)
        : m_pszKindName(pszKindName), m_pszOkText(pszOkText) {}

  private:
    const char* m_pszKindName;
    const char* m_pszOkText;
};

// The device produces its readings itself (emulation mode).
class CEmulationLink final : public CNoMediumLink {
  public:
    CEmulationLink() : CNoMediumLink("Emulation-Link", "Emul-Link(ok)") {}
};

// The device receives its data from outside the link layer.
class CExtDataLink final : public CNoMediumLink {
  public:
    CExtDataLink() : CNoMediumLink("External-Link", "Ext-Link(ok)") {}
};

}  // namespace zm
