#include "download/PackageIndex.h"

#include <platform/Files.h>

#include <QDateTime>
#include <random>
#include <string>
#include <vector>

#include "library/Library.h"
#include "library/SmallFile.h"
#include "net/Download.h"

namespace download {

namespace fs = std::filesystem;

namespace {

struct TemporaryFolder {
    fs::path path;
    TemporaryFolder() {
        std::error_code error;
        const fs::path temporary = fs::temp_directory_path(error);
        if (error) return;
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path candidate =
                temporary / ("tessaly-indice-" + std::to_string(random() % 1000000000));
            platform::makeFolder(candidate, error);
            if (!error) {
                path = candidate;
                return;
            }
            if (error != std::errc::file_exists) return;
        }
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
};

std::function<signing::Time()>& clockForTests() {
    static std::function<signing::Time()> clock;
    return clock;
}

// How the user reads a date: in the computer's own time zone.
std::string shownTime(signing::Time time) {
    return QDateTime::fromSecsSinceEpoch(time.time_since_epoch().count())
        .toLocalTime()
        .toString(QStringLiteral("dd/MM/yyyy 'às' HH:mm"))
        .toStdString();
}

const signing::Wording kWording{shownTime, [](int index) {
                                    return std::string(library::categoryTable()
                                                           .at(static_cast<std::size_t>(index))
                                                           .name);
                                }};

ServerIndex judged(const signing::Publication& publication, const library::Layout& layout,
                   const signing::PublicKey& key) {
    const std::optional<signing::TrustState> taken = newestTaken(layout, key);
    signing::Verdict verdict = signing::judgePublication(
        publication, key, taken ? &*taken : nullptr, currentTime(), kWording);
    ServerIndex result;
    result.publication = publication;
    if (!verdict.trusted) {
        result.state = IndexState::Refused;
        result.detail = std::move(verdict.because);
        return result;
    }
    result.state = IndexState::Verified;
    result.index = verdict.state.list;
    if (!taken || taken->publication != verdict.state.publication ||
        taken->knownTime != verdict.state.knownTime)
        rememberTaken(layout, verdict.state);
    return result;
}

// The record before roots and delegations: the list's signature in hex on
// the first line, then the list.
std::optional<signing::Publication> earlierRecord(const std::string& record) {
    constexpr std::size_t kSignatureLine = 2 * std::tuple_size_v<signing::Signature> + 1;
    if (record.size() < kSignatureLine || record[kSignatureLine - 1] != '\n') return std::nullopt;
    const auto signature = signing::fromHex<std::tuple_size_v<signing::Signature>>(
        std::string_view(record).substr(0, kSignatureLine - 1));
    if (!signature) return std::nullopt;
    signing::Publication publication;
    publication.list = record.substr(kSignatureLine);
    publication.listSignature = std::string(signature->begin(), signature->end());
    return publication;
}

// The largest record: every file at its bound, with its heading.
constexpr std::uint64_t kMaxRecordSize = signing::kMaxRootsSize + signing::kMaxDelegationSize +
                                         signing::kMaxIndexSize +
                                         2 * signing::kMaxSignatureFileSize + 1024;

}  // namespace

signing::Time currentTime() {
    if (clockForTests()) return clockForTests()();
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

void setClockForTests(std::function<signing::Time()> clock) {
    clockForTests() = std::move(clock);
}

std::optional<signing::TrustState> newestTaken(const library::Layout& layout,
                                               const signing::PublicKey& key) {
    const std::optional<std::string> record =
        library::readRegularFile(layout.newestPackageListFile(), kMaxRecordSize);
    if (!record) return std::nullopt;
    if (std::optional<signing::TrustState> taken = signing::readTaken(*record, key)) return taken;
    const std::optional<signing::Publication> earlier = earlierRecord(*record);
    if (!earlier) return std::nullopt;
    signing::Verdict verdict =
        signing::judgePublication(*earlier, key, nullptr, signing::Time::min(), kWording);
    if (!verdict.trusted) return std::nullopt;
    return std::move(verdict.state);
}

bool rememberTaken(const library::Layout& layout, const signing::TrustState& state) {
    return library::writeFileDurably(layout.newestPackageListFile(), signing::formatTaken(state));
}

std::optional<signing::PublicKey> builtInPublisherKey() {
    return signing::fromHex<32>(TESSALY_PACKAGE_KEY);
}

ServerIndex fetchServerIndex(const std::string& packageServer, const signing::PublicKey& key,
                             const library::Layout& layout, const std::function<void()>& pump) {
    ServerIndex result;
    const TemporaryFolder folder;
    if (folder.path.empty()) {
        result.detail = "não foi possível criar uma pasta temporária";
        return result;
    }
    const net::ProgressHandler progress = [&pump](std::uint64_t, std::uint64_t, bool&) {
        if (pump) pump();
    };
    struct Wanted {
        const char* name;
        std::string signing::Publication::*member;
        std::uint64_t largest;
    };
    const Wanted wanted[] = {
        {signing::kRootsName, &signing::Publication::roots, signing::kMaxRootsSize},
        {signing::kDelegationName, &signing::Publication::delegation, signing::kMaxDelegationSize},
        {signing::kDelegationSignatureName, &signing::Publication::delegationSignature,
         signing::kMaxSignatureFileSize},
        {signing::kIndexName, &signing::Publication::list, signing::kMaxIndexSize},
        {signing::kSignatureName, &signing::Publication::listSignature,
         signing::kMaxSignatureFileSize},
    };
    signing::Publication publication;
    for (const Wanted& file : wanted) {
        net::DownloadLimits limits;
        limits.connectTimeout = kIndexConnectTimeout;
        limits.maxBytes = file.largest;
        const fs::path target = folder.path / file.name;
        const net::DownloadResult fetched =
            net::downloadFile(packageServer + "blocos/" + file.name, target, progress, limits);
        // A file the server does not have is judged as empty: the chain says
        // whether it may be missing.
        if (fetched.status == net::DownloadStatus::NotFound) continue;
        if (fetched.status == net::DownloadStatus::TooLarge) {
            result.state = IndexState::Refused;
            result.detail = "O arquivo " + std::string(file.name) +
                            " do servidor é grande demais para ser o do editor da biblioteca.";
            return result;
        }
        if (!fetched.done()) {
            result.detail = fetched.detail;
            return result;
        }
        publication.*file.member =
            library::readRegularFile(target, file.largest).value_or(std::string());
    }
    return judged(publication, layout, key);
}

ServerIndex judgeAgain(const signing::Publication& publication, const library::Layout& layout,
                       const signing::PublicKey& key) {
    return judged(publication, layout, key);
}

PackageCheck checkPackage(const fs::path& file, const signing::IndexLine& line,
                          const signing::HashProgress& progress) {
    std::error_code error;
    if (fs::file_size(file, error) != line.size || error) return PackageCheck::WrongSize;
    const std::optional<signing::Digest> digest = signing::sha256OfFile(file, progress);
    if (!digest) return PackageCheck::Stopped;
    return *digest == line.sha256 ? PackageCheck::Matches : PackageCheck::WrongDigest;
}

bool recordInstalledPackage(const fs::path& categoryFolder, const signing::IndexLine& line) {
    return library::writeFileDurably(
        categoryFolder / kInstalledRecordName,
        std::to_string(line.version) + ' ' + signing::toHex(line.sha256) + '\n');
}

std::optional<signing::IndexLine> installedPackage(const fs::path& categoryFolder) {
    const std::string text =
        library::readRegularFile(categoryFolder / kInstalledRecordName, 256).value_or("");
    const std::size_t space = text.find(' ');
    if (space == std::string::npos || !text.ends_with('\n')) return std::nullopt;
    // The record reads as a list line with a size of zero.
    try {
        const signing::PackageIndex parsed = signing::PackageIndex::parse(
            "0 0 " + text.substr(space + 1, text.size() - space - 2) + ' ' + text.substr(0, space) +
            '\n');
        return *parsed.find(0);
    } catch (const signing::IndexError&) {
        return std::nullopt;
    }
}

bool hasNewerPackage(const fs::path& categoryFolder, const signing::IndexLine* serverLine) {
    if (!serverLine) return false;
    const std::optional<signing::IndexLine> installed = installedPackage(categoryFolder);
    return installed && installed->version < serverLine->version;
}

}  // namespace download
