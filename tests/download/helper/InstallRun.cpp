// One package install as the package window runs it, without the window, so
// that a test can kill it at any step: leftovers of category <n> cleared, the
// archive recorded, fetched, installed with its line of a signed list, and
// removed. "recover" does what the program does at start.
#include <string>
#include <system_error>

#include "download/PackageInstall.h"
#include "download/UNfrmDownload.h"
#include "library/RunJournal.h"
#include "net/Resume.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "recover" && argc == 3) {
        download::recoverInterruptedRuns(library::Layout(argv[2]));
        return 0;
    }
    if (mode != "install" || argc != 5) return 2;
    const library::Layout layout(argv[2]);
    const std::string base = argv[3];
    const int index = std::stoi(argv[4]);

    download::removeLeftovers(layout, index);
    const library::RunJournal journal(layout);
    const fs::path archive = layout.packageFile(index);
    if (!journal.willCreate(archive)) return 3;
    if (!net::downloadResuming(base + "blocos/" + library::packageName(index), archive, {}, 0,
                               download::packageLimits(index))
             .done())
        return 4;
    archive::ZipReader reader;
    // Recorded as a signed run records the line it checked the package against.
    const signing::IndexLine signedLine{0, signing::Digest{}, 1};
    const download::InstallResult result = download::installPackage(
        reader, archive, layout, index, &signedLine, {},
        [](const archive::ZipQuestion&) { return archive::ZipAnswer::Abort; });
    std::error_code error;
    fs::remove(archive, error);
    if (!error) journal.settled(archive);
    return result.outcome == download::InstallOutcome::Installed ? 0 : 5;
}
