#pragma once
// How an HTTP/1.1 response marks where its body ends: the Content-Length and
// Transfer-Encoding fields, chunk-size lines and the line syntax of a head.
// Pure functions on texts the peer sent; every length is checked against the
// limits of NetHTTPFormat.h. Thread-safe (no state).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/NetException.h"

namespace net {

// A response that breaks the message syntax: its framing cannot be trusted,
// so neither its body nor the connection after it is used.
RTL_DECLARE_EXCEPTION(ENetHTTPMessageError, ENetException);

// Where the body of a response ends.
enum class TNetBodyFraming { bfLength, bfChunked, bfUntilClose };

// The values of every Content-Length field, each possibly a comma list: one
// decimal number, or a list of numbers that are all equal, gives that number.
// False for anything else (signs, blanks inside, other text, a value past
// INT64_MAX, differing numbers, an empty value or element).
bool ReadContentLength(const std::vector<std::string>& values, int64_t& length);

// The transfer codings of every Transfer-Encoding field, in order: comma
// lists of tokens, lower-cased, parameters after ';' dropped, empty
// elements skipped.
std::vector<std::string> ReadTransferCodings(const std::vector<std::string>& values);

// The size of a chunk-size line (its line end already removed): hexadecimal
// digits, then nothing, or white space or ';' and an extension that is
// skipped. Raises ENetHTTPMessageError for a line without such a number or
// with a bare CR, ENetHTTPLimitExceeded for a size past kMaxChunkSize.
int64_t ReadChunkSize(std::string_view line);

// Whether a received line (its CR LF removed) still holds a CR: a bare CR can
// end a line for one reader and not for another.
inline bool HasBareCR(std::string_view line) { return line.find('\r') != std::string_view::npos; }

}  // namespace net
