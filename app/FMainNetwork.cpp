// The main window's network side: page fetching with progress and Stop, and
// the "Gather Data" job over the three engines.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include "app/FMain.h"
#include "app/FSelectSearch.h"
#include "app/KeywordListModel.h"
#include "app/MainGauge.h"
#include "app/PageText.h"
#include "app/SearchEngines.h"
#include "net/NetAntiFreeze.h"
#include "net/NetHTTP.h"
#include "net/NetPageFetcher.h"
#include "rtl/Stream.h"

namespace app {

namespace {

constexpr const char* kDownloadName = "test.html";
// Larger pages are refused: no result page comes near it, and an endless
// body must not fill the disk.
constexpr int64_t kMaxPageBytes = int64_t{256} << 20;

// Rows the job skips (deleted while it ran) still let the window breathe this often.
constexpr int kSkippingEventsMs = 25;

void processPendingEvents() { QCoreApplication::processEvents(); }

// Where the download goes when the program's folder cannot take it.
std::string cacheFolder() {
    const QByteArray xdg = qgetenv("XDG_CACHE_HOME");
    const QString base = xdg.isEmpty() ? QDir::homePath() + "/.cache" : QString::fromLocal8Bit(xdg);
    const QString folder = base + "/tessaly";
    QDir().mkpath(folder);
    return folder.toStdString() + "/";
}

}  // namespace

void TfrmMain::setUpNetwork() {
    NetHTTP1 = std::make_unique<net::TNetHTTP>();
    net::ConfigurePageFetcher(*NetHTTP1);
    NetHTTP1->OnWorkBegin = [this](net::TNetComponent& s, net::TWorkMode m, int64_t max) { NetHTTP1WorkBegin(s, m, max); };
    NetHTTP1->OnWork = [this](net::TNetComponent& s, net::TWorkMode m, int64_t count) { NetHTTP1Work(s, m, count); };
    NetHTTP1->OnWorkEnd = [this](net::TNetComponent& s, net::TWorkMode m) { NetHTTP1WorkEnd(s, m); };

    NetAntiFreeze1 = std::make_unique<net::TNetAntiFreeze>();
    // "At most one event": Qt offers no single-event call; one millisecond of
    // processing is the nearest.
    net::TNetAntiFreeze::SetMessagePump([] { QCoreApplication::processEvents(); },
                                        [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 1); });
}

// The file is cut to what was written when it is closed (closeDownloadFile)
// rather than emptied when opened: emptying a file makes the file system
// write it out at once, a cost paid on every fetch. A symbolic link (or
// anything but a plain file) in its place is never followed: it could lead
// to a file of the user's that a download would overwrite.
std::unique_ptr<rtl::TFileStream> TfrmMain::createDownloadFile() {
    try {
        m_downloadPath = m_folder + kDownloadName;
        return std::make_unique<rtl::TFileStream>(m_downloadPath, rtl::FileMode::OpenOrCreatePlainFile);
    } catch (const rtl::EFCreateError&) {
        // A read-only install folder: keep fetching through the user's cache.
        m_downloadPath = cacheFolder() + kDownloadName;
        return std::make_unique<rtl::TFileStream>(m_downloadPath, rtl::FileMode::OpenOrCreatePlainFile);
    }
}

namespace {
// Cuts the download file to the bytes of this fetch and closes it; safe to
// call again (it does nothing then).
void closeDownloadFile(std::unique_ptr<rtl::TFileStream>& file) {
    if (!file) return;
    try {
        file->setSize(file->position());
    } catch (...) {
        file.reset();
        throw;
    }
    file.reset();
}

// After a failed fetch nothing of it is kept (it may be hundreds of megabytes).
void emptyDownloadFile(std::unique_ptr<rtl::TFileStream>& file) noexcept {
    try {
        if (file) file->setSize(0);
    } catch (...) {
        // The fetch has already failed; a file that cannot be cut changes nothing.
    }
    file.reset();
}
}  // namespace

void TfrmMain::disconnectClient() {
    try {
        NetHTTP1->CloseConnection();
    } catch (...) {
        // Closing is best effort; the fetch that used the connection has ended or will.
    }
}

