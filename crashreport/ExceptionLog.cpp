#include "crashreport/ExceptionLog.h"

#include <cxxabi.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <thread>
#include <typeinfo>

#include "crashreport/DuplicateCheck.h"
#include "crashreport/FatalSignals.h"
#include "crashreport/FreezeWatch.h"
#include "crashreport/LogFile.h"
#include "crashreport/ModuleList.h"
#include "crashreport/ReportWork.h"
#include "crashreport/Restart.h"
#include "crashreport/ThrowHook.h"
#include "rtl/Thread.h"

namespace crashreport {

namespace {

constexpr size_t kMaxFrames = 128;
constexpr size_t kReportBufferBytes = 1024 * 1024;
constexpr int kSymbolWaitMs = 10000;
constexpr int kStepsRuleLength = 40;

std::atomic<TExceptionLog*> g_instance{nullptr};
std::mutex g_installLock;
thread_local int t_cycleDepth = 0;

std::string demangle(const char* name) {
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && text ? text : name;
    std::free(text);
    return result;
}

void describe(const std::exception_ptr& error, std::string& className, std::string& message) {
    try {
        std::rethrow_exception(error);
    } catch (const rtl::Exception& e) {
        className = e.className();
        message = e.message();
    } catch (const std::exception& e) {
        className = demangle(typeid(e).name());
        message = e.what();
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        className = type ? demangle(type->name()) : "Unknown";
        message = "";
    }
}

std::string hex(uint64_t value) {
    char buffer[32];
    TTextSink sink(buffer, sizeof buffer);
    sink.addHex(value, kAddressDigits);
    return std::string(sink.text());
}

struct ForeignNames {
    std::deque<std::string> names;
};

std::string_view foreignName(uintptr_t pc, void* context) {
    auto* store = static_cast<ForeignNames*>(context);
    store->names.push_back(moduleSymbolName(pc));
    return store->names.back();
}

bool isReporterFrame(const TFramePc& frame, const TSymbolTable* table) {
    if (!table) return false;
    const TSymbol symbol = table->lookup(frame.activation ? frame.pc : frame.pc - 1);
    return symbol.className.starts_with("crashreport") || symbol.procedure == "__cxa_throw";
}

// The user's description, with CR LF line ends, no run of empty lines that
// could read as an entry separator, and a final line end.
std::string normalizedSteps(const std::string& steps) {
    std::string out;
    int emptyLines = 0;
    size_t start = 0;
    while (start <= steps.size()) {
        size_t end = steps.find('\n', start);
        if (end == std::string::npos) end = steps.size();
        std::string line = steps.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            if (++emptyLines <= 1 && !out.empty()) out += "\r\n";
        } else {
            emptyLines = 0;
            out += line + "\r\n";
        }
        start = end + 1;
    }
    return out;
}

void onTerminate() {
    static std::atomic<bool> once{false};
    if (!once.exchange(true)) {
        if (TExceptionLog* log = TExceptionLog::instance()) {
            if (std::exception_ptr error = std::current_exception())
                log->reportException(error, 0, true);
            else
                log->reportTerminate();
        }
    }
    skipNextAbortReport();
    std::abort();
}

// A new folder only this user can enter, in $TMPDIR or /tmp (empty on failure): a fixed name
// in a shared folder could be another program's file or a link planted there.
std::string privateTempFolder() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp && temp[0] ? temp : "/tmp") + "/tessaly-report-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

uintptr_t mainProgramBias(const std::string& programPath) {
    auto modules = std::make_unique<TModuleList>();
    modules->take(programPath);
    return modules->count ? modules->modules[0].bias : 0;
}

}  // namespace

struct TExceptionLog::ErrorInput {
    std::string className, message;
    std::unique_ptr<TStackSnapshot> snapshot;
    uintptr_t throwSite = 0;  // skip frames up to this return address
    uintptr_t address = 0;    // given by the caller
    bool fatal = false;
};

