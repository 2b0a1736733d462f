#pragma once
// The crash reporter. Installed once at program start (before the main window
// exists) and removed at the end; while installed it takes every exception
// nothing else handles — from event handlers (through reportException), from
// project threads (rtl::TThread's hook), std::terminate and fatal signals —
// into the report cycle: build the report, log it, show it, then act on the
// user's choice. The cycle never throws; its own failures become notices.
// Safe from any thread; one cycle runs at a time.

#include <atomic>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "crashreport/InternalNotices.h"
#include "crashreport/QuillOptions.h"
#include "crashreport/ReportSender.h"
#include "crashreport/ReportText.h"
#include "crashreport/ReporterGui.h"
#include "crashreport/StackSnapshot.h"
#include "crashreport/SymbolTable.h"
#include "crashreport/SystemFacts.h"
#include "rtl/Exception.h"

namespace rtl {
class TThread;
}

namespace crashreport {

RTL_DECLARE_EXCEPTION(EFrozenApplication, rtl::Exception);

class TFreezeThread;

// One report as the cycle made it; the dialog shows its parts.
struct TReport {
    std::string className, message;
    uintptr_t address = 0;
    std::string text;  // ReportText
    TReportParts parts;
    std::vector<std::array<std::string, 6>> stackRows;   // Address, Module, Unit, Class, Procedure, Line
    std::vector<std::array<std::string, 6>> moduleRows;  // Handle, Name, Description, Version, Size, Path
    int errorNumber = 0;
    bool duplicate = false;
    bool thirdButton = false;  // Restart/Terminate offered
    bool logged = false;       // loggedText is in the log (the steps rewrite finds it there)
    std::string loggedText;

    std::string generalText() const { return text.substr(parts.generalBegin, parts.generalEnd - parts.generalBegin); }
    std::string stackText() const { return text.substr(parts.stackBegin, parts.stackEnd - parts.stackBegin); }
    std::string cpuText() const { return text.substr(parts.cpuBegin, parts.cpuEnd - parts.cpuBegin); }
};

struct TInstallParams {
    TQuillModuleOptionsEx options;
    int argc = 0;
    char** argv = nullptr;
    std::string description;  // the program's name for "Name/Description"
    std::string version;
};

class TExceptionLog {
public:
    // Installs the reporter; a second install replaces the options only.
    static void install(TInstallParams params);
    // Restores the previous handlers; reports still running finish first.
    static void uninstall();
    // The installed reporter, or null.
    static TExceptionLog* instance();

    // The report cycle for an exception caught on this thread (its stack at the
    // throw is used when known). GUI thread: the dialog is shown before this returns.
    // address: where it happened when no throw of it was seen (0: unknown).
    // fatal: the process ends after the cycle (no dialog posted to the GUI thread).
    void reportException(std::exception_ptr error, uintptr_t address = 0, bool fatal = false);
    // std::terminate without an exception: the stack of the caller.
    void reportTerminate();
    // A report with the given stack (the freeze watch's copy of the main thread).
    void reportSnapshot(const std::string& className, const std::string& message, const TStackSnapshot& snapshot);

    void setGui(TReporterGui* gui);
    TReporterGui* gui();
    void setSender(TReportSender sender);
    const TQuillModuleOptionsEx& options() const { return m_options; }
    const TSystemFacts& facts() const { return m_facts; }
    std::string logFilePath() const;
    int errorCount() const { return m_errorCount.load(); }
    // The debug table of the main program; waits for it up to waitMs (null when not ready).
    const TSymbolTable* symbols(int waitMs) const;

    TExceptionLog(const TExceptionLog&) = delete;
    TExceptionLog& operator=(const TExceptionLog&) = delete;
    ~TExceptionLog();

private:
    struct ErrorInput;
    class CycleDepth;
    explicit TExceptionLog(TInstallParams params);
    void start();
    void stop();
    void runCycle(const ErrorInput& input);
    std::shared_ptr<TReport> buildReport(const ErrorInput& input);
    bool isDuplicate(const TReport& report);
    void logReport(TReport& report);
    void finishOnGui(std::shared_ptr<TReport> report);
    void afterDialog(TReport& report, bool dialogShown, const TDialogResult& result);
    void sendReport(TReport& report, bool screenshot);

    TQuillModuleOptionsEx m_options;
    TSystemFacts m_facts;
    std::string m_configNotes;
    std::atomic<int> m_errorCount{0};
    std::recursive_mutex m_cycleLock;
    std::mutex m_settingsLock;
    TReporterGui* m_gui = nullptr;
    TReportSender m_sender;
    std::atomic<const TSymbolTable*> m_symbols{nullptr};
    std::unique_ptr<TSymbolTable> m_symbolStore;
    std::unique_ptr<rtl::TThread> m_symbolLoader;
    std::unique_ptr<TFreezeThread> m_freezeWatch;
    std::terminate_handler m_previousTerminate = nullptr;
};

}  // namespace crashreport

// The report cycle's entry for modules loaded into the process: exceptionObject
// points to a std::exception_ptr (null: the exception being handled now);
// exceptionAddress is where it happened (may be null).
extern "C" void ExceptionManager(void* exceptionObject, void* exceptionAddress);
