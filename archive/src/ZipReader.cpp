#include "archive/ZipReader.h"

#include <zip.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "StagedFile.h"
#include "StoredNames.h"
#include "paths/Utf8Path.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

// Large enough that a drawing of a few megabytes takes few calls into
// libzip and few progress notifications.
constexpr std::size_t kReadChunk = 256 * 1024;

std::string_view failureText(MemberFailure failure) {
    switch (failure) {
        case MemberFailure::DamagedData:
            return "Invalid size or check sum of file or unsupported compression format";
        case MemberFailure::WrongPassword:
            return "Invalid password";
        case MemberFailure::UnsupportedEncryption:
            return "Unsupported encryption method";
        case MemberFailure::CannotCreateFile:
            return "Cannot create file";
        case MemberFailure::CannotWriteFile:
            return "Cannot write file";
        case MemberFailure::NameTooLong:
            return "File name too long";
    }
    return "Unknown error";
}

MemberFailure failureOfZipError(int zipError) {
    switch (zipError) {
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_NOPASSWD:
            return MemberFailure::WrongPassword;
        case ZIP_ER_ENCRNOTSUPP:
            return MemberFailure::UnsupportedEncryption;
        default:
            return MemberFailure::DamagedData;
    }
}

MemberFailure failureOfFileError(std::error_code error, MemberFailure otherwise) {
    return error == std::errc::filename_too_long ? MemberFailure::NameTooLong : otherwise;
}

// Portuguese, like every message the user may come to see.
std::string openErrorMessage(int zipError, const std::string& file) {
    switch (zipError) {
        case ZIP_ER_NOENT:
            return "Arquivo zip não encontrado: " + file;
        case ZIP_ER_NOZIP:
            return "O arquivo " + file + " não é um arquivo zip ou está incompleto.";
        case ZIP_ER_INCONS:
            return "O arquivo zip " + file + " está danificado ou incompleto.";
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return "Não foi possível ler o arquivo zip " + file + ".";
        case ZIP_ER_MEMORY:
            return "Memória insuficiente para abrir o arquivo zip " + file + ".";
        default:
            return "Não foi possível abrir o arquivo zip " + file + " (erro " +
                   std::to_string(zipError) + ").";
    }
}

// libzip does not tell whether the archive marks a name as UTF-8 (general
// purpose bit 11, or an Info-ZIP Unicode path field), but its strict reading
// shows it: a marked name comes back as stored, an unmarked one has every
// byte above 0x7F turned from code page 437 into a longer UTF-8 sequence.
std::string entryName(zip_t* zip, zip_uint64_t index) {
    const char* raw = zip_get_name(zip, index, ZIP_FL_ENC_RAW);
    if (!raw) return {};
    const char* strict = zip_get_name(zip, index, ZIP_FL_ENC_STRICT);
    const bool markedUtf8 = strict && std::strcmp(raw, strict) == 0;
    zip_uint8_t system = ZIP_OPSYS_DOS;
    zip_file_get_external_attributes(zip, index, 0, &system, nullptr);
    return decodeEntryName(raw, markedUtf8, system == ZIP_OPSYS_UNIX);
}

struct EntryKind {
    bool link = false;
    StoredAttributes attributes;
};

EntryKind entryKind(zip_t* zip, zip_uint64_t index, const zip_stat_t& stat) {
    EntryKind kind;
    zip_uint8_t system = 0;
    zip_uint32_t external = 0;
    if (zip_file_get_external_attributes(zip, index, 0, &system, &external) == 0) {
        // The stored bits are the archiving system's, whatever this one is.
        constexpr zip_uint32_t kDosReadOnly = 0x01;
        constexpr zip_uint32_t kUnixOwnerWrite = 0200, kUnixType = 0170000, kUnixLink = 0120000;
        const zip_uint32_t unixMode = external >> 16;
        const bool unixReadOnly =
            system == ZIP_OPSYS_UNIX && unixMode != 0 && !(unixMode & kUnixOwnerWrite);
        kind.attributes.readOnly = (external & kDosReadOnly) != 0 || unixReadOnly;
        kind.link = system == ZIP_OPSYS_UNIX && (unixMode & kUnixType) == kUnixLink;
    }
    if (stat.valid & ZIP_STAT_MTIME) kind.attributes.modified = stat.mtime;
    return kind;
}

