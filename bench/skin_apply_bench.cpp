// The skin's figures: applying the stored skin (inflate + parse + decode),
// start-up to the first painted main window with and without the skin, and
// repainting the million-row list with and without it, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTreeView>
#include <memory>

#include "app/Application.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"
#include "skin/skApplicationSkin.h"
#include "skin/skDefaultSkin.h"
#include "skin/skSkinData.h"

namespace {

app::TApplication& application() {
    static int argc = 1;
    static char name[] = "skin_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* a = new app::TApplication(argc, argv);
    return *a;
}

QStyle* fusion() {
    static QStyle* style = QStyleFactory::create("Fusion");
    return style;
}

// Every widget of the window draws with Fusion, as before the skin.
void unskin(QWidget* window) {
    window->setStyle(fusion());
    for (QWidget* w : window->findChildren<QWidget*>()) w->setStyle(fusion());
}

void BM_ApplyStoredSkin(benchmark::State& state) {
    sk::TskSkinData data;
    const sk::TskCompressedStoredSkin& stored = sk::ModernStoredSkin();
    for (auto _ : state) {
        data.ApplyStoredSkin(stored);
        benchmark::DoNotOptimize(data.ControlList().size());
    }
    state.counters["compressed_bytes"] = double(stored.CompressedData().size());
}
BENCHMARK(BM_ApplyStoredSkin)->Unit(benchmark::kMillisecond);

// Construction and the first full paint of the main window.
void startUp(benchmark::State& state, bool skinned) {
    application();
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    for (auto _ : state) {
        app::TfrmMain window(folder);
        if (!skinned) unskin(&window);
        const QPixmap shot = window.grab();
        benchmark::DoNotOptimize(shot.cacheKey());
    }
}
void BM_StartUpSkinned(benchmark::State& state) { startUp(state, true); }
void BM_StartUpUnskinned(benchmark::State& state) { startUp(state, false); }
BENCHMARK(BM_StartUpUnskinned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpSkinned)->Unit(benchmark::kMillisecond);

// One repaint of the list holding a million rows, scrolled to its middle.
void listRepaint(benchmark::State& state, bool skinned) {
    application();
    QTemporaryDir dir;
    app::TfrmMain window(dir.path().toStdString() + "/");
    std::string lines;
    for (int i = 0; i < 1000000; ++i) lines += "keyword " + std::to_string(i) + "\r\n";
    window.keywordList().addKeywordLines(lines);
    auto* list = window.findChild<QTreeView*>("lvwItems");
    if (!skinned) unskin(&window);
    window.show();
    list->verticalScrollBar()->setValue(500000);
    QApplication::processEvents();
    for (auto _ : state) {
        const QPixmap shot = list->grab();
        benchmark::DoNotOptimize(shot.cacheKey());
    }
}
void BM_ListRepaintSkinned(benchmark::State& state) { listRepaint(state, true); }
void BM_ListRepaintUnskinned(benchmark::State& state) { listRepaint(state, false); }
BENCHMARK(BM_ListRepaintUnskinned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListRepaintSkinned)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
