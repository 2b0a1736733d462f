#pragma once
// One plain QApplication per test process, for the tests of libraries below
// the program (the program's own tests use GuiTestSupport.h).

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace testsupport {

inline QApplication& ensureQtApp() {
    static int argc = 1;
    static char name[] = "tessaly_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* application = new QApplication(argc, argv);
    return *application;
}

// Processes events until done() holds or timeoutMs passed; returns done().
inline bool processEventsUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;  // wakes the wait below at least this often
    tick.start(10);
    while (!done() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

}  // namespace testsupport
