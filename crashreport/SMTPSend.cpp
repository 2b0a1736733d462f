#include "crashreport/SMTPSend.h"

#include <unistd.h>

#include <ctime>

#include "crashreport/CustomTexts.h"
#include "crashreport/InternalNotices.h"
#include "crashreport/QuillClientSMTP.h"

namespace crashreport {

namespace {

constexpr size_t kHostNameBuffer = 250;

std::string base64Of(std::string_view text) {
    std::string lines = base64Lines(text), out;
    for (const char c : lines)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

// Ends the conversation as failed: the command, the reply and the log.
[[noreturn]] void refused(const TQuillClientSMTP& client, const std::string& shown) {
    throw EQuillSocketError("The server answered \"" + shown + "\" with \"" + client.lastReply().text() + "\".\r\n" +
                            client.log());
}

void expect(TQuillClientSMTP& client, const std::string& text, std::initializer_list<int> codes,
            const char* logAs = nullptr) {
    if (!client.command(text, codes, logAs)) refused(client, logAs ? logAs : text);
}

void converse(TQuillClientSMTP& client, const std::string& recipient, const TMailContent& mail,
              const TSMTPSettings& settings, const std::function<void(int)>& step) {
    client.connect();
    if (client.readReply().code != 220) refused(client, "(connect)");
    step(txtConnectedSMTP);
    const std::string host = localHostName();
    if (!settings.user.empty() || !settings.password.empty()) {
        expect(client, "EHLO " + host, {250});
        expect(client, "RSET", {250});
        expect(client, "AUTH LOGIN", {334});
        expect(client, base64Of(settings.user), {334}, "***");
        expect(client, base64Of(settings.password), {235}, "***");
    } else {
        expect(client, "HELO " + host, {250});
        expect(client, "RSET", {250});
    }
    expect(client, "MAIL FROM:<" + mail.sender + ">", {250});
    step(txtSendingMessage);
    expect(client, "RCPT TO:<" + recipient + ">", {250, 251});
    expect(client, "DATA", {354});
    if (!client.transmit(buildMailMessage(mail, recipient, std::time(nullptr)), {250}))
        refused(client, "(message)");
}

}  // namespace

std::string localHostName() {
    char name[kHostNameBuffer + 1] = {};
    if (::gethostname(name, kHostNameBuffer) != 0) return "localhost";
    name[kHostNameBuffer] = '\0';
    return name[0] ? name : "localhost";
}

TSMTPOutcome sendToRecipient(const std::string& recipient, const TMailContent& mail, const TSMTPSettings& settings,
                             const TSMTPProgress& progress, size_t index) {
    TSMTPOutcome outcome;
    outcome.recipient = recipient;
    auto step = [&](int text) {
        if (progress) progress(text, index);
    };
    try {
        outcome.server = settings.host;
        if (settings.useMX) {
            step(txtResolvingMX);
            const size_t at = recipient.rfind('@');
            outcome.server = lookupMX(at == std::string::npos ? std::string() : recipient.substr(at + 1), settings.dns);
        }
        step(txtConnectingSMTP);
        TQuillClientSMTP client(outcome.server, settings.port, settings.timeoutMs);
        converse(client, recipient, mail, settings, step);
        outcome.sent = true;  // the server took the message; a failing close does not undo that
        client.close();
    } catch (const std::exception& e) {
        if (!outcome.sent) outcome.error = e.what();
    }
    return outcome;
}

bool sendBySMTP(const std::vector<std::string>& recipients, const TMailContent& mail, const TSMTPSettings& settings,
                const TSMTPProgress& progress, std::vector<TSMTPOutcome>* outcomes) {
    bool any = false;
    for (size_t i = 0; i < recipients.size(); ++i) {
        TSMTPOutcome outcome = sendToRecipient(recipients[i], mail, settings, progress, i);
        if (outcome.sent)
            any = true;
        else
            recordWarningNotice(eeEmailSMTPError, 0, outcome.error);
        if (outcomes) outcomes->push_back(std::move(outcome));
    }
    return any;
}

}  // namespace crashreport
