// The program's one zip reader and the runs that borrow it.
//
// A run (an export, a preview refresh, a package installation) borrows the
// reader through a ZipLease, opens one archive, extracts with options of its
// own and gives the reader back when the lease ends. Nothing a run chooses
// stays on the reader. Runs pump window messages, so a second run can start
// inside the first one's pump; it cannot wait there (the first run resumes
// only once the second returns), so it is refused: tryLease() gives nothing
// while another lease is held.
//
//     std::optional<archive::ZipLease> lease = zip.tryLease();
//     if (!lease) return;                       // another run holds the reader
//     lease->open(archiveFile);                 // throws ZipError
//     archive::ExtractOptions options;
//     options.destination = folder;
//     options.password = password;
//     ... mask, writeAs, limits, handlers ...
//     archive::ExtractResult result = lease->extract(options);
//     lease->close();                           // or let the lease end
//
// A member is written under a temporary name of its own and renamed only after
// its whole data has been read and its check sum verified, so a failed member
// never leaves a half-written file behind under its real name, and no file is
// replaced before its successor is complete.
//
// Errors: opening (missing file, not a zip, truncated, damaged directory) and
// using a lease out of order throw ZipError with a Portuguese message. A single
// member that cannot be extracted never throws: the run asks its
// Abort/Retry/Ignore question through the question handler instead, and the
// result of extract() tells what became of every member. An exception thrown
// by a handler leaves extract() after the current member's temporary file has
// been removed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "archive/EntryNames.h"

namespace archive {

class ZipError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Why a member could not be extracted. The value is the reader's native error
// number shown in its question.
enum class MemberFailure : int {
    DamagedData = 8,             // bad check sum or size, corrupt or unsupported compression,
                                 // or larger than the run allows
    WrongPassword = 9,           // no password, or one that does not decrypt the member
    UnsupportedEncryption = 10,  // anything but traditional PKWARE encryption (AES, …)
    CannotCreateFile = 17,       // the file or one of its folders cannot be created
    CannotWriteFile = 18,        // writing failed, for example on a full disk
    NameTooLong = 61,            // the name is longer than the file system allows
};

enum class ZipAnswer { Abort, Retry, Ignore };

struct ZipQuestion {
    std::string text;          // the whole text of the question box
    bool retryOffered = true;  // false: the box offers Abort and Ignore only
    MemberFailure failure = MemberFailure::DamagedData;
    std::string memberName;  // stored name, UTF-8
};

// One notification of a member's progress: 0 when it starts, intermediate
// percentages while its data is written, 100 once it is in place.
struct ZipProgress {
    const std::string& memberName;  // stored path, UTF-8, separators as stored
    double percent;
};

// Setting cancel to true stops the whole extraction: a member cancelled at its
// start or while being written is not written; members finished before stay.
using ProgressHandler = std::function<void(const ZipProgress&, bool& cancel)>;
// Without a handler a member that cannot be extracted is skipped, as after Ignore.
using QuestionHandler = std::function<ZipAnswer(const ZipQuestion&)>;

constexpr std::uint64_t kMiB = 1024 * 1024;

// Everything one run decides: given to extract(), never kept by the reader.
struct ExtractOptions {
    std::filesystem::path destination;  // required
    PathMode pathMode = PathMode::Flat;
    std::string password;  // traditional PKWARE; empty for none
    // Members whose file name matches are extracted: "*.*" and "*" take every
    // member, otherwise * and ? wildcards with ASCII letter case ignored.
    std::string mask = "*.*";
    // Flat runs only, a bare file name: the member the mask takes is written
    // under this name whatever its stored name says, and the run stops after
    // the first one written (later matches are skipped).
    std::filesystem::path writeAs;
    // A member declaring or yielding more bytes than this, or whose declared
    // size exceeds its compressed size this many times (0: no ratio check), is
    // damaged data; it is refused before any byte of it reaches its file.
    std::uint64_t maxMemberSize = 256 * kMiB;
    std::uint64_t maxCompressionRatio = 1000;
    // When set, a member whose path below the destination it rejects is
    // refused, never written (a package takes only its own folder).
    std::function<bool(const std::filesystem::path& relative, bool folder)> accept;
    ProgressHandler progress;
    QuestionHandler question;
};

struct FailedMember {
    std::string name;  // stored name, UTF-8
    MemberFailure failure;
};

struct ExtractResult {
    std::vector<std::filesystem::path> written;  // files, in archive order
    // Members that could not be extracted: those skipped after Ignore, and the
    // one the question was answered Abort for.
    std::vector<FailedMember> failed;
    // Names that would land outside the destination, links, names holding a
    // NUL or another control character.
    std::vector<std::string> refused;
    std::vector<std::string> skipped;  // not taken by the mask, or after writeAs was written
    bool aborted = false;              // the question was answered Abort
    bool cancelled = false;            // the progress handler asked to stop
};

// The question's text for a failure, with the reader's name in front when it has one.
std::string questionText(std::string_view componentName, MemberFailure failure);

class ZipReader;

// One run's hold on the reader, from tryLease() to its destruction. Ending
// the lease closes the archive it opened.
class ZipLease {
  public:
    ZipLease(ZipLease&& other) noexcept;
    ZipLease& operator=(ZipLease&&) = delete;
    ~ZipLease();

    void open(const std::filesystem::path& archiveFile);  // throws ZipError
    bool isOpen() const;
    // Members in archive order. Throws ZipError without an open archive,
    // without a destination, with a writeAs that is not a bare file name in a
    // flat run, or when called from one of this run's own handlers.
    ExtractResult extract(const ExtractOptions& options);
    void close();

  private:
    friend class ZipReader;
    struct Archive;
    explicit ZipLease(ZipReader& reader);
    void refuseWhileExtracting() const;

    ZipReader* reader_;
    std::unique_ptr<Archive> archive_;
    bool extracting_ = false;
};

class ZipReader {
  public:
    // A reader made at run time has no name; the main window's is called "zip".
    explicit ZipReader(std::string componentName = {});
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const std::string& componentName() const { return componentName_; }

    // The reader for one run, or nothing while another run holds it. The
    // reader must outlive every lease it gives.
    std::optional<ZipLease> tryLease();
    bool leased() const { return leased_; }

  private:
    friend class ZipLease;
    std::string componentName_;
    bool leased_ = false;
};

}  // namespace archive
