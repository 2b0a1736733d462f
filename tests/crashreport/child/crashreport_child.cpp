// A small program the crash reporter's tests start as a child process: it
// installs the reporter with <folder>/crashreport.ini and fails in the way
// its first argument names. "line N" on standard output tells the test the
// source line of the failing statement.
//
//   crashreport_child <mode> <folder> [count]

#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "app/Application.h"
#include "crashreport/ErrorDialog.h"
#include "crashreport/ExceptionLog.h"
#include "rtl/Thread.h"

namespace {

void say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

#define SAY_NEXT_LINE() say("line " + std::to_string(__LINE__ + 1))

__attribute__((noinline)) void failingButtonHandler(int click) {
    SAY_NEXT_LINE();
    throw rtl::EStreamError("disk on fire #" + std::to_string(click));
}

__attribute__((noinline)) void failingThreadBody() {
    SAY_NEXT_LINE();
    throw rtl::EThread("worker lost its way");
}

__attribute__((noinline)) void callTerminate() {
    SAY_NEXT_LINE();
    std::terminate();
}

__attribute__((noinline, no_sanitize("undefined"))) void writeThroughNull(int* target) {
    volatile int* volatile where = target;
    SAY_NEXT_LINE();
    *where = 42;
}

__attribute__((noinline, no_sanitize("undefined"))) int divideByZero(int divisor) {
    volatile int by = divisor;
    SAY_NEXT_LINE();
    return 100 / by;
}

// Nothing catches it: std::terminate runs with it as the active exception.
__attribute__((noinline)) void throwUncaught() {
    SAY_NEXT_LINE();
    throw rtl::EStreamError("nobody caught this");
}

__attribute__((noinline)) void callAbort() {
    SAY_NEXT_LINE();
    std::abort();
}

// Stops only when the stack does (the bound is never reached).
__attribute__((noinline)) int recurseForever(int depth) {
    volatile char ballast[512];
    ballast[depth % 512] = static_cast<char>(depth);
    if (depth > (1 << 30)) return 0;
    return recurseForever(depth + 1) + ballast[0];
}

__attribute__((noinline)) void frozenFunction(int seconds) {
    say("frozen");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void click(QPushButton& button) {
    const QPoint at(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, at, button.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, button.mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(&button, &press);
    QApplication::sendEvent(&button, &release);
}

// Answers each error dialog: tells whether the third button is offered, then
// presses it when pressThird says so, else OK.
void answerDialogs(bool pressThird) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [pressThird] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != "DIALOG" || !dialog->isVisible()) return;
        auto* third = dialog->findChild<QPushButton*>("btnRestart");
        if (!third) third = dialog->findChild<QPushButton*>("btnTerminate");
        const bool offered = third && !third->isHidden();
        say(std::string("third ") + (offered ? "shown" : "hidden"));
        if (offered && pressThird) {
            say("pressing " + third->objectName().toStdString() + " " + third->text().toStdString());
            third->click();
        }
        else
            dialog->findChild<QPushButton*>("btnOK")->click();
    });
    timer->start(20);
}

int runButton(int count, bool pressThird) {
    QPushButton button("Fail");
    button.setObjectName("btnFail");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { failingButtonHandler(++clicks); });
    button.show();
    if (crashreport::TExceptionLog::instance()->options().ShowDialog) answerDialogs(pressThird);
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < count; ++i) {
            click(button);
            say("went on " + std::to_string(clicks));
        }
        qApp->quit();
    });
    return qApp->exec();
}

int runThread() {
    rtl::TThread worker("worker", [](rtl::TThread&) { failingThreadBody(); });
    worker.start();
    worker.waitFor();
    say("went on");
    return 0;
}

int runRestart(const std::string& folder, int argc, char** argv) {
    const std::string starts = folder + "/starts.txt";
    std::ifstream before(starts);
    const bool restarted = before.good() && before.peek() != EOF;
    before.close();
    std::ofstream log(starts, std::ios::app);
    for (int i = 1; i < argc; ++i) log << argv[i] << (i + 1 < argc ? " " : "\n");
    log << "cwd " << get_current_dir_name() << "\n";
    log.close();
    if (restarted) return 0;
    return runButton(10, true);
}

int runFreeze() {
    QPushButton button("Frozen soon");
    button.show();
    QTimer::singleShot(300, [] {
        frozenFunction(4);
        qApp->quit();
    });
    return qApp->exec();
}

int runModule(const char* path) {
    void* module = dlopen(path, RTLD_NOW);
    if (!module) {
        say(std::string("no module: ") + dlerror());
        return 2;
    }
    auto fail = reinterpret_cast<void (*)()>(dlsym(module, "moduleFailsAndReports"));
    if (!fail) return 2;
    fail();
    say("went on");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    const std::string folder = argv[2];
    const int count = argc > 3 ? std::atoi(argv[3]) : 1;
    crashreport::TInstallParams params;
    params.options = crashreport::loadQuillOptions(folder + "/crashreport.ini");
    params.argc = argc;
    params.argv = argv;
    params.description = "Crash reporter test child";
    params.version = "1.0";
    crashreport::TExceptionLog::install(std::move(params));
    app::TApplication application(argc, argv);
    crashreport::installErrorDialog();
    int result = 0;
    if (mode == "button") result = runButton(count, false);
    else if (mode == "thread") result = runThread();
    else if (mode == "terminate") callTerminate();
    else if (mode == "nullwrite") writeThroughNull(nullptr);
    else if (mode == "divzero") result = divideByZero(0);
    else if (mode == "abort") callAbort();
    else if (mode == "uncaught") throwUncaught();
    else if (mode == "overflow") result = recurseForever(0);
    else if (mode == "restart") result = runRestart(folder, argc, argv);
    else if (mode == "freeze") result = runFreeze();
    else if (mode == "module") result = runModule(argv[3]);
    else result = 2;
    crashreport::removeErrorDialog();
    crashreport::TExceptionLog::uninstall();
    return result;
}
