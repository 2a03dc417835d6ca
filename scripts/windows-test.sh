#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, as Windows programs, each test
# program whole under Xvfb (Qt under Wine needs an X display even offscreen).
# Made by scripts/windows.sh first.
#   bash scripts/windows-test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/build-windows"
tests="$out/cmake/tests"
samples="$(realpath "${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}")"

# A prefix of this run's own, made afresh; its temporary folder on the drive
# that maps the Linux root (Z:), where the tests' Linux helpers (the package
# server) find the files the tests make.
export WINEPREFIX="$out/wine-tests"
export WINEDEBUG=-all
# No .NET or browser engine to offer to install on the first start.
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
work=$(mktemp -d /tmp/tessaly-wine-XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
timeout 300 xvfb-run -a wineboot --init > /dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }
wine reg add 'HKCU\Environment' /v TEMP /d "$(winpath "$work")" /f > /dev/null 2>&1
wine reg add 'HKCU\Environment' /v TMP /d "$(winpath "$work")" /f > /dev/null 2>&1
# A program that crashes prints its backtrace and ends, rather than waiting
# with Wine's crash dialog on the virtual display until its time is up.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f > /dev/null 2>&1
wineserver -w

export TESSALY_DWG_SAMPLES="$(winpath "$samples")"
export QT_QPA_PLATFORM=offscreen

# Every test program runs under Wine but for the tests that cannot run there
# (gtest patterns, ':' between them), for these reasons:
# - links: Wine 8.0 makes none. CreateSymbolicLinkW reports success and makes
#   nothing; junctions (FSCTL_SET_REPARSE_POINT) are not supported.
# - Info-ZIP: zip and unzip are Linux programs the Windows shell cannot start.
# - byte names: names on Windows are UTF-16, never bytes that are not UTF-8.
# - names Windows cannot hold: the packer's fixture feeds it "a:b.DWG" and two
#   names differing only in letter case, to see them refused.
declare -A excluded=(
  [platform]="Files.WhatIsAtANameIsToldAndRemovedWithoutFollowingLinks:Files.OpeningForReadingRefusesLinksUnlessTold:Files.WritingAndLockingNeverGoThroughALinkNorReplaceWhatIsThere:Folders.AHeldFolderListsAndRemovesItsEntriesButNeverEntersALink"
  [library]="SmallFile.ReadsOnlyARegularFileWithinItsBound:SmallFile.ADurableWriteReplacesItsOwnFileAndNothingALinkPointsTo:RunJournal.RemovesExactlyWhatItListsAndNeverFollowsALink:RunJournal.ALinkedLibraryIsClearedWhereItLies:RunJournal.AJournalThatIsALinkIsNeitherReadNorWritten:Blocks.LinksToFilesAreFollowedAndOthersSkipped:Blocks.NamesThatAreNotUtf8AreListedAsTheyAre:UserFolder.LinksInsideAreNeverFollowedNorLeadInCircles"
  [archive]="*InfoZip*:ZipReader.DirectoriesOfEveryShapeAreRead:ZipReader.AccentedNamesSurviveEveryEncoding"
  [search]="HostileIndex.NothingIsWrittenThroughALink:HostileIndex.ALibraryMovedBehindALinkIsIndexedWhereItLies"
  [net]="ResumeTest.AnIdentityThatIsALinkIsNeitherReadNorWritten"
  [download]="TakenRecord.AnythingButARecordWhoseChainHoldsCountsAsNone:FolderTree.RemovesReadOnlyContentAndLinksAsLinks:FolderTree.AFolderThatIsALinkLosesOnlyTheLink:FolderTree.NothingOutsideTheLibraryIsEverRemoved"
  [tools]="Pack.*"
  [preview]="PreviewTest.LinksAtTheRefreshsPathsAreNeverWrittenThrough"
  [search_window]="SearchWindowTest.AnIndexThatIsALinkIsLeftAloneAndTheStatusBarSaysSo"
  [browser]="ExportTest.ArchivesFromAnIndependentWriterExportToo:ExportTest.NamesThatAreNotUtf8StillShowAndExport"
)
programs=(platform acis dwg render render_paint convert signing library archive search net download tools
          pack_tool thumbnailer shell ui preview search_window browser app)

failed=0
for name in "${programs[@]}"; do
  binary=$(ls "$tests"/*/"${name}_tests.exe")
  log="$work/$name.log"
  filter="*"
  [ -n "${excluded[$name]:-}" ] && filter="*:-${excluded[$name]}"
  # Each program with a Wine of its own: a Wine left from the one before
  # would still draw on that one's display, which is gone.
  wineserver -w
  if timeout 600 xvfb-run -a wine "$binary" --gtest_brief=1 --gtest_filter="$filter" > "$log" 2>&1; then
    passed=$(grep -ao '\[  PASSED  \] [0-9]* test' "$log" | grep -o '[0-9]*')
    left=0
    [ -n "${excluded[$name]:-}" ] &&
      left=$(wine "$binary" --gtest_list_tests --gtest_filter="${excluded[$name]}" 2> /dev/null |
             grep -ac '^  ' || true)
    echo "ok    ${name}_tests: $passed passam, $left não rodam sob Wine"
  else
    echo "FALHA ${name}_tests"
    cat "$log"
    failed=1
  fi
done
# Every window at each display scale a Windows laptop may have, in Wine's
# fonts: the program's own faces must stand in for the ones Wine lacks.
for scale in 1 1.25 1.5 2; do
  wineserver -w
  log="$work/scale-$scale.log"
  if QT_SCALE_FACTOR=$scale timeout 300 xvfb-run -a wine "$tests/app/app_scale_tests.exe" \
       --gtest_brief=1 > "$log" 2>&1; then
    echo "ok    app_scale_tests a ${scale}x"
  else
    echo "FALHA app_scale_tests a ${scale}x"
    cat "$log"
    failed=1
  fi
done
exit "$failed"
