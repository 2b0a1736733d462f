#pragma once
// The reporter's own failures: kept in memory (the newest kMaxNotices) and
// written to standard error, never raised. Safe from any thread.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace crashreport {

enum TQuillLogErrorCode { eeNone, eeShowError, eeLogError, eeEmailMAPIError, eeEmailShellError, eeEmailSMTPError };

const char* errorCodeName(TQuillLogErrorCode code);

inline constexpr size_t kMaxNotices = 100;

// "[ERROR] - Section: <section> - Address: <address> - Message: "[EClass] text"" for an
// exception caught inside the reporter ("General '<section>' error." when it is no std::exception).
void recordErrorNotice(const char* section, uintptr_t address, std::exception_ptr error);
// "[WARNING] - Code: <code> - Address: <address> - Message: "<message>"".
void recordWarningNotice(TQuillLogErrorCode code, uintptr_t address, const std::string& message);
// Writes a notice line from a signal handler (standard error only).
void writeNoticeFromSignal(const char* message);

std::vector<std::string> internalNotices();

}  // namespace crashreport
