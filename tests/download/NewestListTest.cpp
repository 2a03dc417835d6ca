// The record of the newest signed package list the program folder has taken:
// it only ever moves forward, and whatever else lies at its name counts as
// no record at all.
#include <gtest/gtest.h>

#include <functional>

#include "Links.h"
#include "ZipFixtures.h"
#include "download/PackageIndex.h"
#include "signing/PackageIndex.h"
#include "signing/Signature.h"

namespace fs = std::filesystem;

namespace {

struct SignedList {
    std::string text;
    signing::Signature signature;
    std::span<const std::uint8_t> bytes() const {
        return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
    }
};

SignedList listPublishedAt(const char* published, const signing::KeyPair& key) {
    signing::PackageIndex index;
    const signing::Time time = *signing::parseTime(published);
    index.setValidity({time, time + signing::kDefaultValidity});
    index.set(3, {10, signing::Digest{}, 1});
    SignedList list{index.format(), {}};
    list.signature = signing::sign(key.secretKey, list.bytes());
    return list;
}

class NewestList : public ::testing::Test {
  protected:
    std::optional<signing::Time> newestPublished() const {
        const auto newest = download::newestTakenIndex(layout, publisher.publicKey);
        if (!newest) return std::nullopt;
        return newest->validity()->published;
    }
    void remember(const SignedList& list) const {
        download::rememberTakenIndex(layout, publisher.publicKey, list.bytes(), list.signature);
    }
    fs::path record() const { return layout.newestPackageListFile(); }

    fixtures::TempFolder temp;
    const library::Layout layout{temp.path()};
    const signing::KeyPair publisher = signing::generateKeyPair();
    const SignedList march = listPublishedAt("2026-03-01T12:00:00Z", publisher);
    const SignedList april = listPublishedAt("2026-04-01T12:00:00Z", publisher);
};

}  // namespace

TEST_F(NewestList, OnlyEverMovesForward) {
    EXPECT_FALSE(newestPublished());
    remember(march);
    EXPECT_EQ(newestPublished(), signing::parseTime("2026-03-01T12:00:00Z"));
    remember(april);
    EXPECT_EQ(newestPublished(), signing::parseTime("2026-04-01T12:00:00Z"));
    remember(march);
    EXPECT_EQ(newestPublished(), signing::parseTime("2026-04-01T12:00:00Z"));
    EXPECT_EQ(fixtures::listTree(temp.path()), std::vector<std::string>{"tessaly.lista"});
}

TEST_F(NewestList, AnythingButARecordTheKeySignedCountsAsNone) {
    const signing::KeyPair stranger = signing::generateKeyPair();
    const SignedList strangers = listPublishedAt("2027-01-01T12:00:00Z", stranger);
    const auto recordOf = [](const SignedList& list) {
        return signing::toHex(list.signature) + '\n' + list.text;
    };
    const fs::path elsewhere = temp.path() / "outro" / "tessaly.lista";
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"another key's list", [&] { fixtures::writeFile(record(), recordOf(strangers)); }},
        {"a list changed after signing",
         [&] {
             std::string changed = recordOf(april);
             changed[changed.find("2026-04")] = '3';  // published in 3026
             fixtures::writeFile(record(), changed);
         }},
        {"no line break after the signature",
         [&] {
             std::string joined = recordOf(april);
             joined[128] = ' ';
             fixtures::writeFile(record(), joined);
         }},
        {"a signature that is not hex",
         [&] { fixtures::writeFile(record(), std::string(128, 'z') + '\n' + april.text); }},
        {"cut inside the signature",
         [&] { fixtures::writeFile(record(), recordOf(april).substr(0, 100)); }},
        {"empty", [&] { fixtures::writeFile(record(), ""); }},
        {"larger than any list",
         [&] {
             fixtures::writeFile(record(),
                                 recordOf(april) + std::string(signing::kMaxIndexSize, '\n'));
         }},
        {"a link to a good record",
         [&] {
             fixtures::writeFile(elsewhere, recordOf(april));
             testsupport::plantLink(elsewhere, record());
         }},
        {"a folder", [&] { fs::create_directories(record()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(record());
        c.make();
        EXPECT_FALSE(newestPublished());
        if (fs::is_directory(fs::symlink_status(record()))) continue;
        // Not a floor, so the next list taken replaces it.
        remember(march);
        EXPECT_EQ(newestPublished(), signing::parseTime("2026-03-01T12:00:00Z"));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(record())));
    }
    EXPECT_EQ(fixtures::readFile(elsewhere), recordOf(april)) << "never written through the link";
}
