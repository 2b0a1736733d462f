// An error reported while "Gather Data" runs: the error dialog comes up on
// top of the job's wait for a page, and while it is up the job stands still
// (no request is sent again or anew); once it closes the job goes on and
// asks each engine once per keyword.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <algorithm>
#include <set>

#include "FakeEngines.h"
#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"
#include "app/MainGauge.h"
#include "crashreport/ErrorDialog.h"
#include "crashreport/ExceptionLog.h"
#include "rtl/Exception.h"

using namespace app;
using testsupport::FakeEngines;
using testsupport::ModalWatch;
using testsupport::onNextModal;

namespace {

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class ReporterDuringJob : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        folder = testsupport::folderOf(dir);
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        static char name[] = "app_ReporterDuringJob_test";
        static char* argv[] = {name, nullptr};
        crashreport::TInstallParams params;
        params.options = crashreport::quillOptionsFromText("[Options]\nShowDialog=1\nLogPath=" + folder + "\n");
        params.argc = 1;
        params.argv = argv;
        params.description = "Reporter during a job";
        params.version = "1.0";
        crashreport::TExceptionLog::install(std::move(params));
        crashreport::installErrorDialog();
    }
    void TearDown() override {
        window.reset();
        crashreport::removeErrorDialog();
        crashreport::TExceptionLog::uninstall();
        qunsetenv("XDG_CONFIG_HOME");
    }
    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST_F(ReporterDuringJob, JobStandsStillWhileTheErrorDialogIsUpAndGoesOnAfter) {
    FakeEngines engines(dir, {"--slow", "google"});
    ASSERT_GT(engines.google, 0) << "fake engines did not start";
    testsupport::writeFile(folder + "endpoints.ini", engines.endpointsIni());
    window = std::make_unique<TfrmMain>(folder);
    window->show();
    window->addKeywordRow("golf");
    window->addKeywordRow("tennis");

    // An event handler fails while the job waits for Google's slow page.
    QTimer::singleShot(800, [] { throw rtl::EStreamError("handler failed during the job"); });
    int requestsAtOpen = -1, requestsBeforeOK = -1;
    qint64 gaugeAtOpen = -1, gaugeBeforeOK = -1;
    QString buttonAtOpen;
    ModalWatch errorDialog(
        "DIALOG",
        [&](QWidget* dialog) {
            requestsAtOpen = lineCount(engines.log());
            gaugeAtOpen = window->findChild<TMainGauge*>("MainGauge")->value();
            buttonAtOpen = window->findChild<QPushButton*>("btnGatherData")->text();
            waitMs(2000);  // the dialog's own event loop runs meanwhile
            requestsBeforeOK = lineCount(engines.log());
            gaugeBeforeOK = window->findChild<TMainGauge*>("MainGauge")->value();
            dialog->findChild<QPushButton*>("btnOK")->click();
        },
        20000);
    onNextModal([](QWidget* d) {
        d->findChild<QCheckBox*>("skSkinCheckRadioBox1")->setChecked(true);
        d->findChild<QPushButton*>("btnOk")->click();
    });
    window->findChild<QPushButton*>("btnGatherData")->click();  // returns when the job is done

    ASSERT_TRUE(errorDialog.fired()) << "the failing handler never ran during the job";
    EXPECT_EQ(buttonAtOpen, "Stop");  // the dialog came up inside the running job
    EXPECT_GE(requestsAtOpen, 1);
    EXPECT_EQ(requestsBeforeOK, requestsAtOpen);
    EXPECT_EQ(gaugeBeforeOK, gaugeAtOpen);
    EXPECT_EQ(crashreport::TExceptionLog::instance()->errorCount(), 1);

    // Every engine was asked once for every keyword: nothing repeated, nothing left out.
    const std::string log = engines.log();
    std::multiset<std::string> requests;
    size_t start = 0;
    for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
        requests.insert(log.substr(start, end - start));
    EXPECT_EQ(requests.size(), 6u) << log;
    EXPECT_EQ(std::set<std::string>(requests.begin(), requests.end()).size(), requests.size()) << log;
    EXPECT_EQ(window->findChild<QPushButton*>("btnGatherData")->text(), "Gather Data");
    EXPECT_EQ(std::string(window->keywordList().row(1).cell(colMsn)), "6,003");
}
