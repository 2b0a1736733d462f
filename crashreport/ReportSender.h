#pragma once
// The seam to report delivery: once the cycle decides that a report is to be
// sent, it hands this request to the sender registered with
// TExceptionLog::setSender. Without one, nothing is sent and a notice says so.

#include <functional>
#include <string>

#include "crashreport/QuillOptions.h"

namespace crashreport {

struct TSendRequest {
    const TQuillModuleOptionsEx* options = nullptr;  // mail settings, SendMethod
    std::string reportText;       // the new entry, or the whole log with SendWholeLog
    std::string currentReport;    // always the new entry (the mailto way puts it in the body)
    std::string screenshotPath;   // a PNG to attach, empty when none
    std::string logFileName;      // the name an attached report file takes
};

// Returns false when delivery failed (it records its own notices).
using TReportSender = std::function<bool(const TSendRequest&)>;

}  // namespace crashreport
