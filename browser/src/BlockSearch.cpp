// The search field: what is typed is looked up in the library's index, and the
// blocks found fill the grid as a category of their own, each keeping its own
// category, or the user's folder it lies in, for the status bar, the preview
// and export.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>
#include <system_error>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "convert/BlockSize.h"
#include "search/BlockIndex.h"
#include "search/Indexing.h"
#include "search/QueryWorker.h"
#include "ui/DisplayName.h"
#include "ui/Pump.h"

namespace fs = std::filesystem;

namespace browser {

void TfrmVisualizar::eProcurarChange() {
    ui::guarded([this] {
        focusGridWhenAnswered_ = false;
        const std::string query = eProcurar->text().toStdString();
        const search::QueryTerms terms = search::queryTerms(query);
        if (terms.words.empty() && terms.prefix.empty()) {
            emptySearch();
            return;
        }
        // Answered on the query worker's thread; the window keeps running meanwhile.
        askedTicket_ = queries_->ask(query, searchScope());
    });
}

void TfrmVisualizar::showAnswer(const search::QueryAnswer& answer) {
    if (answer.ticket != askedTicket_) return;  // an older query's, or the search was left
    askedTicket_ = 0;
    ui::guarded([this, &answer] {
        // An index that is not ours to replace: the search finds nothing, and
        // the status bar says why for as long as that lasts.
        const bool refused = answer.failure == search::IndexError::Reason::Refused;
        QString why = refused ? QString::fromStdString(answer.problem) : QString();
        if (!why.isEmpty()) why[0] = why[0].toUpper();
        statusFirstPanel->setText(why);
        // Missing or damaged: built again in the background; nothing found meanwhile.
        if (answer.failure && !refused) indexer_->start();
        // The same blocks again (a category indexed that added none): the
        // grid and its selection stay as they are.
        if (!showingResults_ || answer.found != results_) showResults(answer.found);
        if (focusGridWhenAnswered_ && Lista->count() > 0) Lista->setFocus();
        focusGridWhenAnswered_ = false;
    });
}

void TfrmVisualizar::showResults(search::Found found) {
    showingResults_ = true;
    results_ = std::move(found);
    cArea->setCurrentIndex(-1);
    cArea->setPlaceholderText(QStringLiteral("Resultados: %1 blocos").arg(results_.total));
    std::vector<library::Block> blocks;
    blocks.reserve(results_.hits.size());
    for (const search::Hit& hit : results_.hits) {
        if (hit.category >= 0)
            blocks.push_back(library::categoryBlockOf(
                library::imgFolder(layout_.categoryFolder(hit.category)) / hit.thumbnail));
        else
            blocks.push_back(library::folderBlock(hit.folder, hit.thumbnail, hit.fileSize, hit.modified));
    }
    fillGrid(std::move(blocks));
    // Selected from the program, as a category's first block is; the keys stay in the field.
    if (Lista->count() > 0) Lista->setSelectedIndex(0);
}

search::Scope TfrmVisualizar::searchScope() const {
    return {state_.InstalledFlags, folders_.folders()};
}

void TfrmVisualizar::forgetSearch() {
    queries_->cancel();
    askedTicket_ = 0;
    focusGridWhenAnswered_ = false;
}

bool TfrmVisualizar::leaveSearch() {
    if (!eProcurar->text().isEmpty()) eProcurar->clear();
    tProcurar->stop();  // also the search that clearing the field asked for
    forgetSearch();
    const bool wasSearching = showingResults_;
    showingResults_ = false;
    results_ = {};
    cArea->setPlaceholderText(QString());
    statusFirstPanel->clear();
    return wasSearching;
}

void TfrmVisualizar::emptySearch() {
    forgetSearch();
    if (!showingResults_) return;
    const bool typing = eProcurar->hasFocus();
    leaveSearch();
    cArea->setCurrentIndex(entryOf(chosen_));
    showChosen();
    if (typing) eProcurar->setFocus();
}

void TfrmVisualizar::showChosen() {
    switch (chosen_.kind) {
        case Choice::Kind::Category:
            LoadBlockList();
            markFavourites();
            break;
        case Choice::Kind::Nothing:
            Lista->clear();
            setSecondStatusPanelText(QString());
            break;
        default:
            listChosen(false);
    }
}

QString TfrmVisualizar::itemCategoryText(int index) const {
    if (chosen_.kind == Choice::Kind::Category && !showingResults_) return cArea->currentText();
    if (index < 0 || index >= Lista->count()) return QString();
    const library::BlockRef& ref = Lista->item(index).block.ref;
    if (ref.origin == library::BlockRef::Origin::Folder)
        return QString::fromStdString(folders_.entry(ref.folder));
    return ref.category < 0 ? QString()
                            : QString::fromStdString(library::categoryListEntry(ref.category, true));
}

QString TfrmVisualizar::tileToolTip(int index) const {
    const library::Block& block = Lista->item(index).block;
    QStringList lines{QStringLiteral("Bloco ") + ui::displayName(block.name())};
    const library::BlockRef& ref = block.ref;
    const bool fromFolder = ref.origin == library::BlockRef::Origin::Folder;
    if (fromFolder) {
        // Where in the folder: the user may keep the same name in two sub-folders.
        QString place = QString::fromStdString(folders_.shownName(ref.folder));
        if (!ref.item.parent_path().empty())
            place += QStringLiteral(" / ") + ui::displayName(ref.item.parent_path());
        lines << QStringLiteral("Pasta: ") + place;
    } else if (ref.category >= 0) {
        lines << QStringLiteral("Categoria: ") +
                     QString::fromUtf8(
                         library::categoryTable()[static_cast<std::size_t>(ref.category)].name);
    } else {
        return lines.constFirst();
    }
    try {
        search::BlockIndex blocks(layout_.searchIndexFile(), search::BlockIndex::Open::Existing);
        const std::optional<search::DrawingSize> size =
            fromFolder ? blocks.drawingSize(ref.folder, ref.item)
                       : blocks.drawingSize(ref.category, ref.item);
        if (size)
            lines << QStringLiteral("Tamanho: ") +
                         QString::fromStdString(convert::blockSizeText(
                             {size->width, size->height, size->zExtent, size->insertionUnits}));
    } catch (const search::IndexError&) {
        // Not indexed yet: the hint goes without the drawing's size.
    }
    // A user's drawing has its size from the listing: his disk is not asked again.
    std::error_code error;
    const std::uintmax_t fileSize = fromFolder ? block.size : fs::file_size(block.drawing, error);
    if (!error)
        lines << QStringLiteral("Arquivo: ") +
                     QLocale(QLocale::Portuguese, QLocale::Brazil)
                         .formattedDataSize(static_cast<qint64>(fileSize), 1,
                                            QLocale::DataSizeTraditionalFormat);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace browser
