#include "library/RunJournal.h"

#include <platform/Files.h>
#include <platform/Folder.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>

#include "library/FolderTree.h"

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

std::string escape(const std::string& raw) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || byte == '%') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(const std::string& text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            out += text[at];
            continue;
        }
        if (at + 2 >= text.size()) return std::nullopt;
        const int high = digit(text[at + 1]);
        const int low = digit(text[at + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return out;
}

}  // namespace

RunJournal::RunJournal(const Layout& layout) : layout_(layout) {}

fs::path RunJournal::file() const {
    return layout_.programFolder() / kJournalName;
}

namespace {

// The journal's name for path, or nothing when path is no place it may name.
std::optional<std::string> journalName(const Layout& layout, const fs::path& path) {
    if (path == layout.previewArchiveCopy()) return std::string(kArchiveCopy);
    const std::string name = pathToUtf8(path.filename());
    if (path.parent_path() != layout.libraryRoot() || !isPlainName(name)) return std::nullopt;
    return std::string(kLibraryFolder) + "/" + escape(name);
}

std::optional<fs::path> pathOf(const Layout& layout, const std::string& name) {
    if (name == kArchiveCopy) return layout.previewArchiveCopy();
    const std::string prefix = std::string(kLibraryFolder) + "/";
    if (name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::optional<std::string> plain = unescape(name.substr(prefix.size()));
    if (!plain || !isPlainName(*plain)) return std::nullopt;
    return layout.libraryRoot() / pathFromUtf8(*plain);
}

// The names created and not settled: every complete line replayed in order.
std::vector<std::string> openEntries(const Layout& layout, const fs::path& journal) {
    std::vector<std::string> entries;
    std::error_code error;
    platform::File input = platform::File::openForReading(journal, error);
    if (!input.isOpen()) return entries;
    const std::uint64_t size = input.size(error);
    if (error) return entries;
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(size, kReadLimit)), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const std::size_t read = input.read(text.data() + got, text.size() - got, error);
        if (read == 0) break;
        got += read;
    }
    text.resize(got);
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a torn last line
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() < 3 + kLineEnd.size() || line[1] != ' ' ||
            (line[0] != '+' && line[0] != '-') || !line.ends_with(kLineEnd))
            continue;
        const std::string name = line.substr(2, line.size() - 2 - kLineEnd.size());
        if (!pathOf(layout, name)) continue;
        const auto found = std::find(entries.begin(), entries.end(), name);
        if (line[0] == '-') {
            if (found != entries.end()) entries.erase(found);
        } else if (found == entries.end() && entries.size() < kMaxEntries) {
            entries.push_back(name);
        }
    }
    return entries;
}

// Replaces the journal by one that lists exactly entries, in one rename; a
// journal that lists nothing is removed, the usual state between runs.
bool rewrite(const fs::path& journal, const std::vector<std::string>& entries) {
    std::error_code error;
    if (entries.empty()) {
        platform::removeFile(journal, error);
        return !error;
    }
    fs::path fresh = journal;
    fresh += ".novo";
    platform::removeFile(fresh, error);
    {
        platform::File output = platform::File::createNew(fresh, error);
        if (!output.isOpen()) return false;
        std::string text;
        for (const std::string& entry : entries) text += "+ " + entry + std::string(kLineEnd) + "\n";
        if (!output.writeAll(text.data(), text.size(), error) || !output.flushToDisk(error) ||
            !output.close(error)) {
            output.close(error);
            platform::removeFile(fresh, error);
            return false;
        }
    }
    platform::renameReplacing(fresh, journal, error);
    if (error) {
        platform::removeFile(fresh, error);
        return false;
    }
    return true;
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

// Removes the leftover at path without following a link. True when nothing
// of it is left that the journal should still name.
bool removeLeftover(const Layout& layout, const fs::path& path) {
    const bool inLibrary = path != layout.previewArchiveCopy();
    std::error_code error;
    const platform::Folder program =
        platform::Folder::open(layout.programFolder(), error, platform::Follow::Yes);
    if (error) return false;
    const platform::Folder library = inLibrary ? program.openChild(kLibraryFolder, error) : platform::Folder();
    if (inLibrary && !library.isOpen()) return error == std::errc::no_such_file_or_directory;
    const platform::Folder& at = inLibrary ? library : program;
    const fs::path name = path.filename();
    const platform::EntryKind kind = at.kindOf(name, error);
    if (error) return false;
    if (kind == platform::EntryKind::Missing) return true;
    if (kind == platform::EntryKind::File) {
        at.removeFile(name, error);
        return !error;
    }
    if (kind == platform::EntryKind::Folder && inLibrary) {
        try {
            RemoveFolderTree(path, layout.libraryRoot());
            return true;
        } catch (const fs::filesystem_error&) {
            return false;
        }
    }
    return true;  // a link or device: never made by this program, left alone
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
        paths.push_back(*pathOf(layout_, entry));
    return paths;
}

void RunJournal::removeLeftovers(const std::function<bool(const fs::path&)>& select) const {
    const std::lock_guard<std::mutex> lock(journalMutex);
    const fs::path journal = file();
    const std::vector<std::string> entries = openEntries(layout_, journal);
    std::vector<std::string> remaining;
    for (const std::string& entry : entries) {
        const fs::path path = *pathOf(layout_, entry);
        if ((select && !select(path)) || !removeLeftover(layout_, path)) remaining.push_back(entry);
    }
    if (remaining != entries) rewrite(journal, remaining);
}

}  // namespace library
