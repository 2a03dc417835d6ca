// The search field's queries, answered on a thread of their own so that the
// window never waits for the index, however long the text or large the
// library. The newest query wins: one asked while another runs stops it, and
// one still waiting is replaced. Every query gets a ticket, greater than all
// the tickets before it, and its answer carries it, so that the asker can tell
// an answer it no longer wants from the one it waits for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "library/Library.h"
#include "search/BlockIndex.h"

namespace search {

struct QueryAnswer {
    std::uint64_t ticket = 0;
    Found found;
    // Why the index could not answer (found is then empty); nothing when it did.
    std::optional<IndexError::Reason> failure;
    std::string problem;
};

class QueryWorker {
  public:
    // Called on the worker's thread with the answer to the newest query; never
    // for a query stopped, replaced or cancelled before it finished.
    using Answered = std::function<void(QueryAnswer)>;

    // Each query opens the index at indexFile anew, on a connection of its own.
    QueryWorker(std::filesystem::path indexFile, Answered answered);
    QueryWorker(const QueryWorker&) = delete;
    QueryWorker& operator=(const QueryWorker&) = delete;
    // Stops the query running and waits for the thread.
    ~QueryWorker();

    std::uint64_t ask(std::string query, const Scope& among);
    // No answer is wanted any more: the query running stops, the one waiting goes.
    void cancel();
    // The ticket of the last query asked, 0 before the first.
    std::uint64_t lastTicket() const;

  private:
    struct Request {
        std::uint64_t ticket = 0;
        std::string query;
        Scope among;
    };

    void run();
    QueryAnswer answer(const Request& request);

    const std::filesystem::path indexFile_;
    const Answered answered_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Request> waiting_;
    // The newest ticket handed out or cancelled: a query with another one stops.
    std::atomic<std::uint64_t> newest_{0};
    std::uint64_t lastTicket_ = 0;
    std::atomic<bool> closing_{false};
    std::thread thread_;  // last: it starts once everything it uses is made
};

}  // namespace search
