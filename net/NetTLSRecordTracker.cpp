#include "net/NetTLSRecordTracker.h"

#include <algorithm>

namespace net {

void TNetTLSRecordTracker::Feed(const unsigned char* data, size_t count) {
    size_t i = 0;
    while (i < count) {
        if (m_bodyLeft > 0) {
            const size_t k = std::min(m_bodyLeft, count - i);
            m_bodyLeft -= k;
            i += k;
            if (m_bodyLeft == 0) ++m_records;
            continue;
        }
        m_header[m_headerHave++] = data[i++];
        if (m_headerHave < kHeaderSize) continue;
        m_headerHave = 0;
        // The length is at most 65535; an empty record is whole at once.
        m_bodyLeft = (static_cast<size_t>(m_header[3]) << 8) | m_header[4];
        if (m_bodyLeft == 0) ++m_records;
    }
}

}  // namespace net
