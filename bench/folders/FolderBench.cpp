// A folder of the user's with 5,000 drawings (the sample drawings and the demo
// library's, copied under many names into nested folders) through the real
// main window: the first visit, until the first screen of tiles shows and
// until every picture is kept; a second visit after a restart, until the
// screen is full; scrolling from top to bottom; the longest the window went
// without running its events meanwhile; the memory. Then the search: the
// folder added to the index, and a query over 100,000 blocks with folders.
//
// The folder lies in the temporary folder, under a profile whose name has
// accents and a space, and is made again only when incomplete.
#include <benchmark/benchmark.h>
#include <dwg/Writer.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <time.h>

#include "Catalogue.h"
#include "HostileDrawings.h"
#include "GeneratedIndex.h"
#include "Samples.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "library/ThumbnailStore.h"
#include "library/UserFolders.h"
#include "search/Indexing.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDrawings = 5000;
constexpr std::uintmax_t kLargestSample = 300 * 1024;

fs::path benchRoot() {
    return fs::temp_directory_path() / "tessaly-folder-bench";
}

fs::path usersFolder() {
    return benchRoot() / library::pathFromUtf8("Conceição Araújo") / "Documents" /
           library::pathFromUtf8("Blocos da empresa");
}

// The drawings copied: every sample up to kLargestSample, and the demo
// library's drawings written by our writer.
std::vector<std::string> sourceDrawings() {
    std::vector<std::string> sources;
    for (const auto& entry : fs::recursive_directory_iterator(testsupport::samplesFolder())) {
        std::string name = library::pathToUtf8(entry.path().extension());
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        if (entry.is_regular_file() && name == ".dwg" && entry.file_size() <= kLargestSample) {
            std::ifstream in(entry.path(), std::ios::binary);
            sources.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    for (const demo::DemoCategory& category : demo::catalogue())
        for (const demo::DemoBlock& block : category.blocks) {
            demo::Sketch sketch;
            block.draw(sketch);
            const std::vector<std::uint8_t> bytes = dwg::writeR2000(sketch.finish());
            sources.emplace_back(bytes.begin(), bytes.end());
        }
    return sources;
}

void makeFolder() {
    const fs::path done = benchRoot() / "pronto";
    if (fs::exists(done)) return;
    std::error_code ignored;
    fs::remove_all(benchRoot(), ignored);
    const std::vector<std::string> sources = sourceDrawings();
    std::mt19937_64 shuffle(5);
    for (int i = 0; i < kDrawings; ++i) {
        // Twenty works of five floors each, a few drawings at the top.
        const fs::path folder = i < 40 ? usersFolder()
                                       : usersFolder() / ("Obra " + std::to_string(i % 20)) /
                                             ("pavimento-" + std::to_string(i % 5));
        fs::create_directories(folder);
        const char* ending = i % 7 == 0 ? ".DWG" : ".dwg";
        std::ofstream(folder / ("desenho " + std::to_string(i) + ending), std::ios::binary)
            << sources[shuffle() % sources.size()];
    }
    std::ofstream(done) << kDrawings;
    std::fprintf(stderr, "%d drawings from %zu sources in %s\n", kDrawings, sources.size(),
                 library::pathToUtf8(usersFolder()).c_str());
}

// The resident memory now (Linux and Wine give /proc); 0 where it cannot be read.
double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// The processor time the user-interface thread spent on one event at most:
// what the window's own work costs, whatever else the machine runs.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0 || QThread::currentThread() != thread()) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        const double start = threadCpuMs();
        const bool handled = QApplication::notify(receiver, event);
        longestEventMs = std::max(longestEventMs, threadCpuMs() - start);
        --depth_;
        return handled;
    }

    static double threadCpuMs() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
    }

    double longestEventMs = 0;

  private:
    int depth_ = 0;
};

TimedApplication& application() {
    return *static_cast<TimedApplication*>(QCoreApplication::instance());
}

// The longest the user-interface thread went without running a timer due
// every 5 ms: how long the window would have looked frozen, on this machine
// as loaded as it is; and the longest of its own work on one event.
class StallWatch {
  public:
    StallWatch() {
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, since_.restart());
        });
        since_.start();
        tick_.start(5);
        application().longestEventMs = 0;
    }
    qint64 longestMs() const { return longest_; }
    double longestEventCpuMs() const { return application().longestEventMs; }

  private:
    QTimer tick_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

