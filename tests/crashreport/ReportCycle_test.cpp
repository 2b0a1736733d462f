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
#include <QSettings>
#include <QTabWidget>
#include <QTreeWidget>
#include <regex>
#include <thread>

#include "GuiTestSupport.h"
#include "crashreport/DialogPlacement.h"
#include "crashreport/ErrorDialog.h"
#include "crashreport/InternalNotices.h"
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

    // Throws and reports on a thread of its own (its cycle posts the dialog to the GUI thread).
    void failOnAnotherThread(int n) {
        std::thread worker([this, n] { failOnce(n); });
        worker.join();
    }

    // Runs the GUI thread's events until done() or for at most timeoutMs.
    static void pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // Notices recorded since `since` notices were kept.
    static std::vector<std::string> noticesSince(size_t since) {
        std::vector<std::string> all = internalNotices();
        return since < all.size() ? std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(since), all.end())
                                  : std::vector<std::string>{};
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

// Steps are written into the entry their own cycle logged, whatever was logged while the dialogs were
// up: a second error of the GUI thread met by the error dialog's event loop, and another thread's report.
TEST_F(ReportCycle, StepsGoIntoTheirOwnEntryWhenOthersAreLoggedMeanwhile) {
    install("ShowDialog=1\nAskSteps=1\n");
    auto answer = [](const char* steps) {
        return [steps](QWidget* dialog) {
            dialog->findChild<QPlainTextEdit*>("edtSteps")->setPlainText(steps);
            dialog->findChild<QPushButton*>("btnRequestOK")->click();
        };
    };
    auto clickOK = [](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); };
    std::unique_ptr<ModalWatch> innerError, innerRequest, outerRequest, threadError, threadRequest;
    ModalWatch outerError("DIALOG", [&](QWidget* dialog) {
        innerError = std::make_unique<ModalWatch>("DIALOG", clickOK);
        innerRequest = std::make_unique<ModalWatch>("REQUEST", answer("inner steps"));
        failOnce(2);
        outerRequest = std::make_unique<ModalWatch>("REQUEST", [&](QWidget* request) {
            failOnAnotherThread(3);  // logged at once; its dialog comes later
            threadError = std::make_unique<ModalWatch>("DIALOG", clickOK);
            threadRequest = std::make_unique<ModalWatch>("REQUEST", answer("thread steps"));
            answer("outer steps")(request);
        });
        clickOK(dialog);
    });
    failOnce(1);
    ASSERT_TRUE(outerError.fired());
    ASSERT_TRUE(innerError && innerError->fired() && innerRequest->fired());
    ASSERT_TRUE(outerRequest && outerRequest->fired());
    ASSERT_TRUE(threadError && threadRequest);
    pumpUntil([&] { return threadRequest->finished(); });
    ASSERT_TRUE(threadError->fired() && threadRequest->fired());
    const std::vector<std::string> entries = logEntries();
    ASSERT_EQ(entries.size(), 3u);
    const std::pair<const char*, const char*> expected[] = {
        {"report cycle test #1", "outer steps"}, {"report cycle test #2", "inner steps"}, {"report cycle test #3", "thread steps"}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(entries[i].find(std::string("2.5 Message: ") + expected[i].first + "\r\n"), std::string::npos);
        const std::string tail = std::string(expected[i].second) + "\r\n";
        ASSERT_GE(entries[i].size(), tail.size());
        EXPECT_EQ(entries[i].substr(entries[i].size() - tail.size()), tail);
        EXPECT_EQ(entries[i].find("Request:"), entries[i].rfind("Request:"));  // one description each
    }
}

