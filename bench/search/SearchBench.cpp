// The search index at library scale: a query over 1 000, 10 000 and 100 000
// blocks (an index generated with names and drawing words like a real
// library's), and the reading of a category into the index, in blocks per
// second, each drawing read once by our reader.
#include <benchmark/benchmark.h>

#include <map>

#include "GeneratedIndex.h"
#include "LibraryFixture.h"
#include "search/BlockIndex.h"
#include "search/Indexing.h"

namespace {

namespace fs = std::filesystem;

// The index of `blocks` blocks over the 14 categories, made once per size.
fs::path generatedIndex(int blocks) {
    static std::map<int, fs::path> made;
    static std::vector<std::unique_ptr<searchtest::TemporaryFolder>> folders;
    if (const auto found = made.find(blocks); found != made.end()) return found->second;
    folders.push_back(std::make_unique<searchtest::TemporaryFolder>());
    const fs::path file = folders.back()->path() / "indice.db";
    searchbench::writeGeneratedIndex(
        file, blocks, [](int category) { return static_cast<std::uint64_t>(category); });
    made[blocks] = file;
    return file;
}

library::InstalledFlags everyCategory() {
    library::InstalledFlags flags;
    flags.fill(true);
    return flags;
}

// The user-interface thread's search: open the index, find, close.
void BM_Query(benchmark::State& state, const std::string& query) {
    const fs::path file = generatedIndex(static_cast<int>(state.range(0)));
    std::size_t found = 0;
    for (auto _ : state) {
        search::BlockIndex index(file, search::BlockIndex::Open::Existing);
        found = index.find(query, everyCategory()).total;
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_Query, one_word, "torneira")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, two_words, "cadeira poltro")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, nothing_found, "inexistente")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
// The first key typed: a one-letter prefix matches a good part of the library.
BENCHMARK_CAPTURE(BM_Query, one_letter, "c")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
// Text pasted by mistake: a word of nearly every block a thousand times, and
// 10 000 characters of the library's words.
std::string thousandTimes(const std::string& word) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += word + ' ';
    return text;
}
BENCHMARK_CAPTURE(BM_Query, repeated_word, thousandTimes("contorno"))
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, pasted_common_words, searchbench::pastedText(10000, true))
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, pasted_mixed_words, searchbench::pastedText(10000, false))
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// A category of 200 blocks, each a drawing with a few layers, a nested block
// and texts, as the demo library's.
const searchtest::Library& category() {
    static const searchtest::Library* made = [] {
        auto* library = new searchtest::Library;
        for (int i = 0; i < 200; ++i) {
            demo::Sketch sketch;
            sketch.defineBlock("Puxador", {0, 0}, [&] {
                sketch.rectangle(searchtest::kOutline, {0, 0}, 10, 2, 1);
            });
            sketch.rectangle(searchtest::kOutline, {0, 0}, 180, 90, 5);
            for (int k = 0; k < 6; ++k) sketch.circle(searchtest::kOutline, {20.0 + k * 25, 45}, 8);
            sketch.insert("Puxador", {80, 5});
            sketch.text(searchtest::kLabel, "Armário de cozinha nº " + std::to_string(i), {5, 95},
                        4);
            sketch.paragraph(searchtest::kLabel, "Observações:\\PMDF branco, puxador em aço inox.",
                             {5, -5}, 3, 120);
            library->addBlock(3, "Armario" + std::to_string(i), sketch.finish());
        }
        return library;
    }();
    return *made;
}

void BM_ReadCategory(benchmark::State& state) {
    const fs::path folder = category().categoryFolder(3);
    std::size_t blocks = 0;
    for (auto _ : state) {
        const auto entries = search::readCategory(folder);
        blocks += entries->blocks.size();
    }
    state.counters["blocks_per_s"] =
        benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadCategory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The start-up pass with nothing to do: every category already indexed.
void BM_StartUpPassUpToDate(benchmark::State& state) {
    const library::Layout& layout = category().layout();
    {
        search::BackgroundIndexer indexer(layout);
        indexer.start();
        indexer.wait();
    }
    for (auto _ : state) {
        search::BackgroundIndexer indexer(layout);
        indexer.start();
        indexer.wait();
    }
}
BENCHMARK(BM_StartUpPassUpToDate)->Unit(benchmark::kMillisecond)->UseRealTime();

// The start-up pass with the whole index to build: none on disk.
void BM_StartUpPassToBuild(benchmark::State& state) {
    const library::Layout& layout = category().layout();
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(fs::path(layout.searchIndexFile()) += suffix);
        state.ResumeTiming();
        search::BackgroundIndexer indexer(layout);
        indexer.start();
        indexer.wait();
    }
}
BENCHMARK(BM_StartUpPassToBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
