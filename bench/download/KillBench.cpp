// The long run of the kill harness (tests/download/KillHarness.h): at least
// 500 kills at random moments across install, update and uninstall of a
// category, each followed by the start-up recovery and a check that the
// category is the old one or the new one, complete, with nothing left.
// TESSALY_KILLS sets the kills of each operation (170 by default).
//   build/bench/download/kill_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

#include "KillHarness.h"
#include "TemporaryFolders.h"

namespace {

int killsEach() {
    const char* set = std::getenv("TESSALY_KILLS");
    const int kills = set ? std::atoi(set) : 170;
    return kills > 0 ? kills : 170;
}

void BM_KilledAtRandom(benchmark::State& state) {
    const auto operation = killharness::kOperations[state.range(0)];
    const auto work = testsupport::makeTemporaryFolder("tessaly-mortes");
    killharness::Figures figures;
    {
        killharness::Harness harness(TESSALY_INSTALL_RUN, work);
        std::mt19937_64 random(std::random_device{}());
        harness.measure(operation, figures, 3);
        for (auto _ : state)
            while (figures.killed < killsEach()) harness.round(operation, random, figures);
    }
    std::filesystem::remove_all(work);
    state.SetLabel(killharness::nameOf(operation));
    state.counters["undisturbed_ms"] = static_cast<double>(figures.undisturbed.count());
    state.counters["rounds"] = figures.rounds;
    state.counters["killed"] = figures.killed;
    state.counters["completed"] = figures.completed;
    state.counters["losses"] = figures.losses;
    state.counters["mixes"] = figures.mixes;
    state.counters["leftovers"] = figures.leftovers;
    for (const std::string& fault : figures.faults) std::cerr << fault << '\n';
    if (figures.losses + figures.mixes + figures.leftovers > 0) state.SkipWithError("faults found");
}

}  // namespace

BENCHMARK(BM_KilledAtRandom)
    ->DenseRange(0, 2)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
