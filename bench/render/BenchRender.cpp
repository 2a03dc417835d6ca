// Per sample drawing and per crafted hostile drawing: building the display
// list (the drawing already read; counters: work units spent, whether the
// build was cut), painting it at 1024 x 724, and dwgrender as a whole process.
//   bench_render --benchmark_filter='Build/.*KYLD'
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "HostileDrawings.h"

extern char** environ;

namespace {

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

void build(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    render::BuildReport report;
    for (auto _ : state) {
        render::DisplayList list = render::buildModelSpace(*drawing);
        benchmark::DoNotOptimize(list);
        report = list.report;
    }
    state.counters["work"] = static_cast<double>(report.workSpent);
    state.counters["simplified"] = report.simplified() ? 1 : 0;
}

void paint(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    const render::DisplayList list = render::buildModelSpace(*drawing);
    QImage image(1024, 724, QImage::Format_RGB32);
    const render::View view = render::View::fit(list.extents, 1024, 724);
    for (auto _ : state) {
        QPainter painter(&image);
        render::paint(painter, list, view, Qt::white);
    }
}

void wholeProcess(benchmark::State& state, const std::filesystem::path& path) {
    const std::string in = path.string();
    const std::string out = (std::filesystem::temp_directory_path() / "bench_render.png").string();
    char* argv[] = {const_cast<char*>(DWGRENDER_PATH), const_cast<char*>(in.c_str()),
                    const_cast<char*>(out.c_str()), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, DWGRENDER_PATH, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("dwgrender did not start");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dwgrender failed");
            return;
        }
    }
    std::filesystem::remove(out);
}

const bool registered = [] {
    for (const auto& crafted : testsupport::hostileDrawings()) {
        auto drawing = std::make_shared<const dwg::Drawing>(dwg::read(crafted.bytes));
        benchmark::RegisterBenchmark(("Build/crafted/" + crafted.name).c_str(), build, drawing)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Paint/crafted/" + crafted.name).c_str(), paint, drawing)
            ->Unit(benchmark::kMillisecond);
    }
    if (!std::filesystem::is_directory(samplesFolder())) return false;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        std::shared_ptr<const dwg::Drawing> drawing;
        try {
            drawing = std::make_shared<const dwg::Drawing>(dwg::read(entry.path()));
        } catch (const dwg::Error&) {
            continue;
        }
        const std::string name = entry.path().parent_path().filename().string() + "/" +
                                 entry.path().filename().string() + "/" +
                                 std::to_string(std::filesystem::file_size(entry.path()) / 1024) +
                                 "KB";
        benchmark::RegisterBenchmark(("Build/" + name).c_str(), build, drawing)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Paint/" + name).c_str(), paint, drawing)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Process/" + name).c_str(), wholeProcess, entry.path())
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

}  // namespace
