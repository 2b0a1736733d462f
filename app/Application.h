#pragma once
// The application object. An exception that escapes an event handler is
// caught here and reported (by default through the crash reporter's report
// cycle, with the stack of its throw); the program goes on. GUI thread only.

#include <QApplication>
#include <exception>
#include <functional>
#include <string>

namespace app {

using ExceptionReporter = std::function<void(std::exception_ptr)>;

// Reports an exception nothing else handled. Safe to call from the GUI thread only.
void reportUnhandledException(std::exception_ptr error);
// Replaces the reporter (tests watch reports here); returns the old one.
ExceptionReporter setExceptionReporter(ExceptionReporter reporter);
// "EClassName: message" for any exception.
std::string describeException(std::exception_ptr error);

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
