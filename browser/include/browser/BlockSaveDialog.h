// The save dialog of "Salvar bloco selecionado".
//
// It settles the file the drawing goes to before it closes: the name typed,
// with ".DWG" added when it has no extension; the proposed name, accepted as
// it is, stands for the block's own name (its bytes, dots included) plus
// ".DWG". A file of that name is replaced only after the user says so, and a
// read-only one never: the user is told and picks another name.
#pragma once

#include <QFileDialog>
#include <filesystem>

namespace browser {

class BlockSaveDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit BlockSaveDialog(QWidget* parent);

    // Proposes the block's name. The dialog opens in the folder of the last
    // drawing saved in this run, else in the user's documents folder.
    void propose(const std::filesystem::path& blockName);
    // The file the drawing goes to, once the dialog was accepted.
    const std::filesystem::path& target() const { return target_; }
    // Remembers the folder for the next proposal.
    void saved(const std::filesystem::path& file);

    // The file a name chosen in the dialog stands for.
    std::filesystem::path targetFor(const QString& chosen) const;

  public slots:
    void accept() override;

  private:
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
