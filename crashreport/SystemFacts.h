#pragma once
// Facts about the program, the computer and the system for the General part.
// The fixed ones are gathered once (take()); free memory, free disk and the
// date are read per report with async-signal-safe calls only.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "crashreport/TextSink.h"

namespace crashreport {

struct TSystemFacts {
    std::string programPath;    // the executable, from /proc/self/exe
    std::string programFolder;  // ends in '/'
    std::string programFileName;
    std::string startFolder;    // current folder at start-up, ends in '/'
    std::vector<std::string> arguments;  // argv, the program name first
    std::string startDate;
    std::string description;
    std::string version;
    std::string parameters;  // arguments after the program name, blank-separated
    std::string computerName, user, totalMemory, totalDisk;
    std::string osType, osBuild, osUpdate, language;
    long utcOffsetSeconds = 0;  // local time minus UTC at start-up

    // REQUIRES: argv as given to main (may be null when argc is 0).
    void take(int argc, char** argv, std::string description, std::string version);
};

// "YYYY-MM-DD HH:MM:SS" of utc shifted by offsetSeconds; no library time calls.
void writeDateTime(time_t utc, long offsetSeconds, TTextSink& out);
// Sizes as "<n> MB".
void writeMegabytes(uint64_t bytes, TTextSink& out);
// Free memory (sysinfo) and free disk space of folder (statvfs); 0 when unknown.
uint64_t freeMemoryBytes();
uint64_t freeDiskBytes(const char* folder);

}  // namespace crashreport
