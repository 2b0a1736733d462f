// "Gather Data" end to end: three fake engines on 127.0.0.1, the real window
// offscreen, driven through its buttons and dialogs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"
#include "app/MainGauge.h"

using namespace app;
using testsupport::onNextModal;

namespace {

class FakeEngines {
public:
    FakeEngines(const QTemporaryDir& dir, const QStringList& options) : m_log(dir.filePath("requests.log")) {
        const QString ports = dir.filePath("ports.txt");
        m_process.start("python3", QStringList{QString(TESSALY_TEST_SERVERS) + "/fake_engines.py", ports, m_log} + options);
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(ports) && clock.elapsed() < 10000) QThread::msleep(20);
        const std::string text = testsupport::readFile(ports.toStdString());
        std::sscanf(text.c_str(), "%d %d %d", &google, &yahoo, &msn);
    }
    ~FakeEngines() {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    std::string endpointsIni() const {
        return "[Endpoints]\nGoogle=127.0.0.1:" + std::to_string(google) + "\nYahoo=127.0.0.1:" + std::to_string(yahoo) +
               "\nMsn=127.0.0.1:" + std::to_string(msn) + "\n";
    }
    std::string log() const { return testsupport::readFile(m_log.toStdString()); }
    int google = 0, yahoo = 0, msn = 0;

private:
    QProcess m_process;
    QString m_log;
};

// The count the fake engines report for a keyword.
std::string expectedCount(const std::string& keyword, int engineOffset) {
    std::string digits = std::to_string(keyword.size() * 1000 + static_cast<size_t>(engineOffset)), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

class GatherDataTest : public ::testing::Test {
protected:
    void start(const QStringList& options = {}) {
        testsupport::ensureApp();
        engines = std::make_unique<FakeEngines>(dir, options);
        ASSERT_GT(engines->google, 0) << "fake engines did not start";
        folder = testsupport::folderOf(dir);
        testsupport::writeFile(folder + "endpoints.ini", engines->endpointsIni());
        window = std::make_unique<TfrmMain>(folder);
        window->show();
    }
    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
    QString status() { return window->findChild<QWidget*>("MainStatusPanel")->property("text").toString(); }
    // Presses Gather Data and answers the search-type dialog.
    void gather(bool precise, bool broad = false) {
        onNextModal([=](QWidget* d) {
            d->findChild<QCheckBox*>("skSkinCheckRadioBox1")->setChecked(precise);
            d->findChild<QCheckBox*>("skSkinCheckRadioBox2")->setChecked(broad);
            d->findChild<QPushButton*>("btnOk")->click();
        });
        button("btnGatherData")->click();
    }
    std::string cell(int row, int column) { return std::string(window->keywordList().row(row).cell(column)); }

    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<FakeEngines> engines;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST_F(GatherDataTest, FillsTheThreeColumnsAndSavesThem) {
    start();
    // An empty list only tells.
    QString message;
    onNextModal([&](QWidget* box) {
        message = box->findChild<QLabel*>("Message")->text();
        box->findChild<QPushButton*>("OK")->click();
    });
    button("btnGatherData")->click();
    EXPECT_EQ(message, "You need add keywords to gather data from search engines.");
    EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");

    // Keywords through the Add Keywords dialog: one typed, two from a file.
    testsupport::writeFile(folder + "list.txt", "AT&T c#\r\ncaf\xE9 au lait\n");
    for (const std::string& path : {std::string(), folder + "list.txt"}) {
        onNextModal([&](QWidget* d) {
            if (path.empty())
                d->findChild<QLineEdit*>("edtAddKeyword")->setText("golf  clubs");
            else
                d->findChild<QLineEdit*>("edtList")->setText(QString::fromStdString(path));
            d->findChild<QPushButton*>("btnOk")->click();
        });
        button("btnAddKeyword")->click();
    }
    ASSERT_EQ(window->keywordList().count(), 3);

    gather(true);
    EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");
    EXPECT_EQ(status(), "Process completed sucessfull!");
    EXPECT_EQ(window->findChild<TMainGauge*>("MainGauge")->text(), "100%");
    const std::vector<std::string> keywords{"golf  clubs", "AT&T c#", "caf\xE9 au lait"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(cell(r, colGoogle), expectedCount(keywords[static_cast<size_t>(r)], 1)) << r;
        EXPECT_EQ(cell(r, colYahoo), expectedCount(keywords[static_cast<size_t>(r)], 2)) << r;
        EXPECT_EQ(cell(r, colMsn), expectedCount(keywords[static_cast<size_t>(r)], 3)) << r;
    }
    const std::string log = engines->log();
    EXPECT_NE(log.find("google /search?q=%22golf++clubs%22\n"), std::string::npos) << log;
    EXPECT_NE(log.find("yahoo /search?p=%22AT%26T+c%23%22\n"), std::string::npos) << log;
    EXPECT_NE(log.find("msn /results.aspx?q=%22caf%E9+au+lait%22\n"), std::string::npos) << log;
    // The last page stays on disk, with its line ends as the scrapers saw them.
    EXPECT_EQ(window->downloadPath(), folder + "test.html");
    const std::string lastPage = testsupport::readFile(folder + "test.html");
    EXPECT_NE(lastPage.find("<span id=\"count\">"), std::string::npos);
    // Only the last (shorter) page: nothing of the longer one before it is left.
    EXPECT_EQ(lastPage.find("font size"), std::string::npos) << lastPage;
    EXPECT_EQ(lastPage.substr(lastPage.size() - 7), "</html>");

    // A broad search (neither box ticked) sends the words without quotes.
    gather(false, false);
    EXPECT_NE(engines->log().find("google /search?q=golf++clubs\n"), std::string::npos);

    // Save Results, byte for byte.
    onNextModal([&](QWidget* d) {
        d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(folder + "out.csv"));
        QMetaObject::invokeMethod(d, "accept");
    });
    button("btnSaveResults")->click();
    std::string expected = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";
    for (int r = 0; r < 3; ++r) {
        const std::string& k = keywords[static_cast<size_t>(r)];
        expected += "\"" + std::to_string(r + 1) + "\",\"" + k + "\",\"\",\"" + expectedCount(k, 1) + "\",\"" +
                    expectedCount(k, 2) + "\",\"" + expectedCount(k, 3) + "\"\r\n";
    }
    EXPECT_EQ(testsupport::readFile(folder + "out.csv"), expected);
}

TEST_F(GatherDataTest, AFailingEngineEndsTheJob) {
    start({"--fail", "yahoo"});
    window->addKeywordRow("golf");
    window->addKeywordRow("tennis");
    gather(true);
    EXPECT_EQ(status(), "Connection error, check if you are connected and url exists.");
    EXPECT_EQ(cell(0, colGoogle), expectedCount("golf", 1));
    EXPECT_EQ(cell(0, colYahoo), "");
    EXPECT_EQ(cell(0, colMsn), "");
    EXPECT_EQ(cell(1, colGoogle), "");
    EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");
    EXPECT_TRUE(window->stopRequested);
    // Only Google and the failing Yahoo were asked.
    const std::string log = engines->log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;

    // GetURL with the stop flag set touches nothing.
    window->setMainStatus("untouched");
    std::string page = "kept";
    EXPECT_FALSE(window->GetURL("http://127.0.0.1:" + std::to_string(engines->google) + "/search?q=x", page));
    EXPECT_EQ(page, "kept");
    EXPECT_EQ(status(), "untouched");
}

TEST_F(GatherDataTest, MissingMarkersClearTheCell) {
    start({"--missing", "msn"});
    const int row = window->addKeywordRow("golf");
    window->keywordList().setCell(row, colMsn, "old");
    gather(true);
    EXPECT_EQ(cell(0, colGoogle), expectedCount("golf", 1));
    EXPECT_EQ(cell(0, colMsn), "");
    EXPECT_EQ(status(), "Process completed sucessfull!");
}

TEST_F(GatherDataTest, StopDuringATransferEndsPromptly) {
    start({"--slow", "yahoo"});
    window->addKeywordRow("golf");
    window->addKeywordRow("tennis");
    QElapsedTimer sinceStop;
    bool pressed = false;
    int sortColumnDuringJob = -2;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Once Yahoo's slow body is flowing, press Stop through the button.
        if (pressed || !status().contains("/search?p=")) return;
        if (window->findChild<TMainGauge*>("MainGauge")->value() < 50) return;
        window->lvwItemsColumnClick(colNo);  // sorting is off while the job runs
        sortColumnDuringJob = window->sortColumn();
        pressed = true;
        EXPECT_EQ(button("btnGatherData")->text(), "Stop");
        EXPECT_FALSE(button("btnGatherKeyword")->isEnabled());
        sinceStop.start();
        button("btnGatherData")->click();
        EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");
    });
    poll.start(20);
    gather(true);
    poll.stop();
    ASSERT_TRUE(pressed);
    EXPECT_LT(sinceStop.elapsed(), 500);
    EXPECT_EQ(sortColumnDuringJob, -1);
    EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");
    EXPECT_TRUE(button("btnGatherData")->isEnabled());
    EXPECT_EQ(cell(0, colGoogle), expectedCount("golf", 1));
    EXPECT_EQ(cell(0, colYahoo), "");  // cut short, never written
    EXPECT_EQ(cell(1, colGoogle), "");
    EXPECT_TRUE(status() == "Process aborted!" ||
                status() == "Connection error, check if you are connected and url exists.")
        << status().toStdString();
}

