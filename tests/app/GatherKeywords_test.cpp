// "Gather Keywords" end to end: the fake suggestion service on 127.0.0.1, the
// real window offscreen, the security-image dialog answered through its
// controls while its image view loads the image over its own connection.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ExpectThrow.h"
#include "FakeEngines.h"
#include "FakeSuggest.h"
#include "GuiTestSupport.h"
#include "NetLoopbackServer.h"
#include "QtTestApp.h"
#include "app/FCaptcha.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"
#include "browser/BrowserHost.h"

using namespace app;
using testsupport::FakeSuggest;

namespace {

const QColor kImageColours[] = {QColor(200, 30, 30), QColor(30, 160, 40), QColor(40, 60, 200)};

// Runs action on the next modal window named name.
void onModal(const QString& name, std::function<void(QWidget*)> action, int timeoutMs = 15000) {
    testsupport::onModal(name, std::move(action), timeoutMs);
}

browser::TBrowserHost& viewOf(QWidget* dialog) { return *dialog->findChild<browser::TBrowserHost*>("BrowserHost1"); }

bool waitForImage(QWidget* dialog) {
    return testsupport::processEventsUntil([&] { return !viewOf(dialog).isLoading(); }, 15000);
}

// The colour drawn left of the view's centre, and right of it.
std::pair<QColor, QColor> shownHalves(QWidget* dialog) {
    browser::TBrowserHost& view = viewOf(dialog);
    const QImage drawn = view.grab().toImage();
    const QPoint centre = view.contentsRect().center();
    return {drawn.pixelColor(centre - QPoint(80, 0)), drawn.pixelColor(centre + QPoint(80, 0))};
}

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 && std::abs(a.blue() - b.blue()) <= 6;
}

