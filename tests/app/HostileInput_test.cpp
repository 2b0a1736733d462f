// The window against hostile files, pages and servers: big lists, huge
// counts, FIFOs in a file's place, links where the download goes, silence.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "FakeEngines.h"
#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/KeywordFile.h"
#include "app/KeywordListModel.h"

using namespace app;
using testsupport::FakeEngines;
using testsupport::onNextModal;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

class HostileInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        folder = testsupport::folderOf(dir);
    }
    void startEngines(const QStringList& options = {}) {
        engines = std::make_unique<FakeEngines>(dir, options);
        ASSERT_GT(engines->google, 0) << "fake engines did not start";
        testsupport::writeFile(folder + "endpoints.ini", engines->endpointsIni());
    }
    void openWindow() {
        window = std::make_unique<TfrmMain>(folder);
        window->show();
        QApplication::processEvents();
    }
    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
    QString status() { return window->findChild<QWidget*>("MainStatusPanel")->property("text").toString(); }
    void gather() {
        onNextModal([](QWidget* d) { d->findChild<QPushButton*>("btnOk")->click(); });
        button("btnGatherData")->click();
    }
    // Answers the next message box with OK and keeps its text.
    void captureMessage(QString* text) {
        onNextModal([=](QWidget* box) {
            *text = box->findChild<QLabel*>("Message")->text();
            box->findChild<QPushButton*>("OK")->click();
        });
    }
    std::string cell(int row, int column) { return std::string(window->keywordList().row(row).cell(column)); }
    // Gathers against a silent server (a SilentServer::Kind) and presses Stop 300 ms into the fetch.
    void stopAgainstASilentServer(int kind);

    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<FakeEngines> engines;
    std::unique_ptr<TfrmMain> window;
};

// A TCP server that takes connections and never says a word. A full one
// never completes a connection either: its queue of waiting connections is
// filled first, so the kernel drops every further attempt to connect.
class SilentServer {
public:
    enum Kind { Accepting, Full };
    explicit SilentServer(Kind kind = Accepting) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(m_fd, kind == Full ? 0 : 16);
        socklen_t length = sizeof(address);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (kind == Full)
            for (int& filler : m_fillers) {
                filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof(address));
            }
    }
    ~SilentServer() {
        for (const int filler : m_fillers)
            if (filler >= 0) ::close(filler);
        ::close(m_fd);
    }
    int port = 0;

private:
    int m_fd = -1;
    int m_fillers[2] = {-1, -1};
};

}  // namespace

TEST_F(HostileInputTest, DeletingMostRowsDuringAJobKeepsTheWindowResponsive) {
    // 300,000 rows deleted and 100,000 kept; a tenth of that under the address
    // sanitizer, whose slowness would otherwise exceed the test's time-out.
    const int deletedRows = kAddressSanitizer ? 30000 : 300000, keptRows = deletedRows / 3;
    startEngines({"--slow", "google"});
    openWindow();
    std::string lines;
    for (int i = 0; i <= deletedRows + keptRows - 1; ++i) lines += "k" + std::to_string(i) + "\n";
    testsupport::writeFile(folder + "many.txt", lines);
    window->AddKeywordsFromFile(folder + "many.txt");
    TKeywordListModel& list = window->keywordList();
    ASSERT_EQ(list.count(), deletedRows + keptRows);
    for (int r = 1; r <= deletedRows; ++r) list.setChecked(r, true);
    const QString firstKept = "q=%22k" + QString::number(deletedRows + 1) + "%22";

    // While the first row's page drips in, delete rows 2 to 300,001; then
    // time the event loop until the job reaches the first row left after them,
    // and time the walk past the deleted rows (from the first row's last count).
    using Clock = std::chrono::steady_clock;
    bool deleted = false, reached = false;
    Clock::time_point lastTick{}, lastEngineOfFirstRow{}, reachedAt{};
    Clock::duration longestGap{};
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (deleted && !reached) longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        if (deleted && lastEngineOfFirstRow == Clock::time_point{} && list.count() > 0 && cell(0, colMsn) != "")
            lastEngineOfFirstRow = now;
        if (!deleted && status().contains("q=%22k0%22")) {
            onNextModal([](QWidget* box) { box->findChild<QPushButton*>("OK")->click(); });
            button("skSkinButton3")->click();
            deleted = true;
            lastTick = Clock::now();
        } else if (deleted && !reached && status().contains(firstKept)) {
            reached = true;
            reachedAt = now;
            button("btnGatherData")->click();  // Stop
        }
    });
    ticks.start(10);
    gather();
    ticks.stop();
    ASSERT_TRUE(deleted);
    EXPECT_TRUE(reached);
    EXPECT_EQ(list.count(), keptRows);
    EXPECT_EQ(cell(0, colMsn), "2,003");  // "k0": 2 bytes and MSN's offset 3
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(longestGap).count(), 1000);
    // Skipping a row costs a lookup by id; a search of the list per row took most of a minute.
    ASSERT_NE(lastEngineOfFirstRow, Clock::time_point{});
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(reachedAt - lastEngineOfFirstRow).count(), 2000);
}

