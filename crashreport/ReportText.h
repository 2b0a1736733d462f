#pragma once
// Lays out ReportText: the header, the General part, the Call Stack and
// Modules tables and the CPU part. Never allocates (see TTextSink), so the
// fatal-signal path uses it too.

#include <cstddef>
#include <string_view>

#include "crashreport/ReportData.h"
#include "crashreport/TextSink.h"

namespace crashreport {

inline constexpr std::string_view kReportHeader = "QuillLog 4.6\r\n";

// Offsets of the parts inside the text written by writeReportText.
struct TReportParts {
    size_t generalBegin = 0, generalEnd = 0;
    size_t stackBegin = 0, stackEnd = 0;  // Call Stack and Modules tables
    size_t cpuBegin = 0, cpuEnd = 0;
};

TReportParts writeReportText(const TReportData& data, TTextSink& out);

void writeGeneral(const TReportData& data, TTextSink& out);
void writeCallStack(const TReportData& data, TTextSink& out);
void writeModules(const TReportData& data, TTextSink& out);
void writeCpu(const TReportData& data, TTextSink& out);

}  // namespace crashreport
