// A zip reader with recording handlers, used the way export and installation
// use it, for the extraction tests.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ZipFixtures.h"
#include "archive/ZipReader.h"

namespace fixtures {

class Harness {
  public:
    explicit Harness(std::string componentName = "zip") : reader(std::move(componentName)) {}

    archive::ExtractOptions options(const std::filesystem::path& destination, archive::PathMode mode,
                           const std::string& password = kPassword) {
        archive::ExtractOptions options;
        options.destination = destination;
        options.pathMode = mode;
        options.password = password;
        options.question = [this](const archive::ZipQuestion& question) {
            questions.push_back(question);
            if (beforeAnswer) beforeAnswer(question);
            if (answers.empty()) return archive::ZipAnswer::Abort;
            const archive::ZipAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        };
        options.progress = [this](const archive::ZipProgress& progress, bool& cancel) {
            notifications.emplace_back(progress.memberName, progress.percent);
            if (cancelWhen && cancelWhen(progress)) cancel = true;
        };
        return options;
    }

    archive::ExtractResult extract(const std::filesystem::path& archiveFile, const archive::ExtractOptions& options) {
        std::optional<archive::ZipLease> held = reader.tryLease();
        EXPECT_TRUE(held.has_value());
        lease = &*held;
        struct Forget {
            archive::ZipLease*& lease;
            ~Forget() { lease = nullptr; }
        } forget{lease};
        lease->open(archiveFile);
        return lease->extract(options);
    }

    archive::ExtractResult extract(const std::filesystem::path& archiveFile, const std::filesystem::path& destination, archive::PathMode mode,
                          const std::string& password = kPassword) {
        return extract(archiveFile, options(destination, mode, password));
    }

    std::vector<double> percentsOf(const std::string& member) const {
        std::vector<double> percents;
        for (const auto& [name, percent] : notifications)
            if (name == member) percents.push_back(percent);
        return percents;
    }

    archive::ZipReader reader;
    archive::ZipLease* lease = nullptr;      // while extract() runs
    std::deque<archive::ZipAnswer> answers;  // Abort once they run out
    std::function<void(const archive::ZipQuestion&)> beforeAnswer;
    std::function<bool(const archive::ZipProgress&)> cancelWhen;
    std::vector<archive::ZipQuestion> questions;
    std::vector<std::pair<std::string, double>> notifications;
};

}  // namespace fixtures
