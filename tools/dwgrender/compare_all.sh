#!/usr/bin/env bash
# Renders every sample drawing that has a reference plot and prints the ink
# overlap F1 of each against it, then the median.
#   tools/dwgrender/compare_all.sh [dwgrender binary] [output folder]
# Needs python3 with PIL and numpy (Debian: python3-pil, python3-numpy).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
renderer="${1:-$root/build/tools/dwgrender/dwgrender}"
out="${2:-$root/build/render-compare}"
samples="${TESSALY_DWG_SAMPLES:-$root/../shared/dwg-samples}"
compare="${TESSALY_RENDER_COMPARE:-$samples/../tools/render_compare.py}"
mkdir -p "$out"
scores=()
printf '%-52s %6s  %s\n' file f1 detail
for reference in "$samples"/renders/*/*.png; do
  version=$(basename "$(dirname "$reference")")
  name=$(basename "$reference" .png)
  drawing="$samples/$version/$name.dwg"
  [ -f "$drawing" ] || continue
  mkdir -p "$out/$version"
  ours="$out/$version/$name.png"
  if ! "$renderer" "$drawing" "$ours" 2> "$out/$version/$name.err"; then
    printf '%-52s %6s  %s\n' "$version/$name" fail "$(head -c 120 "$out/$version/$name.err")"
    continue
  fi
  result=$(/usr/bin/python3 "$compare" "$ours" "$reference" || true)
  f1=$(awk '{print $2}' <<< "$result")
  printf '%-52s %6s  %s\n' "$version/$name" "$f1" "$result"
  [[ "$f1" =~ ^[0-9.]+$ ]] && scores+=("$f1")
done
printf '%s\n' "${scores[@]}" | sort -n | awk '{a[NR]=$1} END {
  if (NR == 0) exit;
  m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2;
  below = 0; for (i = 1; i <= NR; i++) if (a[i] < 0.80) below++;
  printf "files %d, median f1 %.3f, below 0.80: %d\n", NR, m, below }'
