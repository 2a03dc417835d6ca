#include "library/UserFolders.h"

#include <algorithm>
#include <sstream>
#include <system_error>

#include "LineText.h"
#include "library/SmallFile.h"

namespace fs = std::filesystem;

namespace library {

namespace {

constexpr std::string_view kHeading = "tessaly-pastas 1";

// The folder's own name; a root ("/", "D:\") is named by itself.
std::string ownName(const fs::path& folder) {
    fs::path name = folder.filename();
    if (name.empty()) name = folder.parent_path().filename();
    return pathToUtf8(name.empty() ? folder : name);
}

bool within(const fs::path& inner, const fs::path& outer) {
    const auto [end, at] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return end == outer.end();
}

fs::path settled(const fs::path& folder) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(folder, error);
    return error ? folder.lexically_normal() : canonical;
}

}  // namespace

UserFolders::UserFolders(const Layout& layout)
    : file_(layout.userFoldersFile()), programFolder_(layout.programFolder()) {
    if (const std::optional<std::string> bytes = readRegularFile(file_, kMaxFileBytes))
        readText(*bytes);
}

void UserFolders::readText(const std::string& text) {
    folders_.clear();
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kHeading) return;
    while (std::getline(lines, line) && folders_.size() < kMaxFolders) {
        const std::optional<std::string> text = detail::unescapeWord(line);
        if (!text || text->empty() || text->find('\0') != std::string::npos) continue;
        const fs::path folder = pathFromUtf8(*text);
        if (!folder.is_absolute() ||
            std::find(folders_.begin(), folders_.end(), folder) != folders_.end())
            continue;
        folders_.push_back(folder);
    }
}

std::string UserFolders::add(const fs::path& chosen) {
    std::error_code error;
    if (!chosen.is_absolute() || !fs::is_directory(chosen, error))
        return "a pasta não foi encontrada.";
    fs::path folder = chosen.lexically_normal();
    // "/a/b/" is the folder "/a/b"; a root keeps its separator.
    if (folder.filename().empty() && folder.has_relative_path()) folder = folder.parent_path();
    const fs::path real = settled(folder);
    for (const fs::path& listed : folders_)
        if (listed == folder || fs::equivalent(listed, folder, error))
            return "esta pasta já está na lista.";
    const fs::path program = settled(programFolder_);
    if (within(real, program) || within(program, real))
        return "esta pasta contém os arquivos do próprio Tessaly; escolha uma pasta só de "
               "desenhos.";
    if (folders_.size() >= kMaxFolders)
        return "a lista já tem " + std::to_string(kMaxFolders) +
               " pastas; remova uma antes de adicionar outra.";
    folders_.push_back(folder);
    if (!save()) return "a lista de pastas não pôde ser gravada na pasta do programa.";
    return {};
}

bool UserFolders::remove(const fs::path& folder) {
    const auto found = std::find(folders_.begin(), folders_.end(), folder);
    if (found == folders_.end()) return true;
    folders_.erase(found);
    return save();
}

std::string UserFolders::shownName(const fs::path& folder) const {
    const std::string name = ownName(folder);
    int same = 0;
    for (const fs::path& listed : folders_) {
        if (ownName(listed) == name) ++same;
        if (listed == folder) break;
    }
    return same > 1 ? name + " (" + std::to_string(same) + ")" : name;
}

std::string UserFolders::entry(const fs::path& folder) const {
    return std::string(kFolderEntryPrefix) + shownName(folder);
}

bool UserFolders::save() const {
    std::string text(kHeading);
    text += '\n';
    for (const fs::path& folder : folders_) text += detail::escapeWord(pathToUtf8(folder)) + '\n';
    return writeFileDurably(file_, text);
}

}  // namespace library
