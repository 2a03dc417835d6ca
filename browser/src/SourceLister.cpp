#include "SourceLister.h"

#include <QCoreApplication>
#include <QPointer>
#include <thread>

namespace browser {

SourceLister::~SourceLister() {
    cancel();
}

void SourceLister::list(std::shared_ptr<const library::BlockSource> source, Delivery deliver) {
    const std::uint64_t ticket = ++*newest_;
    awaited_ = ticket;
    QPointer<SourceLister> self(this);
    std::thread([source = std::move(source), deliver = std::move(deliver), newest = newest_, ticket,
                 self] {
        library::Listing listing;
        try {
            listing = source->list([&] { return newest->load() != ticket; });
        } catch (const std::exception& error) {
            listing.unreachable = true;
            listing.problem = error.what();
        }
        if (newest->load() != ticket) return;
        // Posted to the application, which outlives the window that asked.
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) return;
        QMetaObject::invokeMethod(
            application,
            [self, deliver, ticket, listing = std::move(listing)]() mutable {
                if (!self || self->awaited_ != ticket) return;
                self->awaited_ = 0;
                deliver(std::move(listing));
            },
            Qt::QueuedConnection);
    }).detach();
}

void SourceLister::cancel() {
    ++*newest_;
    awaited_ = 0;
}

}  // namespace browser
