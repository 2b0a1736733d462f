#pragma once
// The folder of the running executable, where every configuration file lives.

#include <string>

namespace platform {

// The folder part of /proc/self/exe, ending in '/'. Never the working directory.
std::string executableFolder();

// The file-name part of a path: what follows the last '/' or '\'.
std::string fileNamePart(const std::string& path);

}  // namespace platform
