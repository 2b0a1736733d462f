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
    size_t skipped = 0;       // bytes before the tail that were not read
    bool cutAtStart = false;  // the tail begins inside an entry (its first piece is no whole entry)
    bool failed = false;      // the file exists but could not be read
};
// Reads at most capacity bytes (the tail) of folderFd/name into buffer; a missing file reads as empty.
TLogRead readLogTail(int folderFd, const char* name, char* buffer, size_t capacity);

// Index of the first entry to keep so that, with one more added, at most maxEntries remain.
size_t firstKeptEntry(size_t count, int maxEntries);

// Writes kept entries then newEntry, each followed by the separator, to a new
// temporary file of a fresh name beside name (never an existing file or a link),
// with the mode of the old log, fsync and rename to name. False (errno set) on
// failure; the old log then stays as it was. Allocates nothing.
bool rewriteLog(int folderFd, const char* name, std::span<const std::string_view> kept, std::string_view newEntry);

// What reading the log left out because of the bounds.
struct TLogTrim {
    size_t skippedBytes = 0;      // before the last kMaxLogBytes
    size_t oversizeEntries = 0;   // longer than kMaxEntryBytes
    size_t excessEntries = 0;     // the oldest, beyond kMaxLogEntriesRead
    bool any() const { return skippedBytes || oversizeEntries || excessEntries; }
    // One sentence naming what was left out of the file at path.
    std::string describe(const std::string& path) const;
};

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
    // Replaces the newest entry equal to written with entry; when there is none
    // (it was dropped meanwhile), adds entry as append does.
    bool replaceEntry(const std::string& written, const std::string& entry, int maxEntries);
    // What the last load left out.
    const TLogTrim& trim() const { return m_trim; }
    // The file's text as written.
    std::string wholeText() const;
    const TLogLocation& location() const { return m_location; }

private:
    bool openFolder();
    bool write(std::vector<std::string> entries);

    TLogLocation m_location;
    int m_folderFd = -1;
    std::vector<std::string> m_entries;
    TLogTrim m_trim;
};

}  // namespace crashreport
