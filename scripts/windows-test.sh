#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, as Windows programs: every test
# program of build-windows/cmake/tests whole (one process each, two at a
# time), the window tests on Qt's offscreen platform under Xvfb (Qt under Wine
# needs an X display even then), then the installer's smoke test
# (scripts/windows-smoke.sh) against the packages served from the folder named.
# Made by scripts/windows.sh first.
#   bash scripts/windows-test.sh <served folder>
set -euo pipefail
served="$(realpath "$1")"
cd "$(dirname "$0")/.."
out="$PWD/build-windows"
tests="$out/cmake/tests"
samples="${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}"

# A prefix of this run's own, made afresh; its temporary folder on the drive
# that maps the Linux root (Z:), where the tests' Linux helpers (the package
# server) find the files the tests make.
export WINEPREFIX="$out/wine-tests"
export WINEDEBUG=-all
rm -rf "$WINEPREFIX"
work=$(mktemp -d /tmp/tessaly-wine-XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
xvfb-run -a wineboot --init > /dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }
wine reg add 'HKCU\Environment' /v TEMP /d "$(winpath "$work")" /f > /dev/null 2>&1
wine reg add 'HKCU\Environment' /v TMP /d "$(winpath "$work")" /f > /dev/null 2>&1
wineserver -w

export TESSALY_DWG_SAMPLES="$(winpath "$samples")"
export QT_QPA_PLATFORM=offscreen

# Tests that cannot run as Windows programs, and why.
# (Not built for Windows at all: the reader's memory bound, proved in a forked
# child under an address-space limit, and the full disk a file size limit
# makes, tests/dwg/MemoryBudgetTest.cpp and tests/archive/DiskFullTest.cpp.)
declare -A skipped=(
  # A full listen backlog makes a connection wait on Linux; Windows refuses it at once.
  [net_tests]='WaitingTransfer.*'
  # A secret key's privacy is its POSIX mode there; on Windows it is the file's ACL.
  [pack_tool_tests]='PackTool.KeygenWritesAPairOnceWithAPrivateSecret'
)

run_one() {
  local binary=$1 name log filter
  name=$(basename "$binary" .exe)
  log="$work/$name.log"
  filter="*"
  [ -n "${skipped[$name]:-}" ] && filter="*-${skipped[$name]}"
  if xvfb-run -a wine "$binary" --gtest_brief=1 --gtest_filter="$filter" > "$log" 2>&1; then
    echo "ok    $name: $(grep -ao '\[  PASSED  \] [0-9]* test' "$log" | grep -o '[0-9]*')"
  else
    echo "FALHA $name"
    cat "$log"
    return 1
  fi
}
export -f run_one
export work
declare -p skipped > "$work/skipped.sh"

failed=0
find "$tests" -name '*_tests.exe' | sort | \
  xargs -P 2 -I{} bash -c 'source "$work/skipped.sh"; run_one "$@"' _ {} || failed=1
echo "não executados no Windows:"
for name in "${!skipped[@]}"; do echo "  $name: ${skipped[$name]}"; done
[ "$failed" -eq 0 ] || exit 1
bash scripts/windows-smoke.sh "$served"
