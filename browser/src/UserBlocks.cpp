// The user's own blocks in the main window: his folders of drawings, listed
// off the user-interface thread and watched while shown, the favourites
// marked on the tiles and the blocks used last.
#include <QComboBox>
#include <QLabel>
#include <set>

#include "FolderWatcher.h"
#include "SourceLister.h"
#include "browser/FolderListDialog.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "library/ThumbnailStore.h"
#include "search/Indexing.h"
#include "ui/Pump.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

// A reason in the library's words, as the start of a sentence.
QString sentence(const std::string& text) {
    QString shown = QString::fromStdString(text);
    if (!shown.isEmpty()) shown[0] = shown[0].toUpper();
    return shown;
}

}  // namespace

library::Block TfrmVisualizar::itemBlock(int index) const {
    if (index < 0 || index >= Lista->count()) return {};
    return Lista->item(index).block;
}

bool TfrmVisualizar::isFavourite(int index) const {
    return Lista->thumbnails().isFavourite(index);
}

void TfrmVisualizar::setFavourite(int index, bool favourite) {
    if (index < 0 || index >= Lista->count()) return;
    const library::BlockRef ref = Lista->item(index).block.ref;
    if (!library::isSoundRef(ref)) return;
    const bool saved = favourite ? favourites_.add(ref) : favourites_.remove(ref);
    Lista->setFavourite(index, favourites_.contains(ref));
    if (!saved)
        statusFirstPanel->setText(
            QStringLiteral("Os favoritos não puderam ser gravados na pasta do programa."));
}

void TfrmVisualizar::toggleFavourite(int index) {
    setFavourite(index, !isFavourite(index));
}

void TfrmVisualizar::used(const library::Block& block) {
    if (!recents_.putFirst(block.ref))
        statusFirstPanel->setText(
            QStringLiteral("Os blocos recentes não puderam ser gravados na pasta do programa."));
}

void TfrmVisualizar::markFavourites() {
    const std::set<library::BlockRef> marked(favourites_.refs().begin(), favourites_.refs().end());
    for (int i = 0; i < Lista->count(); ++i)
        Lista->setFavourite(i, marked.count(Lista->item(i).block.ref) != 0);
}

QString TfrmVisualizar::firstStatusPanelText() const {
    return statusFirstPanel->text();
}

bool TfrmVisualizar::listing() const {
    return lister_->busy();
}

void TfrmVisualizar::openFolderList() {
    dPastas->exec();
    if (dPastas->changed()) {
        const bool shownGone = chosen_.kind == Choice::Kind::Folder && folderEntry(chosen_.folder) < 0;
        writeCategoryList();
        // Folders added or removed join or leave the search's index.
        indexer_->start();
        if (const auto& added = dPastas->added()) {
            const int entry = folderEntry(*added);
            cArea->setCurrentIndex(entry);
            cAreaChange(entry);
            return;
        }
        if (shownGone) {
            leaveSearch();
            chosen_ = {};
            lister_->cancel();
            watcher_->watch({});
            Lista->clear();
            setSecondStatusPanelText(QString());
        }
    }
    cArea->setCurrentIndex(showingResults_ ? -1 : entryOf(chosen_));
}

void TfrmVisualizar::listChosen(bool again) {
    std::shared_ptr<const library::BlockSource> source;
    switch (chosen_.kind) {
        case Choice::Kind::Folder:
            source = std::make_shared<library::KeptFolderSource>(layout_, chosen_.folder);
            break;
        case Choice::Kind::Favourites:
            source = std::make_shared<library::ChosenBlocks>(layout_, folders_.folders(),
                                                             favourites_.refs());
            break;
        case Choice::Kind::Recents:
            source = std::make_shared<library::ChosenBlocks>(layout_, folders_.folders(),
                                                             recents_.refs());
            break;
        default:
            return;
    }
    if (!again) {
        // What the grid showed is not this entry's.
        watcher_->watch({});
        Lista->clear();
        setSecondStatusPanelText(QString());
        // A folder seen before shows its drawings as they were at once; the
        // walk that follows brings the grid up to date.
        if (chosen_.kind == Choice::Kind::Folder) {
            std::vector<library::Block> last =
                library::ThumbnailStore(layout_, chosen_.folder).lastListing();
            if (!last.empty()) {
                fillGrid(std::move(last));
                Lista->setSelectedIndex(0);
                Lista->setFocus();
                again = true;
            }
        }
    }
    statusFirstPanel->setText(chosen_.kind == Choice::Kind::Folder
                                  ? QStringLiteral("Lendo a pasta…")
                                  : QStringLiteral("Procurando os blocos…"));
    lister_->list(std::move(source), [this, again](library::Listing listing) {
        ui::guarded([&] { showListing(std::move(listing), again); });
    });
}

void TfrmVisualizar::showListing(library::Listing listing, bool again) {
    // A block gone for good leaves the favourites or the recents.
    if (!listing.gone.empty()) {
        if (chosen_.kind == Choice::Kind::Favourites) favourites_.forget(listing.gone);
        if (chosen_.kind == Choice::Kind::Recents) recents_.forget(listing.gone);
    }
    QString problem = sentence(listing.problem);
    if (!problem.isEmpty() && chosen_.kind == Choice::Kind::Folder)
        problem = QString::fromStdString(folders_.shownName(chosen_.folder)) +
                  QStringLiteral(": ") + QString::fromStdString(listing.problem);
    statusFirstPanel->setText(problem);
    // A folder is watched where its drawings are, the folder itself first; a
    // sub-folder made later changes its parent.
    std::vector<fs::path> watched;
    if (chosen_.kind == Choice::Kind::Folder && !listing.unreachable) {
        std::set<fs::path> inside;
        for (const library::Block& block : listing.blocks) inside.insert(block.drawing.parent_path());
        inside.erase(chosen_.folder);
        watched.push_back(chosen_.folder);
        watched.insert(watched.end(), inside.begin(), inside.end());
    }
    if (again) {
        const int selected = Lista->selectedIndex();
        const library::BlockRef kept =
            selected >= 0 ? Lista->item(selected).block.ref : library::BlockRef{};
        Lista->replaceBlocks(listing.blocks);
        markFavourites();
        for (int i = 0; selected >= 0 && i < Lista->count(); ++i)
            if (Lista->item(i).block.ref == kept) {
                Lista->setSelectedIndex(i);
                break;
            }
    } else {
        fillGrid(std::move(listing.blocks));
        if (Lista->count() > 0) Lista->setSelectedIndex(0);
        Lista->setFocus();
    }
    if (chosen_.kind != Choice::Kind::Folder) return;
    watcher_->watch(watched);
    // Every picture is made for the next visit; a complete listing also lets
    // the pictures of drawings that went go with them.
    Lista->thumbnails().keepAllPictures(listing.problem.empty() ? chosen_.folder : fs::path());
}

void TfrmVisualizar::fillGrid(std::vector<library::Block> blocks) {
    Lista->beginUpdate();
    try {
        setSecondStatusPanelText(QString());
        Lista->clear();
        for (library::Block& block : blocks) Lista->addBlock(std::move(block));
    } catch (...) {
        Lista->endUpdate();
        throw;
    }
    Lista->endUpdate();
    markFavourites();
}

void TfrmVisualizar::rescan() {
    ui::guarded([this] {
        if (showingResults_) {
            eProcurarChange();
        } else if (chosen_.kind == Choice::Kind::Category) {
            LoadBlockList();
            markFavourites();
        } else {
            listChosen(true);
        }
    });
}

}  // namespace browser
