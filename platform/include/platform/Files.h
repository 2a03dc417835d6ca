// Files as the library needs them on every system: opened without following
// a link at their name, created only where nothing is, written so that they
// reach the disk, renamed and removed with the system's own guarantees.
// Errors are std::error_code values; on Windows a file another program holds
// open (an Explorer window, a virus scanner) is waited for a while before the
// operation gives up with an error that heldByAnotherProgram() recognises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform {

// What is at a path, the last name not followed: a symbolic link, a Windows
// junction or any other reparse point is a Link.
enum class EntryKind { Missing, File, Folder, Link, Other };
EntryKind entryKind(const std::filesystem::path& path, std::error_code& error);

enum class Follow { No, Yes };

class File {
  public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // A regular file, for reading; a link at the name is refused unless follow.
    // Nothing else (a FIFO, a device) is opened, nor waited on.
    static File openForReading(const std::filesystem::path& path, std::error_code& error,
                               Follow follow = Follow::No);
    // A new file where nothing is, not even a link. A private file is readable
    // and writable by its owner only (a secret key).
    enum class Privacy { Shared, Private };
    static File createNew(const std::filesystem::path& path, std::error_code& error,
                          Privacy privacy = Privacy::Shared);
    // An existing regular file, or a new one, for reading and writing; never
    // through a link at the name.
    enum class Start { Kept, Emptied };
    static File openForWriting(const std::filesystem::path& path, Start start,
                               std::error_code& error);

    bool isOpen() const;
    // Whether the file has another name as well (a hard link): a file the
    // program keeps as its own has only the one it gave it.
    bool hasOtherNames() const;
    // The size of the open file.
    std::uint64_t size(std::error_code& error) const;
    // Up to `size` bytes at the current place; 0 at the end.
    std::size_t read(void* data, std::size_t size, std::error_code& error);
    // What is left of the file, `limit` bytes at most.
    std::string readUpTo(std::size_t limit, std::error_code& error);
    bool writeAll(const void* data, std::size_t size, std::error_code& error);
    bool seek(std::uint64_t offset, std::error_code& error);
    bool truncate(std::uint64_t size, std::error_code& error);
    // Returns once what was written is on the disk.
    bool flushToDisk(std::error_code& error);
    // The modification time and the read-only mark are courtesies: a file
    // system that cannot keep them still keeps the file.
    void setModifiedTime(std::time_t time);
    void markReadOnly();
    bool close(std::error_code& error);

  private:
    explicit File(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = -1;  // a descriptor, or a Windows HANDLE
};

// Renames from to to, replacing a file at to (its read-only mark cleared).
void renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::error_code& error);
// Renames from to to only where nothing is at to: std::errc::file_exists otherwise.
void renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::error_code& error);
// Swaps two folders in one step. std::errc::function_not_supported where the
// system cannot: the caller then moves one aside first.
void exchangeFolders(const std::filesystem::path& first, const std::filesystem::path& second,
                     std::error_code& error);
// Removes a file, or a link as a link; a missing entry is no error.
void removeFile(const std::filesystem::path& path, std::error_code& error);
// Lets the renames and creations inside folder reach the disk (POSIX: the
// folder's own sync; Windows journals them with the rename itself).
void flushFolder(const std::filesystem::path& folder);
// A new folder that only its owner may enter where the system knows owners.
void makeFolder(const std::filesystem::path& path, std::error_code& error);
// Whether the current user may change the file: false for a read-only file.
bool isWritable(const std::filesystem::path& file);

// A link at `link` to the folder or file `target`: a symbolic link, or on
// Windows a junction for a folder. The program never makes one; the tests
// plant them where a user or an attacker could.
void makeFolderLink(const std::filesystem::path& target, const std::filesystem::path& link,
                    std::error_code& error);
void makeFileLink(const std::filesystem::path& target, const std::filesystem::path& link,
                  std::error_code& error);

// A sharing violation or lock of another program that outlasted the waiting.
bool heldByAnotherProgram(const std::error_code& error);

// Where a user installs programs for himself, which he may always write to:
// %LOCALAPPDATA%\Programs\Tessaly on Windows, ~/.local/opt/Tessaly elsewhere.
std::filesystem::path personalInstallFolder();

}  // namespace platform
