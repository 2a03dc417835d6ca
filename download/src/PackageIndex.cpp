#include "download/PackageIndex.h"

#include <platform/Files.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "library/Library.h"
#include "library/SmallFile.h"
#include "net/Download.h"

namespace download {

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readAtMost(const fs::path& file, std::uint64_t largest) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > largest) return {};
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

// The record of the newest list taken: its signature in hex on the first
// line, then the list's bytes exactly as signed.
constexpr std::size_t kSignatureLine = 2 * std::tuple_size_v<signing::Signature> + 1;

struct TakenIndex {
    std::string text;
    std::string signature;
};

std::optional<TakenIndex> splitRecord(const std::string& record) {
    if (record.size() < kSignatureLine || record[kSignatureLine - 1] != '\n') return std::nullopt;
    const auto signature = signing::fromHex<std::tuple_size_v<signing::Signature>>(
        std::string_view(record).substr(0, kSignatureLine - 1));
    if (!signature) return std::nullopt;
    return TakenIndex{record.substr(kSignatureLine),
                      std::string(signature->begin(), signature->end())};
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

ServerIndex judged(const signing::PackageIndex& index, signing::IndexTrust trust,
                   const std::optional<signing::PackageIndex>& newest) {
    ServerIndex result;
    result.index = index;
    switch (trust) {
        case signing::IndexTrust::Trusted:
            result.state = IndexState::Verified;
            break;
        case signing::IndexTrust::Older:
            result.state = IndexState::Older;
            result.newestPublished = newest->validity()->published;
            break;
        case signing::IndexTrust::Expired:
            result.state = IndexState::Expired;
            break;
        case signing::IndexTrust::NotSigned:
            result.state = IndexState::Refused;
            break;
        case signing::IndexTrust::Malformed:
            result.state = IndexState::Unreadable;
            break;
    }
    return result;
}

}  // namespace

signing::Time currentTime() {
    if (clockForTests()) return clockForTests()();
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

void setClockForTests(std::function<signing::Time()> clock) {
    clockForTests() = std::move(clock);
}

std::optional<signing::PackageIndex> newestTakenIndex(const library::Layout& layout,
                                                      const signing::PublicKey& key) {
    const std::optional<std::string> record = library::readRegularFile(
        layout.newestPackageListFile(), kSignatureLine + signing::kMaxIndexSize);
    if (!record) return std::nullopt;
    const std::optional<TakenIndex> taken = splitRecord(*record);
    if (!taken) return std::nullopt;
    // Only the clock is left out: a list taken stays the floor when it expires.
    signing::CheckedIndex checked = signing::checkSignedIndex(
        bytesOf(taken->text), bytesOf(taken->signature), key, signing::Time::min(), nullptr);
    if (checked.trust != signing::IndexTrust::Trusted) return std::nullopt;
    return std::move(checked.index);
}

void rememberTakenIndex(const library::Layout& layout, const signing::PublicKey& key,
                        std::span<const std::uint8_t> text,
                        std::span<const std::uint8_t> signature) {
    const std::optional<signing::PackageIndex> newest = newestTakenIndex(layout, key);
    try {
        const signing::PackageIndex index = signing::PackageIndex::parse(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        if (!index.validity() ||
            (newest && newest->validity()->published >= index.validity()->published))
            return;
    } catch (const signing::IndexError&) {
        return;
    }
    library::writeFileDurably(
        layout.newestPackageListFile(),
        signing::toHex(signature) + '\n' + std::string(text.begin(), text.end()));
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
    net::DownloadLimits limits;
    limits.connectTimeout = kIndexConnectTimeout;
    limits.maxBytes = signing::kMaxIndexSize;
    const net::ProgressHandler progress = [&pump](std::uint64_t, std::uint64_t, bool&) {
        if (pump) pump();
    };
    std::vector<std::uint8_t> files[2];
    const char* names[2] = {signing::kIndexName, signing::kSignatureName};
    for (int i = 0; i < 2; ++i) {
        const fs::path target = folder.path / names[i];
        const net::DownloadResult fetched =
            net::downloadFile(packageServer + "blocos/" + names[i], target, progress, limits);
        if (fetched.status == net::DownloadStatus::NotFound) {
            result.state = IndexState::Refused;
            result.detail = std::string("o servidor não tem o arquivo ") + names[i];
            return result;
        }
        if (!fetched.done()) {
            result.state = fetched.status == net::DownloadStatus::TooLarge ? IndexState::Refused
                                                                           : IndexState::Unreachable;
            result.detail = fetched.detail;
            return result;
        }
        files[i] = readAtMost(target, signing::kMaxIndexSize);
    }
    const std::optional<signing::PackageIndex> newest = newestTakenIndex(layout, key);
    signing::CheckedIndex checked = signing::checkSignedIndex(
        files[0], files[1], key, currentTime(), newest ? &*newest : nullptr);
    result = judged(checked.index, checked.trust, newest);
    result.detail = std::move(checked.detail);
    if (result.state == IndexState::Verified) rememberTakenIndex(layout, key, files[0], files[1]);
    return result;
}

ServerIndex judgeAgain(const signing::PackageIndex& index, const library::Layout& layout,
                       const signing::PublicKey& key) {
    const std::optional<signing::PackageIndex> newest = newestTakenIndex(layout, key);
    return judged(index, signing::judgeIndex(index, currentTime(), newest ? &*newest : nullptr),
                  newest);
}

PackageCheck checkPackage(const fs::path& file, const signing::IndexLine& line,
                          const signing::HashProgress& progress) {
    std::error_code error;
    if (fs::file_size(file, error) != line.size || error) return PackageCheck::WrongSize;
    const std::optional<signing::Digest> digest = signing::sha256OfFile(file, progress);
    if (!digest) return PackageCheck::Stopped;
    return *digest == line.sha256 ? PackageCheck::Matches : PackageCheck::WrongDigest;
}

void recordInstalledPackage(const fs::path& categoryFolder, const signing::IndexLine& line) {
    std::ofstream out(categoryFolder / kInstalledRecordName, std::ios::binary | std::ios::trunc);
    out << line.version << ' ' << signing::toHex(line.sha256) << '\n';
}

std::optional<signing::IndexLine> installedPackage(const fs::path& categoryFolder) {
    const std::vector<std::uint8_t> bytes = readAtMost(categoryFolder / kInstalledRecordName, 256);
    const std::string text(bytes.begin(), bytes.end());
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
