#include "library/Library.h"

#include <platform/Files.h>

#include <algorithm>
#include <random>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace library {

namespace {

const std::array<Category, kCategoryCount> kCategories = {{
    {0, "3D", 300},
    {1, "Acessórios", 32},
    {2, "Banheiros", 20},
    {3, "Cozinhas", 10},
    {4, "Diversos", 88},
    {5, "Elétrica", 22},
    {6, "Esquadrias", 10},
    {7, "Fabricantes", 106},
    {8, "Hidrossanitários", 6},
    {9, "Mobília", 37},
    {10, "Pessoas", 40},
    {11, "Urbano", 4},
    {12, "Vegetação", 48},
    {13, "Veículos", 31},
}};

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiLowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), asciiLower);
    return text;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           equalsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

const Category& row(int index) {
    return kCategories.at(static_cast<size_t>(index));
}

}  // namespace

const std::array<Category, kCategoryCount>& categoryTable() {
    return kCategories;
}

std::string categoryListEntry(int index, bool installed) {
    return std::string(installed ? "» Biblioteca - " : "Download - ") +
           std::string(row(index).name);
}

std::string packageCheckBoxText(int index) {
    const Category& category = row(index);
    return std::string(category.name) + " (" + std::to_string(category.packageSizeMb) + "MB)";
}

std::string packageName(int index) {
    return std::to_string(row(index).index) + ".zip";
}

std::string installFolderPrefix(InstallFolder kind, int index) {
    return "." + std::to_string(row(index).index) +
           (kind == InstallFolder::Staging ? ".novo-" : ".antigo-");
}

fs::path previewDrawingName(const fs::path& blockName, int copy) {
    fs::path name = blockName;
    if (copy != 0) name += "~" + std::to_string(copy);
    return name += kPreviewDrawingExtension;
}

Layout::Layout(fs::path programFolder) : programFolder_(programFolder), shippedFolder_(programFolder) {}

Layout::Layout(fs::path programFolder, fs::path shippedFolder)
    : programFolder_(std::move(programFolder)), shippedFolder_(std::move(shippedFolder)) {}

Layout installationLayout(const fs::path& executableFolder, const fs::path& userFolder) {
    std::error_code error;
    if (fs::is_regular_file(executableFolder / "vazio.dwg", error)) return Layout(executableFolder);
    const fs::path shipped = executableFolder.parent_path() / "share" / "tessaly";
    if (executableFolder.filename() == "bin" && fs::is_regular_file(shipped / "vazio.dwg", error))
        return Layout(userFolder, shipped);
    return Layout(executableFolder);
}

fs::path Layout::libraryRoot() const {
    return programFolder_ / "Blocos";
}

fs::path Layout::categoryFolder(int index) const {
    return libraryRoot() / std::to_string(row(index).index);
}

fs::path Layout::descriptionFile(int index) const {
    return shippedFolder_ / "Blocos" / (std::to_string(row(index).index) + ".txt");
}

fs::path Layout::packageFile(int index) const {
    return libraryRoot() / packageName(index);
}

fs::path Layout::previewArchiveCopy() const {
    return programFolder_ / "TMP.ZIP";
}

fs::path Layout::emptyDrawing() const {
    return shippedFolder_ / "vazio.dwg";
}

fs::path Layout::helpFile() const {
    return shippedFolder_ / "Ajuda.chm";
}

fs::path Layout::searchIndexFile() const {
    return libraryRoot() / "indice.db";
}

bool Layout::canWriteFolders() const {
    std::random_device seed;
    const std::string probe = ".tessaly-escrita-" + std::to_string(seed());
    std::error_code error;
    for (const fs::path& folder : {programFolder_, libraryRoot()}) {
        if (folder == libraryRoot() &&
            platform::entryKind(folder, error) == platform::EntryKind::Missing && !error)
            continue;
        platform::File file = platform::File::createNew(folder / probe, error);
        if (!file.isOpen()) return false;
        file.close(error);
        platform::removeFile(folder / probe, error);
    }
    return true;
}

fs::path Layout::newestPackageListFile() const {
    return programFolder_ / "tessaly.lista";
}

