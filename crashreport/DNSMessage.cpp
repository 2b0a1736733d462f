#include "crashreport/DNSMessage.h"

#include <vector>

#include "crashreport/MailFormat.h"
#include "rtl/StringUtils.h"

namespace crashreport {

namespace {

constexpr uint16_t kFlagResponse = 0x8000;
constexpr uint16_t kFlagTruncated = 0x0200;
constexpr uint16_t kFlagRecursionDesired = 0x0100;
constexpr size_t kMaxDomainLength = 253;

uint16_t get16(std::string_view m, size_t at) {
    return static_cast<uint16_t>((static_cast<uint8_t>(m[at]) << 8) | static_cast<uint8_t>(m[at + 1]));
}

void put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xFF);
}

std::string_view withoutFinalDot(std::string_view name) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    return name;
}

bool labelByteAllowed(uint8_t c) { return c > 0x20 && c < 0x7F && c != '.'; }

// The resource records of the answer section, walked once.
class AnswerWalker {
public:
    AnswerWalker(std::string_view message, size_t offset, std::string question)
        : m_message(message), m_offset(offset) {
        m_names.push_back(std::move(question));
    }

    // False when a record is broken (the answer is refused).
    bool walk(unsigned count, TDNSAnswer& answer) {
        bool found = false;
        for (unsigned i = 0; i < count; ++i) {
            std::string owner;
            if (!readDNSName(m_message, m_offset, owner) || m_offset + 10 > m_message.size()) return false;
            const uint16_t type = get16(m_message, m_offset), klass = get16(m_message, m_offset + 2);
            const size_t length = get16(m_message, m_offset + 8);
            const size_t begin = m_offset + 10, end = begin + length;
            if (end > m_message.size()) return false;
            m_offset = end;
            if (klass != kDNSClassIN || !isOurName(owner)) continue;
            if (type == kDNSTypeCNAME) {
                std::string target;
                size_t at = begin;
                if (!readDNSName(m_message, at, target) || at != end) return false;
                if (m_names.size() < kMaxDNSRecords) m_names.push_back(target);
            } else if (type == kDNSTypeMX) {
                if (length < 3) return false;
                const uint16_t preference = get16(m_message, begin);
                std::string host;
                size_t at = begin + 2;
                if (!readDNSName(m_message, at, host) || at != end) return false;
                if (!host.empty() && (!found || preference < answer.preference)) {
                    answer.exchanger = host;
                    answer.preference = preference;
                    found = true;
                }
            }
        }
        return true;
    }

private:
    bool isOurName(const std::string& owner) const {
        for (const std::string& name : m_names)
            if (rtl::equalsIgnoreCase(name, owner)) return true;
        return false;
    }

    std::string_view m_message;
    size_t m_offset;
    std::vector<std::string> m_names;  // the question and its aliases
};

}  // namespace

bool buildMXQuery(uint16_t id, std::string_view domain, std::string& query) {
    domain = withoutFinalDot(domain);
    if (domain.empty() || domain.size() > kMaxDomainLength) return false;
    query.clear();
    put16(query, id);
    put16(query, kFlagRecursionDesired);
    put16(query, 1);  // one question
    put16(query, 0);
    put16(query, 0);
    put16(query, 0);
    size_t start = 0;
    while (start <= domain.size()) {
        size_t dot = domain.find('.', start);
        if (dot == std::string_view::npos) dot = domain.size();
        const size_t length = dot - start;
        if (length == 0 || length > kMaxDNSLabelLength) return false;
        for (size_t i = start; i < dot; ++i)
            if (!labelByteAllowed(static_cast<uint8_t>(domain[i]))) return false;
        query += static_cast<char>(length);
        query.append(domain.substr(start, length));
        start = dot + 1;
    }
    query += '\0';
    put16(query, kDNSTypeMX);
    put16(query, kDNSClassIN);
    return true;
}

bool readDNSName(std::string_view message, size_t& offset, std::string& name) {
    name.clear();
    size_t at = offset, wireLength = 0;
    int hops = 0;
    bool jumped = false;
    for (;;) {
        if (at >= message.size()) return false;
        const uint8_t length = static_cast<uint8_t>(message[at]);
        if ((length & 0xC0) == 0xC0) {
            if (at + 1 >= message.size() || ++hops > kMaxDNSPointerHops) return false;
            if (!jumped) offset = at + 2;
            jumped = true;
            at = get16(message, at) & 0x3FFF;
            continue;
        }
        if (length & 0xC0) return false;  // the reserved label kinds
        wireLength += 1u + length;
        if (wireLength > kMaxDNSNameLength) return false;
        if (length == 0) {
            if (!jumped) offset = at + 1;
            return true;
        }
        if (at + 1 + length > message.size()) return false;
        for (size_t i = at + 1; i <= at + length; ++i)
            if (!labelByteAllowed(static_cast<uint8_t>(message[i]))) return false;
        if (!name.empty()) name += '.';
        name.append(message.substr(at + 1, length));
        at += 1u + length;
    }
}

TDNSAnswer parseMXAnswer(std::string_view message, uint16_t id, std::string_view domain) {
    TDNSAnswer answer;
    auto refuse = [&answer](TDNSAnswerStatus status, std::string why) {
        answer.status = status;
        answer.problem = std::move(why);
        return answer;
    };
    if (message.size() < kDNSHeaderSize) return refuse(TDNSAnswerStatus::NotOurs, "The answer is too short.");
    const uint16_t flags = get16(message, 2);
    if (get16(message, 0) != id || !(flags & kFlagResponse) || ((flags >> 11) & 0xF) != 0 || get16(message, 4) != 1)
        return refuse(TDNSAnswerStatus::NotOurs, "The answer is not the one to our query.");
    size_t offset = kDNSHeaderSize;
    std::string question;
    if (!readDNSName(message, offset, question) || offset + 4 > message.size())
        return refuse(TDNSAnswerStatus::NotOurs, "The question of the answer cannot be read.");
    if (!rtl::equalsIgnoreCase(question, withoutFinalDot(domain)) || get16(message, offset) != kDNSTypeMX ||
        get16(message, offset + 2) != kDNSClassIN)
        return refuse(TDNSAnswerStatus::NotOurs, "The answer is for another question.");
    offset += 4;
    answer.rcode = flags & 0xF;
    if (answer.rcode != 0)
        return refuse(TDNSAnswerStatus::NoExchanger, "The server answered with error " + std::to_string(answer.rcode) + ".");
    const unsigned count = get16(message, 6);
    if (count > kMaxDNSRecords) return refuse(TDNSAnswerStatus::Malformed, "The answer has too many records.");
    AnswerWalker walker(message, offset, question);
    // A truncated answer keeps what could be read; any other broken record refuses the answer.
    if (!walker.walk(count, answer) && !(flags & kFlagTruncated))
        return refuse(TDNSAnswerStatus::Malformed, "The answer is malformed.");
    if (answer.exchanger.empty()) return refuse(TDNSAnswerStatus::NoExchanger, "The answer holds no mail exchanger.");
    answer.status = TDNSAnswerStatus::Exchanger;
    return answer;
}

}  // namespace crashreport
