// Lists a source of blocks on a thread of its own, so that a folder on a
// slow or vanishing disk never holds up the window. The newest listing asked
// for is the only one delivered, on the user-interface thread; older ones
// are told to stop. A listing stuck on a disk that never answers is left to
// end on its own, and delivers nothing.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "library/BlockSource.h"

namespace browser {

class SourceLister : public QObject {
    Q_OBJECT
  public:
    using Delivery = std::function<void(library::Listing listing)>;

    SourceLister() = default;
    ~SourceLister() override;

    void list(std::shared_ptr<const library::BlockSource> source, Delivery deliver);
    // No listing asked for so far is wanted any more.
    void cancel();
    // A listing was asked for and has not been delivered.
    bool busy() const { return awaited_ != 0; }

  private:
    std::shared_ptr<std::atomic<std::uint64_t>> newest_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::uint64_t awaited_ = 0;
};

}  // namespace browser
