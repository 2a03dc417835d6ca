#!/usr/bin/env bash
# Whole-process dwginfo against LibreDWG on the ten largest sample drawings
# (the 3D ones among them). There is no native LibreDWG on Debian 12, so the
# judge is its WebAssembly build (npm @mlightcad/libredwg-web, pinned below,
# run with Debian's nodejs): timed once as a whole process (node start and
# the module's compilation included) and once per read with the module loaded.
# Prints one row per file, medians of RUNS runs, and the geometric means of
# our time over each of theirs.
#   bench/dwg/compare_libredwg.sh [build folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
build="${1:-$root/build}"
samples="${TESSALY_DWG_SAMPLES:-$root/../shared/dwg-samples}"
runs="${RUNS:-5}"
version=0.7.14
export LIBREDWG_WEB_DIR="$build/bench-libredwg"
if ! grep -qs "\"version\": \"$version\"" \
    "$LIBREDWG_WEB_DIR/node_modules/@mlightcad/libredwg-web/package.json"; then
  mkdir -p "$LIBREDWG_WEB_DIR"
  npm install --prefix "$LIBREDWG_WEB_DIR" --no-audit --no-fund --no-save \
    "@mlightcad/libredwg-web@$version" > /dev/null
fi
info="$build/tools/dwginfo/dwginfo"
# Milliseconds of the median of $runs runs of a command.
median_ms() {
  local times=()
  for ((i = 0; i < runs; ++i)); do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR] = $1} END {printf "%.1f", a[int((NR + 1) / 2)] / 1000}'
}
mapfile -t files < <(ls -S "$samples"/R*/*.dwg "$samples"/3d/R*/*.dwg | head -10)
printf '%-48s %9s %9s %9s %7s %7s\n' file dwginfo wasm-proc wasm-read /proc /read
ratios=()
for file in "${files[@]}"; do
  ours=$(median_ms "$info" "$file")
  whole=$(median_ms node "$here/libredwg-time.mjs" --once "$file")
  read=$(RUNS="$runs" node "$here/libredwg-time.mjs" "$file" | awk '{print $2}')
  name="${file#"$samples"/}"
  row=$(awk -v o="$ours" -v w="$whole" -v r="$read" 'BEGIN {printf "%.3f %.3f", o / w, o / r}')
  printf '%-48s %9s %9s %9s %7s %7s\n' "$name" "$ours" "$whole" "$read" $row
  ratios+=("$row")
done
printf '%s\n' "${ratios[@]}" | awk '{p += log($1); r += log($2)} END {
  printf "geometric mean of dwginfo / LibreDWG: whole process %.3f, reading alone %.3f\n", exp(p / NR), exp(r / NR) }'
