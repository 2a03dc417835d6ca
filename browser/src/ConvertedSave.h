// A block saved, dragged or copied converted for a release or into other
// units: the conversion runs on a worker thread while the windows go on
// (the user-interface thread pumps at least every 20 ms), and the file is
// written only once it is whole.
#pragma once

#include <convert/Export.h>
#include <library/BlockSource.h>

#include <QString>
#include <filesystem>

namespace browser {

struct ConvertedSave {
    bool written = false;
    // Success: "Procedimento concluído." and what was converted; else why nothing was written.
    QString message;
};

// The block's drawing converted as `choice` asks, written as `target`.
ConvertedSave saveConvertedBlock(const library::Block& block,
                                 const std::filesystem::path& target,
                                 const convert::ExportChoice& choice);

// The drawing already extracted at `extracted` (the program's own copy)
// replaced by its conversion: the path handed over, with the extension of
// the format; empty, with `failure` said, when it could not be converted.
std::filesystem::path convertForOthers(const std::filesystem::path& extracted,
                                       const convert::ExportChoice& choice, QString* failure);

}  // namespace browser
