// The program's one zip reader: opens a password-protected archive read-only
// and extracts its members into a folder, flat or with their stored folders.
// A member is written under a temporary name and renamed only after its whole
// data has been read and its check sum verified, so a failed member never
// leaves a half-written file behind under its real name.
//
// Errors: opening (missing file, not a zip, truncated, damaged directory) and
// using the reader out of order throw ZipError with a Portuguese message. A
// single member that cannot be extracted never throws: the reader asks its
// Abort/Retry/Ignore question through the question handler instead, and the
// result of extract() tells what became of every member. An exception thrown
// by a handler leaves extract() after the current member's temporary file has
// been removed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
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
    DamagedData = 8,             // bad check sum or size, corrupt or unsupported compression
    WrongPassword = 9,           // no password, or one that does not decrypt the member
    UnsupportedEncryption = 10,  // an encryption method this reader cannot decrypt
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
using QuestionHandler = std::function<ZipAnswer(const ZipQuestion&)>;
// Says whether a member may be written at relative (below the destination).
using MemberFilter = std::function<bool(const std::filesystem::path& relative, bool folder)>;

// What a member may claim before anything of it is written; beyond either
// limit it is damage (or a decompression bomb) and refused.
struct MemberLimits {
    std::uint64_t maxSize = UINT64_MAX;  // uncompressed bytes
    double maxRatio = 0;                 // uncompressed over compressed size; 0: no limit
};

struct ExtractResult {
    std::vector<std::filesystem::path> written;  // files, in archive order
    std::vector<std::string> ignored;  // members that failed and were skipped (stored names)
    // Names that would land outside the destination, links and members the
    // filter rejects: never written.
    std::vector<std::string> refused;
    std::vector<std::string> oversized;  // members beyond the limits: never written
    bool aborted = false;                // the question was answered Abort
    bool cancelled = false;              // the progress handler asked to stop
};

// The question's text for a failure, with the reader's name in front when it has one.
std::string questionText(std::string_view componentName, MemberFailure failure);

class ZipReader {
  public:
    // A reader made at run time has no name; the main window's is called "zip".
    explicit ZipReader(std::string componentName = {});
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const std::string& componentName() const { return componentName_; }

    void setFileName(std::filesystem::path archiveFile);
    void setPassword(std::string password);
    void setDestination(std::filesystem::path folder);
    void setPathMode(PathMode mode);
    void setProgressHandler(ProgressHandler handler);
    // Without a handler a member that cannot be extracted is skipped, as after Ignore.
    void setQuestionHandler(QuestionHandler handler);
    // Without a filter every member whose name is safe is written.
    void setMemberFilter(MemberFilter filter);
    void setMemberLimits(MemberLimits limits);

    void open();  // throws ZipError
    bool isOpen() const;
    // Extracts the members whose file name matches mask ("*.*" is every
    // member; otherwise * and ? wildcards, letter case ignored), in archive order.
    ExtractResult extract(std::string_view mask = "*.*");
    void close();

    // True while extract() runs. Handlers pump window messages, so a second
    // run can start inside one of them; the reader then refuses every call
    // that would disturb the running extraction with a ZipError.
    bool busy() const { return busy_; }

  private:
    struct Archive;
    void refuseWhileBusy() const;

    std::string componentName_;
    std::filesystem::path archiveFile_;
    std::string password_;
    std::filesystem::path destination_;
    PathMode pathMode_ = PathMode::Flat;
    ProgressHandler progressHandler_;
    QuestionHandler questionHandler_;
    MemberFilter memberFilter_;
    MemberLimits memberLimits_;
    std::unique_ptr<Archive> archive_;
    bool busy_ = false;
};

}  // namespace archive
