#include "app/MailTest.h"

#include <exception>

#include "app/Recipients.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "notify/Smtp.h"

namespace zm {

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

MailTestResult Failed(const std::string& reason, const std::string& detail = {}) {
    MailTestResult result;
    result.lines.push_back("Connection failed:");
    result.lines.push_back(StrPrintf(" --> %s.", reason.c_str()));
    if (!detail.empty()) {
        result.lines.push_back(StrPrintf(" --> %s", detail.c_str()));
    }
    return result;
}

}  // namespace

MailTestResult SendTestMail(const ManagerSettings& settings, const std::string& address) {
    const std::vector<std::string> recipients = address.empty()
                                                    ? MailRecipients(settings.sMailRecipients)
                                                    : std::vector<std::string>{Trim(address)};
    if (recipients.empty() || recipients.front().empty()) {
        return Failed("no recipient: give an address or fill in the list of recipients");
    }
    if (Trim(settings.smtp_server).empty()) {
        return Failed("no SMTP server is set");
    }
    if (settings.smtp_port < 1 || settings.smtp_port > 65535) {
        return Failed(StrPrintf("SMTP port %d is out of range", settings.smtp_port));
    }
    try {
        CSmtp smtp;
        smtp.SetBodyCharset("UTF-8");
        smtp.SetServer(Trim(settings.smtp_server), static_cast<uint16_t>(settings.smtp_port), true);
        smtp.SetSecurity(settings.smtp_sec);
        smtp.SetTlsVerify(settings.smtp_tls_verify != 0);
        smtp.SetUser(settings.smtp_login);
        smtp.SetUserPassword(settings.smtp_pass);
        smtp.SetFromName(settings.smtp_sender_name);
        smtp.SetFromAddress(settings.smtp_sender_mail);
        smtp.SetReplyAddress(settings.smtp_reply_to);
        smtp.SetSubjectLine("ZorManager test mail");
        smtp.SetMailerName(GetVersionText(true, true));
        for (const auto& to : recipients) {
            smtp.AddTo(to);
        }
        smtp.AddBodyLine(StrPrintf("This test message was sent by %s to check its mail account.",
                                   GetVersionText().c_str()));
        smtp.AddBodyLine("Alarm mails will be sent the same way.");
        smtp.SendMail();
    } catch (const ECSmtp& error) {
        return Failed(error.GetErrorText(), error.GetDetail());
    } catch (const std::exception& error) {
        return Failed(error.what());
    }
    MailTestResult result;
    result.bSucceeded = true;
    result.lines.push_back("Connection succeeded");
    result.lines.push_back(StrPrintf("Test mail was successfully sent (recipients: %d).",
                                     static_cast<int>(recipients.size())));
    return result;
}

}  // namespace zm
