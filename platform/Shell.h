#pragma once
// Starting other programs the way the desktop shell would.

#include <string>

namespace platform {

// Starts program detached with parameters as its only argument. Returns false
// when the program could not be started (empty path, not found, not runnable).
bool shellExecuteOpen(const std::string& program, const std::string& parameters);

// Opens a URL with whatever the desktop has registered for it.
void shellOpenUrl(const std::string& url);

}  // namespace platform
