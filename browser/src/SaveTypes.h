// The save dialog's file types and units, and the choice last made, which
// is kept beside the library in tessaly.exportar: the block's own file
// first, as it always was, then the block converted for each release.
#pragma once

#include <convert/Export.h>

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <vector>

namespace browser {

struct SaveType {
    QString label;                          // as the dialog lists it
    QString pattern;                        // the files it lists
    QString extension;                      // added to a name typed without one
    std::optional<dwg::SaveFormat> format;  // none: the block's own bytes
};

// "*.DWG", then AutoCAD 2018 … 2000, then DXF 2018 and 2000.
const std::vector<SaveType>& saveTypes();
// The type of a dialog name filter; the first when none matches.
const SaveType& saveTypeOfFilter(const QString& filter);
// The filter string of a type, as QFileDialog takes it.
QString nameFilter(const SaveType& type);

// The units offered: none first (as the block was drawn), then mm, cm, m, in, ft.
struct UnitsChoice {
    QString label;
    std::optional<dwg::LengthUnit> unit;
};
const std::vector<UnitsChoice>& unitsChoices();

// What the user chose last; none for the block's own file.
struct RememberedExport {
    std::optional<dwg::SaveFormat> format;
    std::optional<dwg::LengthUnit> units;

    bool operator==(const RememberedExport&) const = default;
    // What drag-out and copying hand over; none: the block's own file.
    std::optional<convert::ExportChoice> choice() const;
};

// tessaly.exportar beside the library.
std::filesystem::path rememberedExportFile(const std::filesystem::path& programFolder);
// Read as outside input: anything but the program's own lines counts as nothing chosen.
RememberedExport readRememberedExport(const std::filesystem::path& file);
// Written whole or not at all; false when it could not be.
bool writeRememberedExport(const std::filesystem::path& file, const RememberedExport& choice);

}  // namespace browser