// The limits of Linux's file systems (in bytes) and of Windows' (in UTF-16
// units, long paths allowed), which are the same numbers.
constexpr std::size_t kMaxPathLength = 4095;
constexpr std::size_t kMaxNameLength = 255;

bool nameFitsFileSystem(const fs::path& target) {
    if (target.native().size() > kMaxPathLength) return false;
    for (const fs::path& component : target)
        if (component.native().size() > kMaxNameLength) return false;
    return true;
}

}  // namespace

std::string questionText(std::string_view componentName, MemberFailure failure) {
    std::string text;
    if (!componentName.empty()) {
        text += componentName;
        text += ": ";
    }
    char number[16];
    std::snprintf(number, sizeof number, "%05d", static_cast<int>(failure));
    text += failureText(failure);
    text += " - Native error: ";
    text += number;
    if (failure != MemberFailure::NameTooLong)
        text += ". File processing error, possibly disk is full";
    return text;
}

struct ZipLease::Archive {
    zip_t* zip = nullptr;
    // The directory's names byte for byte; nothing when they could not be
    // read, and then no stored name can be trusted.
    std::optional<std::vector<StoredName>> storedNames;
    ~Archive() {
        if (zip) zip_discard(zip);
    }
};

namespace {

struct MemberCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

enum class Outcome { Done, Failed, Cancelled };

struct MemberResult {
    Outcome outcome = Outcome::Done;
    MemberFailure failure = MemberFailure::DamagedData;
};

MemberResult failed(MemberFailure failure) {
    return {Outcome::Failed, failure};
}

bool readableEncryption(const zip_stat_t& stat) {
    return !(stat.valid & ZIP_STAT_ENCRYPTION_METHOD) || stat.encryption_method == ZIP_EM_NONE ||
           stat.encryption_method == ZIP_EM_TRAD_PKWARE;
}

// Declared size beyond the run's limits: a bomb or a damaged directory.
bool declaredTooLarge(const zip_stat_t& stat, const ExtractOptions& options) {
    if (!(stat.valid & ZIP_STAT_SIZE)) return false;
    if (stat.size > options.maxMemberSize) return true;
    const std::uint64_t ratio = options.maxCompressionRatio;
    if (ratio == 0 || !(stat.valid & ZIP_STAT_COMP_SIZE)) return false;
    if (stat.comp_size > UINT64_MAX / ratio) return false;
    return stat.size > stat.comp_size * ratio;
}

// Runs one extraction: one open archive, one run's options.
class Extraction {
  public:
    Extraction(zip_t* zip, const std::optional<std::vector<StoredName>>& storedNames,
               const std::string& componentName, const ExtractOptions& options)
        : zip_(zip),
          storedNames_(storedNames),
          componentName_(componentName),
          options_(options),
          random_(std::random_device{}()) {}

    ExtractResult run() {
        const bool flat = options_.pathMode == PathMode::Flat;
        const zip_int64_t count = zip_get_num_entries(zip_, 0);
        for (zip_int64_t i = 0; i < count && !result_.aborted && !result_.cancelled; ++i) {
            const auto index = static_cast<zip_uint64_t>(i);
            const std::string name = entryName(zip_, index);
            const bool folder = isFolderEntry(name);
            if (folder && flat) continue;
            const bool oneFileWritten = !options_.writeAs.empty() && !result_.written.empty();
            if (oneFileWritten || !matchesMask(name, options_.mask)) {
                result_.skipped.push_back(name);
                continue;
            }
            const std::optional<fs::path> relative =
                options_.writeAs.empty() ? relativeTarget(name, options_.pathMode)
                                         : std::optional<fs::path>(options_.writeAs);
            if (!relative || !storedNameIsSound(index, name) ||
                (options_.accept && !options_.accept(*relative, folder))) {
                result_.refused.push_back(name);
                continue;
            }
            extractEntry(index, name, folder, options_.destination / *relative);
        }
        return std::move(result_);
    }

  private:
    bool storedNameIsSound(zip_uint64_t index, const std::string& name) const {
        if (hasControlCharacter(name) || !storedNames_ || index >= storedNames_->size())
            return false;
        const StoredName& stored = (*storedNames_)[index];
        return !hasControlCharacter(stored.name) && !hasControlCharacter(stored.unicodePath);
    }