bool TfrmMain::GetURL(const std::string& url, std::string& pageText) {
    if (stopRequested) return false;
    pageText.clear();
    std::unique_ptr<rtl::TFileStream> file = createDownloadFile();  // a failure here goes to the reporter
    try {
        setMainStatus("Getting URL: " + url + "...");
        m_gauge->setValue(0);
        processPendingEvents();
        {
            TBoundedStream bounded(*file, kMaxPageBytes);
            NetHTTP1->GetToStream(url, bounded);
        }
        closeDownloadFile(file);
        disconnectClient();
        if (stopRequested) {
            setMainStatus("Process aborted!");
            return false;
        }
        rtl::TMemoryStream bytes;
        bytes.loadFromFile(m_downloadPath);
        pageText = pageTextFromBytes(std::string_view(bytes.memory(), static_cast<size_t>(bytes.size())));
        setMainStatus("Process completed sucessfull!");
        return true;
    } catch (...) {
        // Stop pressed while connecting or waiting for the answer surfaces as
        // a failure of the connection; the user asked for it, so say so.
        const bool stoppedByUser = stopRequested;
        stopRequested = true;
        disconnectClient();
        setMainStatus(stoppedByUser ? "Process aborted!"
                                    : "Connection error, check if you are connected and url exists.");
        emptyDownloadFile(file);
        pageText.clear();
        return false;
    }
}

void TfrmMain::NetHTTP1WorkBegin(net::TNetComponent&, net::TWorkMode, int64_t workCountMax) {
    m_gauge->setMaxValue(workCountMax);
    m_gauge->setValue(0);
    processPendingEvents();
}

void TfrmMain::NetHTTP1Work(net::TNetComponent&, net::TWorkMode, int64_t workCount) {
    if (stopRequested) disconnectClient();
    m_gauge->setValue(workCount);
    processPendingEvents();
}

void TfrmMain::NetHTTP1WorkEnd(net::TNetComponent&, net::TWorkMode) {
    m_gauge->setValue(m_gauge->maxValue());
    processPendingEvents();
}

// --- Gather Data ---

void TfrmMain::btnGatherDataClick() {
    // Stop comes first: a running job whose rows were all deleted must still stop.
    if (m_gatherDataButton->text() != "Gather Data") {
        stopGatherData();
        return;
    }
    if (m_model->count() == 0) {
        m_msgMain.inform("You need add keywords to gather data from search engines.");
        return;
    }
    if (m_jobRunning) return;  // a stopped job is still unwinding
    TfrmSelSearch dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    searchType = dialog.searchType();
    setColumnClickSorting(false);
    stopRequested = false;
    m_gatherDataButton->setText("Stop");
    m_jobRunning = true;
    m_gatherKeywordButton->setEnabled(false);
    try {
        RunGatherData();
    } catch (...) {
        finishJob();
        throw;
    }
    finishJob();
}

void TfrmMain::stopGatherData() {
    stopRequested = true;
    disconnectClient();
    m_gatherDataButton->setText("Gather Data");
    // Until the job has unwound, a click must not start a second one inside it.
    m_gatherDataButton->setEnabled(false);
    setColumnClickSorting(true);
    processPendingEvents();
}

void TfrmMain::finishJob() {
    m_jobRunning = false;
    m_gatherDataButton->setText("Gather Data");
    m_gatherDataButton->setEnabled(true);
    m_gatherKeywordButton->setEnabled(true);
    processPendingEvents();
    setColumnClickSorting(true);
    if (m_closeAfterJob) QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmMain::RunGatherData() {
    const bool precise = searchType == stPrecise;
    // The rows present now, by identity: rows added later are not visited,
    // rows deleted meanwhile are skipped, sorting cannot confuse the walk.
    std::vector<uint32_t> ids;
    ids.reserve(static_cast<size_t>(m_model->count()));
    for (int r = 0; r < m_model->count(); ++r) ids.push_back(m_model->row(r).id());
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (const uint32_t id : ids) {
        if (stopRequested) return;
        if (m_model->findRow(id) < 0) {
            if (sinceEvents.elapsed() >= kSkippingEventsMs) {
                processPendingEvents();
                sinceEvents.restart();
            }
            continue;
        }
        for (const SearchEngine& engine : searchEngines()) {
            int row = m_model->findRow(id);
            if (row < 0) break;
            const std::string keyword(m_model->row(row).cell(colKeyword));
            std::string page;
            if (!GetURL(engineUrl(engine, engineHost(m_endpoints, engine), keyword, precise), page)) continue;
            row = m_model->findRow(id);
            if (row < 0) break;
            setResult(row, engine.column, scrapeCount(engine, page));
            sinceEvents.restart();
            if (stopRequested) return;
        }
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (m_jobRunning) {
        // Handlers of this window are still on the stack: stop the job and
        // close once it has unwound.
        m_closeAfterJob = true;
        stopRequested = true;
        disconnectClient();
        closeKeywordDialogs();
        event->ignore();
        return;
    }
    net::TNetAntiFreeze::SetMessagePump({}, {});
    QWidget::closeEvent(event);
}

}  // namespace app
