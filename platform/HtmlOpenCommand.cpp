#include "platform/HtmlOpenCommand.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/IniReader.h"
#include "rtl/StringUtils.h"

namespace platform {

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value && *value) ? std::string(value) : fallback;
}

std::string homeDir() { return envOr("HOME", "/"); }

std::vector<std::string> splitColonList(const std::string& list) {
    std::vector<std::string> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ':'))
        if (!item.empty()) out.push_back(item);
    return out;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string findInPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return isExecutableFile(program) ? program : std::string();
    for (const auto& dir : splitColonList(envOr("PATH", "/usr/local/bin:/usr/bin:/bin"))) {
        const std::string candidate = dir + "/" + program;
        if (isExecutableFile(candidate)) return candidate;
    }
    return {};
}

// Splits an Exec value into words, honouring double quotes.
std::vector<std::string> splitExec(const std::string& exec) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == '"') { quoted = !quoted; any = true; continue; }
        if (c == '\\' && quoted && i + 1 < exec.size()) { word += exec[++i]; continue; }
        if (c == ' ' && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
            continue;
        }
        word += c;
        any = true;
    }
    if (any) words.push_back(word);
    return words;
}

std::string firstDesktopId(const std::string& value) {
    std::stringstream in(value);
    std::string id;
    while (std::getline(in, id, ';'))
        if (!rtl::trimBlanks(id).empty()) return rtl::trimBlanks(id);
    return {};
}

}  // namespace

std::string defaultDesktopId(const std::string& mimeType, const std::vector<std::string>& configDirs,
                             const std::vector<std::string>& dataDirs) {
    std::vector<std::string> files;
    for (const auto& dir : configDirs) files.push_back(dir + "/mimeapps.list");
    for (const auto& dir : dataDirs) {
        files.push_back(dir + "/applications/mimeapps.list");
        files.push_back(dir + "/applications/defaults.list");
    }
    for (const auto& file : files) {
        const auto ini = rtl::TIniReader::fromFile(file);
        const std::string id = firstDesktopId(ini.readString("Default Applications", mimeType));
        if (!id.empty()) return id;
    }
    return {};
}

std::string commandValueFromDesktopFile(const std::string& desktopId, const std::vector<std::string>& dataDirs) {
    if (desktopId.empty() || desktopId.find('/') != std::string::npos) return {};
    for (const auto& dir : dataDirs) {
        const std::string path = dir + "/applications/" + desktopId;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) continue;
        const auto words = splitExec(rtl::TIniReader::fromFile(path).readString("Desktop Entry", "Exec"));
        if (words.empty()) return {};
        const std::string program = findInPath(words[0]);
        if (program.empty()) return {};
        std::string value = "\"" + program + "\"";
        for (size_t i = 1; i < words.size(); ++i) value += " " + words[i];
        return value;
    }
    return {};
}

std::string htmlOpenCommand() {
    const std::string home = homeDir();
    std::vector<std::string> configDirs{envOr("XDG_CONFIG_HOME", home + "/.config")};
    for (const auto& d : splitColonList(envOr("XDG_CONFIG_DIRS", "/etc/xdg"))) configDirs.push_back(d);
    std::vector<std::string> dataDirs{envOr("XDG_DATA_HOME", home + "/.local/share")};
    for (const auto& d : splitColonList(envOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))) dataDirs.push_back(d);
    return commandValueFromDesktopFile(defaultDesktopId("text/html", configDirs, dataDirs), dataDirs);
}

}  // namespace platform
