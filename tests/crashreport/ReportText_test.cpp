#include "crashreport/ReportText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace crashreport;

namespace {

struct FixedReport {
    TCallStackRow rows[2];
    TModuleRow modules[1];
    uint64_t words[2] = {0x1122334455667788ull, 0};
    uint8_t bytes[3] = {'A', 0x00, 'z'};
    TReportData data;
    FixedReport() {
        data.texts = &defaultCustomTexts();
        for (int i = 0; i < kGeneralFieldCount; ++i) data.general[i] = "v";
        data.general[gfMessage] = "disk on fire";
        rows[0] = {0x401000, "tessaly", "FMain.cpp", "app::TfrmMain", "btnGoClick", 42};
        rows[1] = {0x402000, "libc.so.6", "", "", "", 0};
        modules[0] = {0x400000, "tessaly", "Tessaly", "", 4096, "/opt/tessaly"};
        data.stack = rows;
        data.modules = modules;
        data.cpu.regs[rRAX] = 0xAB;
        data.dump = {0x7FF0, {words, 2}, 0x401000, {bytes, 3}};
    }
    std::string text() {
        static char buffer[65536];
        TTextSink sink(buffer, sizeof buffer);
        writeReportText(data, sink);
        return std::string(sink.text());
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return out;
}

TEST(ReportText, LayoutLineByLine) {
    FixedReport report;
    const std::vector<std::string> got = lines(report.text());
    const std::vector<std::string> expected = {
        "QuillLog 4.6",
        "",
        "Application:",
        "-------------------------",
        "  1.1 Start Date      : v",
        "  1.2 Name/Description: v",
        "  1.3 Version Number  : v",
        "  1.4 Parameters      : v",
        "",
        "Exception:",
        "---------------------------",
        "  2.1 Date   : v",
        "  2.2 Address: v",
        "  2.3 Module : v",
        "  2.4 Type   : v",
        "  2.5 Message: disk on fire",
        "",
        "Active Controls:",
        "----------------------",
        "  3.1 Form Class   : v",
        "  3.2 Form Text    : v",
        "  3.3 Control Class: v",
        "  3.4 Control Text : v",
        "",
        "Computer:",
        "---------------------",
        "  4.1 Name        : v",
        "  4.2 User        : v",
        "  4.3 Total Memory: v",
        "  4.4 Free Memory : v",
        "  4.5 Total Disk  : v",
        "  4.6 Free Disk   : v",
        "",
        "Operating System:",
        "-----------------",
        "  5.1 Type    : v",
        "  5.2 Build # : v",
        "  5.3 Update  : v",
        "  5.4 Language: v",
        "",
        "Call Stack Information:",
        "--------------------------------------------------------------------------",
        "|Address         |Module   |Unit     |Class        |Procedure/Method|Line|",
        "--------------------------------------------------------------------------",
        "|0000000000401000|tessaly  |FMain.cpp|app::TfrmMain|btnGoClick      |42  |",
        "|0000000000402000|libc.so.6|         |             |                |    |",
        "--------------------------------------------------------------------------",
        "",
        "Modules Information:",
        "----------------------------------------------------------------",
        "|Handle          |Name   |Description|Version|Size|Path        |",
    };
    ASSERT_GE(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "line " << i;
}

TEST(ReportText, TablesAndCpuPartKeepTheirWidths) {
    FixedReport report;
    const std::vector<std::string> got = lines(report.text());
    auto at = [&](const std::string& first) {
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] == first) return i;
        return got.size();
    };
    const size_t modules = at("Modules Information:");
    ASSERT_LT(modules + 6, got.size());
    EXPECT_EQ(got[modules + 1], std::string(16 + 7 + 11 + 7 + 4 + 12 + 7, '-'));
    EXPECT_EQ(got[modules + 4], "|0000000000400000|tessaly|Tessaly    |       |4096|/opt/tessaly|");
    const size_t cpu = at("Registers:");
    ASSERT_LT(cpu + 15, got.size());
    EXPECT_EQ(got[cpu + 1], std::string(45, '-'));
    EXPECT_EQ(got[cpu + 2], "RAX: 00000000000000AB   RDI: 0000000000000000");
    EXPECT_EQ(got[cpu + 5], "RDX: 0000000000000000   RIP: 0000000000000000");
    EXPECT_EQ(got[cpu + 12], "Stack:                               Memory Dump:");
    EXPECT_EQ(got[cpu + 13], std::string(34, '-') + "   " + std::string(83, '-'));
    EXPECT_EQ(got[cpu + 14], "0000000000007FF0: 1122334455667788   0000000000401000: 41 00 7A " + std::string(39, ' ') +
                                 " A.z");
    EXPECT_EQ(got[cpu + 15], "0000000000007FF8: 0000000000000000   ");
    EXPECT_EQ(report.text().substr(report.text().size() - 2), "\r\n");  // so the log's separator starts a line
}

TEST(ReportText, ClearedFieldMaskBitHidesTheFieldAndKeepsTheNumbering) {
    FixedReport report;
    report.data.fieldMask = ~((1u << gfAddress) | (1u << gfFormClass) | (1u << gfFormText) | (1u << gfControlClass) |
                              (1u << gfControlText));
    const std::string text = report.text();
    EXPECT_EQ(text.find("2.2 Address"), std::string::npos);
    EXPECT_NE(text.find("  2.1 Date   : v\r\n  2.3 Module : v\r\n"), std::string::npos);
    // A section without shown fields is left out whole.
    EXPECT_EQ(text.find("Active Controls:"), std::string::npos);
    EXPECT_NE(text.find("  2.5 Message: disk on fire\r\n\r\nComputer:\r\n"), std::string::npos);
}

TEST(ReportText, ConfigurationNotesFollowTheHeader) {
    FixedReport report;
    report.data.configNotes = "crashreport.ini: MaxLogEntries=x ignored\r\n";
    EXPECT_EQ(report.text().rfind("QuillLog 4.6\r\ncrashreport.ini: MaxLogEntries=x ignored\r\n\r\nApplication:", 0), 0u);
}

TEST(ReportText, FullBufferTruncatesWithoutOverrun) {
    FixedReport report;
    char buffer[100];
    buffer[99] = 'X';
    TTextSink sink(buffer, 99);
    writeReportText(report.data, sink);
    EXPECT_TRUE(sink.truncated());
    EXPECT_EQ(sink.size(), 99u);
    EXPECT_EQ(buffer[99], 'X');
}

}  // namespace
