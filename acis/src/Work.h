// The caller's work budget as the tessellator spends it: charged in batches,
// so that the caller's function is not called for every surface point.
#pragma once

#include <acis/Tessellate.h>

namespace acis::detail {

class Work {
  public:
    // Thrown when the caller refuses more work.
    struct Stopped {};

    explicit Work(const WorkCharge& charge) : charge_(charge) {}

    void spend(std::size_t units = 1) {
        pending_ += units;
        if (pending_ >= kBatch) flush();
    }
    void flush() {
        if (pending_ > 0 && charge_ && !charge_(pending_)) throw Stopped{};
        pending_ = 0;
    }

  private:
    static constexpr std::size_t kBatch = 256;
    const WorkCharge& charge_;
    std::size_t pending_ = 0;
};

}  // namespace acis::detail
