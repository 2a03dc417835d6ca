// The main window's start-up with the search index up to date and with the
// whole index to build: the window is on screen as fast either way, since the
// index is built on a thread of its own, and the user-interface thread is
// never held up meanwhile.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "LibraryFixture.h"
#include "browser/UNfrmVisualizar.h"
#include "search/Indexing.h"

namespace {

namespace fs = std::filesystem;

const searchtest::Library& library() {
    static const searchtest::Library* made = [] {
        auto* library = new searchtest::Library;
        for (int category : {3, 9})
            for (int i = 0; i < 250; ++i)
                library->addBlock(category, "Bloco" + std::to_string(i),
                                  searchtest::labelledBox(100 + i, 50, "Bloco de teste " + std::to_string(i)));
        return library;
    }();
    return *made;
}

void removeIndex() {
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(fs::path(library().layout().searchIndexFile()) += suffix);
}

// From creating the window to its first paint, then until the index is ready;
// the longest gap between two turns of the event loop while it is built.
void startUp(benchmark::State& state, bool indexToBuild) {
    double longestGapMs = 0;
    double readyMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (indexToBuild) removeIndex();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        browser::TfrmVisualizar window(library().layout());
        window.show();
        QApplication::processEvents();
        state.PauseTiming();
        QElapsedTimer gap;
        gap.start();
        while (window.indexer().running()) {
            longestGapMs = std::max(longestGapMs, static_cast<double>(gap.nsecsElapsed()) / 1e6);
            gap.restart();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        readyMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.ResumeTiming();
    }
    state.counters["index_ready_ms"] = readyMs;
    state.counters["longest_ui_gap_ms"] = longestGapMs;
}

void BM_StartUpIndexUpToDate(benchmark::State& state) {
    {
        search::BackgroundIndexer indexer(library().layout());
        indexer.start();
        indexer.wait();
    }
    startUp(state, false);
}
BENCHMARK(BM_StartUpIndexUpToDate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_StartUpIndexToBuild(benchmark::State& state) {
    startUp(state, true);
}
BENCHMARK(BM_StartUpIndexToBuild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
