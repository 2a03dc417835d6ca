// What a download may cost and the space a run needs before it starts.
#include <gtest/gtest.h>

#include "ZipFixtures.h"
#include "download/UNfrmDownload.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

library::PackageSelection ticked(std::initializer_list<int> indexes) {
    library::PackageSelection selection{};
    for (int n : indexes) selection[static_cast<size_t>(n)] = true;
    return selection;
}

}  // namespace

TEST(PackageLimits, FourTimesTheListedSizeNeverBeyondTwoGibibytes) {
    for (const library::Category& category : library::categoryTable()) {
        SCOPED_TRACE(category.index);
        const net::DownloadLimits limits = download::packageLimits(category.index);
        const std::uint64_t listed = static_cast<std::uint64_t>(category.packageSizeMb) * kMiB;
        EXPECT_EQ(limits.maxBytes, std::min<std::uint64_t>(4 * listed, std::uint64_t{2} << 30));
        EXPECT_GT(limits.maxBytes, listed);
        EXPECT_EQ(limits.minimumSpeed, 1024);
        EXPECT_EQ(limits.slowTime, std::chrono::seconds(30));
    }
}

TEST(SpaceNeeded, EachPackageTwiceLessTheStaleArchivesDeletedFirst) {
    fixtures::TempFolder temp;
    const library::Layout layout(temp.path());
    fixtures::writeFile(layout.packageFile(9), std::string(3 * kMiB, 'x'));
    struct Case {
        library::PackageSelection selection;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {ticked({}), 0},
        {ticked({11}), 2 * 4 * kMiB},
        {ticked({3, 11}), 2 * (10 + 4) * kMiB},
        {ticked({9}), 2 * 37 * kMiB - 3 * kMiB},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(download::spaceNeeded(c.selection, layout), c.expected);
        EXPECT_FALSE(download::spaceShortage(c.selection, c.expected, layout).has_value());
        if (c.expected == 0) continue;
        const std::optional<QString> shortage =
            download::spaceShortage(c.selection, c.expected - 1, layout);
        ASSERT_TRUE(shortage.has_value());
        EXPECT_TRUE(shortage->contains(QStringLiteral("Não há espaço livre suficiente")));
        EXPECT_TRUE(shortage->contains(
            QStringLiteral("%1 MB na pasta Blocos").arg((c.expected + kMiB - 1) / kMiB)));
    }
}
