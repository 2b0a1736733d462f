// The SMTP reply reader over hostile bytes fed in pieces: a complete reply is
// within its limits, a failed reader stays failed, nothing it keeps grows
// beyond one line's worth while it waits.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "crashreport/MailFormat.h"
#include "crashreport/SMTPReply.h"

using crashreport::TSMTPReplyReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = 1 + data[0] % 17;  // the first byte chooses how the rest is cut
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    TSMTPReplyReader reader;
    bool failed = false;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        TSMTPReplyReader::TStatus status = reader.feed(bytes.substr(at, piece));
        while (status == TSMTPReplyReader::TStatus::Complete) {
            const auto& reply = reader.reply();
            if (reply.lines.empty() || reply.lines.size() > crashreport::kMaxReplyLines) __builtin_trap();
            for (const auto& line : reply.lines)
                if (line.size() > crashreport::kMaxReplyLineLength) __builtin_trap();
            if (reply.code != crashreport::replyCodeOf(reply.lines.back())) __builtin_trap();
            status = reader.next();
        }
        if (failed && status != TSMTPReplyReader::TStatus::Failed) __builtin_trap();
        failed = status == TSMTPReplyReader::TStatus::Failed;
        if (status == TSMTPReplyReader::TStatus::NeedMore &&
            reader.pendingBytes() > crashreport::kMaxReplyLineLength + 1 + piece)
            __builtin_trap();
    }
    return 0;
}
