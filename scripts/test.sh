#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test; has every sample converted to every format the program saves and
# judged by other readers; then builds the modules without windows under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs their tests again; then builds the Windows
# programs and installer, runs their tests under Wine and tries the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash tests/judges/install-libredwg.sh
export TESSALY_DWG_SAMPLES="${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}"
jobs=$(nproc)
# How long each stage took, said as it ends.
stage() { echo "== $1: $SECONDS s desde o início"; }

# Line tables only (-g1): backtraces keep their files and lines, and the
# builds take nearly a third less time than with full debug information.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-Werror \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build build -j "$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest -j "$jobs" --output-on-failure --timeout 300)
stage "Linux: compilação e testes"

# Tests that drive windows must not depend on their order: once more each,
# shuffled, under two seeds.
for seed in 1 2; do
  for binary in build/tests/{ui,browser,preview,download,app,search}/*_tests; do
    [ -x "$binary" ] || continue
    QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$binary" --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1
  done
done
stage "Linux: testes de janelas embaralhados"

# Every sample saved in every format the program offers, judged by readers
# that are not ours (LibreDWG, ezdxf, LibreCAD) and by our own reader and
# renderer; like the tests that read the samples, left out where there are
# none unless they are required (CI requires them).
if [ -d "$TESSALY_DWG_SAMPLES" ] || [ -n "${TESSALY_REQUIRE_SAMPLES:-}" ]; then
  bash scripts/judge-conversions.sh
  stage "Linux: conversões julgadas"
fi

bash scripts/deb.sh && bash scripts/deb-test.sh
stage "Linux: pacote Debian"

cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror \
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DTESSALY_WITH_GUI=OFF -DTESSALY_WITH_BENCH=OFF -DTESSALY_SANITIZE=ON
cmake --build build-san -j "$jobs"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j "$jobs" --output-on-failure --timeout 600)
stage "sanitizadores"

# Windows: the same sources built as Windows programs with warnings as errors,
# with their installer, the test programs run under Wine, and the installer
# tried as a user would. That build is for a package server on this machine
# and the demo publisher's key, as scripts/run.sh's is: the smoke test serves
# packages signed with it.
keys="$PWD/build/demo-chave"
[ -f "$keys/tessaly-pacotes.chave" ] || build/tools/tessaly-pack/tessaly-pack keygen "$keys"
bash scripts/windows.sh -DTESSALY_PACKAGE_SERVER=http://127.0.0.1:8191/ \
  -DTESSALY_PACKAGE_KEY="$(cat "$keys/tessaly-pacotes.pub")"
stage "Windows: compilação e instalador"
bash scripts/windows-test.sh
stage "Windows: testes sob Wine"
bash scripts/windows-smoke.sh
stage "Windows: teste de fumaça do instalador"
