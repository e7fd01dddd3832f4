#include "app/Recipients.h"

#include <algorithm>

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

}  // namespace

std::vector<std::string> SplitRecipients(const std::string& list) {
    std::vector<std::string> recipients;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string entry = Trim(
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!entry.empty()) {
            recipients.push_back(std::move(entry));
        }
        if (comma == std::string::npos) {
            return recipients;
        }
        start = comma + 1;
    }
}

bool IsPhoneRecipient(const std::string& entry) {
    if (entry.find_first_not_of("+0123456789 -/()") != std::string::npos ||
        entry.find_first_of("0123456789") == std::string::npos) {
        return false;
    }
    const size_t plus = entry.rfind('+');
    return plus == std::string::npos || plus == 0;
}

std::vector<std::string> MailRecipients(const std::string& list) {
    std::vector<std::string> recipients = SplitRecipients(list);
    std::erase_if(recipients, IsPhoneRecipient);
    return recipients;
}

std::string RecipientsForEditing(const std::string& list) {
    std::string text;
    for (char c : list) {
        if (c == ',') {
            text += "\r\n";
        } else if (c != ' ' && c != '\t') {
            text += c;
        }
    }
    return text;
}

std::string RecipientsFromEditing(const std::string& text) {
    std::string joined;
    for (char c : text) {
        joined += (c == '\r' || c == '\n') ? ',' : c;
    }
    std::string list;
    for (const std::string& entry : SplitRecipients(joined)) {
        if (!list.empty()) {
            list += ',';
        }
        list += entry;
    }
    return list;
}

std::string RecipientsListMessage(const std::string& list) {
    std::string message = "Current list of recipients:\r\n";
    int number = 0;
    for (const std::string& entry : SplitRecipients(list)) {
        message += std::to_string(++number) + ") " + entry + "\r\n";
    }
    return message + "<end of list>";
}

}  // namespace zm
