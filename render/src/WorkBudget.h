// The work one display-list build may do. Every loop whose length a file can
// choose charges it, so that no drawing, however it nests or repeats, keeps
// the builder busy for long; a caller may also cancel the build through it.
#pragma once

#include <atomic>
#include <cstddef>

namespace render::detail {

class WorkBudget {
  public:
    WorkBudget(std::size_t limit, const std::atomic<bool>* cancel)
        : limit_(limit), cancel_(cancel) {}

    // Spends `units`; false once the budget is spent or the build cancelled,
    // and from then on.
    bool charge(std::size_t units = 1) {
        if (!left()) return false;
        spent_ += units;
        if (spent_ > limit_)
            exhausted_ = true;
        else if (cancel_ && cancel_->load(std::memory_order_relaxed))
            cancelled_ = true;
        return left();
    }

    bool left() const { return !exhausted_ && !cancelled_; }
    bool cancelled() const { return cancelled_; }
    std::size_t spent() const { return spent_; }

  private:
    std::size_t limit_;
    const std::atomic<bool>* cancel_;
    std::size_t spent_ = 0;
    bool exhausted_ = false;
    bool cancelled_ = false;
};

}  // namespace render::detail
