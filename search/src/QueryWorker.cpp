#include "search/QueryWorker.h"

namespace search {

QueryWorker::QueryWorker(std::filesystem::path indexFile, Answered answered)
    : indexFile_(std::move(indexFile)),
      answered_(std::move(answered)),
      thread_([this] { run(); }) {}

QueryWorker::~QueryWorker() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

std::uint64_t QueryWorker::ask(std::string query, const Scope& among) {
    std::lock_guard lock(mutex_);
    newest_ = ++lastTicket_;
    waiting_ = Request{lastTicket_, std::move(query), among};
    wake_.notify_one();
    return lastTicket_;
}

void QueryWorker::cancel() {
    std::lock_guard lock(mutex_);
    // A ticket no query has: whatever runs is no longer the newest.
    newest_ = ++lastTicket_;
    waiting_.reset();
}

std::uint64_t QueryWorker::lastTicket() const {
    std::lock_guard lock(mutex_);
    return lastTicket_;
}

void QueryWorker::run() {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || waiting_; });
            if (closing_) return;
            request = std::move(*waiting_);
            waiting_.reset();
        }
        QueryAnswer found = answer(request);
        if (found.failure == IndexError::Reason::Stopped || newest_ != request.ticket) continue;
        answered_(std::move(found));
    }
}

QueryAnswer QueryWorker::answer(const Request& request) {
    QueryAnswer answer;
    answer.ticket = request.ticket;
    try {
        BlockIndex index(indexFile_, BlockIndex::Open::Existing);
        index.stopWhen([this, ticket = request.ticket] { return closing_ || newest_ != ticket; });
        answer.found = index.find(request.query, request.among);
    } catch (const IndexError& error) {
        answer.failure = error.reason();
        answer.problem = error.what();
    } catch (const std::exception& error) {
        answer.failure = IndexError::Reason::Unavailable;
        answer.problem = error.what();
    }
    if (answer.failure) answer.found = {};
    return answer;
}

}  // namespace search
