#include "download/PackageIndex.h"

#include <platform/Files.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "library/Library.h"
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

}  // namespace

std::optional<signing::PublicKey> builtInPublisherKey() {
    return signing::fromHex<32>(TESSALY_PACKAGE_KEY);
}

ServerIndex fetchServerIndex(const std::string& packageServer, const signing::PublicKey& key,
                             const std::function<void()>& pump) {
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
    if (!signing::verify(key, files[0], files[1])) {
        result.state = IndexState::Refused;
        result.detail = "a assinatura da lista de pacotes não confere";
        return result;
    }
    try {
        result.index = signing::PackageIndex::parse(
            std::string_view(reinterpret_cast<const char*>(files[0].data()), files[0].size()));
    } catch (const signing::IndexError& error) {
        result.state = IndexState::Refused;
        result.detail = error.what();
        return result;
    }
    result.state = IndexState::Verified;
    return result;
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
