// The report cycle inside this test program with the real Qt dialogs
// offscreen: what the user chooses in the error dialog and the REQUEST dialog
// reaches the log, the clipboard and the sender; a throw's CPU part shows the
// throwing function's registers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <regex>

#include "GuiTestSupport.h"
#include "crashreport/ErrorDialog.h"
#include "crashreport/ExceptionLog.h"
#include "crashreport/LogSplitter.h"
#include "crashreport/ModuleList.h"
#include "crashreport/SymbolTable.h"
#include "rtl/Exception.h"

using namespace crashreport;
using testsupport::ModalWatch;

namespace {

__attribute__((noinline)) void throwFromHere(int n) {
    asm volatile("" ::: "memory");
    throw rtl::EStreamError("report cycle test #" + std::to_string(n));
}

class ReportCycle : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        // The dialog's placement file goes to the scratch folder, not the user's.
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    }
    void TearDown() override {
        removeErrorDialog();
        TExceptionLog::uninstall();
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("TMPDIR");
    }

    void install(const std::string& ini) {
        TInstallParams params;
        params.options = quillOptionsFromText("[Options]\nLogPath=" + m_folder + "/report.qlf\n" + ini);
        static char name[] = "crashreport_ReportCycle_test";
        static char* argv[] = {name, nullptr};
        params.argc = 1;
        params.argv = argv;
        params.description = "Report cycle test";
        params.version = "1.0";
        TExceptionLog::install(std::move(params));
        installErrorDialog();
    }

    // Throws, catches and reports on the GUI thread (the dialogs run before this returns).
    void failOnce(int n) {
        try {
            throwFromHere(n);
        } catch (...) {
            TExceptionLog::instance()->reportException(std::current_exception());
        }
    }

    std::vector<std::string> logEntries() {
        const std::string text = testsupport::readFile(m_folder + "/report.qlf");
        auto entries = std::make_unique<TLogEntries>();
        splitLog(text, false, *entries);
        return std::vector<std::string>(entries->items, entries->items + entries->count);
    }

    QTemporaryDir m_dir;
    std::string m_folder;
};

TEST_F(ReportCycle, StepsFromTheRequestDialogEndTheLogEntryAndCannotSplitIt) {
    install("ShowDialog=1\nAskSteps=1\n");
    QString requestTitle, requestLabel;
    std::vector<QString> tabs;
    ModalWatch error("DIALOG", [&](QWidget* dialog) {
        auto* pages = dialog->findChild<QTabWidget*>("tabDetails");
        for (int i = 0; i < pages->count(); ++i) tabs.push_back(pages->tabText(i));
        dialog->findChild<QPushButton*>("btnOK")->click();
    });
    ModalWatch request("REQUEST", [&](QWidget* dialog) {
        requestTitle = dialog->windowTitle();
        requestLabel = dialog->findChild<QLabel*>("lblSteps")->text();
        // Four empty lines would read as the end of an entry; CR LF and LF both end lines.
        dialog->findChild<QPlainTextEdit*>("edtSteps")->setPlainText("opened the list\r\n\n\n\n\nclicked Gather Data");
        dialog->findChild<QPushButton*>("btnRequestOK")->click();
    });
    failOnce(1);
    EXPECT_TRUE(error.fired());
    ASSERT_TRUE(request.fired());
    EXPECT_EQ(tabs, (std::vector<QString>{"General", "Call Stack", "Modules", "CPU"}));
    EXPECT_EQ(requestTitle, "Request");
    EXPECT_EQ(requestLabel, "Please describe the steps to reproduce the error:");
    const std::vector<std::string> entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string steps = "\r\nRequest:\r\n" + std::string(40, '-') + "\r\nopened the list\r\n\r\nclicked Gather Data\r\n";
    ASSERT_GE(entries[0].size(), steps.size());
    EXPECT_EQ(entries[0].substr(entries[0].size() - steps.size()), steps);
    EXPECT_NE(entries[0].find("2.5 Message: report cycle test #1\r\n"), std::string::npos);

    // An empty description adds nothing to the next entry.
    ModalWatch again("DIALOG", [](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); });
    ModalWatch empty("REQUEST", [](QWidget* dialog) { dialog->findChild<QPushButton*>("btnRequestOK")->click(); });
    failOnce(2);
    ASSERT_TRUE(empty.fired());
    const std::vector<std::string> after = logEntries();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1].find("Request:"), std::string::npos);
}