bool waitFor(const std::function<bool()>& done, int deadlineMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > deadlineMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool screenShown(const browser::ThumbnailGrid& grid) {
    if (grid.count() == 0) return false;
    const QRect view = grid.viewport()->rect();
    for (int i = 0; i < grid.count(); ++i) {
        const QRect tile = grid.tileRect(i);
        if (tile.top() > view.bottom()) break;
        if (tile.intersects(view) && !grid.isThumbnailLoaded(i) && !grid.isThumbnailFailed(i))
            return false;
    }
    return true;
}

// A program folder with the user's folder in its list; fresh keeps no pictures.
library::Layout programFolder(bool fresh) {
    const fs::path program = benchRoot() / "programa";
    std::error_code ignored;
    if (fresh) fs::remove_all(program, ignored);
    fs::create_directories(program / "Blocos");
    const library::Layout layout(program);
    library::UserFolders(layout).add(usersFolder());
    return layout;
}

struct Window {
    explicit Window(const library::Layout& layout) : main(layout) {
        main.tBrowser->stop();
        main.resize(1000, 700);
        main.show();
        QCoreApplication::processEvents();
    }
    browser::TfrmVisualizar main;
};

// Chooses the folder and waits for its first screen; false when it never came.
// shownMs is when it came, listedMs when the walk of the folder reached the
// grid (a folder seen before shows its last listing before the walk ends).
bool visit(Window& window, double* shownMs = nullptr, double* listedMs = nullptr,
           double* filledMs = nullptr) {
    QElapsedTimer clock;
    clock.start();
    window.main.cArea->setCurrentIndex(15);
    emit window.main.cArea->activated(15);
    if (!waitFor([&] { return window.main.Lista->count() > 0; }, 60000)) return false;
    if (filledMs) *filledMs = static_cast<double>(clock.elapsed());
    if (!waitFor([&] { return screenShown(*window.main.Lista); }, 60000)) return false;
    if (shownMs) *shownMs = static_cast<double>(clock.elapsed());
    if (!waitFor([&] { return !window.main.listing(); }, 60000)) return false;
    if (listedMs) *listedMs = static_cast<double>(clock.elapsed());
    return waitFor([&] { return screenShown(*window.main.Lista); }, 60000);
}

void BM_FirstVisit(benchmark::State& state) {
    for (auto _ : state) {
        Window window(programFolder(true));
        StallWatch stalls;
        QElapsedTimer clock;
        clock.start();
        double firstScreen = 0;
        if (!visit(window, &firstScreen)) state.SkipWithError("the first screen never showed");
        const double atFirstScreen = residentMegabytes();
        if (!waitFor(
                [&] {
                    const auto [kept, all] = window.main.Lista->thumbnails().keptPictures();
                    return all == kDrawings && kept == all;
                },
                3600000))
            state.SkipWithError("the pictures were never all kept");
        state.SetIterationTime(static_cast<double>(clock.elapsed()) / 1000);
        state.counters["first_screen_ms"] = firstScreen;
        state.counters["all_kept_s"] = static_cast<double>(clock.elapsed()) / 1000;
        state.counters["longest_stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["longest_event_cpu_ms"] = stalls.longestEventCpuMs();
        state.counters["rss_first_screen_MB"] = atFirstScreen;
        state.counters["rss_all_kept_MB"] = residentMegabytes();
        state.counters["drawings"] = window.main.Lista->count();
        state.counters["workers"] = QThread::idealThreadCount();
        window.main.indexer().wait();
    }
}
BENCHMARK(BM_FirstVisit)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// After a restart: the pictures kept on the first visit fill the screen.
void BM_SecondVisit(benchmark::State& state) {
    const library::Layout layout = programFolder(false);
    for (auto _ : state) {
        Window window(layout);
        StallWatch stalls;
        double shown = 0;
        double listed = 0;
        double filled = 0;
        if (!visit(window, &shown, &listed, &filled)) state.SkipWithError("the screen never filled");
        state.SetIterationTime(shown / 1000);
        state.counters["grid_filled_ms"] = filled;
        state.counters["walked_ms"] = listed;
        state.counters["drawn"] = window.main.Lista->decodeStats().drawn;
        state.counters["longest_stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["longest_event_cpu_ms"] = stalls.longestEventCpuMs();
        window.main.indexer().wait();
    }
}
BENCHMARK(BM_SecondVisit)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The pieces of a second visit on the user-interface thread: the last
// listing read, the grid filled with it.
void BM_LastListingRead(benchmark::State& state) {
    const library::Layout layout = programFolder(false);
    const library::ThumbnailStore store(layout, usersFolder());
    std::size_t blocks = 0;
    for (auto _ : state) blocks = store.lastListing().size();
    state.counters["drawings"] = static_cast<double>(blocks);
}
BENCHMARK(BM_LastListingRead)->Unit(benchmark::kMillisecond);

void BM_GridFilled(benchmark::State& state) {
    const library::Layout layout = programFolder(false);
    const std::vector<library::Block> blocks =
        library::ThumbnailStore(layout, usersFolder()).lastListing();
    browser::ThumbnailGrid grid;
    for (auto _ : state) {
        grid.beginUpdate();
        grid.clear();
        for (const library::Block& block : blocks) grid.addBlock(block);
        grid.endUpdate();
    }
}
BENCHMARK(BM_GridFilled)->Unit(benchmark::kMillisecond);

// The walk of the whole folder, off the user-interface thread.
void BM_FolderWalked(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(library::FolderSource(usersFolder()).list());
}
BENCHMARK(BM_FolderWalked)->Unit(benchmark::kMillisecond);

// Page by page from the top to the bottom, each page's tiles waited for.
void BM_ScrollTopToBottom(benchmark::State& state) {
    const library::Layout layout = programFolder(false);
    for (auto _ : state) {
        Window window(layout);
        if (!visit(window)) state.SkipWithError("the screen never filled");
        const double before = residentMegabytes();
        StallWatch stalls;
        QElapsedTimer clock;
        clock.start();
        QScrollBar* bar = window.main.Lista->verticalScrollBar();
        int pages = 0;
        while (bar->value() < bar->maximum()) {
            bar->setValue(bar->value() + bar->pageStep());
            ++pages;
            if (!waitFor([&] { return screenShown(*window.main.Lista); }, 30000))
                state.SkipWithError("a page never showed");
        }
        state.SetIterationTime(static_cast<double>(clock.elapsed()) / 1000);
        state.counters["pages"] = pages;
        state.counters["longest_stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["longest_event_cpu_ms"] = stalls.longestEventCpuMs();
        state.counters["rss_top_MB"] = before;
        state.counters["rss_bottom_MB"] = residentMegabytes();
        state.counters["decoded_ui_thread"] = window.main.Lista->decodeStats().decodedOnUiThread;
        window.main.indexer().wait();
    }
}
BENCHMARK(BM_ScrollTopToBottom)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The folder read into a fresh index: every drawing's words.
void BM_IndexFolder(benchmark::State& state) {
    const library::Layout layout = programFolder(false);
    for (auto _ : state) {
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(fs::path(layout.searchIndexFile()) += suffix, ignored);
        search::BackgroundIndexer indexer(layout);
        indexer.start();
        indexer.wait();
        search::BlockIndex index(layout.searchIndexFile(), search::BlockIndex::Open::Existing);
        state.counters["found_desenho"] = static_cast<double>(
            index.find("desenho", search::Scope(library::InstalledFlags{}, {usersFolder()}))
                .total);
    }
}
BENCHMARK(BM_IndexFolder)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// A folder of drawings that are not what they claim: every sample cut short
// and every sample with bytes spoilt, the crafted drawings that ask a renderer
// for billions of steps, names Windows refuses, links out of the folder and
// in a circle, and a drawing still being written while the folder is shown.
// How long until every tile has its picture or its plain tile, the longest
// the window went without running its events, and whether anything was
// written into the folder.
void BM_HostileFolder(benchmark::State& state) {
    const fs::path folder = benchRoot() / "hostis" / library::pathFromUtf8("Blocos estragados");
    const fs::path outside = benchRoot() / "hostis" / "fora";
    std::error_code ignored;
    fs::remove_all(folder.parent_path(), ignored);
    fs::create_directories(folder);
    fs::create_directories(outside);
    std::ofstream(outside / "segredo.dwg", std::ios::binary) << "fora da pasta";
    const std::vector<std::string> sources = sourceDrawings();
    std::mt19937_64 random(9);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string& bytes = sources[i];
        std::ofstream(folder / ("cortado " + std::to_string(i) + ".dwg"), std::ios::binary)
            << bytes.substr(0, bytes.size() / 3 + random() % (bytes.size() / 3 + 1));
        std::string spoilt = bytes;
        for (int flip = 0; flip < 64 && !spoilt.empty(); ++flip)
            spoilt[random() % spoilt.size()] ^= static_cast<char>(1 + random() % 255);
        std::ofstream(folder / ("estragado " + std::to_string(i) + ".dwg"), std::ios::binary) << spoilt;
    }
    for (const auto& [name, bytes] : testsupport::hostileDrawings())
        std::ofstream(folder / (name + ".dwg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    for (const char* refused : {"CON.dwg", "aux.DWG", "a:b.dwg", "com1.dwg", "nome com espaço .dwg"})
        std::ofstream(folder / library::pathFromUtf8(refused), std::ios::binary) << sources.front();
    fs::create_directory_symlink(outside, folder / "atalho", ignored);
    fs::create_symlink(outside / "segredo.dwg", folder / "ligado.dwg", ignored);
    fs::create_directory_symlink(folder, folder / "circulo", ignored);
    const std::map<fs::path, std::uintmax_t> before = [&] {
        std::map<fs::path, std::uintmax_t> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file() && !entry.is_symlink()) files[entry.path()] = entry.file_size();
        return files;
    }();
    for (auto _ : state) {
        const fs::path program = benchRoot() / "hostis" / "programa";
        fs::remove_all(program, ignored);
        fs::create_directories(program / "Blocos");
        const library::Layout layout(program);
        library::UserFolders(layout).add(folder);
        Window window(layout);
        StallWatch stalls;
        // Written a piece at a time while the folder is read.
        std::atomic<bool> writing{true};
        std::thread writer([&] {
            std::ofstream out(folder / "crescendo.dwg", std::ios::binary);
            for (std::size_t at = 0; writing && at < sources.back().size(); at += 512) {
                out << sources.back().substr(at, 512) << std::flush;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        QElapsedTimer clock;
        clock.start();
        if (!visit(window)) state.SkipWithError("the first screen never showed");
        if (!waitFor(
                [&] {
                    const auto [kept, all] = window.main.Lista->thumbnails().keptPictures();
                    return all > 0 && kept == all;
                },
                600000))
            state.SkipWithError("the pictures were never all settled");
        state.SetIterationTime(static_cast<double>(clock.elapsed()) / 1000);
        writing = false;
        writer.join();
        int plain = 0;
        const int shown = window.main.Lista->count();
        const library::ThumbnailStore store(layout, folder);
        for (int i = 0; i < shown; ++i) {
            const auto kept = store.find(window.main.Lista->item(i).block);
            plain += kept && kept->failed;
        }
        std::size_t unchanged = 0;
        for (const auto& [file, size] : before)
            unchanged += fs::exists(file) && fs::file_size(file) == size;
        std::size_t now = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            now += entry.is_regular_file() && !entry.is_symlink();
        state.counters["drawings"] = shown;
        state.counters["plain_tiles"] = plain;
        state.counters["longest_stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["longest_event_cpu_ms"] = stalls.longestEventCpuMs();
        state.counters["files_changed"] = static_cast<double>(before.size() - unchanged);
        // The growing drawing is the only file that may be new.
        state.counters["files_added"] = static_cast<double>(now) - static_cast<double>(before.size()) - 1;
        window.main.indexer().wait();
        fs::remove(folder / "crescendo.dwg", ignored);
    }
}
BENCHMARK(BM_HostileFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// 100,000 blocks: 70,000 in the 14 categories and 30,000 in six folders.
fs::path largeIndex() {
    static const fs::path file = [] {
        const fs::path made = benchRoot() / "indice-100000.db";
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(fs::path(made) += suffix, ignored);
        searchbench::writeGeneratedIndex(made, 70000, [](int category) {
            return static_cast<std::uint64_t>(category);
        });
        search::BlockIndex index(made, search::BlockIndex::Open::Existing);
        std::mt19937 random(3);
        const auto& words = searchbench::vocabulary();
        for (int folder = 0; folder < 6; ++folder) {
            search::CategoryEntries entries;
            for (int i = 0; i < 5000; ++i) {
                search::BlockEntry entry;
                const std::string& name = words[random() % words.size()];
                entry.thumbnail = library::pathFromUtf8("obra/" + name + std::to_string(i) + ".dwg");
                entry.nameWords = {name + std::to_string(i), name};
                for (int w = 0; w < 30; ++w) entry.drawingWords.push_back(words[random() % words.size()]);
                entries.blocks.push_back(std::move(entry));
            }
            index.writeFolder(benchRoot() / ("pasta " + std::to_string(folder)), entries);
        }
        return made;
    }();
    return file;
}

void BM_QueryWithFolders(benchmark::State& state, const std::string& query) {
    const fs::path file = largeIndex();
    library::InstalledFlags every;
    every.fill(true);
    std::vector<fs::path> folders;
    for (int folder = 0; folder < 6; ++folder)
        folders.push_back(benchRoot() / ("pasta " + std::to_string(folder)));
    const search::Scope scope(every, folders);
    std::size_t found = 0;
    for (auto _ : state) {
        search::BlockIndex index(file, search::BlockIndex::Open::Existing);
        found = index.find(query, scope).total;
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_QueryWithFolders, one_word, "torneira")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QueryWithFolders, two_words, "cadeira poltro")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QueryWithFolders, first_letter, "c")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    makeFolder();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
