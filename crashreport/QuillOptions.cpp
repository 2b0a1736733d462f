#include "crashreport/QuillOptions.h"

#include <charconv>
#include <optional>

#include "rtl/IniReader.h"
#include "rtl/StringUtils.h"

namespace crashreport {

namespace {

std::optional<bool> parseBool(const std::string& value) {
    const std::string v = rtl::asciiLower(value);
    if (v == "1" || v == "true" || v == "yes" || v == "on") return true;
    if (v == "0" || v == "false" || v == "no" || v == "off") return false;
    return std::nullopt;
}

// Decimal, or hexadecimal with a 0x prefix; anything else (sign, blanks, overflow) is refused.
std::optional<uint64_t> parseUnsigned(const std::string& value, uint64_t maximum) {
    const char* first = value.data();
    const char* last = first + value.size();
    int base = 10;
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        first += 2;
        base = 16;
    }
    uint64_t result = 0;
    const auto [end, error] = std::from_chars(first, last, result, base);
    if (first == last || error != std::errc() || end != last || result > maximum) return std::nullopt;
    return result;
}

class OptionReader {
public:
    OptionReader(const rtl::TIniReader& ini, std::vector<std::string>& notes) : m_ini(ini), m_notes(notes) {}

    void readBool(const char* key, bool& target) {
        const std::string value = raw(key);
        if (value.empty()) return;
        if (const auto parsed = parseBool(value))
            target = *parsed;
        else
            note(key, value, "not a boolean");
    }

    template <class T>
    void readNumber(const char* key, T& target, uint64_t minimum, uint64_t maximum) {
        const std::string value = raw(key);
        if (value.empty()) return;
        const auto parsed = parseUnsigned(value, maximum);
        if (parsed && *parsed >= minimum)
            target = static_cast<T>(*parsed);
        else
            note(key, value, "not a number from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    }

    void readString(const char* key, std::string& target) {
        const std::string value = raw(key);
        if (!value.empty()) target = value;
    }

    // A number enables the limit; a false boolean switches it off.
    void readLimit(const char* key, bool& enabled, int& limit) {
        const std::string value = raw(key);
        if (value.empty()) return;
        if (const auto parsed = parseUnsigned(value, 1000000)) {
            enabled = true;
            limit = static_cast<int>(*parsed);
        } else if (parseBool(value) == false) {
            enabled = false;
        } else {
            note(key, value, "neither a number nor off");
        }
    }

private:
    std::string raw(const char* key) { return m_ini.readString("Options", key); }
    void note(const char* key, const std::string& value, const std::string& why) {
        m_notes.push_back(std::string("crashreport.ini: ") + key + "=" + value + " ignored (" + why + ")");
    }

    const rtl::TIniReader& m_ini;
    std::vector<std::string>& m_notes;
};

TQuillModuleOptionsEx readOptions(const rtl::TIniReader& ini) {
    TQuillModuleOptionsEx o;
    OptionReader r(ini, o.configNotes);
    r.readBool("ReporterActive", o.ReporterActive);
    r.readBool("ShowDialog", o.ShowDialog);
    r.readBool("LogToFile", o.LogToFile);
    r.readNumber("SendMethod", o.SendMethod, 0, 3);
    r.readBool("AttachScreenshot", o.AttachScreenshot);
    r.readBool("ReportInBody", o.ReportInBody);
    r.readBool("RestartOnKill", o.RestartOnKill);
    bool flag = o.SkipDuplicates();
    r.readBool("SkipDuplicates", flag);
    o.LogFlags = flag ? (o.LogFlags | kLogSkipDuplicates) : (o.LogFlags & ~kLogSkipDuplicates);
    flag = o.AskSteps();
    r.readBool("AskSteps", flag);
    o.LogFlags = flag ? (o.LogFlags | kLogAskSteps) : (o.LogFlags & ~kLogAskSteps);
    r.readBool("SendWholeLog", o.SendWholeLog);
    r.readNumber("MaxLogEntries", o.MaxLogEntries, 1, kMaxLogEntriesLimit);
    r.readString("LogPath", o.LogPath);
    r.readLimit("ErrorCountLimit", o.ErrorCountLimitEnabled, o.ErrorCountLimit);
    r.readBool("FreezeCheck", o.FreezeCheck);
    r.readNumber("FreezeSeconds", o.FreezeSeconds, 1, kMaxFreezeSeconds);
    r.readNumber("FieldMask", o.FieldMask, 0, 0xFFFFFFFFu);
    r.readString("Sender", o.Sender);
    r.readString("Recipients", o.Recipients);
    r.readString("Subject", o.Subject);
    r.readString("Message", o.Message);
    r.readString("SMTPHost", o.SMTPHost);
    r.readNumber("SMTPPort", o.SMTPPort, 1, 65535);
    r.readString("SMTPUser", o.SMTPUser);
    r.readString("SMTPPassword", o.SMTPPassword);
    r.readNumber("SocketTimeout", o.SocketTimeout, 1, kMaxSocketTimeout);
    r.readString("ResolvConf", o.ResolvConf);
    r.readString("DNSServer", o.DNSServer);
    r.readNumber("DNSPort", o.DNSPort, 1, 65535);
    return o;
}

}  // namespace

TQuillModuleOptionsEx loadQuillOptions(const std::string& path) { return readOptions(rtl::TIniReader::fromFile(path)); }

TQuillModuleOptionsEx quillOptionsFromText(const std::string& iniText) {
    return readOptions(rtl::TIniReader::fromText(iniText));
}

}  // namespace crashreport
