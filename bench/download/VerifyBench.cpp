// Checking a downloaded package against its line of the signed list, and
// what a resumed download fetches again.
//   verify/cached: a 300 MB package read from the page cache (the hash alone)
//   verify/cold:   the same file evicted from the cache first (disk and hash)
//   resume:        a 50 MB package dropped half way and continued; counters
//                  give the bytes kept, fetched and fetched twice
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PackageServer.h"
#include "download/PackageIndex.h"
#include "net/Resume.h"
#include "signing/Sha256.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kVerifySize = 300ull * 1000 * 1000;
constexpr std::uint64_t kResumeSize = 50ull * 1000 * 1000;

fs::path makeFolder() {
    std::string pattern = (fs::temp_directory_path() / "tessaly-verify-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

// A file of pseudo-random bytes and its line.
signing::IndexLine writePackage(const fs::path& file, std::uint64_t size) {
    fs::create_directories(file.parent_path());
    std::vector<std::uint8_t> piece(4 << 20);
    std::uint64_t state = 88172645463325252ull;
    signing::Sha256 hash;
    std::ofstream out(file, std::ios::binary);
    for (std::uint64_t written = 0; written < size;) {
        for (std::uint8_t& byte : piece) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            byte = static_cast<std::uint8_t>(state);
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - written));
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(n));
        hash.add(std::span(piece.data(), n));
        written += n;
    }
    return {size, hash.finish(), 1};
}

void evict(const fs::path& file) {
    const int descriptor = ::open(file.c_str(), O_RDONLY);
    ::fdatasync(descriptor);
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    ::close(descriptor);
}

// Written once for both benchmarks, removed when the program ends.
struct VerifyFixture {
    fs::path folder = makeFolder();
    fs::path file = folder / "0.zip";
    signing::IndexLine line = writePackage(file, kVerifySize);
    ~VerifyFixture() { fs::remove_all(folder); }
};

void BM_Verify300MB(benchmark::State& state, bool cold) {
    static const VerifyFixture fixture;
    const fs::path& file = fixture.file;
    const signing::IndexLine& line = fixture.line;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evict(file);
            state.ResumeTiming();
        }
        const download::PackageCheck check =
            download::checkPackage(file, line, [](std::uint64_t, bool&) {});
        if (check != download::PackageCheck::Matches) state.SkipWithError("the package did not match");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kVerifySize));
}
BENCHMARK_CAPTURE(BM_Verify300MB, cached, false)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_Verify300MB, cold, true)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResumeAfterDropAtHalf(benchmark::State& state) {
    const fs::path folder = makeFolder();
    writePackage(folder / "served" / "blocos" / "0.zip", kResumeSize);
    const test_support::PackageServer server(folder / "served");
    const fs::path target = folder / "library" / "0.zip";
    fs::create_directories(target.parent_path());
    const std::string path = "blocos/0.zip";
    const std::string dropping =
        server.faultyBaseAddress("dropafter-" + std::to_string(kResumeSize / 2)) + path;
    double kept = 0;
    double fetched = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(target);
        const net::ResumeResult broken = net::downloadResuming(dropping, target, nullptr, kResumeSize);
        state.ResumeTiming();
        const net::ResumeResult resumed =
            net::downloadResuming(server.baseAddress() + path, target, nullptr, kResumeSize);
        if (broken.status != net::DownloadStatus::Incomplete || !resumed.done())
            state.SkipWithError("the drop or the resume went otherwise");
        kept += static_cast<double>(resumed.resumedFrom);
        fetched += static_cast<double>(resumed.fetched);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["kept_MB"] = kept / n / 1e6;
    state.counters["fetched_MB"] = fetched / n / 1e6;
    state.counters["fetched_twice_bytes"] = (kept + fetched) / n - static_cast<double>(kResumeSize);
    fs::remove_all(folder);
}
BENCHMARK(BM_ResumeAfterDropAtHalf)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
