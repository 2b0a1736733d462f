#pragma once
// Turning a downloaded body into the page text the scrapers see.

#include <string>
#include <string_view>

#include "rtl/Stream.h"

namespace app {

// Lines split at CR LF, a lone CR or a lone LF, cut at the first NUL, then
// joined with CR LF after every line, the last one included.
std::string pageTextFromBytes(std::string_view bytes);

// A stream that passes writes on to another until limit bytes have gone
// through, then refuses (EWriteError), so an endless body cannot fill the disk.
class TBoundedStream : public rtl::TStream {
public:
    // target must outlive this stream.
    TBoundedStream(rtl::TStream& target, int64_t limit) : m_target(target), m_limit(limit) {}
    int64_t read(void* buffer, int64_t count) override { return m_target.read(buffer, count); }
    int64_t write(const void* buffer, int64_t count) override;
    int64_t seek(int64_t offset, rtl::SeekOrigin origin) override { return m_target.seek(offset, origin); }
    void setSize(int64_t newSize) override { m_target.setSize(newSize); }
    int64_t size() override { return m_target.size(); }

private:
    rtl::TStream& m_target;
    int64_t m_limit;
};

}  // namespace app
