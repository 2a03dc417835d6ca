// Whole archives from outside: the reader must never crash, never write
// outside its destination and never leave a temporary file behind.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "archive/ZipReader.h"

namespace fs = std::filesystem;

namespace {

// Removed again when libFuzzer ends the run through exit().
struct Sandbox {
    Sandbox()
        : path(fs::temp_directory_path() / ("tessaly-archive-fuzz-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~Sandbox() { fs::remove_all(path); }
    fs::path path;
};

const fs::path& sandbox() {
    static const Sandbox instance;
    return instance.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archiveFile = sandbox() / "input.zip";
    const fs::path destination = sandbox() / "out";
    std::ofstream(archiveFile, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    for (const auto mode : {archive::PathMode::Flat, archive::PathMode::StoredPaths}) {
        archive::ZipReader reader;
        archive::ExtractOptions options;
        options.destination = destination;
        options.pathMode = mode;
        options.password = "senha";
        options.question = [](const archive::ZipQuestion&) { return archive::ZipAnswer::Ignore; };
        try {
            std::optional<archive::ZipLease> lease = reader.tryLease();
            lease->open(archiveFile);
            lease->extract(options);
        } catch (const archive::ZipError&) {
        }
        for (const auto& entry : fs::directory_iterator(sandbox()))
            if (entry.path() != archiveFile && entry.path() != destination) std::abort();
        if (fs::exists(destination)) {
            for (const auto& entry : fs::recursive_directory_iterator(destination))
                if (entry.path().filename().string().rfind(".tessaly-", 0) == 0) std::abort();
            fs::remove_all(destination);
        }
    }
    return 0;
}