fs::path Layout::userFoldersFile() const {
    return programFolder_ / "tessaly.pastas";
}

fs::path Layout::favouritesFile() const {
    return programFolder_ / "tessaly.favoritos";
}

fs::path Layout::recentsFile() const {
    return programFolder_ / "tessaly.recentes";
}

fs::path Layout::thumbnailCacheFolder() const {
    return programFolder_ / "Miniaturas";
}

bool Layout::isInstalled(int index) const {
    std::error_code error;
    return fs::is_directory(categoryFolder(index), error);
}

InstalledFlags Layout::installedFlags() const {
    InstalledFlags flags{};
    for (int n = 0; n < kCategoryCount; ++n) flags[static_cast<size_t>(n)] = isInstalled(n);
    return flags;
}

bool isRunFolderName(std::string_view name) {
    if (name.size() != kRunFolderPrefix.size() + kRunFolderSuffixLength ||
        !name.starts_with(kRunFolderPrefix))
        return false;
    const std::string_view suffix = name.substr(kRunFolderPrefix.size());
    return std::all_of(suffix.begin(), suffix.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

fs::path imgFolder(const fs::path& categoryFolder) {
    return categoryFolder / "IMG";
}

fs::path dwgFolder(const fs::path& categoryFolder) {
    return categoryFolder / "DWG";
}

fs::path blockName(const fs::path& thumbnail) {
    const fs::path::string_type name = thumbnail.filename().native();
    const size_t dot = name.rfind('.');
    return dot == fs::path::string_type::npos ? name : name.substr(0, dot);
}

namespace {

fs::path archiveFileName(const fs::path& thumbnail) {
    return fs::path(blockName(thumbnail)) += ".DWG.zip";
}

}  // namespace

fs::path drawingArchivePath(const fs::path& categoryFolder, const fs::path& thumbnail) {
    const fs::path exact = dwgFolder(categoryFolder) / archiveFileName(thumbnail);
    std::error_code error;
    if (fs::is_regular_file(exact, error)) return exact;
    return DrawingArchives(categoryFolder).of(thumbnail);
}

DrawingArchives::DrawingArchives(const fs::path& categoryFolder)
    : folder_(dwgFolder(categoryFolder)) {
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const fs::path name = it->path().filename();
        names_.insert(name);
        folded_.emplace(asciiLowered(pathToUtf8(name)), name);  // the first one met stays
    }
}

fs::path DrawingArchives::of(const fs::path& thumbnail) const {
    const fs::path name = archiveFileName(thumbnail);
    if (names_.count(name) != 0) return folder_ / name;
    const auto found = folded_.find(asciiLowered(pathToUtf8(name)));
    return folder_ / (found != folded_.end() ? found->second : name);
}

std::vector<fs::path> listBlocks(const fs::path& categoryFolder) {
    std::vector<fs::path> blocks;
    std::set<std::string> namesShown;  // in ASCII lower case
    std::error_code imgError;
    for (fs::directory_iterator it(imgFolder(categoryFolder), imgError), end;
         !imgError && it != end; it.increment(imgError)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) &&
            endsWithIgnoringAsciiCase(pathToUtf8(it->path().filename()), ".png")) {
            blocks.push_back(it->path());
            namesShown.insert(asciiLowered(pathToUtf8(blockName(it->path()))));
        }
    }
    constexpr std::string_view kArchiveEnding = ".DWG.zip";
    std::error_code dwgError;
    for (fs::directory_iterator it(dwgFolder(categoryFolder), dwgError), end;
         !dwgError && it != end; it.increment(dwgError)) {
        const std::string file = pathToUtf8(it->path().filename());
        if (file.size() <= kArchiveEnding.size() ||
            !endsWithIgnoringAsciiCase(file, kArchiveEnding))
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string name = file.substr(0, file.size() - kArchiveEnding.size());
        if (namesShown.count(asciiLowered(name)) == 0)
            blocks.push_back(imgFolder(categoryFolder) / pathFromUtf8(name + ".PNG"));
    }
    std::sort(blocks.begin(), blocks.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    return blocks;
}

}  // namespace library
