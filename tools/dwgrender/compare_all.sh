#!/usr/bin/env bash
# Renders every sample drawing with dwgrender at its default size and scores it
# against the reference plot of the same name with the ink-overlap F1; prints
# one row per drawing (version, file, F1, detail), then the median and the
# files below 0.80.
#   tools/dwgrender/compare_all.sh [dwgrender binary] [output folder]
# Needs python3 with PIL and numpy (Debian: python3-pil, python3-numpy).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
renderer="${1:-$root/build/tools/dwgrender/dwgrender}"
out="${2:-$root/build/render-compare}"
samples="${TESSALY_DWG_SAMPLES:-$root/../shared/dwg-samples}"
compare="${TESSALY_RENDER_COMPARE:-$samples/../tools/render_compare.py}"
python=/usr/bin/python3
mkdir -p "$out"
scores=()
row() { printf '%-6s %-36s %6s  %s\n' "$@"; }
row version file f1 detail
for drawing in "$samples"/R*/*.dwg; do
  version=$(basename "$(dirname "$drawing")")
  name=$(basename "$drawing" .dwg)
  reference="$samples/renders/$version/$name.png"
  mkdir -p "$out/$version"
  ours="$out/$version/$name.png"
  if ! "$renderer" "$drawing" "$ours" 2> "$out/$version/$name.err"; then
    row "$version" "$name" fail "$(head -c 120 "$out/$version/$name.err")"
    continue
  fi
  if [ ! -f "$reference" ]; then
    row "$version" "$name" n/a "no reference plot"
    continue
  fi
  result=$("$python" "$compare" "$ours" "$reference" || true)
  # A blank reference (nothing it could plot) scores nothing either way.
  if [[ "$result" == *"no ink"* ]] && ! "$python" -c "import sys, numpy
from PIL import Image
sys.exit(0 if (numpy.asarray(Image.open(sys.argv[1]).convert('RGB')).min(axis=2) < 200).any() else 1)" "$reference"; then
    row "$version" "$name" n/a "reference is blank"
    continue
  fi
  f1=$(awk '{print $2}' <<< "$result")
  row "$version" "$name" "$f1" "${result#f1 * }"
  [[ "$f1" =~ ^[0-9.]+$ ]] && scores+=("$f1")
done
printf '%s\n' "${scores[@]}" | sort -n | awk '{a[NR]=$1} END {
  if (NR == 0) exit;
  m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2;
  below = 0; for (i = 1; i <= NR; i++) if (a[i] < 0.80) below++;
  printf "scored %d, median f1 %.3f, below 0.80: %d\n", NR, m, below }'
