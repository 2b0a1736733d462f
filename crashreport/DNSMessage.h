#pragma once
// The standard DNS message format, as far as an MX lookup needs it: the query,
// and the answer read back with its ID and question checked. Names may be
// compressed; pointer hops are bounded, so a loop is refused, never followed.
// Every offset is checked against the message's length. Pure functions.

#include <cstdint>
#include <string>
#include <string_view>

namespace crashreport {

// A query (recursion desired) for the MX records of domain; false when domain
// is no valid name (empty label, a label over 63 bytes, a name over 253).
bool buildMXQuery(uint16_t id, std::string_view domain, std::string& query);

// Reads the name at offset, following pointers; on success offset is just
// past the name where it started and name holds the labels joined with "."
// (empty for the root). False for a name that runs out of the message, a
// reserved label kind, a label with a dot or control byte, a name over 255
// bytes or more than kMaxDNSPointerHops pointers.
bool readDNSName(std::string_view message, size_t& offset, std::string& name);

enum class TDNSAnswerStatus {
    Exchanger,    // an MX record gave a host
    NoExchanger,  // a valid answer without one (error code, no records, the null MX)
    NotOurs,      // another ID or question: not the answer to our query
    Malformed,    // the answer to our query, but broken
};

struct TDNSAnswer {
    TDNSAnswerStatus status = TDNSAnswerStatus::Malformed;
    std::string exchanger;  // the lowest preference's (the first of equals)
    uint16_t preference = 0;
    int rcode = 0;
    std::string problem;    // why there is no exchanger
};

TDNSAnswer parseMXAnswer(std::string_view message, uint16_t id, std::string_view domain);

}  // namespace crashreport
