// The package window of a program built with the fake publisher's root,
// against the test server, on a clock the test sets.
#pragma once

#include <chrono>
#include <map>
#include <optional>

#include "DownloadFixture.h"
#include "FakePublisher.h"
#include "download/PackageIndex.h"

namespace download_test {

class PublisherRun : public DownloadRun {
  protected:
    void SetUp() override {
        DownloadRun::SetUp();
        download::setClockForTests([this] { return now; });
    }
    void TearDown() override {
        download::setClockForTests({});
        DownloadRun::TearDown();
    }

    fs::path blocos() const { return served / "blocos"; }
    fs::path servedPackage(int index) const { return blocos() / library::packageName(index); }

    // The publisher's next list of the packages served now, each at its
    // version, an hour after the list before; signed by signer instead of the
    // publisher's key and numbered listVersion, when given.
    signing::Publication signServed(const std::map<int, std::uint32_t>& versions,
                                    const signing::KeyPair* signer = nullptr,
                                    std::optional<std::uint32_t> listVersion = std::nullopt) {
        publisher.clock += std::chrono::hours(1);
        for (int n = 0; n < library::kCategoryCount; ++n) publisher.removePackage(n);
        for (const auto& [n, version] : versions)
            publisher.setPackage(n, fixtures::readFile(servedPackage(n)), version);
        const signing::Publication publication =
            publisher.publish(signing::kDefaultValidity, signer, listVersion);
        testsupport::FakePublisher::serve(publication, blocos());
        return publication;
    }

    static inline const signing::Time kStart = *signing::parseTime("2026-03-01T12:00:00Z");
    signing::Time now = kStart;  // the program's clock
    testsupport::FakePublisher publisher{kStart, true};
};

}  // namespace download_test
