#include "library/RunJournal.h"

#include <platform/Files.h>
#include <platform/Folder.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>

#include "library/FolderTree.h"
#include "LineText.h"
#include "library/SmallFile.h"

namespace library {

namespace fs = std::filesystem;

namespace {

constexpr const char* kJournalName = "tessaly.journal";
constexpr const char* kLibraryFolder = "Blocos";
constexpr const char* kArchiveCopy = "TMP.ZIP";
// A run records a handful of names; a journal past this is rewritten with
// only what is still open, and nothing beyond the read limit is believed.
constexpr std::uint64_t kCompactAt = 64 * 1024;
constexpr std::size_t kReadLimit = 1024 * 1024;
constexpr std::size_t kMaxEntries = 4096;
// Ends every line: a line cut short by a kill lacks it, even once a later
// line has been joined on after a newline, and never counts.
constexpr std::string_view kLineEnd = " .";

// One writer per program folder (the lock file); this orders the threads of it.
std::mutex journalMutex;

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

}  // namespace

RunJournal::RunJournal(const Layout& layout) : layout_(layout) {}

fs::path RunJournal::file() const {
    return layout_.programFolder() / kJournalName;
}

namespace {

// What the program creates at a name: the kind decides how it is removed, and
// anything of the other kind at that name is somebody else's.
enum class Kind { File, Folder };

struct Place {
    fs::path path;
    Kind kind;
};

bool isInstallFolder(const std::string& name, int index) {
    for (const auto folder : {InstallFolder::Staging, InstallFolder::PutAside}) {
        const std::string prefix = installFolderPrefix(folder, index);
        if (name.size() == prefix.size() + kInstallFolderTagLength && name.starts_with(prefix) &&
            name.find_first_not_of(kInstallFolderTagLetters, prefix.size()) == std::string::npos)
            return true;
    }
    return false;
}

// What the program creates under name in Blocos, or nothing when it never
// creates anything of that name there: a package archive, an install folder,
// the preview's drawing or the folder of a run's drag and clipboard files.
// Category folders, descriptions and the user's files are none of these.
std::optional<Kind> kindInLibrary(const std::string& name) {
    if (!isPlainName(name)) return std::nullopt;
    for (int index = 0; index < kCategoryCount; ++index) {
        if (name == packageName(index)) return Kind::File;
        if (isInstallFolder(name, index)) return Kind::Folder;
    }
    if (isRunFolderName(name)) return Kind::Folder;
    if (name.ends_with(kPreviewDrawingExtension)) return Kind::File;
    return std::nullopt;
}

// The journal's name for path, or nothing when it is no place the journal may name.
std::optional<std::string> journalName(const Layout& layout, const fs::path& path) {
    if (path == layout.previewArchiveCopy()) return std::string(kArchiveCopy);
    const std::string name = pathToUtf8(path.filename());
    if (path.parent_path() != layout.libraryRoot() || !kindInLibrary(name)) return std::nullopt;
    return std::string(kLibraryFolder) + "/" + detail::escapeWord(name);
}

std::optional<Place> placeOf(const Layout& layout, const std::string& name) {
    if (name == kArchiveCopy) return Place{layout.previewArchiveCopy(), Kind::File};
    const std::string prefix = std::string(kLibraryFolder) + "/";
    if (!name.starts_with(prefix)) return std::nullopt;
    const std::optional<std::string> plain = detail::unescapeWord(name.substr(prefix.size()));
    if (!plain) return std::nullopt;
    const std::optional<Kind> kind = kindInLibrary(*plain);
    if (!kind) return std::nullopt;
    return Place{layout.libraryRoot() / pathFromUtf8(*plain), *kind};
}

// The names created and not settled: every complete line replayed in order;
// nothing when there is no journal to read (none, or a link at its name).
std::optional<std::vector<std::string>> readJournal(const Layout& layout, const fs::path& journal) {
    std::error_code error;
    platform::File input = platform::File::openForReading(journal, error);
    if (!input.isOpen()) return std::nullopt;
    const std::uint64_t size = input.size(error);
    if (error) return std::nullopt;
    std::vector<std::string> entries;
    const std::string text =
        input.readUpTo(static_cast<std::size_t>(std::min<std::uint64_t>(size, kReadLimit)), error);
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a torn last line
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() < 3 + kLineEnd.size() || line[1] != ' ' ||
            (line[0] != '+' && line[0] != '-') || !line.ends_with(kLineEnd))
            continue;
        const std::string name = line.substr(2, line.size() - 2 - kLineEnd.size());
        if (!placeOf(layout, name)) continue;
        const auto found = std::find(entries.begin(), entries.end(), name);
        if (line[0] == '-') {
            if (found != entries.end()) entries.erase(found);
        } else if (found == entries.end() && entries.size() < kMaxEntries) {
            entries.push_back(name);
        }
    }
    return entries;
}

