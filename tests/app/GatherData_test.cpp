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

#include "FakeEngines.h"
#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"
#include "app/MainGauge.h"

using namespace app;
using testsupport::FakeEngines;
using testsupport::onNextModal;

namespace {

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

TEST_F(GatherDataTest, AnEmptyListOnlyTells) {
    start();
    QString message;
    onNextModal([&](QWidget* box) {
        message = box->findChild<QLabel*>("Message")->text();
        box->findChild<QPushButton*>("OK")->click();
    });
    button("btnGatherData")->click();
    EXPECT_EQ(message, "You need add keywords to gather data from search engines.");
    EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");
}

namespace {
const std::vector<std::string> kKeywords{"golf  clubs", "AT&T c#", "caf\xE9 au lait"};
}  // namespace

// Keywords through the Add Keywords dialog: one typed, two from a file.
void addThreeKeywords(TfrmMain& window, const std::string& folder) {
    testsupport::writeFile(folder + "list.txt", "AT&T c#\r\ncaf\xE9 au lait\n");
    for (const std::string& path : {std::string(), folder + "list.txt"}) {
        onNextModal([&](QWidget* d) {
            if (path.empty())
                d->findChild<QLineEdit*>("edtAddKeyword")->setText("golf  clubs");
            else
                d->findChild<QLineEdit*>("edtList")->setText(QString::fromStdString(path));
            d->findChild<QPushButton*>("btnOk")->click();
        });
        window.findChild<QPushButton*>("btnAddKeyword")->click();
    }
}

TEST_F(GatherDataTest, FillsTheThreeColumnsOfEveryRow) {
    start();
    addThreeKeywords(*window, folder);
    ASSERT_EQ(window->keywordList().count(), 3);
    gather(true);
    EXPECT_EQ(button("btnGatherData")->text(), "Gather Data");
    EXPECT_EQ(status(), "Process completed sucessfull!");
    EXPECT_EQ(window->findChild<TMainGauge*>("MainGauge")->text(), "100%");
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(cell(r, colGoogle), expectedCount(kKeywords[static_cast<size_t>(r)], 1)) << r;
        EXPECT_EQ(cell(r, colYahoo), expectedCount(kKeywords[static_cast<size_t>(r)], 2)) << r;
        EXPECT_EQ(cell(r, colMsn), expectedCount(kKeywords[static_cast<size_t>(r)], 3)) << r;
    }
    const std::string log = engines->log();
    EXPECT_NE(log.find("google /search?q=%22golf++clubs%22\n"), std::string::npos) << log;
    EXPECT_NE(log.find("yahoo /search?p=%22AT%26T+c%23%22\n"), std::string::npos) << log;
    EXPECT_NE(log.find("msn /results.aspx?q=%22caf%E9+au+lait%22\n"), std::string::npos) << log;
}

TEST_F(GatherDataTest, TheLastPageStaysOnDiskAsTheScrapersSawIt) {
    start();
    window->addKeywordRow("golf");
    gather(true);
    EXPECT_EQ(window->downloadPath(), folder + "test.html");
    const std::string lastPage = testsupport::readFile(folder + "test.html");
    EXPECT_NE(lastPage.find("<span id=\"count\">"), std::string::npos);
    // Only the last (shorter) page: nothing of the longer one before it is left.
    EXPECT_EQ(lastPage.find("font size"), std::string::npos) << lastPage;
    EXPECT_EQ(lastPage.substr(lastPage.size() - 7), "</html>");
}

TEST_F(GatherDataTest, ABroadSearchSendsTheWordsWithoutQuotes) {
    start();
    window->addKeywordRow("golf  clubs");
    gather(false, false);  // neither box ticked
    EXPECT_NE(engines->log().find("google /search?q=golf++clubs\n"), std::string::npos);
}

TEST_F(GatherDataTest, GatheredResultsAreSavedByteForByte) {
    start();
    addThreeKeywords(*window, folder);
    gather(true);
    onNextModal([&](QWidget* d) {
        d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(folder + "out.csv"));
        QMetaObject::invokeMethod(d, "accept");
    });
    button("btnSaveResults")->click();
    std::string expected = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";
    for (int r = 0; r < 3; ++r) {
        const std::string& k = kKeywords[static_cast<size_t>(r)];
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
}

TEST_F(GatherDataTest, GetURLWithTheStopFlagSetTouchesNothing) {
    start();
    window->stopRequested = true;
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
    EXPECT_EQ(status(), "Process aborted!");  // the user stopped it, however the transfer ended
}

TEST_F(GatherDataTest, DeletingAllRowsDuringAJobEndsItCleanly) {
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
}

TEST_F(GatherDataTest, ClosingTheWindowDuringAJobWaitsUntilItUnwound) {
    start({"--slow", "msn"});
    for (const char* k : {"one", "two"}) window->addKeywordRow(k);
    QTimer poll;
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
