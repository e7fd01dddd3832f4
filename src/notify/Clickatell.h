#pragma once

#include <string>

namespace zm {

// The account of the e-mail-to-SMS gateway. Alert SMS travel as an ordinary mail (through
// CSmtp, with the alert mail's server and account) to the gateway's fixed address; this
// class only builds the body in the gateway's line format.
class CClickatell {
  public:
    // The gateway's mail interface. The settings keep a copy for display only.
    static constexpr const char* kGatewayAddress = "sms@messaging.clickatell.com";

    CClickatell(std::string userName, std::string password, std::string clientId,
                std::string apiId);
    virtual ~CClickatell() = default;

    // All four account values are present (the client ID too, though the body omits it).
    bool IsComplete() const;
    // The mail body for `text`, one "to:" line per phone number of `recipients` (entries
    // separated by ","; only entries made of digits alone are phone numbers). Empty when
    // the list holds no phone number.
    std::string BuildSmsBody(const std::string& text, const std::string& recipients) const;
    static std::string GatewayAddress() { return kGatewayAddress; }

    const std::string& UserName() const { return userName_; }
    const std::string& Password() const { return password_; }
    const std::string& ClientId() const { return clientId_; }
    const std::string& ApiId() const { return apiId_; }

  private:
    std::string userName_;
    std::string password_;
    std::string clientId_;
    std::string apiId_;
};

}  // namespace zm