void answer(QWidget* dialog, const std::string& characters) {
    dialog->findChild<QLineEdit*>("edtPassword")->setText(QString::fromStdString(characters));
    dialog->findChild<QPushButton*>("btnOk")->click();
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class GatherKeywordsTest : public ::testing::Test {
protected:
    void start(const QString& mode, const std::string& keyword = "golf clubs") {
        testsupport::ensureApp();
        service = std::make_unique<FakeSuggest>(dir, mode);
        ASSERT_GT(service->port, 0) << "fake suggestion service did not start";
        folder = testsupport::folderOf(dir);
        testsupport::writeFile(folder + "endpoints.ini", service->endpointsIni());
        window = std::make_unique<TfrmMain>(folder);
        window->show();
        window->mainKeyword = keyword;
    }
    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
    QString panel(const char* name) { return window->findChild<QWidget*>(name)->property("text").toString(); }
    std::string cell(int row, int column) { return std::string(window->keywordList().row(row).cell(column)); }
    void expectIdle() {
        EXPECT_TRUE(button("btnGatherKeyword")->isEnabled());
        EXPECT_TRUE(button("btnGatherData")->isEnabled());
        EXPECT_FALSE(window->jobRunning());
    }
    // The three rows of the service's table, from row `first` on.
    void expectTableRows(int first) {
        ASSERT_EQ(window->keywordList().count(), first + 3);
        const std::pair<const char*, const char*> rows[] = {
            {"golf clubs", "1,234"}, {"used golf & tennis", "567"}, {"cheap golf clubs", "89"}};
        for (int i = 0; i < 3; ++i) {
            const int r = first + i;
            EXPECT_EQ(cell(r, colNo), std::to_string(r + 1));
            EXPECT_EQ(cell(r, colKeyword), rows[i].first);
            EXPECT_EQ(cell(r, colSearches), rows[i].second);
            EXPECT_EQ(cell(r, colGoogle) + cell(r, colYahoo) + cell(r, colMsn), "");
        }
        EXPECT_EQ(panel("SecondStatusPanel").toStdString(), std::to_string(first + 3) + " items listed");
    }

    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<FakeSuggest> service;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST_F(GatherKeywordsTest, WithoutAMainKeywordOnlyTells) {
    start("table", "");
    QString message;
    onModal("TskMessageForm", [&](QWidget* box) {
        message = box->findChild<QLabel*>("Message")->text();
        box->findChild<QPushButton*>("OK")->click();
    });
    button("btnGatherKeyword")->click();
    EXPECT_EQ(message, "Please enter a main keyword before gather keywords.");
    EXPECT_EQ(service->log(), "");
    expectIdle();
}

TEST_F(GatherKeywordsTest, ATableAnswerIsAppendedAfterTheRowsThere) {
    start("table");
    window->addKeywordRow("first");
    window->addKeywordRow("second", "12");
    window->stopRequested = true;  // a run starts afresh
    button("btnGatherKeyword")->click();
    EXPECT_EQ(cell(1, colSearches), "12");
    expectTableRows(2);
    EXPECT_EQ(panel("MainStatusPanel"), "Process completed sucessfull!");
    EXPECT_EQ(service->log(), "/?seed=golf+clubs&adult_filter=remove_offensive&suggest=Hit+Me cookie=\n");
    expectIdle();
    // A second run appends the same rows again: nothing is removed or merged.
    button("btnGatherKeyword")->click();
    expectTableRows(5);
}

TEST_F(GatherKeywordsTest, APageWithNeitherPromptNorTableAddsNothing) {
    start("plain");
    button("btnGatherKeyword")->click();
    EXPECT_EQ(window->keywordList().count(), 0);
    EXPECT_EQ(panel("MainStatusPanel"), "Process completed sucessfull!");
    expectIdle();
}

TEST_F(GatherKeywordsTest, AFailedSeedRequestEndsSilently) {
    start("table");
    testsupport::writeFile(folder + "endpoints.ini", "[Endpoints]\nSuggest=127.0.0.1:" +
                                                         std::to_string(nettest::unusedPort()) + "\n");
    window = std::make_unique<TfrmMain>(folder);
    window->show();
    window->mainKeyword = "golf";
    testsupport::ModalWatch anyModal({}, [](QWidget*) { ADD_FAILURE() << "no window opens"; }, 3000);
    button("btnGatherKeyword")->click();
    EXPECT_EQ(panel("MainStatusPanel"), "Connection error, check if you are connected and url exists.");
    EXPECT_EQ(window->keywordList().count(), 0);
    expectIdle();
}

TEST_F(GatherKeywordsTest, AWrongAnswerFirstThenTheRightOne) {
    start("captcha");
    window->addKeywordRow("mine");
    QString question;
    int dialogs = 0;
    std::unique_ptr<testsupport::ModalWatch> refusal;  // ends the run should the right answer be refused
    onModal("frmCaptcha", [&](QWidget* d) {
        ++dialogs;
        auto* captcha = qobject_cast<TfrmCaptcha*>(d);
        EXPECT_EQ(captcha->ImageURL, "captcha?id=0&t=1");
        EXPECT_EQ(captcha->RandomValue, "r+0/S1=");
        EXPECT_EQ(captcha->SeedValue, "golf clubs");
        // Resolved against the page's address: the seed request's redirect target.
        EXPECT_EQ(viewOf(d).url().toString().toStdString(), service->url("/tool/captcha?id=0&t=1"));
        EXPECT_FALSE(button("btnGatherData")->isEnabled());
        EXPECT_FALSE(button("btnGatherKeyword")->isEnabled());
        ASSERT_TRUE(waitForImage(d));
        const auto [left, right] = shownHalves(d);
        EXPECT_TRUE(near(left, kImageColours[0])) << left.name().toStdString();
        EXPECT_TRUE(near(right, Qt::white)) << right.name().toStdString();
        onModal("TskMessageForm", [&](QWidget* box) {
            question = box->findChild<QLabel*>("Message")->text();
            onModal("frmCaptcha", [&](QWidget* d2) {
                ++dialogs;
                EXPECT_EQ(qobject_cast<TfrmCaptcha*>(d2)->ImageURL, "/tool/captcha?id=1&t=1");
                EXPECT_EQ(qobject_cast<TfrmCaptcha*>(d2)->RandomValue, "r+1/S1=");
                ASSERT_TRUE(waitForImage(d2));
                const auto [left2, right2] = shownHalves(d2);
                EXPECT_TRUE(near(left2, kImageColours[1])) << "the newest image: " << left2.name().toStdString();
                EXPECT_TRUE(near(right2, Qt::white));
                refusal = std::make_unique<testsupport::ModalWatch>("TskMessageForm", [](QWidget* again) {
                    ADD_FAILURE() << "the right answer was refused";
                    again->findChild<QPushButton*>("Cancel")->click();
                });
                answer(d2, FakeSuggest::answerOf(1));
            });
            box->findChild<QPushButton*>("OK")->click();
        });
        answer(d, FakeSuggest::answerOf(1));  // image 1's characters, not image 0's
    });
    button("btnGatherKeyword")->click();
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(question, "Wrong password. Do you want try again?");
    expectTableRows(1);
    expectIdle();
    const std::string log = service->log();
    // Every answer request went with the session cookie, every value whole.
    EXPECT_NE(log.find("/keyword-suggestion-tool.html?password=a%26b%20%23c%2B1&random=r%2B0%2FS1%3D&seed=golf%20clubs "
                       "cookie=session=S1\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("/keyword-suggestion-tool.html?password=a%26b%20%23c%2B1&random=r%2B1%2FS1%3D&seed=golf%20clubs "
                       "cookie=session=S1\n"),
              std::string::npos)
        << log;
    // The images came over the view's own connection, without the session's cookie.
    EXPECT_NE(log.find("/tool/captcha?id=0&t=1 cookie=\n"), std::string::npos) << log;
    EXPECT_NE(log.find("/tool/captcha?id=1&t=1 cookie=\n"), std::string::npos) << log;
    EXPECT_EQ(occurrences(log, "/keyword-suggestion-tool.html"), 2u);
}

TEST_F(GatherKeywordsTest, CancelEndsTheRunWithoutAnAnswer) {
    start("captcha");
    onModal("frmCaptcha", [&](QWidget* d) {
        d->findChild<QLineEdit*>("edtPassword")->setText("typed");
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    button("btnGatherKeyword")->click();
    EXPECT_EQ(occurrences(service->log(), "/keyword-suggestion-tool.html"), 0u) << service->log();
    EXPECT_EQ(window->keywordList().count(), 0);
    expectIdle();
}

TEST_F(GatherKeywordsTest, CancelAtTheQuestionEndsTheRun) {
    start("captcha");
    int dialogs = 0;
    onModal("frmCaptcha", [&](QWidget* d) {
        ++dialogs;
        onModal("TskMessageForm", [&](QWidget* box) { box->findChild<QPushButton*>("Cancel")->click(); });
        answer(d, "wrong");
    });
    button("btnGatherKeyword")->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(occurrences(service->log(), "/keyword-suggestion-tool.html?password=wrong&"), 1u);
    EXPECT_EQ(window->keywordList().count(), 0);
    expectIdle();
}

TEST_F(GatherKeywordsTest, HostileImagePeersLeaveTheDialogUsable) {
    const std::pair<const char*, const char*> peers[] = {
        {"huge", "The answer is larger than 16 MiB and is not shown."},
        {"loop", "The picture's address redirects too often."},
        {"endless", "The answer is larger than 16 MiB and is not shown."},
    };
    for (const auto& [mode, text] : peers) {
        SCOPED_TRACE(mode);
        start(mode);
        bool shown = false;
        onModal("frmCaptcha", [&](QWidget* d) {
            // Usable while the image loads, and after the view gave up.
            auto* edit = d->findChild<QLineEdit*>("edtPassword");
            edit->setText("abc");
            EXPECT_EQ(edit->text(), "abc");
            ASSERT_TRUE(waitForImage(d));
            EXPECT_EQ(viewOf(d).messageText().toStdString(), text);
            EXPECT_TRUE(d->isVisible());
            shown = true;
            d->findChild<QPushButton*>("btnCancel")->click();
        });
        button("btnGatherKeyword")->click();
        EXPECT_TRUE(shown);
        EXPECT_EQ(occurrences(service->log(), "/keyword-suggestion-tool.html"), 0u);
        expectIdle();
        window.reset();
        service.reset();
    }
}

TEST_F(GatherKeywordsTest, CancelWhileTheImageStillStreams) {
    start("endless");
    onModal("frmCaptcha", [&](QWidget* d) {
        EXPECT_TRUE(viewOf(d).isLoading());
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    button("btnGatherKeyword")->click();
    expectIdle();
    // The peer sees the view hang up: its stream ends long before its own limits.
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return service->log().find("streamed ") != std::string::npos; }, 20000));
    const std::string log = service->log();
    const long long streamed = std::atoll(log.c_str() + log.find("streamed ") + 9);
    EXPECT_LT(streamed, 64ll << 20);
}

TEST_F(GatherKeywordsTest, ARefusedImageAddressEndsTheRunAsAnError) {
    start("fileimage");
    testsupport::ModalWatch anyModal({}, [](QWidget*) { ADD_FAILURE() << "the dialog does not open"; }, 3000);
    testsupport::expectThrowWith<browser::EBrowserHostError>(
        [&] { window->btnGatherKeywordClick(); },
        "Navigate refused the address \"file:///etc/passwd?id=0&t=1\": only http and https addresses are shown.");
    expectIdle();
    EXPECT_EQ(occurrences(service->log(), "/keyword-suggestion-tool.html"), 0u);
}

TEST_F(GatherKeywordsTest, NoJobStartsInsideAnother) {
    start("captcha");
    window->addKeywordRow("golf");
    int selectSearchDialogs = 0;
    onModal("frmCaptcha", [&](QWidget* d) {
        testsupport::ModalWatch select("frmSelSearch", [&](QWidget* s) {
            ++selectSearchDialogs;
            qobject_cast<QDialog*>(s)->reject();
        }, 500);
        window->btnGatherDataClick();     // the button is disabled; a call on its own does nothing either
        window->btnGatherKeywordClick();  // no second run inside this one
        testsupport::processEventsUntil([&] { return select.finished(); }, 2000);
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    button("btnGatherKeyword")->click();
    EXPECT_EQ(selectSearchDialogs, 0);
    EXPECT_EQ(occurrences(service->log(), "/?seed="), 1u);
    expectIdle();
}

TEST_F(GatherKeywordsTest, GatherKeywordsWaitsWhileGatherDataRuns) {
    start("table");
    testsupport::FakeEngines engines(dir, {"--slow", "google"});
    ASSERT_GT(engines.google, 0);
    testsupport::writeFile(folder + "endpoints.ini", engines.endpointsIni() + "Suggest=127.0.0.1:" +
                                                         std::to_string(service->port) + "\n");
    window = std::make_unique<TfrmMain>(folder);
    window->show();
    window->mainKeyword = "golf";
    window->addKeywordRow("golf");
    bool checked = false;
    onModal("frmSelSearch", [&](QWidget* s) {
        QTimer::singleShot(300, [&] {
            EXPECT_FALSE(button("btnGatherKeyword")->isEnabled());
            window->btnGatherKeywordClick();
            EXPECT_EQ(service->log(), "") << "no suggestion request inside the data job";
            checked = true;
            button("btnGatherData")->click();  // Stop
        });
        s->findChild<QPushButton*>("btnOk")->click();
    });
    button("btnGatherData")->click();
    EXPECT_TRUE(checked);
    expectIdle();
    button("btnGatherKeyword")->click();
    expectTableRows(1);
}

TEST_F(GatherKeywordsTest, ClosingTheWindowDuringTheRunStopsItCleanly) {
    start("captcha");
    onModal("frmCaptcha", [&](QWidget* d) {
        ASSERT_TRUE(waitForImage(d));
        window->close();  // as the window manager's close would
        EXPECT_FALSE(d->isVisible()) << "the dialog ends as if cancelled";
    });
    button("btnGatherKeyword")->click();
    EXPECT_EQ(occurrences(service->log(), "/keyword-suggestion-tool.html"), 0u);
    EXPECT_FALSE(window->jobRunning());
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !window->isVisible(); }, 3000)) << "closes once unwound";
}

TEST_F(GatherKeywordsTest, ClosingTheWindowEndsAnEndlessSeedPage) {
    start("endlessseed");
    QTimer::singleShot(700, [&] {
        EXPECT_TRUE(window->jobRunning());
        EXPECT_TRUE(panel("MainStatusPanel").startsWith("Getting URL: "));
        window->close();
    });
    QElapsedTimer clock;
    clock.start();
    button("btnGatherKeyword")->click();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(panel("MainStatusPanel"), "Process aborted!");
    EXPECT_EQ(window->keywordList().count(), 0);
    EXPECT_FALSE(window->jobRunning());
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !window->isVisible(); }, 3000));
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return service->log().find("streamed ") != std::string::npos; }, 20000));
}
