// The record of what the program folder has taken from the publisher: read
// only when every signature in it holds from the built-in key, never through
// a link, and the earlier record, the newest list alone, still read.
#include <gtest/gtest.h>

#include <functional>

#include "FakePublisher.h"
#include "Links.h"
#include "ZipFixtures.h"
#include "download/PackageIndex.h"

namespace fs = std::filesystem;

namespace {

const signing::Time kMarch = *signing::parseTime("2026-03-01T12:00:00Z");

class TakenRecord : public ::testing::Test {
  protected:
    std::optional<std::uint32_t> takenVersion() const {
        const auto taken = download::newestTaken(layout, publisher.builtIn());
        if (!taken) return std::nullopt;
        return taken->list.listVersion();
    }
    // What the program keeps after it took publication.
    std::string recordOf(const signing::Publication& publication) const {
        return recordOf(publication, publisher);
    }
    static std::string recordOf(const signing::Publication& publication,
                                const testsupport::FakePublisher& publisher) {
        const signing::Wording wording{[](signing::Time) { return std::string(); },
                                       [](int) { return std::string(); }};
        const signing::Verdict verdict =
            signing::judgePublication(publication, publisher.builtIn(), nullptr, kMarch, wording);
        EXPECT_TRUE(verdict.trusted) << verdict.because;
        return signing::formatTaken(verdict.state);
    }
    fs::path record() const { return layout.newestPackageListFile(); }

    fixtures::TempFolder temp;
    const library::Layout layout{temp.path()};
    testsupport::FakePublisher publisher{kMarch, true};
};

}  // namespace

TEST_F(TakenRecord, AnythingButARecordWhoseChainHoldsCountsAsNone) {
    testsupport::FakePublisher stranger(kMarch, true);
    const signing::Publication first = publisher.publish();
    const fs::path elsewhere = temp.path() / "outro" / "tessaly.lista";
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"another publisher's", [&] { fixtures::writeFile(record(), recordOf(stranger.publish(), stranger)); }},
        {"a list changed after signing",
         [&] {
             std::string changed = recordOf(first);
             changed[changed.find("lista 1") + 6] = '9';
             fixtures::writeFile(record(), changed);
         }},
        {"cut short", [&] { fixtures::writeFile(record(), recordOf(first).substr(0, 300)); }},
        {"empty", [&] { fixtures::writeFile(record(), ""); }},
        {"larger than any record",
         [&] { fixtures::writeFile(record(), recordOf(first) + std::string(200 * 1024, '\n')); }},
        {"a link to a good record",
         [&] {
             fixtures::writeFile(elsewhere, recordOf(first));
             testsupport::plantLink(elsewhere, record());
         }},
        {"a folder", [&] { fs::create_directories(record()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(record());
        c.make();
        EXPECT_FALSE(takenVersion());
        if (fs::is_directory(fs::symlink_status(record()))) continue;
        // Not a record, so the next one kept replaces it.
        const auto taken = signing::readTaken(recordOf(publisher.publish()), publisher.builtIn());
        ASSERT_TRUE(taken);
        ASSERT_TRUE(download::rememberTaken(layout, *taken));
        EXPECT_EQ(takenVersion(), publisher.listVersion());
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(record())));
    }
    EXPECT_EQ(fixtures::readFile(elsewhere), recordOf(first)) << "never written through the link";
}

// Before roots and delegations the record held the newest list alone, its
// signature in hex on the first line: such a list, by the built-in key, is
// what the program has taken.
TEST_F(TakenRecord, TheEarlierRecordIsReadAsItsList) {
    testsupport::FakePublisher legacy(kMarch, false);
    legacy.setPackage(3, "pacote", 4);
    const signing::Publication list = legacy.publish();
    const std::string earlier =
        signing::toHex(std::span(reinterpret_cast<const std::uint8_t*>(list.listSignature.data()),
                                 list.listSignature.size())) +
        '\n' + list.list;
    fixtures::writeFile(record(), earlier);
    const auto taken = download::newestTaken(layout, legacy.builtIn());
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->list.find(3)->version, 4u);
    EXPECT_FALSE(download::newestTaken(layout, publisher.builtIn())) << "another key's program";
    fixtures::writeFile(record(), earlier.substr(1));
    EXPECT_FALSE(download::newestTaken(layout, legacy.builtIn()));
}