std::vector<std::string> openEntries(const Layout& layout, const fs::path& journal) {
    return readJournal(layout, journal).value_or(std::vector<std::string>{});
}

// Replaces the journal by one that lists exactly entries, in one rename; a
// journal that lists nothing is removed, the usual state between runs.
bool rewrite(const fs::path& journal, const std::vector<std::string>& entries) {
    std::error_code error;
    if (entries.empty()) {
        platform::removeFile(journal, error);
        return !error;
    }
    std::string text;
    for (const std::string& entry : entries) text += "+ " + entry + std::string(kLineEnd) + "\n";
    return writeFileDurably(journal, text);
}

bool append(const Layout& layout, const fs::path& journal, const std::string& line) {
    std::error_code error;
    platform::File output = platform::File::openForWriting(journal, platform::File::Start::Kept, error);
    if (!output.isOpen()) return false;
    std::uint64_t size = output.size(error);
    if (error) return false;
    if (size > kCompactAt) {
        output.close(error);
        rewrite(journal, openEntries(layout, journal));
        output = platform::File::openForWriting(journal, platform::File::Start::Kept, error);
        if (!output.isOpen()) return false;
        size = output.size(error);
        if (error) return false;
    }
    // A line torn by an earlier kill must not swallow this one.
    std::string text = line + std::string(kLineEnd) + "\n";
    if (size > 0) {
        char last = '\n';
        if (!output.seek(size - 1, error) || output.read(&last, 1, error) != 1) return false;
        if (last != '\n') text.insert(text.begin(), '\n');
    }
    return output.seek(size, error) && output.writeAll(text.data(), text.size(), error) &&
           output.flushToDisk(error);
}

// Removes the leftover at place without following a link. True when nothing
// of it is left that the journal should still name.
bool removeLeftover(const Layout& layout, const Place& place) {
    const bool inLibrary = place.path != layout.previewArchiveCopy();
    std::error_code error;
    // Blocos itself may be a link to where the user moved his library: it is
    // followed, as installation follows it; no link inside it ever is.
    const platform::Folder at = platform::Folder::open(
        inLibrary ? layout.libraryRoot() : layout.programFolder(), error, platform::Follow::Yes);
    if (!at.isOpen())
        return inLibrary && (error == std::errc::no_such_file_or_directory ||
                             error == std::errc::not_a_directory);
    const fs::path name = place.path.filename();
    const platform::EntryKind kind = at.kindOf(name, error);
    if (error) return false;
    if (kind == platform::EntryKind::Missing) return true;
    if (place.kind == Kind::File && kind == platform::EntryKind::File) {
        at.removeFile(name, error);
        return !error;
    }
    if (place.kind == Kind::Folder && kind == platform::EntryKind::Folder) {
        try {
            RemoveFolderTree(place.path, layout.libraryRoot());
            return true;
        } catch (const fs::filesystem_error&) {
            return false;
        }
    }
    return true;  // a link, device or the other kind: never made by this program, left alone
}

}  // namespace

bool RunJournal::willCreate(const fs::path& path) const {
    const std::optional<std::string> name = journalName(layout_, path);
    if (!name) return false;
    const std::lock_guard<std::mutex> lock(journalMutex);
    return append(layout_, file(), "+ " + *name);
}

void RunJournal::settled(const fs::path& path) const {
    const std::optional<std::string> name = journalName(layout_, path);
    if (!name) return;
    const std::lock_guard<std::mutex> lock(journalMutex);
    const fs::path journal = file();
    std::vector<std::string> entries = openEntries(layout_, journal);
    const auto found = std::find(entries.begin(), entries.end(), *name);
    if (found == entries.end()) return;
    entries.erase(found);
    if (entries.empty())
        rewrite(journal, entries);
    else
        append(layout_, journal, "- " + *name);
}

std::vector<fs::path> RunJournal::leftovers() const {
    const std::lock_guard<std::mutex> lock(journalMutex);
    std::vector<fs::path> paths;
    for (const std::string& entry : openEntries(layout_, file()))
        paths.push_back(placeOf(layout_, entry)->path);
    return paths;
}

void RunJournal::removeLeftovers(const std::function<bool(const fs::path&)>& select) const {
    const std::lock_guard<std::mutex> lock(journalMutex);
    const fs::path journal = file();
    const std::optional<std::vector<std::string>> entries = readJournal(layout_, journal);
    if (!entries) return;
    std::vector<std::string> remaining;
    for (const std::string& entry : *entries) {
        const Place place = *placeOf(layout_, entry);
        if ((select && !select(place.path)) || !removeLeftover(layout_, place))
            remaining.push_back(entry);
    }
    // A journal with nothing open goes too: one a kill left empty, or with
    // only a torn line, before its first entry was complete.
    if (remaining != *entries || remaining.empty()) rewrite(journal, remaining);
}

}  // namespace library
