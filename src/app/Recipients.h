#pragma once

#include <string>
#include <vector>

namespace zm {

// The operator's one recipient list serves alert mails and SMS alike: e-mail addresses
// and phone numbers separated by ",".

// Every entry: split at ",", trimmed, empty entries dropped.
std::vector<std::string> SplitRecipients(const std::string& list);

// An entry meant for the SMS gateway: digits with blanks, "-", "/", brackets and at most
// a leading "+". A mail server refuses it as an address, and the whole mail with it.
bool IsPhoneRecipient(const std::string& entry);

// The entries a mail goes to: the list without its phone numbers.
std::vector<std::string> MailRecipients(const std::string& list);

}  // namespace zm
