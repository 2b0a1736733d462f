// A million Keyword rows through the real window (offscreen): loading them
// from a file, sorting by "Google", writing the CSV, and repainting the list.
// GNU sort over a tab-separated copy of the same rows is the reference.
// The fixture lives in main(), inside the application object's lifetime.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sys/resource.h>

#include "app/Application.h"
#include "app/CsvExport.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"

namespace {

constexpr int kRows = 1000000;

std::string withSeparators(uint32_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

struct Fixture {
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    std::string keywordFile = folder + "keywords.txt";
    std::string tsvFile = folder + "rows.tsv";
    std::unique_ptr<app::TfrmMain> window;
    long rssBeforeRowsKb = 0;

    Fixture() {
        std::mt19937 random(42);
        std::uniform_int_distribution<int> length(10, 30), letter('a', 'z');
        std::ofstream keywords(keywordFile, std::ios::binary), tsv(tsvFile, std::ios::binary);
        for (int i = 0; i < kRows; ++i) {
            std::string keyword(static_cast<size_t>(length(random)), ' ');
            for (auto& c : keyword) c = static_cast<char>(letter(random));
            keywords << keyword << "\r\n";
            tsv << (i + 1) << '\t' << keyword << "\t\t" << googleCount(i) << "\t\t\n";
        }
        window = std::make_unique<app::TfrmMain>(folder);
        window->show();
        QApplication::processEvents();
        rssBeforeRowsKb = currentRssKb();
    }
    // Row i's Google count, made again whenever needed so the fixture keeps no copy of the rows.
    static uint32_t googleCount(int i) { return static_cast<uint32_t>((uint64_t{static_cast<uint32_t>(i)} * 2654435761u) % 2000000001u); }
    static long currentRssKb() {
        std::ifstream status("/proc/self/status");
        std::string word;
        while (status >> word)
            if (word == "VmRSS:") {
                long kb = 0;
                status >> kb;
                return kb;
            }
        return 0;
    }
    void load() {
        window->keywordList().clear();
        window->AddKeywordsFromFile(keywordFile);
    }
    void fillGoogle() {
        auto& list = window->keywordList();
        for (int r = 0; r < list.count(); ++r) list.setCell(r, app::colGoogle, withSeparators(googleCount(r)));
    }
};

Fixture* theFixture = nullptr;

Fixture& fixture() { return *theFixture; }

void BM_AddMillionRowsFromFile(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.load();
        QApplication::processEvents();
    }
    state.counters["rows"] = f.window->keywordList().count();
}

void BM_SortMillionRowsByGoogle(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.load();
        f.fillGoogle();
        state.ResumeTiming();
        f.window->lvwItemsColumnClick(app::colGoogle);
        QApplication::processEvents();
    }
}

void BM_WriteMillionRowCsv(benchmark::State& state) {
    Fixture& f = fixture();
    const std::vector<std::string> captions{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
    for (auto _ : state) app::writeCsv(f.folder + "out.csv", captions, f.window->keywordList().rows());
}

void BM_RepaintListWithMillionRows(benchmark::State& state) {
    Fixture& f = fixture();
    auto* view = f.window->findChild<QTreeView*>("lvwItems");
    for (auto _ : state) {
        view->scrollToBottom();
        view->viewport()->repaint();
        view->scrollToTop();
        view->viewport()->repaint();
    }
}

// The reference: GNU sort on the same rows, numerically by the Google column.
void BM_GnuSortReference(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string command = "LC_ALL=C sort -t '\t' -k4,4n " + f.tsvFile + " -o " + f.folder + "sorted.tsv";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) state.SkipWithError("sort failed");
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void BM_PeakMemory(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.load();
        f.fillGoogle();
        QApplication::processEvents();
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["rss_with_rows_MB"] = static_cast<double>(Fixture::currentRssKb()) / 1024.0;
    state.counters["rss_without_rows_MB"] = static_cast<double>(f.rssBeforeRowsKb) / 1024.0;
}

}  // namespace

BENCHMARK(BM_AddMillionRowsFromFile)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortMillionRowsByGoogle)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteMillionRowCsv)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintListWithMillionRows)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GnuSortReference)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory)->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app::TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        // The window must go before the application object does.
        Fixture fixture;
        theFixture = &fixture;
        benchmark::RunSpecifiedBenchmarks();
        theFixture = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
