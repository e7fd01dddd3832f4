#pragma once

#include "notify/Outbox.h"

namespace zm {

// Runs one SMTP session for the mail and writes its outcome to the device log and the run
// log: "<kind> was successfully sent (recipients: n)." in green or "<kind> was not sent:
// <reason>." in red. A mail without recipient or body is neither sent nor logged (false).
// Blocks for as long as the server takes, so it belongs on the mail-sender thread.
bool DeliverAlertMail(const AlertMail& mail);

// The alert mails' outbox as the engine owns it: durable once opened on the outbox file,
// retried, merged per device and kind, bounded (see COutbox).
class CMailSender : public COutbox {
  public:
    using COutbox::COutbox;
};

}  // namespace zm
