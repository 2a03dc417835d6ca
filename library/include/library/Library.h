// The block library on disk: where every file of the program lies, the fixed
// table of categories and the names that link a thumbnail to its drawing.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "paths/Utf8Path.h"

namespace library {

constexpr int kCategoryCount = 14;

struct Category {
    int index;
    std::string_view name;  // UTF-8
    int packageSizeMb;
};

const std::array<Category, kCategoryCount>& categoryTable();

// "» Biblioteca - 3D" for an installed category, "Download - Urbano" otherwise.
std::string categoryListEntry(int index, bool installed);
// "3D (300MB)", as the package selection window shows it.
std::string packageCheckBoxText(int index);
// "<n>.zip", the package's name on the server and on disk.
std::string packageName(int index);

// The folders an install makes in Blocos beside the category folder: the
// staging folder a package is unpacked into, and the folder the installed
// category is put aside into while the new one takes its place. Each is named
// ".<n>.novo-" or ".<n>.antigo-" and kInstallFolderTagLength characters of
// kInstallFolderTagLetters, chosen at random.
enum class InstallFolder { Staging, PutAside };
std::string installFolderPrefix(InstallFolder kind, int index);
inline constexpr std::string_view kInstallFolderTagLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
inline constexpr std::size_t kInstallFolderTagLength = 6;

// The name of the drawing the preview extracts into Blocos: "<block name>.DWG",
// or "<block name>~<copy>.DWG" for a copy other than 0, when a file of the
// plain name is somebody else's.
inline constexpr std::string_view kPreviewDrawingExtension = ".DWG";
std::filesystem::path previewDrawingName(const std::filesystem::path& blockName, int copy);

// One password for every block archive and package, traditional PKWARE encryption.
constexpr std::string_view kArchivePassword = "&!#61734PlanaltoRiveiraCostaDoVentoSu61734&!#";

using InstalledFlags = std::array<bool, kCategoryCount>;
using PackageSelection = std::array<bool, kCategoryCount>;

// Every module that turns names into paths uses the same two conversions.
using paths::pathFromUtf8;
using paths::pathToUtf8;

// Every path of the program, below its own folder. The files the program
// only reads (the empty drawing, the help, the package descriptions) lie in
// the shipped folder: the program folder itself, unless a system package
// installed them read-only elsewhere and the program folder is the user's.
class Layout {
  public:
    explicit Layout(std::filesystem::path programFolder);
    Layout(std::filesystem::path programFolder, std::filesystem::path shippedFolder);

    const std::filesystem::path& programFolder() const { return programFolder_; }
    const std::filesystem::path& shippedFolder() const { return shippedFolder_; }
    std::filesystem::path libraryRoot() const;               // Blocos
    std::filesystem::path categoryFolder(int index) const;   // Blocos/<n>
    std::filesystem::path descriptionFile(int index) const;  // shipped Blocos/<n>.txt
    std::filesystem::path packageFile(int index) const;      // Blocos/<n>.zip
    std::filesystem::path previewArchiveCopy() const;        // TMP.ZIP
    std::filesystem::path emptyDrawing() const;              // shipped vazio.dwg
    std::filesystem::path helpFile() const;                  // shipped Ajuda.chm
    std::filesystem::path searchIndexFile() const;           // Blocos/indice.db
    // The newest signed package list the program has taken: tessaly.lista
    std::filesystem::path newestPackageListFile() const;
    // The user's own folders of drawings, favourites and recently used
    // blocks: tessaly.pastas, tessaly.favoritos, tessaly.recentes.
    std::filesystem::path userFoldersFile() const;
    std::filesystem::path favouritesFile() const;
    std::filesystem::path recentsFile() const;
    // The pictures made of the user's drawings: Miniaturas.
    std::filesystem::path thumbnailCacheFolder() const;

    // A category is installed exactly when its folder exists as a directory.
    bool isInstalled(int index) const;
    InstalledFlags installedFlags() const;

    // Whether the program may create files in its folder and in Blocos (when
    // that exists), as downloads, previews and the journal need: tried, with
    // a file of its own that is removed again.
    bool canWriteFolders() const;

  private:
    std::filesystem::path programFolder_;
    std::filesystem::path shippedFolder_;
};

// The layout of the installation whose executable lies in `executableFolder`:
// a program folder holds its own files beside the executable; a system
// package puts the executable in <prefix>/bin, its own files, read-only, in
// <prefix>/share/tessaly, and leaves what the program writes to the user's
// `userFolder`.
Layout installationLayout(const std::filesystem::path& executableFolder,
                          const std::filesystem::path& userFolder);

// The folder of one run's files for other programs (blocks dragged out of
// the grid or copied to the clipboard) lies directly in Blocos, named this
// prefix and kRunFolderSuffixLength ASCII letters or digits
// (".copias-k3J9aQ"). The run journal names it, so that the next start
// removes one a killed run left.
constexpr std::string_view kRunFolderPrefix = ".copias-";
constexpr std::size_t kRunFolderSuffixLength = 6;
bool isRunFolderName(std::string_view name);

std::filesystem::path imgFolder(const std::filesystem::path& categoryFolder);
std::filesystem::path dwgFolder(const std::filesystem::path& categoryFolder);

// The block's name: the thumbnail's file name without folder and without its
// last extension ("a.b.PNG" gives "a.b"). Paths throughout, so that a name
// which is not UTF-8 still finds its files.
std::filesystem::path blockName(const std::filesystem::path& thumbnail);

// The block's drawing archive in a category folder: DWG/<name>.DWG.zip. The
// exact name is preferred; otherwise a file differing only in letter case is
// taken, so that libraries unpacked from Windows archives keep working. When
// neither exists the exact path is returned.
std::filesystem::path drawingArchivePath(const std::filesystem::path& categoryFolder,
                                         const std::filesystem::path& thumbnail);

// drawingArchivePath for many blocks of one category: DWG/ is read once, when
// made, rather than once for every block whose name differs in letter case.
class DrawingArchives {
  public:
    explicit DrawingArchives(const std::filesystem::path& categoryFolder);
    std::filesystem::path of(const std::filesystem::path& thumbnail) const;

  private:
    std::filesystem::path folder_;
    std::set<std::filesystem::path> names_;                // the archives' file names
    std::map<std::string, std::filesystem::path> folded_;  // by name in ASCII lower case
};

// The blocks of a category, one thumbnail path each, sorted by file name:
// every file (not folder) of IMG/ ending in ".png" in any letter case, hidden
// files included, whether or not its drawing archive exists; and for every
// file DWG/<name>.DWG.zip whose name no thumbnail has, ignoring letter case,
// the path IMG/<name>.PNG its thumbnail would have, so that a block is found
// by its thumbnail path even when only its drawing was installed. An archive
// named only ".DWG.zip" is no block. Missing folders give no entries.
std::vector<std::filesystem::path> listBlocks(const std::filesystem::path& categoryFolder);

}  // namespace library
