#!/usr/bin/env bash
# Whole-process time of writing DXF 2018 from each of the ten largest sample
# drawings: our dxf_write against LibreDWG's dwg2dxf conversion in its
# WebAssembly build (node). Prints one line per drawing: wall and CPU seconds
# of each, and LibreDWG's conversion alone (without loading its module).
#   bash bench/dxf/compare-libredwg.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
samples="${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}"
bash bench/dxf/install-libredwg-web.sh > /dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mapfile -t largest < <(find "$samples" -name '*.dwg' -printf '%s %p\n' | sort -rn | head -10 | cut -d' ' -f2-)
measure() {  # command...: "wall cpu"
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" > /dev/null 2> "$work/err" || echo "falhou: $*" >&2
  awk '{printf "%.2f %.2f", $1, $2 + $3}' "$work/time"
}
printf '%-60s %14s %14s %12s\n' desenho 'nosso s (CPU)' 'LibreDWG s (CPU)' 'conversão ms'
for dwg in "${largest[@]}"; do
  read -r ours_wall ours_cpu <<< "$(measure "$build/bench/dxf/dxf_write" --drop-unwritable 2018 "$work" "$dwg")"
  read -r theirs_wall theirs_cpu <<< "$(measure node bench/dxf/libredwg-dwg2dxf.mjs "$dwg" "$work/libredwg.dxf")"
  conversion=$(sed -n 's/^conversão: \([0-9.]*\) ms/\1/p' "$work/err")
  printf '%-60s %6s (%5s) %6s (%5s) %12s\n' "${dwg#"$samples"/}" "$ours_wall" "$ours_cpu" \
    "$theirs_wall" "$theirs_cpu" "${conversion:--}"
done
