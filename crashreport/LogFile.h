#pragma once
// The exception log file. The file is never rewritten in place: the entries
// kept and the new one go to a temporary file in the same folder, which is
// synced and renamed over the log, so a crash while writing leaves the old log.
// The free functions never allocate (the fatal-signal path uses them); TLogFile
// is the normal path's wrapper. Not thread-safe: the reporter serialises its use.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crashreport/LogSplitter.h"

namespace crashreport {

// Where the log goes: logPath (a ".qlf" file name or a folder, relative paths
// from programFolder) or, when empty, programFolder; when that folder cannot be
// written, stateFolder. Folders end in '/'.
struct TLogLocation {
    std::string folder;
    std::string fileName;
    std::string path() const { return folder + fileName; }
};
TLogLocation resolveLogLocation(const std::string& logPath, const std::string& programFolder,
                                const std::string& programFileName, const std::string& stateFolder);
// $XDG_STATE_HOME/tessaly/ or ~/.local/state/tessaly/.
std::string userStateFolder();

struct TLogRead {
    size_t bytes = 0;
    bool cutAtStart = false;  // only the tail of a bigger file was read
    bool failed = false;      // the file exists but could not be read
};
// Reads at most capacity bytes (the tail) of folderFd/name into buffer; a missing file reads as empty.
TLogRead readLogTail(int folderFd, const char* name, char* buffer, size_t capacity);

// Index of the first entry to keep so that, with one more added, at most maxEntries remain.
size_t firstKeptEntry(size_t count, int maxEntries);

// Writes kept entries then newEntry, each followed by the separator, through
// folderFd/tempName, fsync and rename to name. False (errno set) on failure;
// the old log then stays as it was.
bool rewriteLog(int folderFd, const char* name, const char* tempName, std::span<const std::string_view> kept,
                std::string_view newEntry);

class TLogFile {
public:
    explicit TLogFile(TLogLocation location);
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Reads the file; false when it exists but cannot be read.
    bool load();
    const std::vector<std::string>& entries() const { return m_entries; }
    // Adds entry, dropping the oldest so that at most maxEntries remain. False on failure (errno set).
    bool append(const std::string& entry, int maxEntries);
    // Replaces the newest entry (the one just added) with entry.
    bool replaceLast(const std::string& entry);
    // The file's text as written.
    std::string wholeText() const;
    const TLogLocation& location() const { return m_location; }

private:
    bool openFolder();
    bool write(size_t firstKept, size_t keptEnd, const std::string& entry);

    TLogLocation m_location;
    int m_folderFd = -1;
    std::vector<std::string> m_entries;
};

}  // namespace crashreport
