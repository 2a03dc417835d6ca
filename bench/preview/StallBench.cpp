// How long the user-interface thread goes without running its event loop
// while the viewer opens a drawing, from the OpenDrawing call until the
// finished picture is on screen: every shared sample and every crafted
// drawing. A 1 ms precise timer ticks throughout; the longest gap between two
// ticks is the longest time the thread was busy elsewhere (OpenDrawing itself
// included, since it is called from the loop). The machine's own scheduling
// adds to every gap, so a loaded machine reads high.
// Then, for the samples with surfaces, at the preview's size (852 x 448):
// two seconds of turning the model shaded (Shift + drag, a move every 16 ms):
// the pictures that reached the screen per second, and the longest stall.
//
//   bench/preview/preview_stall_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>
#include <render/Build.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostileDrawings.h"
#include "preview/DwgViewer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDeadlineMs = 60'000;

fs::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

struct Drawing {
    std::string name;
    fs::path file;
};

// Worst gap seen per drawing, over all its iterations, for the summary.
struct Worst {
    std::string name;
    double stallMs = 0;
    double openCallMs = 0;
};
std::vector<Worst> worstSeen;

struct Opened {
    double stallMs = 0;     // longest gap between ticks
    double openCallMs = 0;  // the OpenDrawing call alone
    double shownMs = 0;     // until the finished picture is on screen
    bool timedOut = false;
};

Opened openAndWait(preview::DwgViewer& viewer, const fs::path& file) {
    Opened result;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    bool opened = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.stallMs = std::max(result.stallMs, (now - lastTick) / 1e6);
        lastTick = now;
        if (opened && !viewer.isBuilding() && viewer.pictureIsCurrent()) {
            result.shownMs = now / 1e6;
            loop.quit();
        } else if (now / 1'000'000 > kDeadlineMs) {
            result.timedOut = true;
            loop.quit();
        }
    });
    QTimer::singleShot(0, [&] {
        const qint64 before = clock.nsecsElapsed();
        viewer.OpenDrawing(file);
        result.openCallMs = (clock.nsecsElapsed() - before) / 1e6;
        opened = true;
    });
    lastTick = clock.nsecsElapsed();
    ticker.start();
    loop.exec();
    ticker.stop();
    return result;
}

void BM_OpenUntilShown(benchmark::State& state, const Drawing& drawing, std::size_t slot) {
    preview::DwgViewer viewer;
    viewer.resize(640, 480);
    viewer.show();
    Worst& worst = worstSeen[slot];
    double stall = 0, openCall = 0, shown = 0;
    for (auto _ : state) {
        const Opened opened = openAndWait(viewer, drawing.file);
        if (opened.timedOut) {
            state.SkipWithError("the picture was not shown within the deadline");
            break;
        }
        stall = std::max(stall, opened.stallMs);
        openCall = std::max(openCall, opened.openCallMs);
        shown = std::max(shown, opened.shownMs);
    }
    worst.stallMs = std::max(worst.stallMs, stall);
    worst.openCallMs = std::max(worst.openCallMs, openCall);
    state.counters["stall_ms"] = stall;
    state.counters["open_call_ms"] = openCall;
    state.counters["shown_ms"] = shown;
    state.counters["KB"] = static_cast<double>(fs::file_size(drawing.file)) / 1024;
}

// Two seconds of turning by Shift + drag, a move every 16 ms.
void BM_OrbitShaded(benchmark::State& state, const Drawing& drawing) {
    preview::DwgViewer viewer;
    viewer.resize(852, 448);
    viewer.show();
    if (openAndWait(viewer, drawing.file).timedOut) {
        state.SkipWithError("the picture was not shown within the deadline");
        return;
    }
    viewer.setVisualStyle(render::VisualStyle::Shaded);
    double stall = 0, framesPerSecond = 0;
    for (auto _ : state) {
        int pictures = 0;
        const QMetaObject::Connection counting =
            QObject::connect(&viewer, &preview::DwgViewer::pictureShown, [&] { ++pictures; });
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QPointF at(300, 200);
        QMouseEvent press(QEvent::MouseButtonPress, at, viewer.mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&viewer, &press);
        QEventLoop loop;
        QTimer mover;
        mover.setTimerType(Qt::PreciseTimer);
        mover.setInterval(16);
        QObject::connect(&mover, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            stall = std::max(stall, (now - last) / 1e6 - 16);
            last = now;
            at += QPointF(4, 1);
            QMouseEvent move(QEvent::MouseMove, at, viewer.mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::ShiftModifier);
            QApplication::sendEvent(&viewer, &move);
            if (now > 2'000'000'000) loop.quit();
        });
        mover.start();
        loop.exec();
        QMouseEvent release(QEvent::MouseButtonRelease, at, viewer.mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(&viewer, &release);
        QObject::disconnect(counting);
        framesPerSecond = pictures / (clock.nsecsElapsed() / 1e9);
    }
    state.counters["fps"] = framesPerSecond;
    state.counters["stall_ms"] = stall;
}

std::vector<Drawing> samples() {
    std::vector<Drawing> found;
    std::error_code error;
    for (const auto& version : fs::directory_iterator(samplesFolder(), error)) {
        if (!version.is_directory() || version.path().filename() == "renders") continue;
        for (const auto& entry : fs::directory_iterator(version.path()))
            if (entry.path().extension() == ".dwg")
                found.push_back(
                    {version.path().filename().string() + "/" + entry.path().filename().string(),
                     entry.path()});
    }
    std::sort(found.begin(), found.end(),
              [](const Drawing& a, const Drawing& b) { return a.name < b.name; });
    return found;
}

void printSummary() {
    std::vector<Worst> sorted = worstSeen;
    std::sort(sorted.begin(), sorted.end(),
              [](const Worst& a, const Worst& b) { return a.stallMs > b.stallMs; });
    std::printf("\nLongest user-interface stall per drawing (worst first):\n");
    for (std::size_t i = 0; i < sorted.size() && i < 10; ++i)
        std::printf("  %8.1f ms  (OpenDrawing call %6.1f ms)  %s\n", sorted[i].stallMs,
                    sorted[i].openCallMs, sorted[i].name.c_str());
    if (!sorted.empty())
        std::printf("Longest stall over all %zu drawings: %.1f ms (%s)\n", sorted.size(),
                    sorted.front().stallMs, sorted.front().name.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::vector<Drawing> drawings = samples();
    if (drawings.empty()) {
        std::fprintf(stderr, "no sample drawings in %s\n", samplesFolder().c_str());
        return 1;
    }
    QTemporaryDir crafted;
    for (const testsupport::NamedDrawing& hostile : testsupport::hostileDrawings()) {
        const fs::path file = fs::path(crafted.path().toStdString()) / (hostile.name + ".dwg");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(hostile.bytes.data()),
                   static_cast<std::streamsize>(hostile.bytes.size()));
        drawings.push_back({"crafted/" + hostile.name, file});
    }
    for (const Drawing& drawing : drawings) worstSeen.push_back({drawing.name});
    for (std::size_t i = 0; i < drawings.size(); ++i)
        benchmark::RegisterBenchmark(("BM_OpenUntilShown/" + drawings[i].name).c_str(),
                                     BM_OpenUntilShown, drawings[i], i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    for (const Drawing& drawing : drawings) {
        try {
            if (render::buildModelSpaceAsSaved(dwg::read(drawing.file)).surfaces.empty()) continue;
        } catch (const std::exception&) {
            continue;
        }
        benchmark::RegisterBenchmark(("BM_OrbitShaded/" + drawing.name).c_str(), BM_OrbitShaded,
                                     drawing)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
