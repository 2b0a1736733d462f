#include "app/PageText.h"

#include "rtl/Exception.h"

namespace app {

std::string pageTextFromBytes(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16 + 2);
    size_t from = 0;
    while (from < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            text.append(bytes.substr(from)).append("\r\n");
            break;
        }
        text.append(bytes.substr(from, end - from)).append("\r\n");
        from = end + ((bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1);
    }
    return text;
}

int64_t TBoundedStream::write(const void* buffer, int64_t count) {
    if (count > m_limit - m_target.position())
        throw rtl::EWriteError(rtl::format("The page is larger than %lld bytes", static_cast<long long>(m_limit)));
    return m_target.write(buffer, count);
}

}  // namespace app
