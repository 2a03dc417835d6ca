// A short run of the kill harness: a few kills at random moments of each
// operation on a category (the benchmark's run is the long one).
#include <gtest/gtest.h>

#include "KillHarness.h"
#include "TemporaryFolders.h"

TEST(KilledAtRandom, EveryCategoryIsTheOldOrTheNewOneCompleteAndNothingIsLeft) {
    constexpr int kRoundsEach = 6;
    const auto work = testsupport::makeTemporaryFolder("tessaly-mortes");
    {
        killharness::Harness harness(TESSALY_INSTALL_RUN, work);
        const std::uint64_t seed = std::random_device()();
        std::mt19937_64 random(seed);
        for (const killharness::Operation operation : killharness::kOperations) {
            SCOPED_TRACE(std::string(killharness::nameOf(operation)) + ", seed " +
                         std::to_string(seed));
            killharness::Figures figures;
            harness.measure(operation, figures, 1);
            for (int n = 0; n < kRoundsEach; ++n) harness.round(operation, random, figures);
            EXPECT_EQ(figures.losses + figures.mixes + figures.leftovers, 0)
                << ::testing::PrintToString(figures.faults);
            EXPECT_EQ(figures.rounds, kRoundsEach);
            EXPECT_GT(figures.killed, 0) << "every run ended before its kill";
        }
    }
    std::filesystem::remove_all(work);
}
