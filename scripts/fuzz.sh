#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each of
# them for a bounded time, default 60 seconds; the DWG targets are seeded with
# the sample drawings, the ACIS ones with the bodies in fuzz/acis/seeds. New
# inputs are kept in fuzz-build/corpus/<target>.
# A run using more than 512 MB counts as a finding: a DWG read may take at
# most 64 MB plus 40 times the size of the file. The render targets may also
# build the viewer's list (256 MB at most) and get 1024 MB.
#   bash scripts/fuzz.sh [seconds per target] [target name pattern, e.g. '*dwg*']
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
seconds="${1:-60}"
pattern="${2:-*}"
samples="${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}"
CC=clang-14 CXX=clang++-14 cmake -S . -B fuzz-build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALY_WITH_GUI=OFF -DTESSALY_WITH_TESTS=OFF -DTESSALY_WITH_BENCH=OFF \
  -DTESSALY_WITH_FUZZ=ON -DTESSALY_SANITIZE=ON
# Only the targets the pattern names are built: each compiles its module again, instrumented.
targets=()
for target in $(cmake --build fuzz-build --target help | sed -n 's/^\([A-Za-z0-9_]*fuzz[A-Za-z0-9_]*\): phony$/\1/p'); do
  # shellcheck disable=SC2254
  case "$target" in $pattern) targets+=("$target") ;; esac
done
cmake --build fuzz-build -j "$(nproc)" --target "${targets[@]}"
# The address sanitizer keeps freed memory aside (256 MB by default) to catch
# late uses; a smaller reserve keeps the 512 MB limit about the code under test.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"
failed=()
for target in $(find fuzz-build/fuzz -type f -executable | sort); do
  name=$(basename "$target")
  # shellcheck disable=SC2254
  case "$name" in $pattern) ;; *) continue ;; esac
  corpus="fuzz-build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  case "$name" in
    *dwg*) [ -d "$samples" ] && seeds=("$samples"/R*/ "$samples"/3d/R*/) ;;
    *acis*) seeds=(fuzz/acis/seeds) ;;
    *user_lists*) seeds=(fuzz/library/seeds) ;;
  esac
  rss=512
  case "$name" in *render* | *thumbnail*) rss=1024 ;; esac
  echo "== $name, $seconds s"
  # A finding leaves its crash-* input in fuzz-build/ and the full report in the log.
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb="$rss" -print_final_stats=1 \
      -artifact_prefix=fuzz-build/ "$corpus" "${seeds[@]}" > "fuzz-build/$name.log" 2>&1; then
    failed+=("$name")
  fi
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|SUMMARY)' "fuzz-build/$name.log" || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]} (see fuzz-build/<target>.log)"
  exit 1
fi