TExceptionLog::TExceptionLog(TInstallParams params) : m_options(std::move(params.options)) {
    m_facts.take(params.argc, params.argv, std::move(params.description), std::move(params.version));
    for (const std::string& note : m_options.configNotes) m_configNotes += note + "\r\n";
}

TExceptionLog::~TExceptionLog() = default;

TExceptionLog* TExceptionLog::instance() { return g_instance.load(std::memory_order_acquire); }

void TExceptionLog::install(TInstallParams params) {
    std::lock_guard<std::mutex> guard(g_installLock);
    if (TExceptionLog* old = g_instance.exchange(nullptr)) {
        old->stop();
        delete old;
    }
    auto* log = new TExceptionLog(std::move(params));
    g_instance.store(log, std::memory_order_release);
    log->start();
}

void TExceptionLog::uninstall() {
    std::lock_guard<std::mutex> guard(g_installLock);
    TExceptionLog* log = g_instance.exchange(nullptr);
    if (!log) return;
    log->stop();
    delete log;
}

void TExceptionLog::start() {
    const std::string path = m_facts.programPath;
    const uintptr_t bias = mainProgramBias(path);
    m_symbolLoader = std::make_unique<rtl::TThread>("TSymbolLoader", [this, path, bias](rtl::TThread&) {
        m_symbolStore = std::make_unique<TSymbolTable>(TSymbolTable::fromFile(path, bias));
        m_symbols.store(m_symbolStore.get(), std::memory_order_release);
    });
    m_symbolLoader->start();
    setThrowCapture(true);
    m_previousTerminate = std::set_terminate(onTerminate);
    rtl::TThread::setStartHook(prepareThreadForFatalSignals);
    rtl::TThread::setUnhandledHandler([](std::exception_ptr error, const std::string&) {
        if (TExceptionLog* log = instance()) log->reportException(error);
    });
    const TLogLocation location = resolveLogLocation(m_options.LogPath, m_facts.programFolder,
                                                     m_facts.programFileName, userStateFolder());
    TFatalSignalSetup setup;
    setup.facts = &m_facts;
    setup.texts = &m_options.CustomTexts;
    setup.fieldMask = m_options.FieldMask;
    setup.configNotes = m_configNotes;
    setup.logToFile = m_options.LogToFile;
    setup.skipDuplicates = m_options.SkipDuplicates();
    setup.maxEntries = m_options.MaxLogEntries;
    setup.logFolder = location.folder;
    setup.logName = location.fileName;
    setup.symbols = &m_symbols;
    installFatalSignals(setup);
    if (m_options.FreezeCheck)
        m_freezeWatch = std::make_unique<TFreezeThread>(*this, m_options.FreezeSeconds, m_options.FreezeMessage);
}

void TExceptionLog::stop() {
    m_freezeWatch.reset();
    uninstallFatalSignals();
    rtl::TThread::setUnhandledHandler(nullptr);
    rtl::TThread::setStartHook(nullptr);
    std::set_terminate(m_previousTerminate);
    setThrowCapture(false);
    if (m_symbolLoader) m_symbolLoader->waitFor();
    std::lock_guard<std::recursive_mutex> guard(m_cycleLock);  // a running cycle ends first
}

void TExceptionLog::setGui(TReporterGui* gui) {
    std::lock_guard<std::mutex> guard(m_settingsLock);
    m_gui = gui;
}

TReporterGui* TExceptionLog::gui() {
    std::lock_guard<std::mutex> guard(m_settingsLock);
    return m_gui;
}

void TExceptionLog::setSender(TReportSender sender) {
    std::lock_guard<std::mutex> guard(m_settingsLock);
    m_sender = std::move(sender);
}

std::string TExceptionLog::logFilePath() const {
    return resolveLogLocation(m_options.LogPath, m_facts.programFolder, m_facts.programFileName, userStateFolder())
        .path();
}

