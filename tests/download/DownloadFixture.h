// A program folder with the program's windows, a package server on 127.0.0.1
// and a driver that runs the package window the way a user does: it presses
// Download, answers every box the run puts up and notes what the window shows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>

#include "TemporaryFolders.h"
#include "PackageServer.h"
#include "ZipFixtures.h"
#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "library/RunJournal.h"
#include "search/Indexing.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace download_test {

namespace fs = std::filesystem;

struct Box {
    QString title;
    QString text;  // as the box shows it: its carriage returns are line breaks
};

// Runs on every pass of the event loop while the package window is up.
class RunDriver {
  public:
    using Hook = std::function<void(RunDriver&)>;

    // beforePress runs once, while the window is up and before Download is pressed.
    RunDriver(download::TfrmDownload& window, Hook hook, Hook beforePress = {})
        : window_(window), hook_(std::move(hook)), beforePress_(std::move(beforePress)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(0);
        started_.start();
    }

    void stop() { timer_.stop(); }
    download::TfrmDownload& window() { return window_; }
    QString label() const { return window_.lProgresso->text(); }

    std::vector<Box> boxes;
    QStringList labels;  // every caption lProgresso showed, in order
    int largestGaugeMaximum = 0;

  private:
    void tick() {
        if (labels.isEmpty() || labels.back() != label()) labels << label();
        largestGaugeMaximum = std::max(largestGaugeMaximum, window_.Gauge->maximum());
        if (!expired_ && started_.elapsed() > 60000) {
            expired_ = true;
            ADD_FAILURE() << "the run did not end within a minute";
            window_.bCancelarClick();
            window_.reject();
        }
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isActiveWindow()) return;
        if (dialog == &window_) {
            if (!pressed_) {
                pressed_ = true;
                if (beforePress_) beforePress_(*this);
                // Another timer: this one must keep ticking inside the run.
                QTimer::singleShot(0, window_.bDownload, [this] {
                    QTest::mouseClick(window_.bDownload, Qt::LeftButton);
                });
            } else if (hook_) {
                hook_(*this);
            }
            return;
        }
        if (hook_) hook_(*this);
        const auto* message = dialog->findChild<QLabel*>(QStringLiteral("message"));
        boxes.push_back({dialog->windowTitle(), message ? message->text() : QString()});
        const bool question = dialog->objectName() == QStringLiteral("ZipQuestionBox");
        auto* answer = dialog->findChild<QPushButton*>(question ? QStringLiteral("Ignore")
                                                                : QStringLiteral("OK"));
        if (answer)
            answer->click();
        else
            dialog->reject();
    }

    download::TfrmDownload& window_;
    Hook hook_;
    Hook beforePress_;
    QTimer timer_;
    QElapsedTimer started_;
    bool pressed_ = false;
    bool expired_ = false;
};

class DownloadFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        program = temp.path() / "program";
        fs::create_directories(library());
        for (int n = 0; n < library::kCategoryCount; ++n)
            fixtures::writeFile(library() / (std::to_string(n) + ".txt"),
                                "Descri\xE7\xE3o do pacote " + std::to_string(n) + "\r\n");
        ui::setSleepForTests([this](int milliseconds) { slept += milliseconds; });
    }
    void TearDown() override {
        if (main) main->cArea->hidePopup();
        ui::setSleepForTests({});
        ui::windows() = {};
    }

    fs::path library() const { return program / "Blocos"; }

    // With a key, the windows of a program built with that publisher key.
    void createWindows(const std::string& packageServer,
                       std::optional<signing::PublicKey> publisherKey = std::nullopt) {
        main = std::make_unique<browser::TfrmVisualizar>(library::Layout(program));
        ui::windows().main = main.get();
        packages = std::make_unique<download::TfrmDownload>(packageServer, publisherKey);
        ui::windows().download = packages.get();
    }

    // The last round's windows go, their thumbnail readers with them: on
    // Windows a file still held open cannot be removed.
    void closeWindows() {
        ui::windows() = {};
        packages.reset();
        main.reset();
    }

    // Ticks exactly the given packages, as the main window does, and runs Download.
    std::unique_ptr<RunDriver> run(const std::set<int>& ticked, RunDriver::Hook hook = {},
                                   RunDriver::Hook beforePress = {}) {
        for (int n = 0; n < library::kCategoryCount; ++n)
            packages->setPackageChecked(n, ticked.count(n) > 0);
        auto driver =
            std::make_unique<RunDriver>(*packages, std::move(hook), std::move(beforePress));
        packages->showModally();
        driver->stop();
        return driver;
    }

    // A package as the publisher makes it: everything below "<n>/".
    static std::vector<fixtures::Member> packageMembers(int index,
                                                        const std::vector<std::string>& blocks) {
        const std::string top = std::to_string(index);
        std::vector<fixtures::Member> members;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            members.emplace_back(top + "/IMG/" + blocks[i] + ".PNG", "png " + blocks[i]);
            members.emplace_back(top + "/DWG/" + blocks[i] + ".DWG.zip",
                                 fixtures::drawingBytes(20000, static_cast<unsigned>(i) + 1));
        }
        return members;
    }
    void publish(int index, const std::vector<fixtures::Member>& members) {
        ASSERT_NO_FATAL_FAILURE(
            fixtures::writeWithLibzip(served / "blocos" / library::packageName(index), members));
    }
    void publishBlocks(int index, const std::vector<std::string>& blocks) {
        publish(index, packageMembers(index, blocks));
    }
    // An installed category as an earlier run left it.
    void installBefore(int index, const std::vector<std::string>& blocks) {
        for (const std::string& block : blocks)
            fixtures::writeFile(library() / std::to_string(index) / "IMG" / (block + ".PNG"),
                                "old " + block);
    }

    // The files of a category's folder, relative to it.
    std::vector<std::string> category(int index) const {
        const fs::path folder = library() / std::to_string(index);
        return fs::is_directory(folder) ? fixtures::listTree(folder) : std::vector<std::string>{};
    }
    // Blocos holds the descriptions and the given category folders, nothing else:
    // no archive, no staging folder; a partial download only of the packages in
    // `resumable`, kept for the next run to continue.
    void expectOnlyCategories(const std::set<int>& installed,
                              const std::set<int>& resumable = {}) const {
        // The index's passes write files of their own while they run.
        main->indexer().wait();
        std::set<std::string> expected;
        for (int n = 0; n < library::kCategoryCount; ++n)
            expected.insert(std::to_string(n) + ".txt");
        for (int n : installed) expected.insert(std::to_string(n));
        std::set<std::string> found;
        // The search index lives beside the categories.
        for (const auto& entry : fs::directory_iterator(library())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("indice.db")) continue;
            const bool partial = std::any_of(resumable.begin(), resumable.end(), [&](int n) {
                const std::string part = "." + std::to_string(n) + ".zip.part";
                return name == part || name == part + ".id";
            });
            if (!partial) found.insert(name);
        }
        EXPECT_EQ(found, expected);
        // Beside Blocos only the newest package list taken; no run journal left listing.
        std::set<std::string> beside;
        for (const auto& entry : fs::directory_iterator(program))
            beside.insert(entry.path().filename().string());
        beside.erase(library::Layout(program).newestPackageListFile().filename().string());
        EXPECT_EQ(beside, std::set<std::string>{"Blocos"});
    }
    // A name recorded in the run journal as a run does before creating it.
    void recordCreated(const fs::path& path) const {
        ASSERT_TRUE(library::RunJournal(library::Layout(program)).willCreate(path));
    }
    fs::path partialDownload(int index) const {
        return library() / ("." + std::to_string(index) + ".zip.part");
    }

    fixtures::TempFolder temp;
    fs::path program;
    fs::path served;  // the package server's folder
    int slept = 0;
    std::unique_ptr<browser::TfrmVisualizar> main;
    std::unique_ptr<download::TfrmDownload> packages;
};

inline std::vector<std::string> manyBlocks(int count) {
    std::vector<std::string> blocks;
    for (int i = 0; i < count; ++i) blocks.push_back("Bloco" + std::to_string(i));
    return blocks;
}

// One package server for the suite, serving what each test publishes.
class DownloadRun : public DownloadFixture {
  protected:
    static void SetUpTestSuite() {
        servedRoot = testsupport::makeTemporaryFolder("tessaly-served");
        server = std::make_unique<test_support::PackageServer>(servedRoot);
    }
    static void TearDownTestSuite() {
        server.reset();
        fs::remove_all(servedRoot);
    }
    void SetUp() override {
        DownloadFixture::SetUp();
        served = servedRoot;
        fs::remove_all(served / "blocos");
        fs::create_directories(served / "blocos");
    }

    static inline fs::path servedRoot;
    static inline std::unique_ptr<test_support::PackageServer> server;
};

}  // namespace download_test

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
