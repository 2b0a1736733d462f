#include "platform/OpenURLInBrowser.h"

#include "platform/HtmlOpenCommand.h"
#include "platform/Shell.h"

namespace platform {

std::string programFromCommandValue(const std::string& commandValue) {
    const size_t first = commandValue.find('"');
    if (first == std::string::npos) return {};
    const size_t second = commandValue.find('"', first + 1);
    if (second == std::string::npos) return commandValue.substr(first + 1);
    return commandValue.substr(first + 1, second - first - 1);
}

bool OpenURLWithCommandValue(const std::string& commandValue, const std::string& url) {
    if (commandValue.empty()) return false;
    // The shell's own result is not looked at: the handler was found.
    shellExecuteOpen(programFromCommandValue(commandValue), url);
    return true;
}

bool OpenURLInBrowser(const std::string& url) { return OpenURLWithCommandValue(htmlOpenCommand(), url); }

}  // namespace platform
