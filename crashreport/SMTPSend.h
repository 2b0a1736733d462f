#pragma once
// Sending a mail by SMTP, one conversation per recipient: through the
// configured server, or straight to each recipient's mail exchanger. A failed
// conversation is recorded as eeEmailSMTPError and the next recipient is tried.
// Any thread; the progress callback runs on the calling thread.

#include <functional>
#include <string>
#include <vector>

#include "crashreport/MXLookup.h"
#include "crashreport/MailLayout.h"

namespace crashreport {

struct TSMTPSettings {
    std::string host;  // the server when no MX lookup is made
    uint16_t port = 25;
    std::string user, password;
    bool useMX = false;
    int timeoutMs = kDefaultSocketTimeoutMs;
    TDNSSettings dns;
};

// Called with the text index of each step (txtResolvingMX ... txtSendingMessage)
// and the number of the recipient (0-based).
using TSMTPProgress = std::function<void(int textIndex, size_t recipient)>;

// What one recipient's conversation came to.
struct TSMTPOutcome {
    std::string recipient;
    std::string server;
    bool sent = false;
    std::string error;  // the failure's text with the conversation log
};

// The local host name as gethostname gives it (250-byte buffer).
std::string localHostName();

// One conversation: connect to server and hand over the message for recipient.
TSMTPOutcome sendToRecipient(const std::string& recipient, const TMailContent& mail, const TSMTPSettings& settings,
                             const TSMTPProgress& progress = {}, size_t index = 0);

// Every recipient in turn; true when at least one conversation succeeded.
bool sendBySMTP(const std::vector<std::string>& recipients, const TMailContent& mail, const TSMTPSettings& settings,
                const TSMTPProgress& progress = {}, std::vector<TSMTPOutcome>* outcomes = nullptr);

}  // namespace crashreport