    void extractEntry(zip_uint64_t index, const std::string& name, bool folder,
                      const fs::path& target) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip_, index, 0, &stat) != 0) {
            result_.refused.push_back(name);
            return;
        }
        const EntryKind kind = entryKind(zip_, index, stat);
        if (kind.link) {
            result_.refused.push_back(name);
            return;
        }
        for (;;) {
            if (notify(name, 0)) return;
            const MemberResult member =
                folder ? makeFolder(target) : extractFile(index, stat, name, target, kind);
            if (member.outcome == Outcome::Cancelled) return;
            if (member.outcome == Outcome::Done) {
                if (!folder) result_.written.push_back(target);
                notify(name, 100);
                return;
            }
            const ZipAnswer answer = ask(name, member.failure);
            if (answer == ZipAnswer::Retry) continue;
            result_.failed.push_back({name, member.failure});
            result_.aborted = answer == ZipAnswer::Abort;
            return;
        }
    }

    MemberResult makeFolder(const fs::path& target) {
        if (!nameFitsFileSystem(target)) return failed(MemberFailure::NameTooLong);
        std::error_code error;
        fs::create_directories(target, error);
        if (error) return failed(failureOfFileError(error, MemberFailure::CannotCreateFile));
        return {};
    }

    MemberResult extractFile(zip_uint64_t index, const zip_stat_t& stat, const std::string& name,
                             const fs::path& target, const EntryKind& kind) {
        if (!nameFitsFileSystem(target)) return failed(MemberFailure::NameTooLong);
        // The reader is set to traditional PKWARE encryption; anything else is
        // refused before libzip is asked (1.7.3 also leaks on methods it lacks).
        if (!readableEncryption(stat)) return failed(MemberFailure::UnsupportedEncryption);
        if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(stat.comp_method, 0))
            return failed(MemberFailure::DamagedData);
        if (declaredTooLarge(stat, options_)) return failed(MemberFailure::DamagedData);

        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        if (error) return failed(failureOfFileError(error, MemberFailure::CannotCreateFile));

        // Handlers may throw through here; the member is then closed and its temporary file
        // removed.
        const std::string& password = options_.password;
        std::unique_ptr<zip_file_t, MemberCloser> file(zip_fopen_index_encrypted(
            zip_, index, 0, password.empty() ? nullptr : password.c_str()));
        if (!file) {
            const int zipError = zip_error_code_zip(zip_get_error(zip_));
            zip_error_clear(zip_);
            return failed(failureOfZipError(zipError));
        }
        std::optional<StagedFile> staged = StagedFile::create(target.parent_path(), random_, error);
        if (!staged) return failed(failureOfFileError(error, MemberFailure::CannotCreateFile));
        const MemberResult copied = copyData(file.get(), stat, name, *staged);
        if (copied.outcome != Outcome::Done) return copied;
        if (const int closeError = zip_fclose(file.release()); closeError != 0)
            return failed(failureOfZipError(closeError));

        error = staged->commit(target, kind.attributes);
        if (error) return failed(failureOfFileError(error, MemberFailure::CannotCreateFile));
        return {};
    }

    // Reads the member to its very end: only there does libzip compare the
    // check sum, after it has handed out every byte. Data beyond the declared
    // size or the run's limit is damage; the staged file goes with it.
    MemberResult copyData(zip_file_t* file, const zip_stat_t& stat, const std::string& name,
                          StagedFile& staged) {
        const bool sizeKnown = (stat.valid & ZIP_STAT_SIZE) != 0;
        const zip_uint64_t limit = sizeKnown
                                       ? std::min<zip_uint64_t>(stat.size, options_.maxMemberSize)
                                       : options_.maxMemberSize;
        buffer_.resize(kReadChunk);
        zip_uint64_t total = 0;
        for (;;) {
            const zip_int64_t got = zip_fread(file, buffer_.data(), buffer_.size());
            if (got < 0)
                return failed(failureOfZipError(zip_error_code_zip(zip_file_get_error(file))));
            if (got == 0) break;
            const auto size = static_cast<std::size_t>(got);
            total += size;
            if (total > limit) return failed(MemberFailure::DamagedData);
            if (const std::error_code error = staged.write(buffer_.data(), size))
                return failed(failureOfFileError(error, MemberFailure::CannotWriteFile));
            if (sizeKnown && total < stat.size &&
                notify(name, 100.0 * static_cast<double>(total) / static_cast<double>(stat.size)))
                return {Outcome::Cancelled, MemberFailure::DamagedData};
        }
        if (sizeKnown && total != stat.size) return failed(MemberFailure::DamagedData);
        return {};
    }

    // True when the handler asked to stop.
    bool notify(const std::string& name, double percent) {
        if (!options_.progress) return false;
        bool cancel = false;
        options_.progress(ZipProgress{name, percent}, cancel);
        if (cancel) result_.cancelled = true;
        return cancel;
    }

    ZipAnswer ask(const std::string& name, MemberFailure failure) {
        if (!options_.question) return ZipAnswer::Ignore;
        const bool retryOffered = failure != MemberFailure::NameTooLong;
        const ZipAnswer answer = options_.question(
            ZipQuestion{questionText(componentName_, failure), retryOffered, failure, name});
        // The box without Retry cannot give it; a handler that does anyway would loop forever.
        if (answer == ZipAnswer::Retry && !retryOffered) return ZipAnswer::Abort;
        return answer;
    }

    zip_t* zip_;
    const std::optional<std::vector<StoredName>>& storedNames_;
    const std::string& componentName_;
    const ExtractOptions& options_;
    std::mt19937_64 random_;
    std::vector<char> buffer_;
    ExtractResult result_;
};

}  // namespace

