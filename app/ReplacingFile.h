#pragma once
// A file written beside its target under a temporary name and renamed over
// the target only when complete, so a failed write never leaves a
// half-written or lost file behind. A symbolic link is followed: the file it
// leads to is replaced (the temporary file lies beside that one) and the link
// stays. Where no temporary file can be made but the target is a writable
// file, the target is written in place, and a failure says what that risks.
// One thread at a time.

#include <string>
#include <string_view>

#include "rtl/Exception.h"

namespace app {

RTL_DECLARE_EXCEPTION(ESaveError, rtl::Exception);

class TReplacingFile {
public:
    // Most links followed from path to the file itself.
    static constexpr int kMaxLinkHops = 40;

    // Creates the temporary file in the folder of the file path leads to.
    // Raises ESaveError with the system's reason when neither that nor
    // writing in place is possible.
    explicit TReplacingFile(std::string path);
    // Without commit(), the temporary file is removed and the target untouched.
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    void write(std::string_view bytes);
    // Flushes to the disk and renames over the target; the target keeps its
    // permissions (a new file gets the user's default ones).
    void commit();

    // The file that is written: path with its symbolic links resolved.
    const std::string& target() const { return m_target; }
    bool writesInPlace() const { return m_inPlace; }

private:
    [[noreturn]] void fail(int error) const;
    void discard() noexcept;
    std::string m_target;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_inPlace = false;
    size_t m_written = 0;
};

// path with every symbolic link along its last component followed (a link's
// relative target counts from the link's folder); the last one may lead to
// nothing yet. Raises ESaveError after kMaxLinkHops links.
std::string resolveLinks(const std::string& path);

}  // namespace app
