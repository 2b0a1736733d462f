// The INI reader: any bytes give a reader whose values obey the profile-string rules.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rtl/IniReader.h"
#include "rtl/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto ini = rtl::TIniReader::fromText(text);
    // Ask for names taken from the input itself, so present keys are found too.
    const size_t eq = text.find('=');
    const size_t open = text.find('['), close = text.find(']');
    const std::string section = open != std::string::npos && close != std::string::npos && close > open
                                    ? text.substr(open + 1, close - open - 1)
                                    : "Settings";
    const std::string key = eq == std::string::npos ? "AppName" : text.substr(text.rfind('\n', eq) + 1, eq - text.rfind('\n', eq) - 1);
    for (const std::string& s : {section, rtl::trimBlanks(section), std::string("settings")}) {
        const std::string value = ini.readString(s, rtl::trimBlanks(key));
        if (value.size() > rtl::TIniReader::kMaxValueLength) __builtin_trap();
        if (!value.empty() && (value.front() == ' ' || value.back() == ' ')) __builtin_trap();
    }
    return 0;
}
