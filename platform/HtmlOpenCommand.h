#pragma once
// The command the desktop uses to open HTML files, presented the way the
// browser-opening rule expects it: the quoted program path, then its arguments.

#include <string>
#include <vector>

namespace platform {

// The desktop's default handler for text/html, e.g. "\"/usr/bin/browser\" %u".
// Empty when no handler is registered or its program cannot be found.
std::string htmlOpenCommand();

// Building blocks, exposed so they can be checked against prepared folders.
// Looks up the default .desktop id for a MIME type in the mimeapps.list files
// of the given configuration and data folders (first match wins).
std::string defaultDesktopId(const std::string& mimeType, const std::vector<std::string>& configDirs,
                             const std::vector<std::string>& dataDirs);
// Turns a .desktop file's Exec line into the command value; empty when the
// desktop file is absent or has no usable Exec.
std::string commandValueFromDesktopFile(const std::string& desktopId, const std::vector<std::string>& dataDirs);

}  // namespace platform
