#pragma once
// The mail a report travels in over SMTP: headers, one text part and the
// attachments in Base64, ready for DATA (dot-stuffed, ending with the "." line).
// Pure functions but for reading the attachment files.

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

struct TMailContent {
    std::string sender;
    std::string subject;
    std::string text;                      // the body of the text part
    std::vector<std::string> attachments;  // file paths; those that do not exist are skipped
};

// "Sun, 3 Mar 2024 09:05:07 +0100": local time; the zone in whole hours of the UTC offset.
std::string formatMailDate(std::time_t when);
// The zone text of an offset east of UTC in seconds: "+0100", "-0500", "+1200" (minutes dropped).
std::string mailDateZone(long offsetSeconds);
// "image/png" for a ".PNG" extension in any case, else "application/octet-stream".
std::string attachmentType(std::string_view fileName);
// Base64 in lines of kBase64LineLength characters, each ending with CR LF.
std::string base64Lines(std::string_view bytes);
// One more "." in front of every line that begins with "." (the first line included).
std::string dotStuffed(std::string_view text);

// The whole DATA transmission for one recipient.
std::string buildMailMessage(const TMailContent& mail, const std::string& recipient, std::time_t when);

}  // namespace crashreport
