#!/usr/bin/env bash
# Every sample drawing converted into every format the program saves, each
# file judged by our reader and renderer, LibreDWG, ezdxf and LibreCAD
# (tests/judges/judge-conversions.py); the tables of what each said go to
# build/judges/conversions/report.md. Needs the Linux build in build/.
#   bash scripts/judge-conversions.sh [N]   judges one sample in N (default all)
set -euo pipefail
cd "$(dirname "$0")/.."
samples="${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}"
bash tests/judges/install-libredwg.sh
cmake --build build -j "$(nproc)" --target dwgconvert dwginfo dwgrender
out=build/judges/conversions
rm -rf "$out"
exec /usr/bin/python3 tests/judges/judge-conversions.py --build build --samples "$samples" \
  --out "$out" --compare "$samples/../tools/render_compare.py" \
  --libredwg build/judges/libredwg --jobs "$(nproc)" --every "${1:-1}"
