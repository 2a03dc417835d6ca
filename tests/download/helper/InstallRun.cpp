// One package install as the package window runs it, without the window, so
// that a test can end it at any step: leftovers of category <n> cleared, the
// archive recorded, fetched, installed with its line of a signed list, and
// removed. "uninstall" removes category <n>; "recover" does what the program
// does at start.
//   install_run install PROGRAM_FOLDER BASE_ADDRESS N [KIND STEP]
//   install_run uninstall PROGRAM_FOLDER N
//   install_run recover PROGRAM_FOLDER
// With KIND (rename, remove or any) and STEP, the process ends at once, as a
// kill ends it, when it is about to take the STEP-th file-system step of that
// kind; its exit status is then 137.
#include <platform/Steps.h>
#include <string>
#include <system_error>
#include <vector>

#include "download/PackageInstall.h"
#include "download/UNfrmDownload.h"
#include "library/RunJournal.h"
#include "net/Resume.h"
#include "platform/CommandLine.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEndedAtStep = 137;
std::string endKind;
long stepsLeft = 0;

bool counts(platform::Step step) {
    if (endKind == "any") return true;
    if (endKind == "rename") return step == platform::Step::Rename;
    return endKind == "remove" && step == platform::Step::Remove;
}

void endAtStep(platform::Step step) {
    if (counts(step) && --stepsLeft == 0) std::_Exit(kEndedAtStep);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::utf8Arguments(argc, argv);
    const std::string mode = argc > 1 ? args[1] : "";
    if (mode == "recover" && argc == 3) {
        download::recoverInterruptedRuns(library::Layout(library::pathFromUtf8(args[2])));
        return 0;
    }
    if (mode == "uninstall" && argc == 4) {
        download::uninstallCategory(library::Layout(library::pathFromUtf8(args[2])),
                                    std::stoi(args[3]));
        return 0;
    }
    if (mode != "install" || (argc != 5 && argc != 7)) return 2;
    if (argc == 7) {
        endKind = args[5];
        stepsLeft = std::stol(args[6]);
        platform::setStepHook(endAtStep);
    }
    const library::Layout layout(library::pathFromUtf8(args[2]));
    const std::string base = args[3];
    const int index = std::stoi(args[4]);

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
    platform::removeFile(archive, error);
    if (!error) journal.settled(archive);
    return result.outcome == download::InstallOutcome::Installed ? 0 : 5;
}
