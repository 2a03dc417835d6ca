// The main window while a long text is pasted into the search field and a few
// keys are typed after it, over an index of 20 000 and 100 000 blocks: the
// longest time the user-interface thread goes without running its event loop,
// measured by a 1 ms precise timer, and the time until the last answer is on
// screen. The machine's own scheduling adds to every gap.
//
//   bench/search/search_typing_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <map>
#include <memory>

#include "GeneratedIndex.h"
#include "LibraryFixture.h"
#include "browser/UNfrmVisualizar.h"
#include "search/Indexing.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDeadlineMs = 600'000;
constexpr int kPauseBetweenKeysMs = 300;  // longer than the field's pause before searching
const char kTypedAfter[] = "abc";

// Every category installed (empty folders) and indexed with `blocks` blocks,
// made once per size; the start-up pass finds every part up to date.
const searchtest::Library& library(int blocks) {
    static std::map<int, std::unique_ptr<searchtest::Library>> made;
    auto& library = made[blocks];
    if (library) return *library;
    library = std::make_unique<searchtest::Library>();
    for (int category = 0; category < library::kCategoryCount; ++category)
        fs::create_directories(library::imgFolder(library->categoryFolder(category)));
    searchbench::writeGeneratedIndex(
        library->layout().searchIndexFile(), blocks,
        [&](int category) { return search::folderFingerprint(library->categoryFolder(category)); });
    return *library;
}

struct Typed {
    double longestGapMs = 0;
    double answeredMs = 0;  // from the paste until the last answer is shown
    bool timedOut = false;
};

Typed pasteAndType(browser::TfrmVisualizar& window, const std::string& pasted) {
    Typed result;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = clock.nsecsElapsed();
    bool typed = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.longestGapMs = std::max(result.longestGapMs, (now - lastTick) / 1e6);
        lastTick = now;
        if (typed && !window.tProcurar->isActive() && !window.searching() &&
            !window.cArea->placeholderText().isEmpty()) {
            result.answeredMs = now / 1e6;
            loop.quit();
        } else if (now / 1'000'000 > kDeadlineMs) {
            result.timedOut = true;
            loop.quit();
        }
    });
    QApplication::clipboard()->setText(QString::fromStdString(pasted));
    window.eProcurar->setFocus();
    QTimer::singleShot(0,
                       [&] { QTest::keyClick(window.eProcurar, Qt::Key_V, Qt::ControlModifier); });
    for (int i = 0; kTypedAfter[i]; ++i)
        QTimer::singleShot(kPauseBetweenKeysMs * (i + 1), [&, i] {
            QTest::keyClick(window.eProcurar, kTypedAfter[i]);
            typed = kTypedAfter[i + 1] == 0;
        });
    ticker.start();
    loop.exec();
    ticker.stop();
    return result;
}

void BM_PasteThenType(benchmark::State& state) {
    const searchtest::Library& indexed = library(static_cast<int>(state.range(0)));
    browser::TfrmVisualizar window(indexed.layout());
    window.show();
    // The first-show step opens the category list; the keys go to the field.
    QElapsedTimer shown;
    shown.start();
    while (!window.firstShowDone() && shown.elapsed() < 10'000) QTest::qWait(10);
    window.cArea->hidePopup();
    window.indexer().wait();
    QApplication::processEvents();
    const std::string pasted = searchbench::pastedText(10000, true);
    Typed worst;
    for (auto _ : state) {
        window.eProcurar->clear();
        QApplication::processEvents();
        window.cArea->setPlaceholderText(QString());
        const Typed typed = pasteAndType(window, pasted);
        if (typed.timedOut) {
            state.SkipWithError("the answer was not shown within the deadline");
            break;
        }
        worst.longestGapMs = std::max(worst.longestGapMs, typed.longestGapMs);
        worst.answeredMs = std::max(worst.answeredMs, typed.answeredMs);
    }
    state.counters["longest_ui_gap_ms"] = worst.longestGapMs;
    state.counters["answered_ms"] = worst.answeredMs;
    state.counters["field_characters"] = static_cast<double>(window.eProcurar->text().size());
}
BENCHMARK(BM_PasteThenType)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
