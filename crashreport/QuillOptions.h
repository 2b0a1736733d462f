#pragma once
// The crash reporter's options. They are configuration of the build: read once
// from crashreport.ini ([Options]) beside the executable; a missing file or key
// keeps the default, a bad value keeps the default and is noted (configNotes),
// never raised. Plain data; copy freely.

#include <cstdint>
#include <string>
#include <vector>

#include "crashreport/CustomTexts.h"

namespace crashreport {

// Values of SendMethod.
enum TSendMethod : uint8_t { smNone = 0, smMailProgram = 1, smSMTPServer = 2, smSMTPDirect = 3 };

// Bits of LogFlags.
inline constexpr uint32_t kLogSkipDuplicates = 1u << 0;
inline constexpr uint32_t kLogAskSteps = 1u << 1;

struct TQuillModuleOptions {
    bool ReporterActive = true;
    bool ShowDialog = true;
    bool LogToFile = true;
    uint8_t SendMethod = smNone;
    bool AttachScreenshot = false;
    bool ReportInBody = false;
    bool RestartOnKill = true;
    TCustomTexts CustomTexts = defaultCustomTexts();
    // Mail settings, used by report delivery.
    std::string Sender = "someone@example.com";
    std::string Recipients;
    std::string Subject;
    std::string Message;
    std::string SMTPHost;
    uint16_t SMTPPort = 25;
    std::string SMTPUser;
    std::string SMTPPassword;
    // Delivery's sockets and MX lookup: the wait of every socket call, the DNS
    // servers' file, the server asked when it names none, and the DNS port.
    int SocketTimeout = 30000;
    std::string ResolvConf = "/etc/resolv.conf";
    std::string DNSServer = "127.0.0.1";
    uint16_t DNSPort = 53;
};

struct TQuillModuleOptionsEx : TQuillModuleOptions {
    uint32_t FieldMask = 0xFFFFFFFFu;  // bit 0 = Start Date ... bit 22 = Language
    uint32_t LogFlags = 0;
    bool SendWholeLog = false;
    int MaxLogEntries = 32;
    std::string LogPath;  // a ".qlf" file name or a folder; relative to the program's folder
    bool ErrorCountLimitEnabled = true;
    int ErrorCountLimit = 3;
    bool FreezeCheck = false;
    int FreezeSeconds = 60;
    std::string FreezeMessage = "The application seems to be frozen.";
    // One line per ignored value of the configuration file.
    std::vector<std::string> configNotes;

    bool SkipDuplicates() const { return LogFlags & kLogSkipDuplicates; }
    bool AskSteps() const { return LogFlags & kLogAskSteps; }
};

inline constexpr int kMaxLogEntriesLimit = 1000;
inline constexpr int kMaxFreezeSeconds = 3600;
inline constexpr int kMaxSocketTimeout = 600000;

// Reads [Options] of the INI file at path over the defaults.
TQuillModuleOptionsEx loadQuillOptions(const std::string& path);
TQuillModuleOptionsEx quillOptionsFromText(const std::string& iniText);

}  // namespace crashreport
