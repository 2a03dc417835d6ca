// The save dialog of "Salvar bloco selecionado".
//
// It settles the file the drawing goes to before it closes: the name typed,
// with the type's extension added when it has none; the proposed name,
// accepted as it is, stands for the block's own name (its bytes, dots
// included) plus that extension. A file of that name is replaced only after
// the user says so, and a read-only one never: the user is told and picks
// another name.
//
// Its first type, "*.DWG", saves the block's own file; the others save it
// converted for a release, in the units chosen beside them. The type and
// units of the last save are remembered beside the library.
#pragma once

#include <convert/Export.h>

#include <QFileDialog>
#include <filesystem>
#include <optional>

class QComboBox;

namespace browser {

class BlockSaveDialog : public QFileDialog {
    Q_OBJECT
  public:
    // `rememberedFile` keeps the type and units of the last save (none: nothing is kept).
    explicit BlockSaveDialog(QWidget* parent, std::filesystem::path rememberedFile = {});

    // Proposes the block's name. The dialog opens in the folder of the last
    // drawing saved in this run, else in the user's documents folder.
    void propose(const std::filesystem::path& blockName);
    // The file the drawing goes to, once the dialog was accepted.
    const std::filesystem::path& target() const { return target_; }
    // Remembers the folder for the next proposal, and the type and units.
    void saved(const std::filesystem::path& file);
    // The conversion the chosen type and units ask for; none for the block's own file.
    std::optional<convert::ExportChoice> choice() const;
    // What the last save chose, as drag-out and copying hand the block over.
    std::optional<convert::ExportChoice> rememberedChoice() const;

    // The file a name chosen in the dialog stands for.
    std::filesystem::path targetFor(const QString& chosen) const;

  public slots:
    void accept() override;

  private:
    void typeChosen(const QString& filter);
    QString extension() const;

    std::filesystem::path rememberedFile_;
    QComboBox* cUnidades = nullptr;
    std::filesystem::path blockName_;
    QString proposedName_;
    std::filesystem::path lastFolder_;
    std::filesystem::path target_;
};

// A file this user may not replace: its owner's write permission is off (the
// read-only attribute of other systems) or the system refuses writing to it.
bool isReadOnlyFile(const std::filesystem::path& file);

// Tells the user that the read-only file chosen is not replaced.
void refuseReadOnly(const std::filesystem::path& file);

}  // namespace browser