const TSymbolTable* TExceptionLog::symbols(int waitMs) const {
    for (int waited = 0;; waited += 5) {
        if (const TSymbolTable* table = m_symbols.load(std::memory_order_acquire)) return table;
        if (waited >= waitMs) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TExceptionLog::reportException(std::exception_ptr error, uintptr_t address, bool fatal) {
    if (!error) return;
    ErrorInput input;
    try {
        describe(error, input.className, input.message);
        input.address = address;
        input.fatal = fatal;
        input.snapshot = std::make_unique<TStackSnapshot>();
        const TThrowRecord record = findThrowRecord(exceptionObjectOf(error));
        if (record.snapshot) {
            *input.snapshot = *record.snapshot;  // later throws may reuse the ring's slot
            input.throwSite = record.throwSite;
        } else {
            captureHere(*input.snapshot);
        }
    } catch (...) {
        recordErrorNotice("Gather", address, std::current_exception());
        return;
    }
    runCycle(input);
}

void TExceptionLog::reportTerminate() {
    ErrorInput input;
    try {
        input.className = "std::terminate";
        input.message = "std::terminate was called without an active exception";
        input.fatal = true;
        input.snapshot = std::make_unique<TStackSnapshot>();
        captureHere(*input.snapshot);
    } catch (...) {
        recordErrorNotice("Gather", 0, std::current_exception());
        return;
    }
    runCycle(input);
}

void TExceptionLog::reportSnapshot(const std::string& className, const std::string& message,
                                   const TStackSnapshot& snapshot) {
    ErrorInput input;
    try {
        input.className = className;
        input.message = message;
        input.snapshot = std::make_unique<TStackSnapshot>(snapshot);
    } catch (...) {
        recordErrorNotice("Gather", 0, std::current_exception());
        return;
    }
    runCycle(input);
}

// Marks this thread as inside the cycle for the guard's lifetime.
class TExceptionLog::CycleDepth {
public:
    CycleDepth() { ++t_cycleDepth; }
    ~CycleDepth() { --t_cycleDepth; }
    CycleDepth(const CycleDepth&) = delete;
    CycleDepth& operator=(const CycleDepth&) = delete;
};

void TExceptionLog::runCycle(const ErrorInput& input) {
    if (t_cycleDepth > 0) {
        // An error while reporting one: noted, never reported in turn.
        recordWarningNotice(eeNone, input.address,
                            rtl::format("[%s] %s", input.className.c_str(), input.message.c_str()));
        return;
    }
    std::shared_ptr<TReport> report;
    try {
        CycleDepth depth;
        std::lock_guard<std::recursive_mutex> lock(m_cycleLock);
        report = buildReport(input);
        report->duplicate = m_options.SkipDuplicates() && isDuplicate(*report);
        report->errorNumber = ++m_errorCount;
        report->thirdButton = m_options.ErrorCountLimitEnabled && report->errorNumber > m_options.ErrorCountLimit;
        if (m_options.LogToFile && !report->duplicate) logReport(*report);
        refreshFatalSignalModules();
    } catch (...) {
        recordErrorNotice("ReportCycle", input.address, std::current_exception());
        return;
    }
    // The dialog's own event loop may meet new errors of the program: those are reported as usual.
    TReporterGui* ui = gui();
    const bool wantDialog = m_options.ReporterActive && m_options.ShowDialog;
    if (wantDialog && ui && ui->isGuiThread()) {
        finishOnGui(report);
    } else if (wantDialog && ui && !input.fatal) {
        ui->postToGui([report] {
            if (TExceptionLog* log = instance()) log->finishOnGui(report);
        });
    } else {
        if (wantDialog && !ui) recordWarningNotice(eeShowError, report->address, "Cannot show the DialogBox window.");
        afterDialog(*report, false, {});
    }
}

std::shared_ptr<TReport> TExceptionLog::buildReport(const ErrorInput& input) {
    auto report = std::make_shared<TReport>();
    auto work = std::make_unique<TReportWork>();
    auto modules = std::make_unique<TModuleList>();
    modules->take(m_facts.programPath);
    const TSymbolTable* table = symbols(kSymbolWaitMs);
    TFramePc frames[kMaxFrames];
    // A throw's registers are those of the function that threw, at its call into the runtime.
    TFrameRegisters atThrow;
    atThrow.pc = input.throwSite;
    const size_t count = unwindSnapshot(*input.snapshot, frames, kMaxFrames, input.throwSite ? &atThrow : nullptr);
    size_t first = 0;
    if (input.throwSite) {
        while (first < count && frames[first].pc != input.throwSite) ++first;
        if (first == count) first = 0;
    } else {
        while (first + 1 < count && isReporterFrame(frames[first], table)) ++first;
    }
    ForeignNames foreign;
    work->data.texts = &m_options.CustomTexts;
    work->data.fieldMask = m_options.FieldMask;
    work->data.configNotes = m_configNotes;
    work->addFrames(frames + first, count - first, *modules, table, foreignName, &foreign);
    work->addModules(*modules, m_facts.description);
    TErrorFacts error;
    error.className = input.className;
    error.message = input.message;
    error.address = input.throwSite ? input.throwSite
                    : input.address  ? input.address
                    : count > first  ? frames[first].pc
                                     : 0;
    error.addressIsReturn = input.address == 0 && (input.throwSite != 0 || (count > first && !frames[first].activation));
    error.when = ::time(nullptr);
    TActiveControls controls;
    TReporterGui* ui = gui();
    if (ui && ui->isGuiThread()) controls = ui->activeControls();
    error.formClass = controls.formClass;
    error.formText = controls.formText;
    error.controlClass = controls.controlClass;
    error.controlText = controls.controlText;
    work->setGeneral(m_facts, error, *modules);
    work->setCpu(atThrow.found ? atThrow.regs : input.snapshot->regs, input.snapshot.get());
    std::string buffer(kReportBufferBytes, '\0');
    TTextSink sink(buffer.data(), buffer.size());
    report->parts = writeReportText(work->data, sink);
    buffer.resize(sink.size());
    report->text = std::move(buffer);
    report->className = input.className;
    report->message = input.message;
    report->address = error.address;
    for (const TCallStackRow& row : work->data.stack)
        report->stackRows.push_back({hex(row.address), std::string(row.module), std::string(row.unit),
                                     std::string(row.className), std::string(row.procedure),
                                     row.line ? std::to_string(row.line) : std::string()});
    for (const TModuleRow& row : work->data.modules)
        report->moduleRows.push_back({hex(row.handle), std::string(row.name), std::string(row.description),
                                      std::string(row.version), std::to_string(row.size), std::string(row.path)});
    return report;
}

bool TExceptionLog::isDuplicate(const TReport& report) {
    TLogFile log(resolveLogLocation(m_options.LogPath, m_facts.programFolder, m_facts.programFileName,
                                    userStateFolder()));
    log.load();
    const std::string title = m_options.CustomTexts[txtModulesInformation] + ":";
    const TExceptionFields fields = exceptionFieldsOf(report.text, title);
    for (const std::string& entry : log.entries())
        if (sameError(fields, exceptionFieldsOf(entry, title))) return true;
    return false;
}

void TExceptionLog::logReport(TReport& report) {
    TLogFile log(resolveLogLocation(m_options.LogPath, m_facts.programFolder, m_facts.programFileName,
                                    userStateFolder()));
    if (!log.load()) recordWarningNotice(eeLogError, report.address, "The log file could not be read.");
    if (log.trim().any()) recordWarningNotice(eeLogError, report.address, log.trim().describe(log.location().path()));
    if (!log.append(report.text, m_options.MaxLogEntries)) {
        recordWarningNotice(eeLogError, report.address,
                            rtl::format("Cannot write the log file \"%s\".", log.location().path().c_str()));
        return;
    }
    report.logged = true;
    report.loggedText = report.text;
}

void TExceptionLog::finishOnGui(std::shared_ptr<TReport> report) {
    TDialogResult result;
    bool shown = false;
    try {
        TReporterGui* ui = gui();
        shown = ui && ui->showDialog(*report, m_options, result);
    } catch (...) {
        recordErrorNotice("Dialog", report->address, std::current_exception());
    }
    if (!shown) recordWarningNotice(eeShowError, report->address, "Cannot show the DialogBox window.");
    afterDialog(*report, shown, result);
}

void TExceptionLog::afterDialog(TReport& report, bool dialogShown, const TDialogResult& result) {
    try {
        CycleDepth depth;
        TReporterGui* ui = gui();
        if (dialogShown && ui && m_options.AskSteps()) {
            const std::string steps = normalizedSteps(ui->askSteps(m_options));
            if (!steps.empty()) {
                report.text += "\r\n" + m_options.CustomTexts[txtRequest] + ":\r\n" +
                               std::string(kStepsRuleLength, '-') + "\r\n" + steps;
                // Other entries may have been logged while the dialogs were up: only this one is replaced.
                if (report.logged) {
                    std::lock_guard<std::recursive_mutex> guard(m_cycleLock);
                    TLogFile log(resolveLogLocation(m_options.LogPath, m_facts.programFolder,
                                                    m_facts.programFileName, userStateFolder()));
                    const bool readable = log.load();
                    if (log.trim().any())
                        recordWarningNotice(eeLogError, report.address, log.trim().describe(log.location().path()));
                    if (readable && log.replaceEntry(report.loggedText, report.text, m_options.MaxLogEntries))
                        report.loggedText = report.text;
                    else
                        recordWarningNotice(eeLogError, report.address, "Cannot add the steps to the log file.");
                }
            }
        }
        if (dialogShown && ui && result.clipboard) ui->copyToClipboard(report.text);
        const bool sendDue = m_options.ReporterActive && m_options.SendMethod != smNone && !report.duplicate &&
                             (result.send || !dialogShown);
        if (sendDue) sendReport(report, dialogShown ? result.screenshot : m_options.AttachScreenshot);
    } catch (...) {
        recordErrorNotice("AfterDialog", report.address, std::current_exception());
    }
    if (dialogShown && result.thirdButton) {
        if (m_options.RestartOnKill) restartProgram(m_facts);
        terminateProgram();
    }
}

void TExceptionLog::sendReport(TReport& report, bool screenshot) {
    TReportSender sender;
    {
        std::lock_guard<std::mutex> guard(m_settingsLock);
        sender = m_sender;
    }
    TSendRequest request;
    request.options = &m_options;
    request.currentReport = report.text;
    request.reportText = report.text;
    request.logFileName = resolveLogLocation(m_options.LogPath, m_facts.programFolder, m_facts.programFileName,
                                             userStateFolder()).fileName;
    if (m_options.SendWholeLog && report.logged) {  // else the log does not hold this report
        std::lock_guard<std::recursive_mutex> guard(m_cycleLock);
        TLogFile log(resolveLogLocation(m_options.LogPath, m_facts.programFolder, m_facts.programFileName,
                                        userStateFolder()));
        log.load();
        request.reportText = log.wholeText();
    }
    TReporterGui* ui = gui();
    std::string shotFolder;
    if (screenshot && ui && ui->isGuiThread()) {
        shotFolder = privateTempFolder();
        const std::string path = shotFolder + "/Screenshot.png";
        if (!shotFolder.empty() && ui->saveScreenshot(path)) request.screenshotPath = path;
    }
    if (sender)
        sender(request);
    else
        recordWarningNotice(eeNone, report.address, "No way of sending reports is built in; the report was not sent.");
    if (!shotFolder.empty()) {
        ::unlink((shotFolder + "/Screenshot.png").c_str());
        ::rmdir(shotFolder.c_str());
    }
}

}  // namespace crashreport

extern "C" void ExceptionManager(void* exceptionObject, void* exceptionAddress) {
    crashreport::TExceptionLog* log = crashreport::TExceptionLog::instance();
    if (!log) return;
    try {
        std::exception_ptr error =
            exceptionObject ? *static_cast<std::exception_ptr*>(exceptionObject) : std::current_exception();
        log->reportException(error, reinterpret_cast<uintptr_t>(exceptionAddress));
    } catch (...) {
        crashreport::recordErrorNotice("ExceptionManager", reinterpret_cast<uintptr_t>(exceptionAddress),
                                       std::current_exception());
    }
}
