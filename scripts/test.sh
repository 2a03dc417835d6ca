#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test; then builds the modules without windows under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs their tests again; then builds the Windows
# programs and installer and runs their tests and the installer under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export TESSALY_DWG_SAMPLES="${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}"
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-Werror
cmake --build build -j "$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest -j "$jobs" --output-on-failure --timeout 300)

# Tests that drive windows must not depend on their order: once more each,
# shuffled, under two seeds.
for seed in 1 2; do
  for binary in build/tests/{ui,browser,preview,download,app,search}/*_tests; do
    [ -x "$binary" ] || continue
    QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$binary" --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1
  done
done

cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror \
  -DTESSALY_WITH_GUI=OFF -DTESSALY_WITH_BENCH=OFF -DTESSALY_SANITIZE=ON
cmake --build build-san -j "$jobs"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j "$jobs" --output-on-failure --timeout 600)

# Windows: the same sources built as Windows programs, their tests run under
# Wine and the installer tried as a user would (scripts/windows-smoke.sh),
# against the signed demo packages served on a port of the tests' own.
port="${TESSALY_WINDOWS_TEST_PORT:-8191}"
keys="$PWD/build/demo-chave"
cmake --build build -j "$jobs" --target tessaly-demo-drawings tessaly-pack dwginfo
[ -f "$keys/tessaly-pacotes.chave" ] || build/tools/tessaly-pack/tessaly-pack keygen "$keys"
demo="$PWD/build/windows-demo"
cmake -DGENERATOR="$PWD/build/tools/demo-drawings/tessaly-demo-drawings" \
  -DPACK="$PWD/build/tools/tessaly-pack/tessaly-pack" -DWORK="$demo" -DPROGRAM="$demo/programa" \
  -DINSTALLED= -DSERVER="$demo/servidor" -DSIGN="$keys/tessaly-pacotes.chave" \
  -P tools/demo-drawings/DemoLibrary.cmake
bash scripts/windows.sh -DTESSALY_PACKAGE_SERVER="http://127.0.0.1:$port/" \
  -DTESSALY_PACKAGE_KEY="$(cat "$keys/tessaly-pacotes.pub")"
bash scripts/windows-test.sh "$demo/servidor"