TEST_F(ReportCycle, ClipboardBoxCopiesTheReportAsLogged) {
    install("ShowDialog=1\n");
    QGuiApplication::clipboard()->setText("before");
    ModalWatch error("DIALOG", [](QWidget* dialog) {
        dialog->findChild<QCheckBox*>("chkClipboard")->setChecked(true);
        dialog->findChild<QPushButton*>("btnOK")->click();
    });
    failOnce(3);
    ASSERT_TRUE(error.fired());
    const std::vector<std::string> entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), entries[0]);

    // Left unticked, the clipboard keeps what it had.
    QGuiApplication::clipboard()->setText("kept");
    ModalWatch plain("DIALOG", [](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); });
    failOnce(4);
    ASSERT_TRUE(plain.fired());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

TEST_F(ReportCycle, ScreenshotIsAPrivatePngForTheSenderRemovedAfterwards) {
    // A link planted where a fixed temporary name would go must not be written through.
    const std::string victim = m_folder + "/victim.txt";
    testsupport::writeFile(victim, "precious");
    ASSERT_EQ(::symlink(victim.c_str(), (m_folder + "/Screenshot.png").c_str()), 0);
    qputenv("TMPDIR", m_dir.path().toLocal8Bit());
    install("ShowDialog=1\nSendMethod=2\n");
    std::string shotPath, reportText;
    QImage shot;
    bool sendTicked = false;
    TExceptionLog::instance()->setSender([&](const TSendRequest& request) {
        shotPath = request.screenshotPath;
        reportText = request.reportText;
        shot = QImage(QString::fromStdString(shotPath), "PNG");
        return true;
    });
    ModalWatch error("DIALOG", [&](QWidget* dialog) {
        sendTicked = dialog->findChild<QCheckBox*>("chkSend")->isChecked();
        dialog->findChild<QCheckBox*>("chkScreenshot")->setChecked(true);
        dialog->findChild<QPushButton*>("btnOK")->click();
    });
    failOnce(5);
    ASSERT_TRUE(error.fired());
    EXPECT_TRUE(sendTicked);  // a send method ticks "Send" at first
    ASSERT_FALSE(shotPath.empty());
    EXPECT_EQ(shotPath.rfind(m_folder + "/", 0), 0u) << shotPath;
    EXPECT_NE(shotPath, m_folder + "/Screenshot.png");
    EXPECT_FALSE(shot.isNull());
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(shot.size(), screen);
    EXPECT_EQ(::access(shotPath.c_str(), F_OK), -1) << "the screenshot was not removed";
    EXPECT_TRUE(testsupport::readFile(victim) == "precious") << "written through the link";
    const std::vector<std::string> entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(reportText, entries[0]);
}

TEST_F(ReportCycle, CpuPartOfAThrowShowsTheThrowingFunctionsRegisters) {
    install("ShowDialog=0\n");
    uint64_t stackHere = 0;
    asm volatile("movq %%rsp, %0" : "=r"(stackHere));
    failOnce(6);
    const std::vector<std::string> entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string& entry = entries[0];
    std::smatch rip, rsp, address;
    ASSERT_TRUE(std::regex_search(entry, rip, std::regex("RIP: ([0-9A-F]{16})")));
    ASSERT_TRUE(std::regex_search(entry, rsp, std::regex("RSP: ([0-9A-F]{16})")));
    ASSERT_TRUE(std::regex_search(entry, address, std::regex("2\\.2 Address: ([0-9A-F]{16})")));
    const uint64_t pc = std::stoull(rip[1], nullptr, 16), sp = std::stoull(rsp[1], nullptr, 16);
    EXPECT_EQ(pc, std::stoull(address[1], nullptr, 16));  // the throw site, as General says
    const TSymbolTable* table = TExceptionLog::instance()->symbols(10000);
    ASSERT_NE(table, nullptr);
    const TSymbol symbol = table->lookup(pc - 1);
    EXPECT_EQ(symbol.procedure, "throwFromHere");
    EXPECT_EQ(symbol.unit, "ReportCycle_test.cpp");
    // The thrower's frame lies just below the test's own.
    EXPECT_LT(sp, stackHere);
    EXPECT_GT(sp, stackHere - 64 * 1024);
}

}  // namespace
