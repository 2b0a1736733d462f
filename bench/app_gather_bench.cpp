// Gather Data over 300 keywords against the local fake engines, against
// httpget fetching the same 900 pages in one process: the window's pumping,
// gauge and scraping must not dominate the time per request.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>

#include "app/Application.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"
#include "app/SearchEngines.h"
#include "net/NetAntiFreeze.h"
#include "net/NetHTTP.h"
#include "net/NetPageFetcher.h"
#include "rtl/Stream.h"

namespace {

constexpr int kKeywords = 300;

struct Fixture {
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    QProcess server;
    std::vector<std::string> urls;
    std::unique_ptr<app::TfrmMain> window;

    Fixture() {
        const QString ports = dir.filePath("ports.txt");
        server.start("python3", {QString(TESSALY_SOURCE_DIR) + "/tests/servers/fake_engines.py", ports, dir.filePath("log")});
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(ports) && clock.elapsed() < 10000) QThread::msleep(20);
        int google = 0, yahoo = 0, msn = 0;
        std::ifstream(ports.toStdString()) >> google >> yahoo >> msn;
        std::ofstream(folder + "endpoints.ini") << "[Endpoints]\nGoogle=127.0.0.1:" << google << "\nYahoo=127.0.0.1:"
                                                << yahoo << "\nMsn=127.0.0.1:" << msn << "\n";
        window = std::make_unique<app::TfrmMain>(folder);
        window->show();
        for (int i = 0; i < kKeywords; ++i) window->addKeywordRow("keyword number " + std::to_string(i));
        for (int i = 0; i < kKeywords; ++i)
            for (const auto& engine : app::searchEngines())
                urls.push_back(app::engineUrl(engine, app::engineHost(window->endpoints(), engine),
                                              "keyword number " + std::to_string(i), true));
    }
    ~Fixture() {
        server.kill();
        server.waitForFinished(2000);
    }
};

// Made in main, inside the application's lifetime: the window must go before the application object does.
Fixture* theFixture = nullptr;

Fixture& fixture() { return *theFixture; }

// Reports the average wall time of one request over all iterations.
void reportPerRequest(benchmark::State& state, size_t requestsPerIteration) {
    state.counters["per_request_ms"] =
        benchmark::Counter(static_cast<double>(state.iterations() * requestsPerIteration),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

void BM_GatherDataPerRequest(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.window->stopRequested = false;
        f.window->searchType = app::stPrecise;
        f.window->RunGatherData();
        if (f.window->stopRequested) state.SkipWithError("a request failed");
    }
    reportPerRequest(state, f.urls.size());
}

// The window's GetURL alone on the same pages: no scraping, no cell writes.
void BM_GetURLSamePages(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.window->stopRequested = false;
        std::string page;
        for (const auto& url : f.urls)
            if (!f.window->GetURL(url, page)) state.SkipWithError("a request failed");
    }
    reportPerRequest(state, f.urls.size());
}

// A bare client on the same pages, in this process, without the window.
void BM_BareClientSamePages(benchmark::State& state) {
    Fixture& f = fixture();
    net::TNetHTTP client;
    net::ConfigurePageFetcher(client);
    net::TNetAntiFreeze* freeze = net::TNetAntiFreeze::CurrentAntiFreeze();
    const bool wasActive = freeze && freeze->Active;
    if (freeze) freeze->Active = state.range(0) != 0;
    for (auto _ : state) {
        for (const auto& url : f.urls) {
            if (state.range(1)) {
                rtl::TNullStream sink;
                client.GetToStream(url, sink);
            } else {
                rtl::TFileStream file(f.folder + "bare.html", rtl::FileMode::Create);
                client.GetToStream(url, file);
            }
            client.CloseConnection();
        }
    }
    if (freeze) freeze->Active = wasActive;
    reportPerRequest(state, f.urls.size());
}

void BM_HttpgetSamePages(benchmark::State& state) {
    Fixture& f = fixture();
    QStringList args;
    for (const auto& url : f.urls) args << QString::fromStdString(url);
    args << "-o" << f.dir.filePath("httpget.out");
    for (auto _ : state) {
        QProcess httpget;
        httpget.start(TESSALY_HTTPGET, args);
        if (!httpget.waitForFinished(600000) || httpget.exitCode() != 0) state.SkipWithError("httpget failed");
    }
    reportPerRequest(state, f.urls.size());
}

// httpget as a person runs it: one process per page.
void BM_HttpgetOneProcessPerPage(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (const auto& url : f.urls) {
            QProcess httpget;
            httpget.start(TESSALY_HTTPGET, {QString::fromStdString(url), "-o", f.dir.filePath("one.out")});
            if (!httpget.waitForFinished(60000) || httpget.exitCode() != 0) state.SkipWithError("httpget failed");
        }
    }
    reportPerRequest(state, f.urls.size());
}

}  // namespace

BENCHMARK(BM_GatherDataPerRequest)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetURLSamePages)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
// Arguments: anti-freeze active, body to a null stream instead of a new file.
BENCHMARK(BM_BareClientSamePages)->Args({0, 0})->Args({0, 1})->Args({1, 1})->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpgetSamePages)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpgetOneProcessPerPage)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GatherDataPerRequest)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpgetSamePages)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app::TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        Fixture f;
        theFixture = &f;
        benchmark::RunSpecifiedBenchmarks();
        theFixture = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
