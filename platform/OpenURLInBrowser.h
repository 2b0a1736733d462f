#pragma once
// Hands a URL to the program registered for opening HTML files.

#include <string>

namespace platform {

// Returns false, opening nothing, when no HTML handler is registered;
// otherwise starts the handler's program with the URL and returns true.
bool OpenURLInBrowser(const std::string& url);

// The same rule on a given command value: the program is the text between its
// first and second double quote (empty when there are none), the value's own
// arguments are dropped, and the URL is the only parameter.
bool OpenURLWithCommandValue(const std::string& commandValue, const std::string& url);

// The text between the first and the second double quote of a command value.
std::string programFromCommandValue(const std::string& commandValue);

}  // namespace platform