TEST_F(GatherDataTest, RowsDeletedOrTheWindowClosedDuringAJob) {
    start({"--slow", "msn"});
    for (const char* k : {"one", "two", "three"}) window->addKeywordRow(k);
    // Delete All while the first row's MSN page drips in; the job must end cleanly.
    bool deleted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (deleted || !status().contains("/results.aspx")) return;
        deleted = true;
        onNextModal([](QWidget* box) { box->findChild<QPushButton*>("OK")->click(); });
        window->findChild<QPushButton*>("skSkinButton4")->click();
        button("btnGatherData")->click();  // Stop
    });
    poll.start(20);
    gather(true);
    poll.stop();
    EXPECT_TRUE(deleted);
    EXPECT_EQ(window->keywordList().count(), 0);

    // Closing the window mid-job stops the job; the window closes once it unwound.
    for (const char* k : {"one", "two"}) window->addKeywordRow(k);
    bool closeAsked = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (closeAsked || !status().contains("/results.aspx")) return;
        closeAsked = true;
        window->close();
        EXPECT_TRUE(window->isVisible());  // not while its handlers are still running
    });
    poll.start(20);
    gather(true);
    poll.stop();
    EXPECT_TRUE(closeAsked);
    QElapsedTimer clock;
    clock.start();
    while (window->isVisible() && clock.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->jobRunning());
}
