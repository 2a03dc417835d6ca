#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "LibraryFixture.h"
#include "search/BlockIndex.h"
#include "search/Indexing.h"
#include "search/QueryWorker.h"

namespace {

namespace fs = std::filesystem;
using searchtest::labelledBox;
using Words = std::vector<std::string>;

std::string repeated(const std::string& word, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += word + ' ';
    return text;
}

std::string numbered(int first, int count) {
    std::string text;
    for (int i = first; i < first + count; ++i) text += "w" + std::to_string(i) + ' ';
    return text;
}

Words numberedWords(int first, int count) {
    Words words;
    for (int i = first; i < first + count; ++i) words.push_back("w" + std::to_string(i));
    return words;
}

TEST(QueryTerms, EachWordOnceAndNoMoreThanTheSearchReads) {
    const struct {
        const char* what;
        std::string query;
        search::QueryTerms terms;
    } cases[] = {
        {"one word, unfinished", "Cadei", {{}, "cadei"}},
        {"the last word is the prefix", "mesa CADEIRA", {{"mesa"}, "cadeira"}},
        {"repeats go", "mesa cadeira mesa cadeira pes", {{"mesa", "cadeira"}, "pes"}},
        {"a word pasted a thousand times", repeated("contorno", 1000), {{"contorno"}, ""}},
        {"a prefix a whole word begins with adds nothing", "cadeira cad", {{"cadeira"}, ""}},
        {"a prefix longer than a whole word stays", "cad cadeira", {{"cad"}, "cadeira"}},
        {"at most the longest query of words",
         numbered(0, 40),
         {numberedWords(0, static_cast<int>(search::kMaxQueryWords)), ""}},
        {"the prefix while there is room",
         numbered(0, static_cast<int>(search::kMaxQueryWords)),
         {numberedWords(0, static_cast<int>(search::kMaxQueryWords) - 1),
          "w" + std::to_string(search::kMaxQueryWords - 1)}},
        {"nothing past the characters read",
         std::string(search::kMaxQueryCharacters - 5, ' ') + "mesa cadeira",
         {{}, "mesa"}},
        {"characters, not bytes",
         repeated("ç", search::kMaxQueryCharacters / 2 - 1) + "ab",
         {{"c"}, "ab"}},
        {"no words", " ,;- ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(search::queryTerms(c.query), c.terms) << c.what;
}

// An index of Cozinhas with one sink, written directly.
class QueryWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        library.addBlock(3, "Cuba01", labelledBox(180, 90, "Torneira monocomando"));
        library.addBlock(3, "Geladeira", labelledBox(70, 60, "Geladeira duplex"));
        search::BackgroundIndexer indexer(library.layout());
        indexer.start();
        indexer.wait();
    }

    // Answers as they come, in order; the worker's thread may be held at the
    // first answer until release().
    void answered(search::QueryAnswer answer) {
        std::unique_lock lock(mutex);
        answers.push_back(std::move(answer));
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [this] { return !holding; });
    }
    void hold() {
        std::lock_guard lock(mutex);
        holding = true;
    }
    void release() {
        std::lock_guard lock(mutex);
        holding = false;
        changed.notify_all();
    }
    bool waitForAnswers(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10),
                                [&] { return answers.size() >= count; });
    }
    std::vector<std::uint64_t> tickets() {
        std::lock_guard lock(mutex);
        std::vector<std::uint64_t> all;
        for (const auto& answer : answers) all.push_back(answer.ticket);
        return all;
    }

    static library::InstalledFlags all() {
        library::InstalledFlags flags;
        flags.fill(true);
        return flags;
    }

    searchtest::Library library;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<search::QueryAnswer> answers;
    bool holding = false;
};

TEST_F(QueryWorkerTest, AnswersEachQueryWithItsTicket) {
    search::QueryWorker worker(library.layout().searchIndexFile(),
                               [this](search::QueryAnswer answer) { answered(std::move(answer)); });
    EXPECT_EQ(worker.lastTicket(), 0u);
    const std::uint64_t first = worker.ask("torneira", all());
    ASSERT_TRUE(waitForAnswers(1));
    const std::uint64_t second = worker.ask("geladeira duplex", all());
    ASSERT_TRUE(waitForAnswers(2));
    EXPECT_LT(first, second);
    EXPECT_EQ(worker.lastTicket(), second);
    std::lock_guard lock(mutex);
    EXPECT_EQ(answers[0].ticket, first);
    EXPECT_EQ(answers[0].found.hits, (std::vector<search::Hit>{{3, "Cuba01.PNG"}}));
    EXPECT_EQ(answers[1].found.hits, (std::vector<search::Hit>{{3, "Geladeira.PNG"}}));
    EXPECT_FALSE(answers[1].failure);
}

TEST_F(QueryWorkerTest, AQueryWaitingIsReplacedByANewerOneOrCancelled) {
    search::QueryWorker worker(library.layout().searchIndexFile(),
                               [this](search::QueryAnswer answer) { answered(std::move(answer)); });
    hold();
    const std::uint64_t held = worker.ask("torneira", all());
    ASSERT_TRUE(waitForAnswers(1));
    // The worker's thread is held: these wait.
    worker.ask("geladeira", all());
    const std::uint64_t newest = worker.ask("cuba", all());
    release();
    ASSERT_TRUE(waitForAnswers(2));
    EXPECT_EQ(tickets(), (std::vector<std::uint64_t>{held, newest}));

    hold();
    const std::uint64_t heldAgain = worker.ask("torneira", all());
    ASSERT_TRUE(waitForAnswers(3));
    worker.ask("geladeira", all());
    worker.cancel();
    const std::uint64_t last = worker.ask("cuba", all());
    release();
    ASSERT_TRUE(waitForAnswers(4));
    EXPECT_EQ(tickets(), (std::vector<std::uint64_t>{held, newest, heldAgain, last}));
}

TEST_F(QueryWorkerTest, AMissingIndexIsAnAnswerToo) {
    searchtest::TemporaryFolder nowhere;
    search::QueryWorker worker(nowhere.path() / "indice.db",
                               [this](search::QueryAnswer answer) { answered(std::move(answer)); });
    worker.ask("torneira", all());
    ASSERT_TRUE(waitForAnswers(1));
    std::lock_guard lock(mutex);
    EXPECT_EQ(answers[0].failure, search::IndexError::Reason::Unavailable);
    EXPECT_TRUE(answers[0].found.hits.empty());
}

TEST(StopWhen, AQueryAskedToStopStops) {
    searchtest::TemporaryFolder folder;
    search::BlockIndex index(folder.path() / "indice.db", search::BlockIndex::Open::CheckOrRebuild);
    // Enough blocks for the query to take many steps of the database.
    search::CategoryEntries entries;
    for (int i = 0; i < 3000; ++i)
        entries.blocks.push_back({"Cuba" + std::to_string(i) + ".PNG", {"cuba"}, {"torneira"}, {}});
    index.writeCategory(3, entries);
    bool stop = false;
    index.stopWhen([&stop] { return stop; });
    const library::InstalledFlags all{true, true, true, true, true, true, true,
                                      true, true, true, true, true, true, true};
    EXPECT_EQ(index.find("torneira", all).total, 3000u);
    stop = true;
    try {
        index.find("torneira", all);
        ADD_FAILURE() << "the query ran to its end";
    } catch (const search::IndexError& error) {
        EXPECT_EQ(error.reason(), search::IndexError::Reason::Stopped);
    }
}

}  // namespace
