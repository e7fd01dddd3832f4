#include "notify/Clickatell.h"

#include <utility>

#include "base/Printf.h"

namespace zm {

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool IsPhoneNumber(const std::string& entry) {
    return !entry.empty() && entry.find_first_not_of("0123456789") == std::string::npos;
}

// The gateway reads one field per line: a line end inside a value would start a field of
// its own (another "to:" line, say), so values are kept on their line.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

CClickatell::CClickatell(std::string userName, std::string password, std::string clientId,
                         std::string apiId)
    : userName_(std::move(userName)),
      password_(std::move(password)),
      clientId_(std::move(clientId)),
      apiId_(std::move(apiId)) {}

bool CClickatell::IsComplete() const {
    return !userName_.empty() && !password_.empty() && !clientId_.empty() && !apiId_.empty();
}

std::string CClickatell::BuildSmsBody(const std::string& text,
                                      const std::string& recipients) const {
    std::string toLines;
    size_t start = 0;
    for (;;) {
        size_t comma = recipients.find(',', start);
        std::string entry = Trim(recipients.substr(
            start, comma == std::string::npos ? std::string::npos : comma - start));
        if (IsPhoneNumber(entry)) {
            toLines += StrPrintf("to:%s\r\n", entry.c_str());
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (toLines.empty()) {
        return {};
    }
    return StrPrintf("User:%s\r\npassword:%s\r\napi_id:%s\r\ntext:%s\r\n",
                     OneLine(userName_).c_str(), OneLine(password_).c_str(),
                     OneLine(apiId_).c_str(), OneLine(text).c_str()) +
           toLines;
}

}  // namespace zm
