#pragma once
// Bounded decimal reading for the text tools: every number that comes from a
// header, cookie or URL is read with an explicit range, and a value outside it
// (overflow included) is "not a number", never a wrapped value.
// Safe from any thread.

#include <cstdint>
#include <string_view>

namespace net {

// Reads text (blanks at both ends ignored, one optional leading '+' or '-')
// as a decimal integer in [minValue, maxValue]. Returns false and leaves
// `out` alone when the text is empty, holds anything else, or is out of range.
bool ReadInteger(std::string_view text, int64_t minValue, int64_t maxValue, int64_t& out);

}  // namespace net
