#include "app/Application.h"

#include <QFont>
#include <cstdio>

#include "crashreport/ExceptionLog.h"
#include "rtl/Exception.h"

namespace app {

namespace {

// Into the crash reporter's report cycle; before it is installed (or after),
// standard error is all there is.
void reportToCrashReporter(std::exception_ptr error) {
    if (crashreport::TExceptionLog* log = crashreport::TExceptionLog::instance())
        log->reportException(error);
    else
        std::fprintf(stderr, "Unhandled exception: %s\n", describeException(error).c_str());
}

ExceptionReporter& currentReporter() {
    static ExceptionReporter reporter = reportToCrashReporter;
    return reporter;
}

}  // namespace

std::string describeException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const rtl::Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    } catch (const std::exception& e) {
        return std::string("Exception: ") + e.what();
    } catch (...) {
        return "Exception: unknown error";
    }
}

void reportUnhandledException(std::exception_ptr error) {
    // A failing reporter must not take the program down with it.
    try {
        currentReporter()(error);
    } catch (...) {
    }
}

ExceptionReporter setExceptionReporter(ExceptionReporter reporter) {
    std::swap(currentReporter(), reporter);
    return reporter;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Tessaly");
    setApplicationDisplayName("Tessaly");
    // The window's design font; fontconfig has no alias for it, so name the
    // metric-compatible free faces ourselves.
    QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    setFont(QFont("MS Sans Serif", 8));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportUnhandledException(std::current_exception());
        return false;
    }
}

}  // namespace app