TEST_F(HostileInputTest, AHugeCountIsCutAndTheJobGoesOn) {
    startEngines({"--huge", "google"});
    openWindow();
    window->addKeywordRow("golf");
    gather();
    EXPECT_EQ(cell(0, colGoogle), std::string(64, '1'));
    EXPECT_EQ(cell(0, colYahoo), "4,002");  // the next engines were still asked
    EXPECT_EQ(cell(0, colMsn), "4,003");
    EXPECT_EQ(status(), "Process completed sucessfull!");
}

TEST_F(HostileInputTest, CellsAreDrawnOnOneLineWhateverTheirLength) {
    openWindow();
    const int plain = window->addKeywordRow("golf");
    const auto* view = window->findChild<QTreeView*>("lvwItems");
    const int normalHeight = view->sizeHintForRow(plain);
    window->keywordList().clear();
    const int huge = window->addKeywordRow(std::string(10 << 20, 'k'));
    window->keywordList().setCell(huge, colGoogle, "1,200\r\n<b>\r\n3");
    const QAbstractItemModel* model = view->model();
    const QString shownKeyword = model->data(model->index(huge, colKeyword)).toString();
    EXPECT_LE(shownKeyword.size(), static_cast<qsizetype>(TKeywordListModel::kMaxShownBytes));
    EXPECT_EQ(model->data(model->index(huge, colGoogle)).toString(), "1,200  <b>  3");
    EXPECT_EQ(view->sizeHintForRow(huge), normalHeight);
    EXPECT_EQ(window->keywordList().row(huge).cell(colKeyword).size(), size_t{10} << 20);  // kept whole
}

TEST_F(HostileInputTest, FifosInPlaceOfConfigurationFilesCountAsMissing) {
    for (const char* name : {"endpoints.ini", "dbconfig.dat"}) ASSERT_EQ(::mkfifo((folder + name).c_str(), 0600), 0);
    // Should the window wait on a FIFO, a writer comes after 5 s and closes it, so the test ends either way.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const char* name : {"endpoints.ini", "dbconfig.dat"}) {
            const int fd = ::open((folder + name).c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    openWindow();
    const auto took = std::chrono::steady_clock::now() - start;
    done = true;
    writer.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 4000);
    EXPECT_EQ(window->windowTitle(), "Tessaly");
    EXPECT_EQ(window->endpoints().google, "www.google.com");
}

TEST_F(HostileInputTest, ADownloadFileThatIsALinkIsNotFollowed) {
    startEngines();
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(folder + "cache"));
    for (const bool symbolic : {true, false}) {
        SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
        testsupport::writeFile(folder + "mine.txt", "the user's own file");
        ::unlink((folder + "test.html").c_str());
        const auto makeLink = symbolic ? ::symlink : ::link;
        ASSERT_EQ(makeLink((folder + "mine.txt").c_str(), (folder + "test.html").c_str()), 0);
        openWindow();
        window->addKeywordRow("golf");
        gather();
        EXPECT_EQ(cell(0, colGoogle), "4,001");
        EXPECT_EQ(testsupport::readFile(folder + "mine.txt"), "the user's own file");
        struct stat st {};
        ASSERT_EQ(::lstat((folder + "test.html").c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), symbolic);
        EXPECT_EQ(window->downloadPath(), folder + "cache/tessaly/test.html");
        window.reset();
    }
    qputenv("XDG_CACHE_HOME", oldCache);
}

