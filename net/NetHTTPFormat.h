#pragma once
// Wire limits and fixed texts of the HTTP client, one table for the module.
// Every size a server controls is checked against one of these limits.

#include <cstdint>

namespace net::http {

// Header lines of one response head (interim heads count separately).
inline constexpr int kMaxHeadLines = 1000;
// Bytes of one response head's header lines together.
inline constexpr int64_t kMaxHeadBytes = 1 << 20;
// Interim (1xx other than 101) heads before the final one.
inline constexpr int kMaxInterimHeads = 16;
// Largest chunk size accepted; a size line beyond it is an error, not a wrap.
inline constexpr int64_t kMaxChunkSize = int64_t{1} << 56;
// Hex digits of a chunk size line before it counts as too large.
inline constexpr int kMaxChunkSizeDigits = 16;
// A body of known length is read in slices of at most this many bytes, so a
// length announced by the peer never reserves more than one slice ahead.
inline constexpr int64_t kBodySlice = int64_t{4} << 20;
// Read time-outs while draining a redirect or authorisation body and while
// reading an error body (ms).
inline constexpr int kDrainTimeoutMs = 4000;
inline constexpr int kErrorBodyTimeoutMs = 2000;

namespace text {
inline constexpr const char kUndefinedSituation[] = "Undefined situation";
inline constexpr const char kMethodRequires11[] = "This request method is supported in HTTP 1.1";
inline constexpr const char kIOHandlerInvalid[] = "IOHandler value is not valid";
inline constexpr const char kChunkStarted[] = "Chunk Started";
inline constexpr const char kHeadTooLarge[] = "Response head too large.";
inline constexpr const char kTooManyInterimHeads[] = "Too many interim responses.";
inline constexpr const char kChunkSizeTooLarge[] = "Chunk size too large.";
inline constexpr const char kLineBreakInTarget[] = "Line break in the request target.";
inline constexpr const char kChunkSizeInvalid[] = "Invalid chunk size line.";
inline constexpr const char kChunkNotEnded[] = "Chunk data not followed by a line end.";
inline constexpr const char kTrailerTooLarge[] = "Chunked trailer too large.";
inline constexpr const char kBareCR[] = "Bare CR in a line of the response.";
inline constexpr const char kContentLengthInvalid[] = "Invalid Content-Length.";
inline constexpr const char kCodingUnsupported[] = "Unsupported transfer coding: ";
inline constexpr const char kChunkedNotLast[] = "Chunked coding is applied more than once.";
}  // namespace text

}  // namespace net::http
