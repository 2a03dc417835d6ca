// A category of 10,000 thumbnails in the grid: how long the fill takes, how
// long until the tiles in view show their images, how much memory the run
// needs, and proof that scrolling through it all decodes nothing on the
// user-interface thread.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"

namespace {

constexpr int kBlockCount = 10000;

struct Category {
    QStringList thumbnails;
};

// Writing the category takes half a minute; it is kept in the temporary
// folder and written again only when incomplete.
Category& category() {
    static Category made = [] {
        Category category;
        const QString img =
            QDir::temp().filePath(QStringLiteral("tessaly-grid-bench-%1/IMG").arg(kBlockCount));
        QDir().mkpath(img);
        QImage image(200, 141, QImage::Format_RGB32);
        for (int i = 0; i < kBlockCount; ++i) {
            const QString path = img + QStringLiteral("/Bloco%1.PNG").arg(i, 5, 10, QChar('0'));
            category.thumbnails << path;
            if (QFileInfo::exists(path)) continue;
            // Something like a drawing: a light ground and a few strokes, so
            // the files are of a realistic size and take real work to decode.
            image.fill(QColor::fromHsv(i % 360, 40, 245));
            QPainter painter(&image);
            painter.setPen(QPen(QColor::fromHsv((i * 7) % 360, 200, 120), 2));
            for (int line = 0; line < 12; ++line)
                painter.drawLine((i * 13 + line * 17) % 200, line * 11, (i * 29 + line * 31) % 200,
                                 140 - line * 7);
            painter.drawEllipse(QPoint(100, 70), 20 + i % 40, 15 + i % 30);
            painter.end();
            image.save(path, "PNG");
        }
        return category;
    }();
    return made;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

// The grid as the main window holds it: 762 pixels wide, six columns.
std::unique_ptr<browser::ThumbnailGrid> shownGrid() {
    auto grid = std::make_unique<browser::ThumbnailGrid>();
    grid->resize(762, 430);
    grid->setColumnCount(6);
    const int width = (grid->layoutWidth() - 6 * browser::ThumbnailGrid::kSpacing - 30) / 6;
    grid->setItemSize(QSize(width, qRound(width / std::sqrt(2.0)) + 4));
    grid->show();
    QCoreApplication::processEvents();
    return grid;
}

void fill(browser::ThumbnailGrid& grid) {
    grid.beginUpdate();
    grid.clear();
    for (const QString& path : category().thumbnails) grid.addItem(path.toStdString());
    grid.endUpdate();
    grid.setSelectedIndex(0);
}

bool tilesInViewLoaded(const browser::ThumbnailGrid& grid) {
    const QRect view = grid.viewport()->rect();
    const int rowPitch = grid.itemSize().height() + browser::ThumbnailGrid::kSpacing;
    const int firstRow = std::max(0, -grid.tileRect(0).top() / rowPitch - 1);
    for (int i = firstRow * grid.columnCount(); i < grid.count(); ++i) {
        const QRect tile = grid.tileRect(i);
        if (tile.top() > view.bottom()) break;
        if (tile.intersects(view) && !grid.isThumbnailLoaded(i) && !grid.isThumbnailFailed(i))
            return false;
    }
    return true;
}

// Runs the event loop until the tiles in view have their images; false when
// they did not arrive within ten seconds.
bool waitForTilesInView(const browser::ThumbnailGrid& grid) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(20);
    while (!tilesInViewLoaded(grid)) {
        if (clock.elapsed() > 10000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void BM_FillCategory(benchmark::State& state) {
    auto grid = shownGrid();
    for (auto _ : state) {
        fill(*grid);
        benchmark::DoNotOptimize(grid->count());
    }
    state.counters["items"] = grid->count();
    state.counters["peak_rss_MB"] = peakMegabytes();
}
BENCHMARK(BM_FillCategory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The main window's LoadBlockList on the same category: folder listing,
// sorting and the grid's fill together.
void BM_LoadBlockList(benchmark::State& state) {
    const QString program = QDir::temp().filePath(QStringLiteral("tessaly-grid-bench-program"));
    const QString categoryFolder = program + QStringLiteral("/Blocos/0");
    QDir().mkpath(categoryFolder);
    const QString img = QFileInfo(category().thumbnails.constFirst()).absolutePath();
    QFile::link(img, categoryFolder + QStringLiteral("/IMG"));
    browser::TfrmVisualizar window(library::Layout(program.toStdString()));
    window.show();
    QCoreApplication::processEvents();
    window.shared().CurrentCategoryFolder = categoryFolder.toStdString();
    for (auto _ : state) {
        window.LoadBlockList();
        if (window.Lista->count() != kBlockCount) state.SkipWithError("category not listed whole");
    }
    state.counters["peak_rss_MB"] = peakMegabytes();
}
BENCHMARK(BM_LoadBlockList)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the end of the fill until every tile in view shows its image.
void BM_TilesInViewShown(benchmark::State& state) {
    auto grid = shownGrid();
    for (auto _ : state) {
        state.PauseTiming();
        fill(*grid);
        state.ResumeTiming();
        if (!waitForTilesInView(*grid)) state.SkipWithError("thumbnails in view never arrived");
    }
    state.counters["peak_rss_MB"] = peakMegabytes();
}
BENCHMARK(BM_TilesInViewShown)->Unit(benchmark::kMillisecond)->UseRealTime();

// Page by page to the end of the category, each page waited for: what it
// costs to look at every block once, and where the decoding happened.
void BM_ScrollWholeCategory(benchmark::State& state) {
    auto grid = shownGrid();
    fill(*grid);
    int pages = 0;
    for (auto _ : state) {
        QScrollBar* bar = grid->verticalScrollBar();
        bar->setValue(0);
        for (;;) {
            if (!waitForTilesInView(*grid)) {
                state.SkipWithError("thumbnails in view never arrived");
                break;
            }
            ++pages;
            if (bar->value() == bar->maximum()) break;
            bar->setValue(bar->value() + bar->pageStep());
        }
    }
    const auto stats = grid->decodeStats();
    if (stats.decodedOnUiThread != 0)
        state.SkipWithError("an image was decoded on the user-interface thread");
    state.counters["pages"] = benchmark::Counter(pages, benchmark::Counter::kAvgIterations);
    state.counters["decoded_workers"] = stats.decoded - stats.decodedOnUiThread;
    state.counters["decoded_ui_thread"] = stats.decodedOnUiThread;
    state.counters["peak_rss_MB"] = peakMegabytes();
}
BENCHMARK(BM_ScrollWholeCategory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QElapsedTimer making;
    making.start();
    category();
    std::fprintf(stderr, "%d thumbnails ready in %lld ms; peak memory before the grid %.1f MB\n",
                 kBlockCount, static_cast<long long>(making.elapsed()), peakMegabytes());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fprintf(stderr, "peak memory of the whole run: %.1f MB\n", peakMegabytes());
    return 0;
}
