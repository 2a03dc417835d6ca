#!/usr/bin/env bash
# Scores dwgrender's --view saved render of every sample drawing saved with
# model space showing against the drawing's own preview image (drawn by the
# CAD program that saved it), with the ink-overlap F1: ink in the preview is
# whatever differs from its most common colour. Drawings saved with a layout
# showing, or without a preview, are listed and not scored. Prints one row
# per drawing, then the median and how many score 0.80 or more.
# A second score compares at the preview's own resolution: the ink is not
# enlarged past the preview's pixels, and a pixel of the preview is the least
# distance counted as near. A small preview, enlarged eight times, turns each
# of its one-pixel lines into a band wider than the first score's reach.
# A drawing blank in both pictures agrees with its preview. 3D objects are
# drawn in the visual style each drawing was saved with, unless --style says.
#   tools/dwgrender/compare_previews.sh [build folder] [output folder]
#       [--view extents|saved|direction] [--style wireframe|hidden|shaded|saved]
#       [--only 'R2018/symbol_*']   (the drawings whose VERSION/NAME match)
# Needs python3 with PIL and numpy (Debian: python3-pil, python3-numpy).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
build="${1:-$root/build}"
out="${2:-$build/preview-compare}"
view=saved
style=saved
only='*'

shift $(($# < 2 ? $# : 2))
while (($# >= 2)); do
  case "$1" in
    --view) view="$2" ;;
    --style) style="$2" ;;
    --only) only="$2" ;;
    *) echo "compare_previews.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
renderer="$build/tools/dwgrender/dwgrender"
info="$build/tools/dwginfo/dwginfo"
samples="${TESSALY_DWG_SAMPLES:-$root/../shared/dwg-samples}"
compare="${TESSALY_RENDER_COMPARE:-$samples/../tools/render_compare.py}"
python=/usr/bin/python3
mkdir -p "$out"
scores=()
native=()
row() { printf '%-6s %-36s %6s %6s  %s\n' "$@"; }
row version file f1 native detail
for drawing in "$samples"/R*/*.dwg; do
  version=$(basename "$(dirname "$drawing")")
  name=$(basename "$drawing" .dwg)
  # shellcheck disable=SC2053
  [[ "$version/$name" == $only ]] || continue
  mkdir -p "$out/$version"
  preview="$out/$version/$name.preview.png"
  ours="$out/$version/$name.png"
  if "$info" "$drawing" 2> /dev/null | grep -qx 'tilemode: 0'; then
    row "$version" "$name" n/a n/a "saved with a layout showing"
    continue
  fi
  if ! "$info" --preview "$preview" "$drawing" 2> /dev/null; then
    row "$version" "$name" n/a n/a "no preview image"
    continue
  fi
  # The preview's proportions, so that both frame the view alike, at 1024
  # pixels across: the score scales both to one box, and a render as small
  # as the preview would lose to pixel rounding what the drawing has.
  size=$("$python" -c "import sys; from PIL import Image
w, h = Image.open(sys.argv[1]).size; print('%dx%d' % (1024, max(1, round(1024 * h / w))))" "$preview")
  if ! "$renderer" --view "$view" --style "$style" --size "$size" "$drawing" "$ours" 2> "$out/$version/$name.err"; then
    row "$version" "$name" fail fail "$(head -c 120 "$out/$version/$name.err")"
    continue
  fi
  # The preview's ink box, in its own pixels (0 when it has no ink).
  inkSize=$("$python" -c "import sys; import numpy as np; from PIL import Image
a = np.asarray(Image.open(sys.argv[1]).convert('RGB')).astype(int)
values, counts = np.unique(a.reshape(-1, 3), axis=0, return_counts=True)
ys, xs = np.nonzero(np.abs(a - values[counts.argmax()]).sum(axis=2) > 60)
print(max(xs.max() - xs.min() + 1, ys.max() - ys.min() + 1) if len(xs) else 0)" "$preview")
  box=$((inkSize < 512 ? inkSize : 512))
  tol=$((box * 3 / 512 > 1 ? box * 3 / 512 : 1))
  result=$("$python" "$compare" "$ours" "$preview" --bg auto || true)
  if [[ "$result" == *"no ink"* ]] && ((inkSize == 0)) &&
    "$python" -c "import sys; import numpy as np; from PIL import Image
sys.exit(int((np.asarray(Image.open(sys.argv[1]).convert('RGB')).min(axis=2) < 200).any()))" "$ours"; then
    result="f1 1.000 (blank in both)"
    small="$result"
  else
    small=$("$python" "$compare" "$ours" "$preview" --bg auto --box "$((box > 0 ? box : 512))" --tol "$tol" || true)
  fi
  f1=$(awk '{print $2}' <<< "$result")
  f1Native=$(awk '{print $2}' <<< "$small")
  row "$version" "$name" "$f1" "$f1Native" "${result#f1 * }"
  [[ "$f1" =~ ^[0-9.]+$ ]] && scores+=("$f1")
  [[ "$f1Native" =~ ^[0-9.]+$ ]] && native+=("$f1Native")
done
summary() {
  printf '%s\n' "${@:2}" | sort -n | awk -v what="$1" '{a[NR]=$1} END {
    if (NR == 0) exit;
    m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2;
    good = 0; for (i = 1; i <= NR; i++) if (a[i] >= 0.80) good++;
    printf "%s: scored %d, median f1 %.3f, 0.80 or more: %d (%.0f %%)\n", what, NR, m, good, 100 * good / NR }'
}
summary "scaled to 512" "${scores[@]}"
summary "at the preview's resolution" "${native[@]}"
