// The search field: what is typed is looked up in the library's index, and the
// blocks found fill the grid as a category of their own, each keeping its own
// category for the status bar, the preview and export.
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
        askedTicket_ = queries_->ask(query, state_.InstalledFlags);
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
    Lista->beginUpdate();
    try {
        setSecondStatusPanelText(QString());
        Lista->clear();
        for (const search::Hit& hit : results_.hits)
            Lista->addItem(library::imgFolder(layout_.categoryFolder(hit.category)) /
                           hit.thumbnail);
    } catch (...) {
        Lista->endUpdate();
        throw;
    }
    Lista->endUpdate();
    // Selected from the program, as a category's first block is; the keys stay in the field.
    if (Lista->count() > 0) Lista->setSelectedIndex(0);
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
    cArea->setCurrentIndex(chosenCategory_);
    showChosenCategory();
    if (typing) eProcurar->setFocus();
}

void TfrmVisualizar::showChosenCategory() {
    if (chosenCategory_ >= 0) {
        LoadBlockList();
    } else {
        Lista->clear();
        setSecondStatusPanelText(QString());
    }
}

int TfrmVisualizar::itemCategory(int index) const {
    if (!showingResults_) return chosenCategory_;
    if (index < 0 || index >= static_cast<int>(results_.hits.size())) return -1;
    return results_.hits[static_cast<std::size_t>(index)].category;
}

fs::path TfrmVisualizar::itemCategoryFolder(int index) const {
    if (!showingResults_) return state_.CurrentCategoryFolder;
    const int category = itemCategory(index);
    return category < 0 ? fs::path() : layout_.categoryFolder(category);
}

QString TfrmVisualizar::itemCategoryText(int index) const {
    if (!showingResults_) return cArea->currentText();
    const int category = itemCategory(index);
    return category < 0 ? QString()
                        : QString::fromStdString(library::categoryListEntry(category, true));
}

QString TfrmVisualizar::tileToolTip(int index) const {
    const fs::path thumbnail = Lista->item(index).FileName;
    QStringList lines{QStringLiteral("Bloco ") + ui::displayName(library::blockName(thumbnail))};
    const int category = itemCategory(index);
    if (category < 0) return lines.constFirst();
    lines << QStringLiteral("Categoria: ") +
                 QString::fromUtf8(
                     library::categoryTable()[static_cast<std::size_t>(category)].name);
    try {
        search::BlockIndex blocks(layout_.searchIndexFile(), search::BlockIndex::Open::Existing);
        if (const std::optional<search::DrawingSize> size = blocks.drawingSize(category, thumbnail))
            lines << QStringLiteral("Tamanho: ") +
                         QString::fromStdString(convert::blockSizeText(
                             {size->width, size->height, size->zExtent, size->insertionUnits}));
    } catch (const search::IndexError&) {
        // Not indexed yet: the hint goes without the drawing's size.
    }
    std::error_code error;
    const std::uintmax_t archiveSize =
        fs::file_size(library::drawingArchivePath(itemCategoryFolder(index), thumbnail), error);
    if (!error)
        lines << QStringLiteral("Arquivo: ") +
                     QLocale(QLocale::Portuguese, QLocale::Brazil)
                         .formattedDataSize(static_cast<qint64>(archiveSize), 1,
                                            QLocale::DataSizeTraditionalFormat);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace browser
