#include "crashreport/SystemFacts.h"

#include <pwd.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

namespace crashreport {

namespace {

std::string sinkText(void (*write)(uint64_t, TTextSink&), uint64_t value) {
    char buffer[64];
    TTextSink sink(buffer, sizeof buffer);
    write(value, sink);
    return std::string(sink.text());
}

std::string readLink(const char* path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string osPrettyName() {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

std::string userName() {
    char buffer[4096];
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) return found->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : "";
}

std::string languageName() {
    for (const char* key : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(key);
        if (value && value[0]) return value;
    }
    return "C";
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

void writeDateTime(time_t utc, long offsetSeconds, TTextSink& out) {
    const int64_t local = static_cast<int64_t>(utc) + offsetSeconds;
    int64_t days = local / 86400;
    int64_t seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    out.addDecimal(static_cast<uint64_t>(year > 0 ? year : 0), 4);
    out.addChar('-');
    out.addDecimal(month, 2);
    out.addChar('-');
    out.addDecimal(day, 2);
    out.addChar(' ');
    out.addDecimal(static_cast<uint64_t>(seconds / 3600), 2);
    out.addChar(':');
    out.addDecimal(static_cast<uint64_t>(seconds / 60 % 60), 2);
    out.addChar(':');
    out.addDecimal(static_cast<uint64_t>(seconds % 60), 2);
}

void writeMegabytes(uint64_t bytes, TTextSink& out) {
    out.addDecimal(bytes / (1024 * 1024));
    out.add(" MB");
}

uint64_t freeMemoryBytes() {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return 0;
    return static_cast<uint64_t>(info.freeram + info.bufferram) * info.mem_unit;
}

uint64_t freeDiskBytes(const char* folder) {
    struct statvfs info {};
    if (::statvfs(folder, &info) != 0) return 0;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

void TSystemFacts::take(int argc, char** argv, std::string programDescription, std::string programVersion) {
    programPath = readLink("/proc/self/exe");
    const size_t slash = programPath.rfind('/');
    programFolder = programPath.substr(0, slash + 1);
    programFileName = programPath.substr(slash + 1);
    char cwd[PATH_MAX];
    startFolder = ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : programFolder;
    if (startFolder.empty() || startFolder.back() != '/') startFolder += '/';
    arguments.clear();
    parameters.clear();
    for (int i = 0; i < argc && argv; ++i) {
        arguments.emplace_back(argv[i] ? argv[i] : "");
        if (i == 0) continue;
        if (!parameters.empty()) parameters += ' ';
        parameters += argv[i] ? argv[i] : "";
    }
    const time_t now = ::time(nullptr);
    tm local {};
    localtime_r(&now, &local);
    utcOffsetSeconds = local.tm_gmtoff;
    char date[64];
    TTextSink dateSink(date, sizeof date);
    writeDateTime(now, utcOffsetSeconds, dateSink);
    startDate.assign(dateSink.text());
    description = programDescription.empty() ? programFileName : std::move(programDescription);
    version = std::move(programVersion);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    computerName = host;
    user = userName();
    struct sysinfo info {};
    if (::sysinfo(&info) == 0)
        totalMemory = sinkText(writeMegabytes, static_cast<uint64_t>(info.totalram) * info.mem_unit);
    struct statvfs disk {};
    if (::statvfs(programFolder.c_str(), &disk) == 0)
        totalDisk = sinkText(writeMegabytes, static_cast<uint64_t>(disk.f_blocks) * disk.f_frsize);
    utsname names {};
    if (::uname(&names) == 0) {
        osType = std::string(names.sysname);
        const std::string pretty = osPrettyName();
        if (!pretty.empty()) osType += " (" + pretty + ")";
        osBuild = names.release;
        osUpdate = names.version;
    }
    language = languageName();
}

}  // namespace crashreport
