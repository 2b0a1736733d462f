#pragma once
// A file written beside its target under a temporary name and renamed over
// the target only when complete, so a failed write never leaves a
// half-written or lost file behind. One thread at a time.

#include <string>
#include <string_view>

#include "rtl/Exception.h"

namespace app {

RTL_DECLARE_EXCEPTION(ESaveError, rtl::Exception);

class TReplacingFile {
public:
    // Creates the temporary file in path's folder. Raises ESaveError with the
    // system's reason when it cannot.
    explicit TReplacingFile(std::string path);
    // Without commit(), the temporary file is removed and the target untouched.
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    void write(std::string_view bytes);
    // Flushes to the disk and renames over the target; the target keeps its
    // permissions (a new file gets the user's default ones).
    void commit();

private:
    void discard() noexcept;
    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
};

}  // namespace app
