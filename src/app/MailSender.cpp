#include "app/MailSender.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "notify/Smtp.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

void LogNotSent(const std::string& kind, const std::string& reason) {
    // The reason may carry a server's own words.
    const std::string shown = HtmlEscaped(reason);
    DeviceLog().AddError("<li><dt> %s was not sent: %s.</li>", kind.c_str(), shown.c_str());
    RunLog().AddError("<li><dt> %s was not sent: %s.</li>", kind.c_str(), shown.c_str());
}

// The body's lines, split at CR LF.
std::vector<std::string> BodyLines(const std::string& body) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = body.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(body.substr(start));
            return lines;
        }
        lines.push_back(body.substr(start, end - start));
        start = end + 2;
    }
}

}  // namespace

bool DeliverAlertMail(const AlertMail& mail) {
    if (mail.recipients.empty() || mail.sBody.empty()) {
        return false;
    }
    if (mail.account.nPort < 0 || mail.account.nPort > 65535) {
        LogNotSent(mail.sKind, StrPrintf("SMTP port %d is out of range", mail.account.nPort));
        return false;
    }
    try {
        CSmtp smtp;
        smtp.SetBodyCharset("UTF-8");
        smtp.SetServer(mail.account.sServer, static_cast<uint16_t>(mail.account.nPort), true);
        smtp.SetSecurity(mail.account.nSecurity);
        smtp.SetTlsVerify(mail.account.bTlsVerify);
        smtp.SetUser(mail.account.sLogin);
        smtp.SetUserPassword(mail.account.sPassword);
        smtp.SetFromName(mail.account.sSenderName);
        smtp.SetFromAddress(mail.account.sSenderMail);
        smtp.SetReplyAddress(mail.account.sReplyTo);
        smtp.SetSubjectLine(mail.sSubject);
        smtp.SetMailerName(GetVersionText(true, true));
        smtp.SetPriority(2);
        for (const auto& to : mail.recipients) {
            smtp.AddTo(to);
        }
        for (const auto& line : BodyLines(mail.sBody)) {
            smtp.AddBodyLine(line);
        }
        smtp.SendMail();
    } catch (const ECSmtp& error) {
        LogNotSent(mail.sKind, error.GetErrorText());
        if (!error.GetDetail().empty()) {
            RunLog().AddError("<li><dt> %s: %s</li>", mail.sKind.c_str(),
                              HtmlEscaped(error.GetDetail()).c_str());
        }
        return false;
    } catch (const std::exception& error) {
        LogNotSent(mail.sKind, error.what());
        return false;
    }
    const int count = static_cast<int>(mail.recipients.size());
    DeviceLog().AddSuccess("<li><dt> %s was successfully sent (recipients: %d).</li>",
                           mail.sKind.c_str(), count);
    RunLog().AddSuccess("<li><dt> %s was successfully sent (recipients: %d).</li>",
                        mail.sKind.c_str(), count);
    return true;
}

}  // namespace zm
