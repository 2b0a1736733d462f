// The SMTP progress dialog over its worker thread (offscreen Qt), and the
// sender as the program registers it, taking a report to a real SMTP server.
#include "crashreport/SMTPDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <thread>

#include "MailTestServers.h"
#include "NetLoopbackServer.h"
#include "crashreport/ExceptionLog.h"
#include "crashreport/ReportDelivery.h"
#include "rtl/Exception.h"

using namespace crashreport;
using namespace testsupport;

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "crashreport_SMTPDialog_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

QWidget* smtpDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "SMTP" && w->isVisible()) return w;
    return nullptr;
}

TQuillModuleOptionsEx mailOptions(uint16_t port, int timeoutMs) {
    TQuillModuleOptionsEx o;
    o.SendMethod = smSMTPServer;
    o.Sender = "app@example.test";
    o.Recipients = "dev@example.test";
    o.Subject = "Crash";
    o.Message = "Hello.";
    o.SMTPHost = "127.0.0.1";
    o.SMTPPort = port;
    o.SocketTimeout = timeoutMs;
    o.ReportInBody = true;
    return o;
}

TSendRequest requestFor(const TQuillModuleOptionsEx& options) {
    TSendRequest r;
    r.options = &options;
    r.reportText = r.currentReport = "QuillLog 4.6\r\n";
    r.logFileName = "tessaly.qlf";
    return r;
}

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

__attribute__((noinline)) void throwFromHere() { throw rtl::EStreamError("mailed report"); }

}  // namespace

TEST(SMTPDialog, StaysResponsiveWhileTheWorkerWaitsAndClosesAtItsEnd) {
    application();
    // A server that greets, then never answers again.
    nettest::LoopbackServer server([](int fd) {
        nettest::sendAll(fd, "220 hello\r\n");
        nettest::recvUpTo(fd, 1 << 20, 4000);
    });
    const TQuillModuleOptionsEx options = mailOptions(static_cast<uint16_t>(server.port()), 1500);
    QString title;
    int value = -1, maximum = -1;
    bool stillOpenAfterEscape = false, fired = false;
    // Looks every 20 ms until the worker waits for the answer to HELO, then tries Escape.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* dialog = smtpDialog();
        if (!dialog || dialog->findChild<QLabel*>("lblStatus")->text() != "Connected with SMTP server.") return;
        watch.stop();
        fired = true;
        title = dialog->windowTitle();
        value = dialog->findChild<QProgressBar*>("pbProgress")->value();
        maximum = dialog->findChild<QProgressBar*>("pbProgress")->maximum();
        static_cast<QDialog*>(dialog)->reject();  // Escape: refused while the worker needs the dialog
        stillOpenAfterEscape = smtpDialog() != nullptr;
    });
    watch.start(20);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sendReportWithProgress(requestFor(options)));
    EXPECT_GE(msSince(start), 1400);
    EXPECT_LT(msSince(start), 6000);
    watch.stop();
    EXPECT_TRUE(fired) << "the GUI thread ran its timer while the conversation blocked";
    EXPECT_EQ(title, "SMTP.");
    EXPECT_EQ(value, 2);
    EXPECT_EQ(maximum, 3);
    EXPECT_TRUE(stillOpenAfterEscape);
    EXPECT_EQ(smtpDialog(), nullptr) << "closed when the worker ended";
}

TEST(SMTPDialog, SendsThroughTheWorkerAndWithoutDialogOffTheGuiThread) {
    application();
    QTemporaryDir dir;
    SMTPSink sink(dir);
    TQuillModuleOptionsEx options = mailOptions(sink.port(), 5000);
    options.Recipients = "one@example.test;two@example.test";
    std::vector<QString> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* d = smtpDialog()) {
            const QString text = d->findChild<QLabel*>("lblStatus")->text();
            if (seen.empty() || seen.back() != text) seen.push_back(text);
        }
    });
    poll.start(1);
    EXPECT_TRUE(sendReportWithProgress(requestFor(options)));
    poll.stop();
    EXPECT_TRUE(sink.hasMail(1));
    EXPECT_TRUE(sink.hasMail(2));
    EXPECT_EQ(smtpDialog(), nullptr);
    for (const QString& text : seen)
        EXPECT_TRUE(text.isEmpty() || text == "Connecting with SMTP server..." || text == "Connected with SMTP server." ||
                    text == "Sending message...")
            << text.toStdString();

    // Off the GUI thread there is no dialog: delivery runs on the caller.
    bool sent = false;
    std::thread other([&] { sent = sendReportWithProgress(requestFor(options)); });
    other.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(sink.hasMail(4));
}

TEST(SMTPDialog, TheRegisteredSenderMailsAReportOfTheCycle) {
    application();
    QTemporaryDir dir;
    SMTPSink sink(dir);
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    TInstallParams params;
    params.options = quillOptionsFromText("[Options]\nShowDialog=0\nSendMethod=2\nSMTPHost=127.0.0.1\nSMTPPort=" +
                                          std::to_string(sink.port()) + "\nRecipients=dev@example.test\n" +
                                          "Subject=Tessaly crashed\nLogPath=" + dir.path().toStdString() + "/r.qlf\n");
    static char name[] = "crashreport_SMTPDialog_test";
    static char* argv[] = {name, nullptr};
    params.argc = 1;
    params.argv = argv;
    params.description = "Dialog test";
    params.version = "1.0";
    TExceptionLog::install(std::move(params));
    installReportDelivery();
    try {
        throwFromHere();
    } catch (...) {
        TExceptionLog::instance()->reportException(std::current_exception());
    }
    TExceptionLog::uninstall();
    qunsetenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(sink.hasMail(1));
    const std::string mail = sink.mail(1);
    EXPECT_NE(mail.find("Subject: Tessaly crashed\r\n"), std::string::npos);
    EXPECT_NE(mail.find("filename=\"r.qlf\""), std::string::npos);
    const std::string out = inFolder(dir, "parsed");
    ASSERT_TRUE(dumpMime(sink.mailPath(1), out));
    const std::string report = readWholeFile(out + "/part-1");
    EXPECT_EQ(report.rfind("QuillLog 4.6\r\n", 0), 0u);
    EXPECT_NE(report.find("mailed report"), std::string::npos);
    EXPECT_EQ(report + "\r\n\r\n\r\n\r\n", readWholeFile(dir.path().toStdString() + "/r.qlf"));
}
