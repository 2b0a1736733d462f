#pragma once
// Small byte-string helpers shared by every layer. Text is 8-bit; case rules
// are ASCII only.

#include <string>
#include <string_view>

namespace rtl {

std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
// Drops spaces and tabs at both ends.
std::string trimBlanks(std::string_view text);
// Drops every byte <= ' ' at both ends.
std::string trimControls(std::string_view text);
// Finds needle ignoring ASCII case; npos when absent.
size_t findIgnoreCase(std::string_view haystack, std::string_view needle, size_t from = 0);

}  // namespace rtl