ZipReader::ZipReader(std::string componentName) : componentName_(std::move(componentName)) {}

std::optional<ZipLease> ZipReader::tryLease() {
    if (leased_) return std::nullopt;
    return ZipLease(*this);
}

ZipLease::ZipLease(ZipReader& reader) : reader_(&reader) {
    reader.leased_ = true;
}

ZipLease::ZipLease(ZipLease&& other) noexcept
    : reader_(std::exchange(other.reader_, nullptr)),
      archive_(std::move(other.archive_)),
      extracting_(other.extracting_) {}

ZipLease::~ZipLease() {
    archive_.reset();
    if (reader_) reader_->leased_ = false;
}

void ZipLease::refuseWhileExtracting() const {
    if (extracting_) throw ZipError("O leitor de arquivos zip está ocupado com outra extração.");
}

void ZipLease::open(const fs::path& archiveFile) {
    refuseWhileExtracting();
    archive_.reset();
    const std::string shownName = paths::pathToUtf8(archiveFile);
    if (archiveFile.empty()) throw ZipError("Nenhum arquivo zip foi indicado para abrir.");
    int zipError = ZIP_ER_OK;
    zip_t* zip = zip_open(shownName.c_str(), ZIP_RDONLY, &zipError);
    if (!zip) throw ZipError(openErrorMessage(zipError, shownName));
    auto archive = std::make_unique<Archive>();
    archive->zip = zip;
    archive->storedNames = readStoredNames(archiveFile);
    if (archive->storedNames &&
        static_cast<zip_int64_t>(archive->storedNames->size()) != zip_get_num_entries(zip, 0))
        archive->storedNames.reset();
    archive_ = std::move(archive);
}

bool ZipLease::isOpen() const {
    return archive_ != nullptr;
}

ExtractResult ZipLease::extract(const ExtractOptions& options) {
    refuseWhileExtracting();
    if (!archive_) throw ZipError("Nenhum arquivo zip está aberto para extração.");
    if (options.destination.empty())
        throw ZipError("A pasta de destino da extração não foi definida.");
    const fs::path& writeAs = options.writeAs;
    if (!writeAs.empty() && (options.pathMode != PathMode::Flat || writeAs != writeAs.filename() ||
                             writeAs == "." || writeAs == ".."))
        throw ZipError("O nome do arquivo a gravar não é um nome de arquivo simples.");
    extracting_ = true;
    struct ExtractingReset {
        bool& extracting;
        ~ExtractingReset() { extracting = false; }
    } reset{extracting_};
    Extraction extraction(archive_->zip, archive_->storedNames, reader_->componentName(), options);
    return extraction.run();
}

void ZipLease::close() {
    refuseWhileExtracting();
    archive_.reset();
}

}  // namespace archive