// ReporterActive=0: no dialog and no sending, the log still kept. LogToFile=0: dialog and
// sending, no log; what is sent is then the report itself even with SendWholeLog.
TEST_F(ReportCycle, ReporterActiveAndLogToFileSwitches) {
    install("ReporterActive=0\nShowDialog=1\nSendMethod=2\nAskSteps=1\n");
    int sends = 0;
    std::string sent;
    auto sender = [&](const TSendRequest& request) {
        ++sends;
        sent = request.reportText;
        return true;
    };
    TExceptionLog::instance()->setSender(sender);
    {
        ModalWatch anyModal("", [](QWidget*) {}, 300);
        failOnce(1);
        pumpUntil([&] { return anyModal.finished(); });
        EXPECT_FALSE(anyModal.fired());
    }
    EXPECT_EQ(sends, 0);
    ASSERT_EQ(logEntries().size(), 1u);

    ::unlink((m_folder + "/report.qlf").c_str());
    install("LogToFile=0\nShowDialog=1\nSendMethod=2\nAskSteps=1\nSendWholeLog=1\n");
    TExceptionLog::instance()->setSender(sender);
    ModalWatch error("DIALOG", [](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); });
    ModalWatch request("REQUEST", [](QWidget* dialog) {
        dialog->findChild<QPlainTextEdit*>("edtSteps")->setPlainText("pressed Stop");
        dialog->findChild<QPushButton*>("btnRequestOK")->click();
    });
    failOnce(2);
    EXPECT_TRUE(error.fired());
    EXPECT_TRUE(request.fired());
    EXPECT_EQ(sends, 1);
    EXPECT_EQ(sent.rfind("QuillLog 4.6\r\n", 0), 0u) << sent.substr(0, 200);
    EXPECT_NE(sent.find("2.5 Message: report cycle test #2\r\n"), std::string::npos);
    EXPECT_NE(sent.find("pressed Stop\r\n"), std::string::npos);
    EXPECT_EQ(::access((m_folder + "/report.qlf").c_str(), F_OK), -1) << "a log was written";
}

// Failures of the cycle's own parts are notices in the documented form; the program goes on.
TEST_F(ReportCycle, FailuresInsideTheCycleBecomeInternalNotices) {
    const std::string addressPattern = "[0-9A-F]{16}";
    // A sender that throws.
    install("ShowDialog=0\nSendMethod=2\n");
    TExceptionLog::instance()->setSender([](const TSendRequest&) -> bool { throw std::runtime_error("mail server gone"); });
    size_t before = internalNotices().size();
    failOnce(1);
    std::vector<std::string> notices = noticesSince(before);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(std::regex_match(notices[0], std::regex("\\[ERROR\\] - Section: AfterDialog - Address: " + addressPattern +
                                                        " - Message: \"\\[std::runtime_error\\] mail server gone\"")))
        << notices[0];
    EXPECT_EQ(logEntries().size(), 1u);

    // No dialog to show: the report is logged all the same.
    install("ShowDialog=1\n");
    removeErrorDialog();
    before = internalNotices().size();
    failOnce(2);
    notices = noticesSince(before);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(std::regex_match(notices[0], std::regex("\\[WARNING\\] - Code: eeShowError - Address: " + addressPattern +
                                                        " - Message: \"Cannot show the DialogBox window.\"")))
        << notices[0];
    EXPECT_EQ(logEntries().size(), 2u);

    // An error while the REQUEST dialog is up is noted, not reported in turn.
    install("ShowDialog=1\nAskSteps=1\n");
    ModalWatch error("DIALOG", [](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); });
    ModalWatch request("REQUEST", [&](QWidget* dialog) {
        failOnce(4);
        dialog->findChild<QPushButton*>("btnRequestOK")->click();
    });
    before = internalNotices().size();
    failOnce(3);
    ASSERT_TRUE(request.fired());
    notices = noticesSince(before);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(std::regex_match(notices[0], std::regex("\\[WARNING\\] - Code: eeNone - Address: " + addressPattern +
                                                        " - Message: \"\\[EStreamError\\] report cycle test #4\"")))
        << notices[0];
    EXPECT_EQ(logEntries().size(), 3u);

    // A log too big to read whole: the cut is noted, the new entry kept.
    testsupport::writeFile(m_folder + "/report.qlf", std::string(9u * 1024 * 1024, 'z'));
    install("ShowDialog=0\n");
    before = internalNotices().size();
    failOnce(5);
    notices = noticesSince(before);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(std::regex_search(notices[0], std::regex("^\\[WARNING\\] - Code: eeLogError - Address: " + addressPattern +
                                                         " - Message: \".*report\\.qlf.*\"$")))
        << notices[0];
    ASSERT_EQ(logEntries().size(), 1u);
    EXPECT_NE(logEntries()[0].find("report cycle test #5"), std::string::npos);
}

