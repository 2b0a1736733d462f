#pragma once
// Report delivery: turns the report cycle's send request into a mail, the way
// SendMethod chooses (1 the user's mail program, else the mailto way; 2 SMTP
// through the configured server; 3 SMTP to each recipient's mail exchanger).
// Every failure is recorded as a notice with its TQuillLogErrorCode; nothing
// is raised. Any thread.

#include <string>
#include <vector>

#include "crashreport/ReportSender.h"
#include "crashreport/SMTPSend.h"

namespace crashreport {

// The single addresses of the recipient option: separated by ";", "," or blanks;
// an entry with a control byte or "<>" in it is dropped.
std::vector<std::string> splitRecipients(const std::string& list);

TSMTPSettings smtpSettingsFrom(const TQuillModuleOptionsEx& options);

// The files and body of one send; the report file it writes is deleted with it.
class TDeliveryFiles {
public:
    explicit TDeliveryFiles(const TSendRequest& request);
    ~TDeliveryFiles();
    TDeliveryFiles(const TDeliveryFiles&) = delete;
    TDeliveryFiles& operator=(const TDeliveryFiles&) = delete;

    // Keeps the files after the send (the mail program may read them later).
    void keep() { m_keep = true; }
    const TMailContent& mail() const { return m_mail; }
    // False when the report file could not be written (recorded as a notice).
    bool complete() const { return m_complete; }

private:
    TMailContent m_mail;
    std::string m_folder, m_reportFile;
    bool m_keep = false;
    bool m_complete = true;
};

// SendMethod 2 or 3, on this thread; progress as for sendBySMTP.
bool deliverBySMTP(const TSendRequest& request, const TSMTPProgress& progress = {});
// SendMethod 1: the mail program, falling back to the mailto way.
bool deliverByMailProgram(const TSendRequest& request);
// Whichever SendMethod says, on this thread, without a dialog.
bool deliverReport(const TSendRequest& request);

}  // namespace crashreport
