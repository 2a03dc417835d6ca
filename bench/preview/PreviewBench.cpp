// The preview with every shared sample drawing as a block: how long from the
// refresh (bVerClick) until the block's drawing is painted in the viewer,
// through the real windows and files (archive copy, extraction, reading,
// display list, paint, deletions), without the fixed pauses, which the sleep
// seam skips. And how long a wheel step takes to repaint the largest samples.
//
//   bench/preview/preview_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <zip.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCategory = 3;

fs::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

struct Sample {
    std::string name;  // <version>/<file>
    fs::path file;
    std::string block;
};

std::vector<Sample> samples() {
    std::vector<Sample> found;
    std::error_code error;
    for (const auto& version : fs::directory_iterator(samplesFolder(), error)) {
        if (!version.is_directory() || version.path().filename() == "renders") continue;
        for (const auto& entry : fs::directory_iterator(version.path())) {
            if (entry.path().extension() != ".dwg") continue;
            const std::string name =
                version.path().filename().string() + "/" + entry.path().filename().string();
            found.push_back({name, entry.path(), "B" + std::to_string(found.size())});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return found;
}

// The block's archive as the library ships it: one member, encrypted.
bool writeArchive(const fs::path& archive, const fs::path& drawing, const std::string& member) {
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) return false;
    zip_source_t* source = zip_source_file(zip, drawing.c_str(), 0, -1);
    const zip_int64_t index = source ? zip_file_add(zip, member.c_str(), source, 0) : -1;
    const bool added = index >= 0 && zip_file_set_encryption(
                                         zip, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                         std::string(library::kArchivePassword).c_str()) == 0;
    if (!added) {
        zip_discard(zip);
        return false;
    }
    return zip_close(zip) == 0;
}

// The program folder with one category holding every sample, and its windows.
struct Program {
    Program() {
        const fs::path folder = fs::path(dir.path().toStdString());
        const fs::path category = folder / "Blocos" / std::to_string(kCategory);
        fs::create_directories(category / "IMG");
        fs::create_directories(category / "DWG");
        QImage thumbnail(40, 28, QImage::Format_RGB32);
        thumbnail.fill(Qt::white);
        for (const Sample& sample : list) {
            thumbnail.save(
                QString::fromStdString((category / "IMG" / (sample.block + ".PNG")).string()));
            if (!writeArchive(category / "DWG" / (sample.block + ".DWG.zip"), sample.file,
                              sample.block + ".DWG"))
                std::fprintf(stderr, "não foi possível empacotar %s\n", sample.name.c_str());
        }
        main = std::make_unique<browser::TfrmVisualizar>(library::Layout(folder));
        preview = std::make_unique<preview::TfrmPreview>();
        ui::windows().main = main.get();
        ui::windows().preview = preview.get();
        main->show();
        preview->show();
        main->cArea->setCurrentIndex(kCategory);
        main->cAreaChange(kCategory);
    }
    ~Program() { ui::windows() = {}; }

    int indexOf(const Sample& sample) const {
        for (int i = 0; i < main->Lista->count(); ++i)
            if (main->Lista->item(i).FileName == sample.block + ".PNG") return i;
        return -1;
    }

    std::vector<Sample> list = samples();
    QTemporaryDir dir;
    std::unique_ptr<browser::TfrmVisualizar> main;
    std::unique_ptr<preview::TfrmPreview> preview;
};

Program& program() {
    static Program made;
    return made;
}

void BM_RefreshToPainted(benchmark::State& state, const Sample& sample) {
    Program& p = program();
    p.main->Lista->setSelectedIndex(p.indexOf(sample));
    for (auto _ : state) p.preview->clickRefresh();  // the viewer paints before it returns
    const preview::DwgViewer& viewer = *p.preview->dwg;
    state.counters["KB"] = static_cast<double>(fs::file_size(sample.file)) / 1024;
    state.counters["items"] = static_cast<double>(viewer.displayList().items.size());
    if (!viewer.failureText().isEmpty()) state.SetLabel(viewer.failureText().toStdString());
}

void BM_WheelZoomRepaint(benchmark::State& state, const Sample& sample) {
    Program& p = program();
    p.main->Lista->setSelectedIndex(p.indexOf(sample));
    p.preview->clickRefresh();
    preview::DwgViewer& viewer = *p.preview->dwg;
    const QPointF at(viewer.width() * 0.4, viewer.height() * 0.6);
    int notches = 1;
    for (auto _ : state) {
        QWheelEvent wheel(at, viewer.mapToGlobal(at), {}, {0, notches * 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&viewer, &wheel);
        viewer.repaint();
        notches = -notches;  // in and out again, so the view stays on the drawing
    }
    state.counters["KB"] = static_cast<double>(fs::file_size(sample.file)) / 1024;
    state.counters["items"] = static_cast<double>(viewer.displayList().items.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ui::setSleepForTests([](int) {});
    const std::vector<Sample>& list = program().list;
    if (list.empty()) {
        std::fprintf(stderr, "no sample drawings in %s\n", samplesFolder().c_str());
        return 1;
    }
    for (const Sample& sample : list)
        benchmark::RegisterBenchmark(("BM_RefreshToPainted/" + sample.name).c_str(),
                                     BM_RefreshToPainted, sample)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    // The largest drawings: the heaviest repaints.
    for (const Sample& sample : list) {
        if (fs::file_size(sample.file) < 600 * 1024) continue;
        benchmark::RegisterBenchmark(("BM_WheelZoomRepaint/" + sample.name).c_str(),
                                     BM_WheelZoomRepaint, sample)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
