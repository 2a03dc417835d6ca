// Damaged drawings through the whole save: each ends in a file or a clear
// message, in bounded memory. The saves run in a child process under an
// address-space limit, so that one breaking the bound fails there.
#include <convert/Export.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>

#include "Samples.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The address sanitizer reserves terabytes of shadow memory: under it no
// address-space limit can be set.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kLimitsApply = false;
#else
constexpr bool kLimitsApply = true;
#endif

constexpr std::size_t kMiB = std::size_t{1} << 20;

std::size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Cut short at several places, and bytes changed at random (the same each run).
std::vector<Bytes> damaged(const Bytes& sound) {
    std::vector<Bytes> out;
    for (std::size_t share : {2u, 3u, 5u, 9u})
        out.emplace_back(sound.begin(),
                         sound.begin() + static_cast<std::ptrdiff_t>(sound.size() / share));
    std::mt19937 random(7);
    for (int variant = 0; variant < 8; ++variant) {
        Bytes changed = sound;
        for (int i = 0; i < 1 + variant * 4; ++i)
            changed[random() % changed.size()] = static_cast<std::uint8_t>(random());
        out.push_back(std::move(changed));
    }
    return out;
}

// Saves each drawing in each format in a child; one line per save: "ok",
// "error: <message>" or what else went wrong.
std::vector<std::string> saveInChild(const std::vector<Bytes>& drawings) {
    int channel[2];
    if (pipe(channel) != 0) return {"pipe failed"};
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string lines;
        for (const Bytes& drawing : drawings) {
            rlimit bound{RLIM_INFINITY, RLIM_INFINITY};
            if (kLimitsApply)
                bound.rlim_cur = addressSpaceInUse() + 512 * kMiB + 60 * drawing.size();
            setrlimit(RLIMIT_AS, &bound);
            for (dwg::SaveFormat format :
                 {dwg::SaveFormat::Dwg2000, dwg::SaveFormat::Dwg2018, dwg::SaveFormat::Dxf2000}) {
                try {
                    convert::exportDrawing(drawing, {format, dwg::LengthUnit::Millimetres});
                    lines += "ok\n";
                } catch (const convert::ExportError& error) {
                    lines += std::string(error.what()).empty() ? "empty message\n" : "error\n";
                } catch (const std::exception& error) {
                    lines += std::string("other exception: ") + error.what() + "\n";
                }
            }
            bound.rlim_cur = RLIM_INFINITY;
            setrlimit(RLIMIT_AS, &bound);
        }
        const ssize_t written = write(channel[1], lines.data(), lines.size());
        _exit(written == static_cast<ssize_t>(lines.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return {"killed by signal " + std::to_string(WTERMSIG(status))};
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(output.substr(start, end - start));
    return lines;
}

TEST(HostileExport, DamagedSamplesEndInAFileOrAClearMessage) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    std::vector<Bytes> drawings;
    for (const char* sample : {"R2000/libredwg_entities-2d.dwg", "R2004/libredwg_HatchG.dwg",
                               "R2013/libredwg_Leader.dwg", "R2018/libredwg_Multiline.dwg",
                               "R2018/acadsharp_sample_AC1032.dwg"}) {
        std::ifstream in(testsupport::samplesFolder() / sample, std::ios::binary);
        const Bytes sound{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(sound.empty()) << sample;
        for (Bytes& bad : damaged(sound)) drawings.push_back(std::move(bad));
    }
    const std::vector<std::string> lines = saveInChild(drawings);
    ASSERT_EQ(lines.size(), drawings.size() * 3) << (lines.empty() ? "" : lines.front());
    for (const std::string& line : lines) EXPECT_TRUE(line == "ok" || line == "error") << line;
}

}  // namespace
