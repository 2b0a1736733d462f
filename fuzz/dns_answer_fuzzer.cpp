// The DNS answer parser over hostile datagrams: every read stays inside the
// message, a name never exceeds its bounds, and the first two bytes of the
// input pick the query ID so matching answers are reached too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crashreport/DNSMessage.h"
#include "crashreport/MailFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    const uint16_t id = size >= 2 ? static_cast<uint16_t>((data[0] << 8) | data[1]) : 0;
    for (const char* domain : {"example.test", "alpha.test", "a"}) {
        const crashreport::TDNSAnswer answer = crashreport::parseMXAnswer(message, id, domain);
        if (answer.status == crashreport::TDNSAnswerStatus::Exchanger &&
            (answer.exchanger.empty() || answer.exchanger.size() > crashreport::kMaxDNSNameLength))
            __builtin_trap();
        if (answer.status != crashreport::TDNSAnswerStatus::Exchanger && answer.problem.empty()) __builtin_trap();
    }
    // Names read from every offset.
    for (size_t start = 0; start < size && start < 64; ++start) {
        size_t at = start;
        std::string name;
        if (crashreport::readDNSName(message, at, name) && (at <= start || at > size || name.size() > 255))
            __builtin_trap();
    }
    return 0;
}
