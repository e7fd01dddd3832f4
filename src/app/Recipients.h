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

// The list as the recipients dialog shows it: one entry per line (CR LF), blanks removed.
std::string RecipientsForEditing(const std::string& list);

// The dialog's text stored again: line ends become ",", every entry trimmed, empty ones
// dropped, joined with "," without blanks.
std::string RecipientsFromEditing(const std::string& text);

// The message that shows the list after the dialog: a heading, one numbered line per entry
// and "<end of list>".
std::string RecipientsListMessage(const std::string& list);

}  // namespace zm