TEST_F(HostileInputTest, AFailedDownloadLeavesTheFileEmpty) {
    startEngines({"--fail", "yahoo"});
    openWindow();
    window->addKeywordRow("golf");
    gather();
    EXPECT_EQ(status(), "Connection error, check if you are connected and url exists.");
    EXPECT_EQ(testsupport::readFile(window->downloadPath()), "");
}

TEST_F(HostileInputTest, StopWhileConnectingOrWaitingForTheHeadReadsAsAborted) {
    for (const SilentServer::Kind kind : {SilentServer::Accepting, SilentServer::Full}) {
        SCOPED_TRACE(kind == SilentServer::Full ? "while connecting" : "while waiting for the head");
        stopAgainstASilentServer(kind);
        window.reset();
    }
}

void HostileInputTest::stopAgainstASilentServer(int kind) {
    SilentServer silent(static_cast<SilentServer::Kind>(kind));
    testsupport::writeFile(folder + "endpoints.ini", "[Endpoints]\nGoogle=127.0.0.1:" + std::to_string(silent.port) + "\n");
    openWindow();
    window->addKeywordRow("golf");
    QElapsedTimer waiting;
    bool pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!status().startsWith("Getting URL: ")) return;
        if (!waiting.isValid()) waiting.start();
        if (pressed || waiting.elapsed() < 300) return;
        pressed = true;
        button("btnGatherData")->click();
    });
    poll.start(20);
    gather();
    poll.stop();
    ASSERT_TRUE(pressed);
    EXPECT_EQ(status(), "Process aborted!");
    EXPECT_EQ(cell(0, colGoogle), "");
    EXPECT_FALSE(window->jobRunning());
}

// The memory tests run in a child process of this test program under an
// address-space limit (which the sanitizers' shadow memory rules out).
namespace {

long addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmSize:") {
            long kb = 0;
            status >> kb;
            return kb * 1024;
        }
    return 0;
}