// Details shows and hides the tabs; the dialog comes back where QuillLog.ini says, and keeps its new
// place. The entry is in the log while the dialog is up.
TEST_F(ReportCycle, DetailsAndThePlacementKeptInQuillLogIni) {
    {
        QSettings ini(m_dir.path() + "/QuillLog.ini", QSettings::IniFormat);
        ini.beginGroup("Coordinates");
        ini.setValue("Left", 37);
        ini.setValue("Top", 45);
        ini.setValue("Width", 640);
        ini.setValue("Height", 420);
        for (int i = 0; i < 6; ++i) ini.setValue(QString("ColMod%1").arg(i), 91 + i);
    }
    install("ShowDialog=1\n");
    bool hiddenAtFirst = false, shownByDetails = false, hiddenAgain = false, stackNamesThrower = false;
    QPoint place;
    int width = 0, detailHeight = 0, shortHeight = 0;
    size_t loggedWhileShown = 0;
    std::vector<int> columns;
    QString general, cpu;
    ModalWatch error("DIALOG", [&](QWidget* dialog) {
        loggedWhileShown = logEntries().size();  // logged before the dialog: a user who kills it keeps the report
        auto* tabs = dialog->findChild<QTabWidget*>("tabDetails");
        auto* details = dialog->findChild<QPushButton*>("btnDetails");
        hiddenAtFirst = tabs->isHidden();
        place = dialog->pos();
        width = dialog->width();
        auto* modules = dialog->findChild<QTreeWidget*>("lstModules");
        for (int i = 0; i < 6; ++i) columns.push_back(modules->columnWidth(i));
        details->click();
        shownByDetails = tabs->isVisible();
        detailHeight = dialog->height();
        general = dialog->findChild<QPlainTextEdit*>("memGeneral")->toPlainText();
        cpu = dialog->findChild<QPlainTextEdit*>("memCPU")->toPlainText();
        auto* stack = dialog->findChild<QTreeWidget*>("lstCallStack");
        for (int i = 0; i < stack->topLevelItemCount(); ++i)
            stackNamesThrower = stackNamesThrower || stack->topLevelItem(i)->text(4) == "throwFromHere";
        details->click();
        hiddenAgain = tabs->isHidden();
        shortHeight = dialog->height();
        details->click();
        dialog->move(50, 60);
        dialog->resize(700, 430);
        dialog->findChild<QPushButton*>("btnOK")->click();
    });
    failOnce(1);
    ASSERT_TRUE(error.fired());
    EXPECT_EQ(loggedWhileShown, 1u);
    EXPECT_TRUE(hiddenAtFirst);
    EXPECT_TRUE(shownByDetails);
    EXPECT_TRUE(hiddenAgain);
    EXPECT_EQ(place, QPoint(37, 45));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(detailHeight, 420);
    EXPECT_LT(shortHeight, detailHeight);
    EXPECT_EQ(columns, (std::vector<int>{91, 92, 93, 94, 95, 96}));
    EXPECT_TRUE(general.contains("2.5 Message: report cycle test #1\n")) << general.toStdString();
    EXPECT_TRUE(cpu.contains("RIP: ")) << cpu.toStdString();
    EXPECT_TRUE(stackNamesThrower);
    const TDialogPlacement kept = TDialogPlacement::load();
    EXPECT_EQ(kept.left, 50);
    EXPECT_EQ(kept.top, 60);
    EXPECT_EQ(kept.width, 700);
    EXPECT_EQ(kept.height, 430);
    EXPECT_EQ(kept.columns, (std::array<int, 6>{91, 92, 93, 94, 95, 96}));
}

}  // namespace
