#pragma once
// The exception log: a sequence of entries, each a ReportText followed by four
// CR LF. The separator counts only where a line begins.

#include <cstddef>
#include <string_view>

namespace crashreport {

inline constexpr std::string_view kLogSeparator = "\r\n\r\n\r\n\r\n";
inline constexpr std::string_view kLogExtension = ".qlf";
// Longest part of a log file that is read: the tail beyond this is what counts.
inline constexpr size_t kMaxLogBytes = 8u * 1024 * 1024;
// Longest single entry that is kept (a bigger one cannot be a report).
inline constexpr size_t kMaxEntryBytes = 2u * 1024 * 1024;
inline constexpr size_t kMaxLogEntriesRead = 4096;

}  // namespace crashreport