// In the child (TESSALY_CHILD_LIMIT_MB set): limits the address space and
// returns true. In the parent: runs this one test in a child and checks it passed.
bool runLimitedInChild(const char* testName) {
    const QByteArray limit = qgetenv("TESSALY_CHILD_LIMIT_MB");
    if (!limit.isEmpty()) {
        struct rlimit space {};
        space.rlim_cur = space.rlim_max = static_cast<rlim_t>(addressSpaceInUse()) + (limit.toLong() << 20);
        EXPECT_EQ(::setrlimit(RLIMIT_AS, &space), 0);
        return true;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TESSALY_CHILD_LIMIT_MB", "400");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("/proc/self/exe", {QString("--gtest_filter=HostileInputTest.") + testName});
    EXPECT_TRUE(child.waitForFinished(240000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return false;
}

}  // namespace

TEST_F(HostileInputTest, AFilePastTheRowBudgetAddsNothingAndSaysSo) {
    if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under the address sanitizer";
    if (!runLimitedInChild("AFilePastTheRowBudgetAddsNothingAndSaysSo")) return;
    openWindow();
    window->addKeywordRow("kept");
    const std::string path = folder + "empty-lines.txt";
    testsupport::writeFile(path, std::string(kMaxRows, '\n'));  // with "kept", one past the budget
    QString message;
    captureMessage(&message);
    window->AddKeywordsFromFile(path);
    EXPECT_EQ(message.toStdString(), "The keywords of " + path + " would make the list longer than 10000000 rows. "
                                     "No keywords were added.");
    EXPECT_EQ(window->keywordList().count(), 1);
    EXPECT_EQ(window->findChild<QWidget*>("SecondStatusPanel")->property("text").toString(), "1 items listed");
}

TEST_F(HostileInputTest, AFileTooLargeForMemoryAddsNothingAndSaysSo) {
    if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under the address sanitizer";
    if (!runLimitedInChild("AFileTooLargeForMemoryAddsNothingAndSaysSo")) return;
    openWindow();
    window->addKeywordRow("kept");
    // 300 MB of text reads within the limit, but there is no room for its rows as well.
    const std::string path = folder + "long-lines.txt";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string line = std::string(1 << 20, 'k') + "\n";
        for (int i = 0; i < 300; ++i) out << line;
    }
    QString message;
    captureMessage(&message);
    window->AddKeywordsFromFile(path);
    EXPECT_EQ(message.toStdString(), "Not enough memory to add the keywords of " + path + ". No keywords were added.");
    EXPECT_EQ(window->keywordList().count(), 1);
    EXPECT_EQ(window->keywordList().row(0).cell(colKeyword), "kept");
}

TEST_F(HostileInputTest, AKeywordTypedIntoAFullListIsRefusedAndSaysSo) {
    if (kAddressSanitizer) GTEST_SKIP() << "ten million rows take too long under the address sanitizer";
    openWindow();
    const std::string path = folder + "full.txt";
    testsupport::writeFile(path, std::string(kMaxRows, '\n'));
    window->AddKeywordsFromFile(path);
    ASSERT_EQ(static_cast<size_t>(window->keywordList().count()), kMaxRows);
    QString message;
    onNextModal([&](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("edtAddKeyword")->setText("golf");
        captureMessage(&message);
        dialog->findChild<QPushButton*>("btnOk")->click();
    });
    button("btnAddKeyword")->click();
    EXPECT_EQ(message, "The keyword would make the list longer than 10000000 rows. It was not added.");
    EXPECT_EQ(static_cast<size_t>(window->keywordList().count()), kMaxRows);
}

TEST_F(HostileInputTest, AKeywordFilePastTheSizeLimitAddsNothingAndSaysSo) {
    openWindow();
    window->addKeywordRow("kept");
    const std::string path = folder + "huge.txt";
    testsupport::writeFile(path, "golf\n");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxKeywordFileBytes) + 1), 0);  // sparse: no disk used
    QString message;
    captureMessage(&message);
    window->AddKeywordsFromFile(path);
    EXPECT_EQ(message.toStdString(), "The keyword file " + path + " is larger than 1024 MB. No keywords were added.");
    EXPECT_EQ(window->keywordList().count(), 1);
}

TEST_F(HostileInputTest, ASortWithoutTheMemoryForItsKeysKeepsTheOrderAndSaysSo) {
    if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under the address sanitizer";
    if (!runLimitedInChild("ASortWithoutTheMemoryForItsKeysKeepsTheOrderAndSaysSo")) return;
    openWindow();
    // 200 keywords of 1 MB fit within the limit; their collation keys as well do not.
    std::string keyword(1 << 20, 'k');
    for (int i = 0; i < 200; ++i) {
        keyword[0] = static_cast<char>('z' - i % 26);
        ASSERT_GE(window->addKeywordRow(keyword), 0) << i;
    }
    TKeywordListModel& list = window->keywordList();
    int announced = 0, changed = 0;
    QObject::connect(&list, &QAbstractItemModel::layoutAboutToBeChanged, [&] { ++announced; });
    QObject::connect(&list, &QAbstractItemModel::layoutChanged, [&] { ++changed; });
    QString message;
    captureMessage(&message);
    window->lvwItemsColumnClick(colKeyword);
    EXPECT_EQ(message, "Not enough memory to sort the list. It keeps its order.");
    EXPECT_EQ(announced, changed);
    EXPECT_EQ(list.row(0).cell(colKeyword)[0], 'z');
    EXPECT_EQ(list.row(1).cell(colKeyword)[0], 'y');
    EXPECT_EQ(window->sortColumn(), -1);
}

TEST_F(HostileInputTest, AKeywordFileCutByANulSaysWhere) {
    openWindow();
    const std::string path = folder + "nul.txt";
    testsupport::writeFile(path, std::string("golf\r\nsoccer\r\nten\0nis\r\nchess\r\n", 29));
    QString message;
    captureMessage(&message);
    window->AddKeywordsFromFile(path);
    EXPECT_EQ(message, "The keyword file ends at a NUL byte after line 3.");
    EXPECT_EQ(window->keywordList().count(), 3);
}
